// The MQTT link as the operator sets it up: the "MQTT 设置" window of the device menu, the
// administrator password that turns remote setpoints on, the status bar, a remote setpoint that
// the row then shows, the message log, and the settings that come back at the next start.

#include "mqtt/MqttBroker.h"
#include "mqtt/MqttWatcher.h"
#include "shell/MainWindowFixture.h"
#include "stages/StagePageDriver.h"

#include "CustomSpimbox.h"
#include "DeviceLine.h"
#include "MqttBridge.h"
#include "MqttLinkWiring.h"
#include "MqttSettingsStore.h"
#include "MqttSettingsWindow.h"
#include "RegisterMap.h"
#include "deviceWindow.h"
#include "loginWnd.h"
#include "qDebugWidget.h"
#include "setAdminParam.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QStandardPaths>
#include <QtTest>

namespace {

const QString prefix = QStringLiteral("lab/bench-7");

MainWindowFixture::Setup threeControllers()
{
    MainWindowFixture::Setup setup;
    setup.addresses = QList<quint8>() << 1 << 2 << 3;
    return setup;
}

QString topic(const QString &rest)
{
    return prefix + QLatin1Char('/') + rest;
}

template <class T> T *field(QWidget *window, const char *name)
{
    auto *found = window->findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no %s", name);
    return found;
}

// On its box, as the operator clicks it: the middle of a wide check box is empty space.
void tick(QCheckBox *box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
}

void typeInto(QLineEdit *edit, const QString &text)
{
    edit->selectAll();
    edit->del();
    QTest::keyClicks(edit, text);
}

// Opens the port, scans (1, 2, 3) and takes the first row online.
bool openScanAndTakeFirstRowOnline(MainWindowFixture &f)
{
    if (!f.openPort())
        return false;
    menuEntry(*f.window, QStringLiteral("查询设备"))->trigger();
    if (!QTest::qWaitFor([&] { return f.boxes.lastText().startsWith(QStringLiteral("查询设备完成")); }, 10000))
        return false;
    QTest::mouseClick(f.window->devicePage()->row(0)->findChild<QPushButton *>(QStringLiteral("btn_online")),
                      Qt::LeftButton);
    return true;
}

// Types the administrator password into the login the window asked for and confirms it.
void answerLogin(loginWnd *login, const QString &password)
{
    auto *edit = field<QLineEdit>(login, "edit_password");
    typeInto(edit, password);
    QTest::mouseClick(field<QPushButton>(login, "pushButton"), Qt::LeftButton);
}

} // namespace

class tst_mqttSettings : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void remoteSetpointThroughTheWindow();
    void settingsComeBackAtTheNextStartWithoutRemoteSetpoints_data();
    void settingsComeBackAtTheNextStartWithoutRemoteSetpoints();
    void badPrefixIsRefused();
    void remoteStopEndsTheRunningProgramme();
};

void tst_mqttSettings::initTestCase()
{
    // The settings go to a test folder, never the user's own.
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(!MqttBroker::program().isEmpty());
}

void tst_mqttSettings::init()
{
    QDir(MqttSettingsStore::defaultFolder()).removeRecursively();
}

void tst_mqttSettings::remoteSetpointThroughTheWindow()
{
    MqttBroker broker;
    QVERIFY(broker.start());
    MqttWatcher watcher(broker.port(), prefix + QStringLiteral("/#"));
    MainWindowFixture f(threeControllers());
    f.window->show();
    auto *status = f.window->mqttLink()->statusLabel();
    QCOMPARE(status->text(), QStringLiteral("MQTT未启用"));
    QVERIFY(openScanAndTakeFirstRowOnline(f));

    menuEntry(*f.window, QStringLiteral("MQTT 设置"))->trigger();
    MqttSettingsWindow *window = f.window->mqttLink()->settingsWindow();
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), QStringLiteral("MQTT 设置"));
    typeInto(field<QLineEdit>(window, "edit_host"), QStringLiteral("127.0.0.1"));
    field<QSpinBox>(window, "spin_port")->setValue(broker.port());
    typeInto(field<QLineEdit>(window, "edit_prefix"), prefix);
    tick(field<QCheckBox>(window, "check_publish"));

    // Remote setpoints: the administrator password first, a wrong one leaves them off.
    auto *remote = field<QCheckBox>(window, "check_remote");
    tick(remote);
    loginWnd *login = f.window->mqttLink()->login();
    QVERIFY(login->isVisible());
    QVERIFY(!remote->isChecked());
    answerLogin(login, QStringLiteral("guest4817"));
    QCOMPARE(f.boxes.texts().last(), QStringLiteral("提示|密码错误"));
    QVERIFY(!remote->isChecked());
    answerLogin(login, QStringLiteral("guest902731"));
    QVERIFY(remote->isChecked());
    QVERIFY(!login->isVisible());
    QVERIFY(!f.window->adminParamWnd->isVisible());

    QTest::mouseClick(field<QPushButton>(window, "btn_ok"), Qt::LeftButton);
    QVERIFY(!window->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(status->text(), QStringLiteral("MQTT已连接 127.0.0.1:%1").arg(broker.port()), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(watcher.last(topic("1/state")), QByteArray("online"), 10000);
    QCOMPARE(watcher.last(topic("2/state")), QByteArray("offline"));
    QTRY_VERIFY_WITH_TIMEOUT(watcher.count(topic("1/flow")) > 0, 10000);

    watcher.publish(topic("1/setpoint/set"), "{\"value\": 250}");
    QTRY_VERIFY_WITH_TIMEOUT(watcher.count(topic("1/setpoint/result")) > 0, 10000);
    QCOMPARE(watcher.last(topic("1/setpoint/result")), QByteArray("{\"ok\":true,\"value\":250}"));
    QCOMPARE(f.bus->floatRegister(1, RegisterMap::InstantSetpoint), 250.0f);
    auto *entry = f.window->devicePage()->row(0)->findChild<CustomSpimbox *>(QStringLiteral("edit_cur"));
    auto *shown = entry->findChild<QLineEdit *>(QStringLiteral("lineEdit"));
    QTRY_COMPARE_WITH_TIMEOUT(shown->text(), QStringLiteral("250"), 10000);
    // The row of a controller that is not online takes nothing from afar.
    watcher.publish(topic("2/setpoint/set"), "5");
    QTRY_VERIFY_WITH_TIMEOUT(watcher.count(topic("2/setpoint/result")) > 0, 10000);
    QCOMPARE(watcher.lastJson(topic("2/setpoint/result")).value("error").toString(), QStringLiteral("设备2未上线"));
    // The trail: remote setpoints allowed at the administrator's level, the refused command with its topic.
    const QList<QJsonObject> trail = AuditTrail::readAll(AuditTrail::defaultFolder());
    QCOMPARE(trail.first().value("what").toString(), QStringLiteral("remote_setpoints"));
    QCOMPARE(trail.first().value("after").toBool(), true);
    QCOMPARE(trail.first().value("source").toObject().value("level").toString(), QStringLiteral("administrator"));
    QCOMPARE(trail.last().value("reason").toString(), QStringLiteral("设备2未上线"));
    QVERIFY(trail.last().value("source").toObject().value("origin").toString().startsWith("topic " + topic("2/setpoint/set")));

    f.window->debugWnd->show();
    auto *log = f.window->debugWnd->findChild<QPlainTextEdit *>();
    QTRY_VERIFY(log->toPlainText().contains(QStringLiteral("远程命令：设备1瞬时流量设定 成功：250")));
    QVERIFY(log->toPlainText().contains(QStringLiteral("远程命令：设备2瞬时流量设定 被拒绝：设备2未上线")));
    f.window->debugWnd->hide();

    // The broker goes away: the status bar says so, the rows go on being polled.
    broker.kill();
    QTRY_VERIFY_WITH_TIMEOUT(status->text().startsWith(QStringLiteral("MQTT未连接 127.0.0.1")), 10000);

    auto *temperature = f.window->devicePage()->row(0)->findChild<QPushButton *>(QStringLiteral("btn_temp"));
    const QString before = temperature->text();
    f.bus->setFloatRegister(1, RegisterMap::Temperature, 77.5f);
    QTRY_COMPARE_WITH_TIMEOUT(temperature->text().left(2), QStringLiteral("77"), 10000);
    QVERIFY(before.left(2) != QStringLiteral("77"));

}

void tst_mqttSettings::settingsComeBackAtTheNextStartWithoutRemoteSetpoints_data()
{
    QTest::addColumn<bool>("keepPassword");
    QTest::newRow("password kept") << true;
    QTest::newRow("password not kept") << false;
}

void tst_mqttSettings::settingsComeBackAtTheNextStartWithoutRemoteSetpoints()
{
    QFETCH(bool, keepPassword);
    {
        MainWindowFixture f(threeControllers());
        menuEntry(*f.window, QStringLiteral("MQTT 设置"))->trigger();
        MqttSettingsWindow *window = f.window->mqttLink()->settingsWindow();
        typeInto(field<QLineEdit>(window, "edit_host"), QStringLiteral("broker.lab"));
        field<QSpinBox>(window, "spin_port")->setValue(8883);
        typeInto(field<QLineEdit>(window, "edit_user"), QStringLiteral("bench-7"));
        typeInto(field<QLineEdit>(window, "edit_password"), QStringLiteral("s3cret-pw"));
        typeInto(field<QLineEdit>(window, "edit_prefix"), QStringLiteral("lab/7/"));
        if (keepPassword)
            tick(field<QCheckBox>(window, "check_savePassword"));
        window->grantRemoteSetpoints(true);
        QTest::mouseClick(field<QPushButton>(window, "btn_ok"), Qt::LeftButton);
        QCOMPARE(f.window->mqttLink()->bridge().settings().allowSetpoints, true);
    }
    MqttSettingsStore store;
    QFile password(store.passwordPath());
    QCOMPARE(password.exists(), keepPassword);
    if (keepPassword)
        QCOMPARE(int(password.permissions() & (QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ReadOther |
                                               QFileDevice::WriteOther)),
                 0);
    QFile settingsFile(store.settingsPath());
    QVERIFY(settingsFile.open(QIODevice::ReadOnly));
    QVERIFY(!settingsFile.readAll().contains("s3cret-pw"));

    MainWindowFixture f(threeControllers());
    menuEntry(*f.window, QStringLiteral("MQTT 设置"))->trigger();
    MqttSettingsWindow *window = f.window->mqttLink()->settingsWindow();
    QCOMPARE(field<QLineEdit>(window, "edit_host")->text(), QStringLiteral("broker.lab"));
    QCOMPARE(field<QSpinBox>(window, "spin_port")->value(), 8883);
    QCOMPARE(field<QLineEdit>(window, "edit_user")->text(), QStringLiteral("bench-7"));
    QCOMPARE(field<QLineEdit>(window, "edit_prefix")->text(), QStringLiteral("lab/7"));
    QCOMPARE(field<QLineEdit>(window, "edit_password")->text(), keepPassword ? QStringLiteral("s3cret-pw") : QString());
    QCOMPARE(field<QCheckBox>(window, "check_savePassword")->isChecked(), keepPassword);
    QCOMPARE(field<QCheckBox>(window, "check_remote")->isChecked(), false);
    QCOMPARE(f.window->mqttLink()->bridge().settings().allowSetpoints, false);
}

void tst_mqttSettings::badPrefixIsRefused()
{
    MainWindowFixture f(threeControllers());
    menuEntry(*f.window, QStringLiteral("MQTT 设置"))->trigger();
    MqttSettingsWindow *window = f.window->mqttLink()->settingsWindow();
    typeInto(field<QLineEdit>(window, "edit_prefix"), QStringLiteral("lab/#"));
    QTest::mouseClick(field<QPushButton>(window, "btn_ok"), Qt::LeftButton);
    QCOMPARE(f.boxes.texts().last(), QStringLiteral("错误提示|主题前缀不能为空，也不能含有 + 或 #"));
    QVERIFY(window->isVisible());
    QVERIFY(!QFile::exists(MqttSettingsStore().settingsPath()));
}

// A controller the stage page drives takes no remote setpoint; a remote stop ends the programme as
// the page's stop button does and sets every controller of the scan to 0.
void tst_mqttSettings::remoteStopEndsTheRunningProgramme()
{
    MqttBroker broker;
    QVERIFY(broker.start());
    MqttWatcher watcher(broker.port(), prefix + QStringLiteral("/#"));
    MainWindowFixture f(threeControllers());
    f.window->show();
    QVERIFY(openScanAndTakeFirstRowOnline(f));
    MqttSettings settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = broker.port();
    settings.prefix = prefix;
    settings.publish = true;
    settings.allowSetpoints = true;
    f.window->mqttLink()->bridge().apply(settings);
    QTRY_COMPARE_WITH_TIMEOUT(watcher.last(topic("1/state")), QByteArray("online"), 10000);
    f.bus->setFloatRegister(2, RegisterMap::InstantSetpoint, 33);

    stageControlWidget &page = *f.window->stagePage();
    StagePageDriver::showStagePage(*f.window);
    QVERIFY(StagePageDriver::typeProgramme(*page.items().at(0), {"10,100"}));
    QTest::mouseClick(page.startButton(), Qt::LeftButton);
    QTRY_COMPARE(f.bus->floatRegister(1, RegisterMap::InstantSetpoint), 10.0f);

    watcher.publish(topic("1/setpoint/set"), "50");
    QTRY_VERIFY_WITH_TIMEOUT(watcher.count(topic("1/setpoint/result")) > 0, 10000);
    QCOMPARE(watcher.lastJson(topic("1/setpoint/result")).value("error").toString(), QStringLiteral("设备1正由分阶程序1控制"));

    watcher.publish(topic("stop"), "");
    QTRY_VERIFY_WITH_TIMEOUT(watcher.count(topic("stop/result")) > 0, 15000);
    QCOMPARE(watcher.last(topic("stop/result")), QByteArray("{\"ok\":true}"));
    QCOMPARE(page.startButton()->text(), QStringLiteral("开始"));
    QTRY_COMPARE(f.bus->floatRegister(1, RegisterMap::InstantSetpoint), 0.0f);
    QCOMPARE(f.bus->floatRegister(2, RegisterMap::InstantSetpoint), 0.0f);
    QCOMPARE(f.bus->floatRegister(3, RegisterMap::InstantSetpoint), 0.0f);
    // The stop's 0 is what the controller holds now, and what subscribers are told it holds.
    QTRY_COMPARE_WITH_TIMEOUT(watcher.lastJson(topic("1/setpoint")).value("value").toDouble(), 0.0, 10000);
    QCOMPARE(watcher.lastJson(topic("1/setpoint")).value("unit").toString(), QStringLiteral("sccm"));
}

#include "TestRunner.h"

QUORIX_TEST_MAIN(tst_mqttSettings)
#include "tst_mqttSettings.moc"
