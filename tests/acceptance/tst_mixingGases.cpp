// Mixing gases through the real main window and a simulated bus of three controllers: each member
// writes its share of the total, a member's full scale cuts the total (keep ratio) or bends the
// composition (keep total), and a member that drops or is taken offline brings the whole group to
// 0 at once, with a notice saying why.

#include "stages/StagePageDriver.h"

#include "TestRunner.h"

#include "AlarmMonitor.h"
#include "AlarmWiring.h"
#include "BenchModel.h"
#include "MixDriver.h"
#include "MixSettingsWindow.h"
#include "ProcessSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QWindow>
#include <QtTest>

using namespace StagePageDriver;

namespace {

// Generous for a loaded machine: a wait ends as soon as the bus shows what it waits for.
constexpr int kBusWaitMs = 20000;

MixGroup fiftyThirtyTwenty(double thirdFullScale, MixGroup::Policy policy)
{
    MixGroup group;
    group.name = QStringLiteral("N2/Ar/H2");
    group.policy = policy;
    group.members = {{1, 50, 1000}, {2, 30, 1000}, {3, 20, thirdFullScale}};
    return group;
}

QList<float> mixSetpoints(const SimBus &bus)
{
    return {lastSetpoint(bus, 1), lastSetpoint(bus, 2), lastSetpoint(bus, 3)};
}

// Three controllers found and online, their modes read.
bool threeOnlineForMixing(MainWindowFixture &f)
{
    if (!f.openPort())
        return false;
    scanFromMenu(*f.window);
    if (!QTest::qWaitFor([&] { return f.window->foundDeviceIds() == QList<quint8>{1, 2, 3}; }, kBusWaitMs))
        return false;
    f.takeOnline({1, 2, 3});
    return QTest::qWaitFor([&] {
        for (quint8 address : {1, 2, 3})
            if (f.window->benchModel()->record(address)->mode != 0)
                return false;
        return true;
    }, kBusWaitMs);
}

MainWindowFixture::Setup mixingBench()
{
    MainWindowFixture::Setup setup;
    setup.addresses = {1, 2, 3};
    setup.tickMs = 20;
    return setup;
}

} // namespace

class tst_mixingGases : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void sharesOfTheTotalUnderEachPolicy();
    void windowDefinesStartsAndStops();
    void keptGroupsComeBackStopped();
    void memberLeavingStopsTheGroup_data();
    void memberLeavingStopsTheGroup();
    void leavingTheProgramStopsRunningGroups();
    void compositionAlarmInTheWindowAndTheStatusBar();

private:
    QTemporaryDir m_home;
};

// The settings file is this class's own, also beside other classes running at the same time.
void tst_mixingGases::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("HOME", QFile::encodeName(m_home.path()));
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(ProcessSettings::defaultPath().startsWith(m_home.path()));
}

void tst_mixingGases::sharesOfTheTotalUnderEachPolicy()
{
    MainWindowFixture f(mixingBench());
    mainWnd &w = *f.window;
    w.show();
    QVERIFY(threeOnlineForMixing(f));
    f.boxes.boxes.clear();
    MixDriver &mixes = *w.mixes();
    QVERIFY(!mixes.isRunning(1));

    QCOMPARE(mixes.setGroup(1, fiftyThirtyTwenty(1000, MixGroup::Policy::KeepRatio)), QString());
    QCOMPARE(mixes.start(1, 1000), QString());
    QTRY_COMPARE_WITH_TIMEOUT(mixSetpoints(*f.bus), (QList<float>{500, 300, 200}), kBusWaitMs);
    QCOMPARE(mixes.plan(1).limit, QString());
    mixes.stop(1);
    QTRY_COMPARE_WITH_TIMEOUT(mixSetpoints(*f.bus), (QList<float>{0, 0, 0}), kBusWaitMs);

    QCOMPARE(mixes.setGroup(1, fiftyThirtyTwenty(150, MixGroup::Policy::KeepRatio)), QString());
    QCOMPARE(mixes.start(1, 1000), QString());
    QTRY_COMPARE_WITH_TIMEOUT(mixSetpoints(*f.bus), (QList<float>{375, 225, 150}), kBusWaitMs);
    QCOMPARE(mixes.plan(1).limit, QStringLiteral("总流量受设备3限制：最大 750 sccm"));
    mixes.stop(1);
    QTRY_COMPARE_WITH_TIMEOUT(mixSetpoints(*f.bus), (QList<float>{0, 0, 0}), kBusWaitMs);

    QCOMPARE(mixes.setGroup(1, fiftyThirtyTwenty(150, MixGroup::Policy::KeepTotal)), QString());
    QCOMPARE(mixes.start(1, 1000), QString());
    QTRY_COMPARE_WITH_TIMEOUT(mixSetpoints(*f.bus), (QList<float>{531.25f, 318.75f, 150}), kBusWaitMs);
    QVERIFY(mixes.plan(1).compositionChanged);
    // A new total while running: every member follows.
    QCOMPARE(mixes.setTotal(1, 500), QString());
    QTRY_COMPARE_WITH_TIMEOUT(mixSetpoints(*f.bus), (QList<float>{250, 150, 100}), kBusWaitMs);
    QVERIFY(!mixes.plan(1).compositionChanged);
    mixes.stop(1);
    QTRY_COMPARE_WITH_TIMEOUT(mixSetpoints(*f.bus), (QList<float>{0, 0, 0}), kBusWaitMs);
    QVERIFY2(f.boxes.boxes.isEmpty(), qPrintable(f.boxes.texts().join(QLatin1Char('\n')))); // stops that were asked for need no notice
}

// "混合设置" from the menu: rows typed in, started, the total changed, the composition aimed at and
// measured, what limited it, stopped; the group kept in process.json.
void tst_mixingGases::windowDefinesStartsAndStops()
{
    MainWindowFixture f(mixingBench());
    mainWnd &w = *f.window;
    w.show();
    QVERIFY(threeOnlineForMixing(f));
    f.boxes.boxes.clear();
    menuEntry(w, QStringLiteral("混合设置"))->trigger();
    MixSettingsWindow &window = *w.mixSettings();
    QVERIFY(window.isVisible());
    QVERIFY(window.isWindow());
    window.findChild<QComboBox *>(QStringLiteral("combo_group"))->setCurrentIndex(1);
    QTableWidget &table = *window.table();
    const QStringList rows{"1 50 1000", "2 30 1000", "3 20 150"};
    for (int row = 0; row < rows.size(); ++row)
        for (int column = 0; column < 3; ++column)
            table.item(row, column)->setText(rows[row].split(QLatin1Char(' '))[column]);
    auto *total = window.findChild<QDoubleSpinBox *>(QStringLiteral("spin_total"));
    auto *limit = window.findChild<QLabel *>(QStringLiteral("label_limit"));
    const auto button = [&window](const char *name) { return window.findChild<QPushButton *>(QLatin1String(name)); };
    total->setValue(1000);
    QTest::mouseClick(button("btn_start"), Qt::LeftButton);
    QVERIFY2(f.boxes.boxes.isEmpty(), qPrintable(f.boxes.texts().join(QLatin1Char('\n'))));
    QVERIFY(w.mixes()->isRunning(2));
    QTRY_COMPARE_WITH_TIMEOUT(mixSetpoints(*f.bus), (QList<float>{375, 225, 150}), kBusWaitMs);
    QCOMPARE(limit->text(), QStringLiteral("总流量受设备3限制：最大 750 sccm"));
    QCOMPARE(table.item(2, MixSettingsWindow::SetpointColumn)->text(), QStringLiteral("150"));
    QCOMPARE(table.item(0, MixSettingsWindow::TargetColumn)->text(), QStringLiteral("50.0%"));
    // The flows settle on the setpoints: the measured composition follows.
    QTRY_COMPARE_WITH_TIMEOUT(table.item(2, MixSettingsWindow::ActualColumn)->text(), QStringLiteral("20.0%"), kBusWaitMs);

    total->setValue(500);
    QTest::mouseClick(button("btn_total"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(mixSetpoints(*f.bus), (QList<float>{250, 150, 100}), kBusWaitMs);
    QCOMPARE(limit->text(), QString());

    QTest::mouseClick(button("btn_stop"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(mixSetpoints(*f.bus), (QList<float>{0, 0, 0}), kBusWaitMs);
    QVERIFY(!w.mixes()->isRunning(2));
    QVERIFY(!button("btn_stop")->isEnabled());
    QVERIFY(f.boxes.boxes.isEmpty());

    ProcessSettings kept;
    QString error;
    QVERIFY(kept.load(ProcessSettings::defaultPath(), &error));
    QCOMPARE(kept.mixes().value(2).addresses(), (QList<quint8>{1, 2, 3}));
    QCOMPARE(kept.mixes().value(2).total, 1000.0);

    // A row that does not read is refused with a notice, nothing started.
    table.item(1, 1)->setText(QStringLiteral("thirty"));
    QTest::mouseClick(button("btn_start"), Qt::LeftButton);
    QCOMPARE(f.boxes.texts(),
             QStringList{QStringLiteral("提示|第2行无法读取：设备地址为1到255，比例和满量程为数字")});
    QVERIFY(!w.mixes()->isRunning(2));
}

// A group kept in process.json is read back at the next start, defined and stopped: nothing is
// written to its members until an operator starts it.
void tst_mixingGases::keptGroupsComeBackStopped()
{
    ProcessSettings settings;
    QString error;
    QVERIFY(settings.load(ProcessSettings::defaultPath(), &error));
    MixGroup kept = fiftyThirtyTwenty(1000, MixGroup::Policy::KeepTotal);
    kept.total = 600;
    settings.setMix(3, kept);
    QVERIFY(settings.save(ProcessSettings::defaultPath(), &error));

    MainWindowFixture f(mixingBench());
    mainWnd &w = *f.window;
    w.show();
    QVERIFY(threeOnlineForMixing(f));
    QCOMPARE(w.mixes()->group(3).addresses(), (QList<quint8>{1, 2, 3}));
    QCOMPARE(w.mixes()->group(3).total, 600.0);
    QVERIFY(w.mixes()->runningMembers().isEmpty());
    menuEntry(w, QStringLiteral("混合设置"))->trigger();
    w.mixSettings()->showGroup(3);
    QCOMPARE(w.mixSettings()->table()->item(1, MixSettingsWindow::FractionColumn)->text(), QStringLiteral("30"));
    QCOMPARE(w.mixSettings()->findChild<QLabel *>(QStringLiteral("label_state"))->text(), QStringLiteral("已停止"));
    QVERIFY(f.flushWorker());
    QCOMPARE(mixSetpoints(*f.bus), (QList<float>{-1, -1, -1})); // never written
}

void tst_mixingGases::memberLeavingStopsTheGroup_data()
{
    QTest::addColumn<bool>("silenced");
    QTest::addColumn<QString>("why");
    QTest::newRow("silent controller drops")
        << true << QStringLiteral("提示|混合组2已停止，所有设备流量设为0：设备2掉线");
    QTest::newRow("taken offline with its row's button")
        << false << QStringLiteral("提示|混合组2已停止，所有设备流量设为0：设备2已下线");
}

void tst_mixingGases::memberLeavingStopsTheGroup()
{
    QFETCH(bool, silenced);
    QFETCH(QString, why);
    MainWindowFixture f(mixingBench());
    mainWnd &w = *f.window;
    w.show();
    QVERIFY(threeOnlineForMixing(f));
    MixDriver &mixes = *w.mixes();
    QCOMPARE(mixes.setGroup(2, fiftyThirtyTwenty(1000, MixGroup::Policy::KeepTotal)), QString());
    QCOMPARE(mixes.start(2, 1000), QString());
    QTRY_COMPARE_WITH_TIMEOUT(mixSetpoints(*f.bus), (QList<float>{500, 300, 200}), kBusWaitMs);

    if (silenced) {
        SimFaults silent;
        silent.silent = true;
        f.bus->setFaults(2, silent);
    } else {
        f.takeOnline({2});
    }
    QTRY_VERIFY_WITH_TIMEOUT(!mixes.isRunning(2), 60000);
    QTRY_COMPARE_WITH_TIMEOUT(lastSetpoint(*f.bus, 1), 0.0f, kBusWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(lastSetpoint(*f.bus, 3), 0.0f, kBusWaitMs);
    QVERIFY2(f.boxes.texts().contains(why), qPrintable(f.boxes.texts().join(QLatin1Char('\n'))));
    for (quint8 address : {1, 2, 3})
        QVERIFY(w.benchModel()->driverOf(address).isNone());
    QVERIFY(mixes.runningMembers().isEmpty());
}

// Closing the window asks first, then sets every member of a running group to 0 before it goes.
void tst_mixingGases::leavingTheProgramStopsRunningGroups()
{
    MainWindowFixture f(mixingBench());
    mainWnd &w = *f.window;
    w.show();
    QVERIFY(threeOnlineForMixing(f));
    f.boxes.boxes.clear();
    MixDriver &mixes = *w.mixes();
    mixes.setGroup(3, fiftyThirtyTwenty(1000, MixGroup::Policy::KeepRatio));
    QCOMPARE(mixes.start(3, 100), QString());
    QTRY_COMPARE_WITH_TIMEOUT(mixSetpoints(*f.bus), (QList<float>{50, 30, 20}), kBusWaitMs);

    f.boxes.questionAnswer = QMessageBox::Yes;
    w.windowHandle()->close();
    QTRY_VERIFY_WITH_TIMEOUT(!w.isVisible(), 40000);
    for (quint8 address : {1, 2, 3})
        QCOMPARE(f.bus->floatRegister(address, RegisterMap::InstantSetpoint), 0.0f);
    QVERIFY(!mixes.isRunning(3));
    QCOMPARE(f.boxes.texts().value(0),
             QStringLiteral("提示|混合组正在运行。退出前停止全部混合组并将流量设为0？"));
}

// A member whose valve does not move bends the measured composition: once the hold-off and the
// seconds set in the window have passed, the window says so in red, and the alarm is in the status
// bar and the alarm record; stopping the group clears it.
void tst_mixingGases::compositionAlarmInTheWindowAndTheStatusBar()
{
    MainWindowFixture f(mixingBench());
    mainWnd &w = *f.window;
    w.show();
    QVERIFY(threeOnlineForMixing(f));
    f.boxes.boxes.clear();
    SimFaults stuck;
    stuck.stuck = true;
    f.bus->setFaults(3, stuck); // its flow stays at 0
    menuEntry(w, QStringLiteral("混合设置"))->trigger();
    MixSettingsWindow &window = *w.mixSettings();
    QTableWidget &table = *window.table();
    const QStringList rows{"1 50 1000", "2 30 1000", "3 20 1000"};
    for (int row = 0; row < rows.size(); ++row)
        for (int column = 0; column < 3; ++column)
            table.item(row, column)->setText(rows[row].split(QLatin1Char(' '))[column]);
    QVERIFY(window.findChild<QCheckBox *>(QStringLiteral("check_alarm"))->isChecked());
    window.findChild<QDoubleSpinBox *>(QStringLiteral("spin_seconds"))->setValue(1);
    window.findChild<QDoubleSpinBox *>(QStringLiteral("spin_holdoff"))->setValue(1);
    window.findChild<QDoubleSpinBox *>(QStringLiteral("spin_total"))->setValue(100);
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("btn_start")), Qt::LeftButton);
    QVERIFY(w.mixes()->isRunning(1));
    QCOMPARE(w.mixes()->group(1).alarm.holdoff, 1.0);

    auto *label = window.findChild<QLabel *>(QStringLiteral("label_alarm"));
    QTRY_VERIFY_WITH_TIMEOUT(label->text().startsWith(QStringLiteral("组成偏差报警：设备3偏离目标 ")), kBusWaitMs);
    QVERIFY(label->styleSheet().contains(QStringLiteral("red")));
    QCOMPARE(table.item(2, MixSettingsWindow::ActualColumn)->foreground().color(), QColor(Qt::red));
    QVERIFY2(w.alarmWiring()->statusLabel()->text().contains(QStringLiteral("混合组1 组成偏差 设备3")),
             qPrintable(w.alarmWiring()->statusLabel()->text()));
    const auto composition = [&w] {
        for (const AlarmRecord &record : w.alarms()->records())
            if (record.kind == ControllerAlarms::Composition)
                return record;
        return AlarmRecord();
    };
    QCOMPARE(composition().mixGroup, 1);
    QCOMPARE(int(composition().address), 3);
    QVERIFY(composition().active);

    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("btn_stop")), Qt::LeftButton);
    QCOMPARE(label->text(), QString());
    QVERIFY(!composition().active);
    QVERIFY(composition().latched()); // until acknowledged
    QVERIFY(f.boxes.boxes.isEmpty());
}

QUORIX_TEST_MAIN(tst_mixingGases)
#include "tst_mixingGases.moc"
