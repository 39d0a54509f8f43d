#pragma once

// Stage tables written and read as short texts: rows separated by ";", cells by ",", so that
// "10,5;;30,5" is a table whose row 1 is empty. Rows after the text stay as they are.

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
    for (int row = 0; row < texts.size(); ++row) {
        const QStringList cells = texts[row].split(QLatin1Char(','));
        for (int column = 0; column < 2; ++column)
            table(item)->setItem(row, column, new QTableWidgetItem(cells.value(column)));
    }
}

// The table up to its last row with any text.
inline QString read(itemStageControl &item)
{
    QStringList rows;
    for (int row = 0; row < table(item)->rowCount(); ++row) {
        const QTableWidgetItem *flow = table(item)->item(row, 0);
        const QTableWidgetItem *seconds = table(item)->item(row, 1);
        const QString text =
            (flow ? flow->text() : QString()) + QLatin1Char(',') + (seconds ? seconds->text() : QString());
        rows << (text == QLatin1String(",") ? QString() : text);
    }
    while (!rows.isEmpty() && rows.last().isEmpty())
        rows.removeLast();
    return rows.join(QLatin1Char(';'));
}

} // namespace StageTables
