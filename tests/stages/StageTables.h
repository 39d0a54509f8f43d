#pragma once

// Stage tables as short texts: rows separated by ";", cells by ",", so that "10,5;;30,5" is a
// table whose row 1 is empty.

#include "itemStageControl.h"

#include <QStringList>
#include <QTableWidget>

namespace StageTables {

inline QTableWidget *table(itemStageControl &item)
{
    return item.findChild<QTableWidget *>(QStringLiteral("table_steps"));
}

inline void type(itemStageControl &item, const QString &rows)
{
    const QStringList texts = rows.isEmpty() ? QStringList() : rows.split(QLatin1Char(';'));
    for (int row = 0; row < texts.size(); ++row)
        for (int column = 0; column < 2; ++column)
            table(item)->setItem(row, column, new QTableWidgetItem(texts[row].split(',').value(column)));
}

// The valid rows, in table order.
inline QString read(const itemStageControl &item)
{
    QStringList rows;
    for (const StageStep &step : item.programme())
        rows << QStringLiteral("%1,%2").arg(step.first).arg(step.second);
    return rows.join(QLatin1Char(';'));
}

} // namespace StageTables
