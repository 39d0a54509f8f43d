#pragma once

// Plays the stage page of the real main window as an operator does: scans the bus from the menu,
// types programmes into the cells, and reads back what the simulated controllers received.

#include "shell/MainWindowFixture.h"

#include "RegisterMap.h"
#include "SerialPort.h"
#include "itemStageControl.h"
#include "stageControlWidget.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>

namespace StagePageDriver {

inline void scanFromMenu(mainWnd &window)
{
    menuEntry(window, QStringLiteral("查询设备"))->trigger();
}

inline void showStagePage(mainWnd &window)
{
    window.findChild<QTabWidget *>(QStringLiteral("tabWidget"))->setCurrentWidget(window.stagePage());
    QApplication::setActiveWindow(&window);
}

// Opens the cell's editor with F2, replaces its text (an empty text clears it) and commits.
inline bool typeCell(itemStageControl &item, int row, int column, const QString &text)
{
    auto *table = item.findChild<QTableWidget *>(QStringLiteral("table_steps"));
    table->setCurrentCell(row, column);
    QTest::keyClick(table, Qt::Key_F2);
    auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    if (!editor)
        return false;
    editor->selectAll();
    if (text.isEmpty())
        QTest::keyClick(editor, Qt::Key_Delete);
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
    return true;
}

// Rows as "flow,seconds" texts; an empty text clears both cells of its row.
inline bool typeProgramme(itemStageControl &item, const QStringList &rows)
{
    for (int row = 0; row < rows.size(); ++row) {
        const QStringList cells = rows[row].split(QLatin1Char(','));
        if (!typeCell(item, row, 0, cells.value(0)) || !typeCell(item, row, 1, cells.value(1)))
            return false;
    }
    return true;
}

inline void chooseMode(itemStageControl &item, int mode)
{
    item.findChild<QComboBox *>(QStringLiteral("combox_mode"))->setCurrentIndex(mode);
}

// The set-points written to a controller's register 0x303E, in the order the bus received them.
inline QList<float> setpointsReceived(const SimBus &bus, quint8 address)
{
    const QByteArray head =
        SerialPort::buildWriteFloatFrame(address, RegisterMap::InstantSetpoint, 0).left(4);
    QList<float> values;
    for (const QByteArray &frame : bus.receivedFrames())
        if (frame.size() == 10 && frame.startsWith(head) && SerialPort::hasValidCrc(frame))
            values << bytes_to_float(frame, 4);
    return values;
}

// The values a controller's set-point register took, in order: a write the worker repeated
// because its answer came late shows once.
inline QList<float> setpointChanges(const SimBus &bus, quint8 address)
{
    QList<float> changes;
    for (float value : setpointsReceived(bus, address))
        if (changes.isEmpty() || changes.last() != value)
            changes << value;
    return changes;
}

// The value the set-point register last took, or -1 before any write reached it.
inline float lastSetpoint(const SimBus &bus, quint8 address)
{
    const QList<float> changes = setpointChanges(bus, address);
    return changes.isEmpty() ? -1.0f : changes.last();
}

} // namespace StagePageDriver
