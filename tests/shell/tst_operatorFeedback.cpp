// What the operator is told where a step cannot work, played through the real main window, its
// worker thread and a simulated bus.

#include "MainWindowFixture.h"

#include "DeviceLine.h"
#include "RegisterMap.h"
#include "SerialPort.h"
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
    void noisyScanListsOnlyControllersThatAnswered();
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

// Noise and broken echoes on the line during the scan: only the controllers whose whole echo came
// back get a row.
void tst_operatorFeedback::noisyScanListsOnlyControllersThatAnswered()
{
    MainWindowFixture::Setup setup;
    setup.addresses = {1, 4, 6, 9};
    MainWindowFixture f(setup);
    SimFaults lostAddress; // echo 1 ends in 0x71: an echo body behind it once listed 113
    lostAddress.extraBytes = QByteArray::fromHex("0800005566");
    f.bus->setFaults(1, lostAddress);
    SimFaults flippedAddress; // echo 1 with the address's top bit flipped once listed 129
    flippedAddress.extraBytes = QByteArray(SerialPort::buildEchoFrame(1)).replace(0, 1, "\x81");
    f.bus->setFaults(4, flippedAddress);
    SimFaults cutOff;
    cutOff.cutAfterBytes = 6;
    f.bus->setFaults(6, cutOff);
    SimFaults badCrc;
    badCrc.corruptFraction = 1.0;
    f.bus->setFaults(9, badCrc);
    f.bus->setNoise(QByteArray::fromHex("FF0800005566"), 15);

    QVERIFY(f.openPort());
    menuEntry(*f.window, QStringLiteral("查询设备"))->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(f.boxes.boxes.size(), 1, 20000);
    QCOMPARE(f.boxes.lastText(), QStringLiteral("查询设备完成，查询到的设备为:1,4,"));
    QCOMPARE(f.window->foundDeviceIds(), (QList<quint8>{1, 4}));
    QCOMPARE(f.window->devicePage()->row(1)->deviceIdText(), QStringLiteral("4"));
    QCOMPARE(f.window->devicePage()->row(2)->deviceIdText(), QString());
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

#include "TestRunner.h"

QUORIX_TEST_MAIN(tst_operatorFeedback)
#include "tst_operatorFeedback.moc"
