// An operator's day on the device tab, played through the widgets themselves against the real
// main window, the real worker thread and a simulated bus on a pseudo-terminal.

#include "shell/MainWindowFixture.h"

#include "DeviceLine.h"
#include "RegisterMap.h"
#include "SerialPort.h"
#include "deviceWindow.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QtTest>

namespace {

// The cells of one device row, found by their object names.
struct SessionRow
{
    DeviceLine *line;
    QPushButton *cell(const char *name) const { return line->findChild<QPushButton *>(QLatin1String(name)); }
    QString online() const { return cell("btn_online")->text(); }
    QString reading(const char *name) const { return cell(name)->text(); }
    QWidget *entry(const char *name) const { return line->findChild<QWidget *>(QLatin1String(name)); }
    QLineEdit *entryField(const char *name) const
    {
        return entry(name)->findChild<QLineEdit *>(QStringLiteral("lineEdit"));
    }
};

// The shown text is the controller's value in the row's format, within what drifts between the
// poll that read it and now.
bool showsValue(const QString &text, const char *pattern, double value, double tolerance)
{
    const bool formatted =
        QRegularExpression(QStringLiteral("^(?:%1)$").arg(QLatin1String(pattern))).match(text).hasMatch();
    return formatted && qAbs(text.toDouble() - value) <= tolerance;
}

} // namespace

class tst_operatorSession : public QObject
{
    Q_OBJECT
private slots:
    void dailyJobOnTheDeviceTab();
};

void tst_operatorSession::dailyJobOnTheDeviceTab()
{
    MainWindowFixture::Setup setup;
    setup.addresses = {1, 3, 12};
    setup.tickMs = 40;
    setup.pauseMs = 1;
    MainWindowFixture f(setup);
    mainWnd &w = *f.window;
    w.show();

    // Open the port in the serial port dialog.
    QVERIFY(f.openPort());

    // Scan the bus.
    menuEntry(w, QStringLiteral("查询设备"))->trigger();
    QTRY_VERIFY(!f.boxes.boxes.isEmpty());
    QCOMPARE(f.boxes.texts(), QStringList{QStringLiteral("提示|查询设备完成，查询到的设备为:1,3,12,")});
    SessionRow first{w.devicePage()->row(0)}, second{w.devicePage()->row(1)}, third{w.devicePage()->row(2)};
    QCOMPARE(first.line->deviceIdText(), QStringLiteral("1"));
    QCOMPARE(second.line->deviceIdText(), QStringLiteral("3"));
    QCOMPARE(third.line->deviceIdText(), QStringLiteral("12"));
    QCOMPARE(w.devicePage()->row(3)->deviceIdText(), QString());
    QCOMPARE(first.online(), QStringLiteral("上线"));

    // Take 1 and 3 online; their readings appear, formatted, with the controllers' values.
    f.bus->setFloatRegister(1, RegisterMap::Temperature, 23.46f);
    f.bus->setFloatRegister(3, RegisterMap::Pressure, 101325.0f);
    QTest::mouseClick(first.cell("btn_online"), Qt::LeftButton);
    QCOMPARE(first.online(), QStringLiteral("接连"));
    // The mode read-back is one request slot: a second row clicked within the same tick would take
    // it over, so the operator waits for the first row's mode.
    QTRY_COMPARE(first.cell("btn_mode")->text(), QStringLiteral("瞬时量控制"));
    QTest::mouseClick(second.cell("btn_online"), Qt::LeftButton);
    const auto simFloat = [&](quint8 address, quint16 reg) {
        return double(f.bus->floatRegister(address, reg));
    };
    QTRY_VERIFY(showsValue(first.reading("btn_currentFlow"), "-?\\d+\\.\\d{3}",
                           simFloat(1, RegisterMap::InstantFlow), 0.05));
    QTRY_VERIFY(showsValue(first.reading("btn_cumFlow"), "-?\\d+\\.\\d{3}",
                           simFloat(1, RegisterMap::CumulativeFlow), 0.01));
    QTRY_VERIFY(
        showsValue(first.reading("btn_temp"), "\\d+\\.\\d", simFloat(1, RegisterMap::Temperature), 0.2));
    QTRY_VERIFY(showsValue(second.reading("btn_press"), "\\d+\\.\\d",
                           simFloat(3, RegisterMap::Pressure) / 1000, 0.2));
    QCOMPARE(third.reading("btn_temp"), QStringLiteral("温度")); // 12 was not taken online

    // The mode read-back restyles the setpoint entries: instantaneous control, cumulative greyed.
    QTRY_VERIFY(first.entry("edit_cum")->styleSheet().contains(QStringLiteral("background-color: gray")));
    QVERIFY(!first.entry("edit_cur")->styleSheet().contains(QStringLiteral("gray")));

    // Type a setpoint into the online row and press Enter: the controller gets the float write.
    f.bus->clearReceivedFrames();
    QLineEdit *setpoint = first.entryField("edit_cur");
    setpoint->setFocus();
    setpoint->selectAll();
    QTest::keyClicks(setpoint, QStringLiteral("50"));
    QTest::keyClick(setpoint, Qt::Key_Return);
    const QByteArray write = SerialPort::buildWriteFloatFrame(1, RegisterMap::InstantSetpoint, 50.0f);
    QTRY_VERIFY(f.bus->receivedFrames().contains(write));
    QTRY_COMPARE(f.bus->floatRegister(1, RegisterMap::InstantSetpoint), 50.0f);
    QTRY_VERIFY_WITH_TIMEOUT(first.reading("btn_currentFlow").toDouble() > 25.0, 10000); // flow follows

    // Take 3 offline: its readings go blank and stay blank while the bus keeps running.
    QTest::mouseClick(second.cell("btn_online"), Qt::LeftButton);
    QCOMPARE(second.online(), QStringLiteral("断开"));
    QCOMPARE(second.reading("btn_temp"), QString());
    const int framesBefore = f.bus->receivedFrames().size();
    QTRY_VERIFY(f.bus->receivedFrames().size() > framesBefore + 20);
    QCOMPARE(second.reading("btn_temp"), QString());
    QCOMPARE(second.reading("btn_press"), QString());

    // Back online, then silence 3: after its loss window the drop box and a red "掉线" row.
    QTest::mouseClick(second.cell("btn_online"), Qt::LeftButton);
    QCOMPARE(second.online(), QStringLiteral("接连"));
    f.boxes.boxes.clear();
    SimFaults silent;
    silent.silent = true;
    f.bus->setFaults(3, silent);
    QTRY_VERIFY_WITH_TIMEOUT(!f.boxes.boxes.isEmpty(), 60000);
    QCOMPARE(f.boxes.texts(), QStringList{QStringLiteral("提示|设备:3掉线")});
    QCOMPARE(second.online(), QStringLiteral("掉线"));
    QVERIFY(second.cell("btn_online")->styleSheet().contains(QStringLiteral("background-color: red")));
    QCOMPARE(first.online(), QStringLiteral("接连")); // the healthy controller is untouched

    // Bring it back and click the row: it is polled again.
    f.bus->clearFaults();
    f.bus->setFloatRegister(3, RegisterMap::Temperature, 30.0f);
    QTest::mouseClick(second.cell("btn_online"), Qt::LeftButton);
    QCOMPARE(second.online(), QStringLiteral("接连"));
    QTRY_VERIFY(
        showsValue(second.reading("btn_temp"), "\\d+\\.\\d", simFloat(3, RegisterMap::Temperature), 0.2));
    QCOMPARE(f.boxes.boxes.size(), 1);
}

#include "TestRunner.h"

QUORIX_TEST_MAIN(tst_operatorSession)
#include "tst_operatorSession.moc"
