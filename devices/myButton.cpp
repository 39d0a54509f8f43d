#include "myButton.h"

void myButton::setLocked(bool on)
{
    locked = on;
}

void myButton::lockedSetText(const QString &text)
{
    if (!locked)
        setText(text);
}
