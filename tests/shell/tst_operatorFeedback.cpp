// What the operator is told where a step cannot work, played through the real main window, its
// worker thread and a simulated bus.

#include "MainWindowFixture.h"

#include "DeviceLine.h"
#include "RegisterMap.h"
#include "deviceWindow.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QtTest>

namespace {
QStringList listedPorts(MainWindowFixture &f)
{
    auto *ports = f.child<QComboBox>(f.window->serialWnd, "combox_port");
    QStringList names;
    for (int i = 0; i < ports->count(); ++i)
        names << ports->itemText(i);
    return names;
}
} // namespace

class tst_operatorFeedback : public QObject
{
    Q_OBJECT
private slots:
    void scanNeedsAnOpenPort();
    void emptyScanReplyLeavesTheRows();
    void typedPathThatOpenedStaysAfterFailedOpen();
};

void tst_operatorFeedback::scanNeedsAnOpenPort()
{
    MainWindowFixture f;
    QAction *scan = menuEntry(*f.window, QStringLiteral("查询设备"));
    scan->trigger();
    QVERIFY(f.flushWorker());
    QCOMPARE(f.boxes.texts(), QStringList{QStringLiteral("提示|串口未连接")});

    QVERIFY(f.openPort());
    scan->trigger();
    QTRY_COMPARE(f.boxes.boxes.size(), 2);
    QCOMPARE(f.boxes.lastText(), QStringLiteral("查询设备完成，查询到的设备为:1,2,3,"));
}

void tst_operatorFeedback::emptyScanReplyLeavesTheRows()
{
    MainWindowFixture f;
    QVERIFY(f.openPort());
    menuEntry(*f.window, QStringLiteral("查询设备"))->trigger();
    QTRY_COMPARE(f.boxes.boxes.size(), 1);
    DeviceLine *row = f.window->devicePage()->row(0);
    auto *online = f.child<QPushButton>(row, "btn_online");
    auto *temperature = f.child<QPushButton>(row, "btn_temp");
    QTest::mouseClick(online, Qt::LeftButton);
    f.bus->setFloatRegister(1, RegisterMap::Temperature, 21.0f);
    QTRY_COMPARE(temperature->text(), QStringLiteral("21.0"));

    // A scan that nobody answered: the worker still polls 1, so its row keeps address and state.
    f.window->slot_CheckDevice(QByteArray());
    QCOMPARE(f.boxes.lastText(), QStringLiteral("没有查询到设备"));
    QCOMPARE(row->deviceIdText(), QStringLiteral("1"));
    QCOMPARE(online->text(), QStringLiteral("接连"));
    f.bus->setFloatRegister(1, RegisterMap::Temperature, 24.0f);
    QTRY_COMPARE(temperature->text(), QStringLiteral("24.0"));

    // ... and can still be taken offline: the worker stops polling it.
    QTest::mouseClick(online, Qt::LeftButton);
    QCOMPARE(online->text(), QStringLiteral("断开"));
    QVERIFY(f.flushWorker());
    for (const OnlineDevice &record : f.window->worker()->devicesSnapshot())
        QVERIFY(record.id != 1 || !(record.cur || record.cum || record.temp || record.press));
}

void tst_operatorFeedback::typedPathThatOpenedStaysAfterFailedOpen()
{
    MainWindowFixture f;
    QVERIFY(f.openPort());
    QTest::mouseClick(f.openButton(), Qt::LeftButton);
    QTRY_COMPARE(f.openButton()->text(), QStringLiteral("已关闭"));
    QTest::mouseClick(f.openButton(), Qt::LeftButton); // "已关闭" turns back to "打开"
    const QString mistyped = QStringLiteral("/dev/does-not-exist-quorix");
    f.clickOpen(mistyped);
    QTRY_COMPARE(f.boxes.boxes.size(), 1);

    f.window->set485();
    QTRY_COMPARE(listedPorts(f).value(0), mistyped);
    QVERIFY(listedPorts(f).contains(f.bus->portPath()));
}

QTEST_MAIN(tst_operatorFeedback)
#include "tst_operatorFeedback.moc"
