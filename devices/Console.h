#pragma once

#include <QString>

// A few operator-side diagnostics go to standard output instead of the message log.
class Console
{
public:
    static void write(const QString &text);
};
