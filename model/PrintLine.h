#pragma once

#include <QString>

#include <cstdio>

// A few handlers of the recording pages write to standard output rather than to the message log.
inline void printLine(const QString &line)
{
    std::fputs(line.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
}
