#pragma once

#include <QPushButton>

// A reading button whose caption can be locked, so that periodic readings cannot overwrite a
// caption the operator blanked. The plain setText() ignores the lock.
class myButton : public QPushButton
{
    Q_OBJECT

public:
    using QPushButton::QPushButton;

    void setLocked(bool on);
    bool isLocked() const { return locked; }
    void lockedSetText(const QString &text);

private:
    bool locked = false;
};
