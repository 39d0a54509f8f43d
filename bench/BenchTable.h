#pragma once

#include <QString>
#include <cstdio>

// One result row of the benchmark table: "| name | figure | unit | note |".
inline void printBenchRow(const QString &name, double figure, const QString &unit, const QString &note,
                          int decimals = 1)
{
    std::printf("| %s | %s | %s | %s |\n", qPrintable(name),
                qPrintable(QString::number(figure, 'f', decimals)), qPrintable(unit), qPrintable(note));
    std::fflush(stdout);
}
