// Flow alarms through the real window against a simulated bus: a stuck valve raises a deviation
// alarm, a valve that follows its ramp two seconds late does not; the alarm latches until it has
// cleared and was acknowledged in "报警记录"; switched on in "过程设置", the zero action sets the
// controller to 0.

#include "stages/StagePageDriver.h"

#include "TestRunner.h"

#include "AlarmListWindow.h"
#include "AlarmMonitor.h"
#include "AlarmWiring.h"
#include "BenchModel.h"
#include "DeviceLine.h"
#include "ProcessSettingsWindow.h"
#include "ProcessSettingsWiring.h"
#include "RampDriver.h"
#include "loginWnd.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QStandardPaths>
#include <QtTest>

using namespace StagePageDriver;

namespace {

using Column = ProcessSettingsWindow::Column;

void saveWithPassword(MainWindowFixture &f)
{
    ProcessSettingsWindow *window = f.window->processSettings()->window();
    QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("btn_save")), Qt::LeftButton);
    loginWnd *login = f.window->processSettings()->login();
    QVERIFY(login->isVisible());
    QTest::keyClicks(login->findChild<QLineEdit *>(QStringLiteral("edit_password")), QStringLiteral("guest902731"));
    QTest::mouseClick(login->findChild<QPushButton *>(QStringLiteral("pushButton")), Qt::LeftButton);
    QCOMPARE(f.boxes.texts().last(), QStringLiteral("提示|过程设置已保存"));
}

// Quick alarms for every row: a deviation lasting 2 s after a hold-off of 6 s.
void quickAlarms(ProcessSettingsWindow *window, int rows)
{
    for (int row = 0; row < rows; ++row) {
        window->numberField(row, Column::SecondsColumn)->setValue(2);
        window->numberField(row, Column::HoldoffColumn)->setValue(6);
    }
}

void typeFlow(mainWnd &window, int row, const QString &text)
{
    QLineEdit *field = window.devicePage()->row(row)->findChild<QWidget *>(QStringLiteral("edit_cur"))
                           ->findChild<QLineEdit *>(QStringLiteral("lineEdit"));
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, text);
    QTest::keyClick(field, Qt::Key_Return);
    field->clearFocus();
}

} // namespace

class tst_flowAlarms : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void stuckValveAlarmsAndALateOneDoesNot();
};

void tst_flowAlarms::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QFile::remove(ProcessSettings::defaultPath());
}

void tst_flowAlarms::stuckValveAlarmsAndALateOneDoesNot()
{
    MainWindowFixture::Setup setup;
    setup.addresses = {1, 2};
    MainWindowFixture f(setup);
    mainWnd &w = *f.window;
    w.show();
    QVERIFY(f.openPort());
    scanFromMenu(w);
    QTRY_COMPARE(w.foundDeviceIds(), (QList<quint8>{1, 2}));
    f.takeOnline({1, 2});
    QTRY_VERIFY(w.benchModel()->record(1)->mode == 0 && w.benchModel()->record(2)->mode == 0);
    SimFaults stuck;
    stuck.stuck = true;
    f.bus->setFaults(1, stuck);
    SimFaults late;
    late.lagSeconds = 2;
    f.bus->setFaults(2, late);

    menuEntry(w, QStringLiteral("过程设置"))->trigger();
    ProcessSettingsWindow *settings = w.processSettings()->window();
    quickAlarms(settings, 2);
    settings->rateField(1)->setValue(20);
    saveWithPassword(f);

    // Controller 1 does not move; controller 2 follows its ramp to 100 two seconds late.
    typeFlow(w, 0, QStringLiteral("50"));
    typeFlow(w, 1, QStringLiteral("100"));
    QLabel *status = w.alarmWiring()->statusLabel();
    QTRY_VERIFY_WITH_TIMEOUT(status->isVisible(), 20000);
    QVERIFY2(status->text().startsWith(QStringLiteral("报警：设备1 流量偏差 100%（自 ")), qPrintable(status->text()));
    QVERIFY(w.devicePage()->row(0)->showsAlarm());
    QTRY_VERIFY_WITH_TIMEOUT(!w.ramps()->isRamping(2), 20000);
    const qint64 rampEnded = QDateTime::currentMSecsSinceEpoch();
    QTRY_VERIFY_WITH_TIMEOUT(QDateTime::currentMSecsSinceEpoch() - rampEnded > 9000, 15000);
    QCOMPARE(w.alarms()->latchedCount(), 1);
    QVERIFY(!w.devicePage()->row(1)->showsAlarm());

    // The valve frees itself: the alarm clears but stays latched until acknowledged.
    f.bus->setFaults(1, SimFaults());
    QTRY_VERIFY_WITH_TIMEOUT(!w.alarms()->latched().first().active, 10000);
    QVERIFY(status->isVisible());
    QVERIFY(w.devicePage()->row(0)->showsAlarm());
    w.alarmWiring()->openList();
    AlarmListWindow *list = w.alarmWiring()->listWindow();
    QTest::mouseClick(list->findChild<QPushButton *>(QStringLiteral("btn_acknowledge")), Qt::LeftButton);
    QVERIFY(!status->isVisible());
    QVERIFY(!w.devicePage()->row(0)->showsAlarm());
    QCOMPARE(list->csv().count(QLatin1Char('\n')), 2);
    QVERIFY(list->csv().contains(QStringLiteral(",1,deviation,")));
    const QJsonObject acknowledged = AuditTrail::readAll(AuditTrail::defaultFolder()).last();
    QCOMPARE(acknowledged.value("what").toString(), QStringLiteral("alarm_ack"));
    QCOMPARE(acknowledged.value("source").toObject().value("driver").toString(), QStringLiteral("operator"));
    QCOMPARE(acknowledged.value("outcome").toString(), QStringLiteral("done"));

    // The zero action, switched on: the next deviation sets controller 1 to 0.
    menuEntry(w, QStringLiteral("过程设置"))->trigger();
    settings->checkField(0, Column::ZeroColumn)->setChecked(true);
    settings->checkField(0, Column::TemperatureOnColumn)->setChecked(true);
    settings->numberField(0, Column::TemperatureHighColumn)->setValue(80);
    saveWithPassword(f);
    const AlarmSettings saved = w.processSettings()->settings().alarms(1);
    QVERIFY(saved.zeroOnAlarm);
    QVERIFY(saved.temperature.on && saved.temperature.high == 80);
    f.bus->setFaults(1, stuck);
    typeFlow(w, 0, QStringLiteral("10"));
    QTRY_COMPARE_WITH_TIMEOUT(w.alarms()->latchedCount(), 1, 20000);
    QTRY_COMPARE(f.bus->floatRegister(1, RegisterMap::InstantSetpoint), 0.0f);
    QVERIFY(w.alarms()->latched().first().zeroSent);
    QJsonObject action;
    for (const QJsonObject &line : AuditTrail::readAll(AuditTrail::defaultFolder()))
        if (line.value("source").toObject().value("driver").toString() == "alarm")
            action = line;
    QCOMPARE(action.value("source").toObject().value("origin").toString(), w.alarms()->latched().first().text());
}

QUORIX_TEST_MAIN(tst_flowAlarms)
#include "tst_flowAlarms.moc"
