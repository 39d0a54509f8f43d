#include "Console.h"

#include <iostream>

void Console::write(const QString &text)
{
    std::cout << text.toStdString() << std::flush;
}
