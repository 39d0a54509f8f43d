// quorix-cli's bridge command against a real broker and the simulated bus: it publishes what it
// polls and what its controllers hold, obeys a remote setpoint when allowed, says "offline" for
// every controller and then for itself when ended by SIGINT or SIGTERM, leaves the broker's last
// will when killed, and refuses bad usage before it touches port or broker.

#include "MqttBroker.h"
#include "MqttWatcher.h"

#include "RegisterMap.h"
#include "SimBus.h"

#include <QProcess>
#include <QtTest>
#include <csignal>
#include <memory>

namespace {

const QString kCliPrefix = QStringLiteral("bench/cli");

QString cliTopic(const QString &rest)
{
    return kCliPrefix + QLatin1Char('/') + rest;
}

} // namespace

class tst_mqttBridgeCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void publishesAndEndsCleanlyOnASignal_data();
    void publishesAndEndsCleanlyOnASignal();
    void remoteSetpointReachesTheController();
    void remoteMixEndsWithTheBridge();
    void killedBridgeLeavesTheLastWill();
    void speaksEnglishInAChineseLocale();
    void badUsageIsRefused_data();
    void badUsageIsRefused();
    void noControllerAnswers();
    void echoingAdapterHidesNoController();

private:
    void startBridge(const QStringList &extra = {});

    QTemporaryDir m_dir;
    std::unique_ptr<SimBus> m_bus;
    std::unique_ptr<MqttBroker> m_broker;
    QProcess m_bridge;
};

void tst_mqttBridgeCli::initTestCase()
{
    QVERIFY2(!MqttBroker::program().isEmpty(), "mosquitto is not installed (scripts/setup.sh installs it)");
}

void tst_mqttBridgeCli::init()
{
    SimBus::Options options;
    options.addresses = {2, 5};
    options.linkPath = m_dir.filePath(QStringLiteral("ttyQUORIX"));
    m_bus = std::make_unique<SimBus>(options);
    QVERIFY(m_bus->start());
    m_broker = std::make_unique<MqttBroker>();
    QVERIFY(m_broker->start());
}

void tst_mqttBridgeCli::cleanup()
{
    if (m_bridge.state() != QProcess::NotRunning) {
        m_bridge.kill();
        m_bridge.waitForFinished(5000);
    }
    m_broker.reset();
    m_bus->stop();
}

void tst_mqttBridgeCli::startBridge(const QStringList &extra)
{
    m_bridge.setProcessChannelMode(QProcess::SeparateChannels);
    m_bridge.start(QStringLiteral(QUORIX_CLI_PATH),
                   QStringList{"--port", m_bus->portPath(), "--timeout", "250", "bridge", "--mqtt",
                               QStringLiteral("127.0.0.1:%1").arg(m_broker->port()), "--prefix", kCliPrefix,
                               "--period", "200"} +
                       extra);
    QVERIFY(m_bridge.waitForStarted(5000));
}

void tst_mqttBridgeCli::publishesAndEndsCleanlyOnASignal_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void tst_mqttBridgeCli::publishesAndEndsCleanlyOnASignal()
{
    QFETCH(int, signalNumber);
    MqttWatcher watcher(m_broker->port(), kCliPrefix + QStringLiteral("/#"));
    startBridge();
    QTRY_COMPARE_WITH_TIMEOUT(watcher.last(cliTopic("status")), QByteArray("online"), 15000);
    QTRY_COMPARE_WITH_TIMEOUT(watcher.last(cliTopic("5/state")), QByteArray("online"), 15000);
    QTRY_VERIFY_WITH_TIMEOUT(watcher.count(cliTopic("2/flow")) >= 2 && watcher.count(cliTopic("5/pressure")) >= 2, 15000);
    QCOMPARE(watcher.lastJson(cliTopic("5/pressure")).value("unit").toString(), QStringLiteral("KPa"));
    QCOMPARE(watcher.count(cliTopic("1/flow")), 0);
    QTRY_VERIFY_WITH_TIMEOUT(watcher.count(cliTopic("5/setpoint")) > 0 && watcher.count(cliTopic("5/mode")) > 0, 15000);

    // A second signal on the heels of the first (a terminal's and a service manager's) ends nothing twice.
    ::kill(pid_t(m_bridge.processId()), signalNumber);
    ::kill(pid_t(m_bridge.processId()), signalNumber == SIGINT ? SIGTERM : SIGINT);
    QVERIFY(m_bridge.waitForFinished(10000));
    QCOMPARE(m_bridge.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_bridge.exitCode(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(watcher.last(cliTopic("status")), QByteArray("offline"), 10000);
    for (const char *state : {"2/state", "5/state"}) {
        QCOMPARE(watcher.last(cliTopic(state)), QByteArray("offline"));
        QVERIFY(watcher.lastIndexOf(cliTopic(state)) < watcher.lastIndexOf(cliTopic("status")));
    }
    const QString err = QString::fromUtf8(m_bridge.readAllStandardError());
    QVERIFY(err.contains("polling 2,5 every 200 ms"));
    QCOMPARE(err.count(" stopping\n"), 1);
}

void tst_mqttBridgeCli::remoteSetpointReachesTheController()
{
    QFile password(m_dir.filePath(QStringLiteral("password")));
    QVERIFY(password.open(QIODevice::WriteOnly));
    password.write("not-needed\n");
    password.close();
    MqttWatcher watcher(m_broker->port(), kCliPrefix + QStringLiteral("/#"));
    startBridge({"--allow-setpoints", "--user", "bench", "--password-file", password.fileName()});
    QTRY_COMPARE_WITH_TIMEOUT(watcher.last(cliTopic("2/state")), QByteArray("online"), 15000);
    watcher.publish(cliTopic("2/setpoint/set"), "{\"value\": 150}");
    QTRY_VERIFY_WITH_TIMEOUT(watcher.count(cliTopic("2/setpoint/result")) > 0, 15000);
    QCOMPARE(watcher.last(cliTopic("2/setpoint/result")), QByteArray("{\"ok\":true,\"value\":150}"));
    QCOMPARE(m_bus->floatRegister(2, RegisterMap::InstantSetpoint), 150.0f);
    QVERIFY(!QString::fromUtf8(m_bridge.readAllStandardError()).contains("not-needed"));
}

// The settings file's mix group, started by a remote total, is not left flowing by the bridge's end:
// a signal sets its members to 0 before the bridge goes.
void tst_mqttBridgeCli::remoteMixEndsWithTheBridge()
{
    QFile settings(m_dir.filePath(QStringLiteral("process.json")));
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write(R"({"mixes": {"2": {"name": "N2/Ar", "policy": "ratio", "total": 0, "members": [
                      {"address": 2, "fraction": 70, "full_scale": 1000},
                      {"address": 5, "fraction": 30, "full_scale": 1000}]}}})");
    settings.close();
    MqttWatcher watcher(m_broker->port(), kCliPrefix + QStringLiteral("/#"));
    startBridge({"--allow-setpoints", "--settings", settings.fileName()});
    QTRY_VERIFY_WITH_TIMEOUT(watcher.count(cliTopic("2/mode")) > 0 && watcher.count(cliTopic("5/mode")) > 0, 15000);
    QTRY_COMPARE_WITH_TIMEOUT(watcher.lastJson(cliTopic("mix/2/state")).value("name").toString(), QStringLiteral("N2/Ar"),
                              15000);
    watcher.publish(cliTopic("mix/2/total/set"), "200");
    QTRY_VERIFY_WITH_TIMEOUT(watcher.count(cliTopic("mix/2/total/result")) > 0, 15000);
    QCOMPARE(watcher.last(cliTopic("mix/2/total/result")), QByteArray("{\"ok\":true,\"value\":200}"));
    QCOMPARE(m_bus->floatRegister(2, RegisterMap::InstantSetpoint), 140.0f);
    QCOMPARE(m_bus->floatRegister(5, RegisterMap::InstantSetpoint), 60.0f);

    ::kill(pid_t(m_bridge.processId()), SIGTERM);
    QVERIFY(m_bridge.waitForFinished(15000));
    QCOMPARE(m_bridge.exitCode(), 0);
    QCOMPARE(m_bus->floatRegister(2, RegisterMap::InstantSetpoint), 0.0f);
    QCOMPARE(m_bus->floatRegister(5, RegisterMap::InstantSetpoint), 0.0f);
    const QString err = QString::fromUtf8(m_bridge.readAllStandardError());
    QVERIFY2(err.contains("setting the running mix groups' members 2,5 to 0") && !err.contains("quorix-cli:"),
             qPrintable(err));
}

void tst_mqttBridgeCli::killedBridgeLeavesTheLastWill()
{
    MqttWatcher watcher(m_broker->port(), kCliPrefix + QStringLiteral("/status"));
    startBridge();
    QTRY_COMPARE_WITH_TIMEOUT(watcher.last(cliTopic("status")), QByteArray("online"), 15000);
    m_bridge.kill();
    QVERIFY(m_bridge.waitForFinished(5000));
    QTRY_COMPARE_WITH_TIMEOUT(watcher.last(cliTopic("status")), QByteArray("offline"), 10000);
}

void tst_mqttBridgeCli::speaksEnglishInAChineseLocale()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LANG"), QStringLiteral("zh_CN.UTF-8"));
    environment.insert(QStringLiteral("QUORIX_LANG"), QStringLiteral("zh"));
    m_bridge.setProcessEnvironment(environment);
    MqttWatcher watcher(m_broker->port(), kCliPrefix + QStringLiteral("/#"));
    startBridge({"--allow-setpoints"});
    QTRY_COMPARE_WITH_TIMEOUT(watcher.last(cliTopic("2/state")), QByteArray("online"), 15000);
    watcher.publish(cliTopic("2/setpoint/set"), "{bad");
    QTRY_VERIFY_WITH_TIMEOUT(watcher.count(cliTopic("2/setpoint/result")) > 0, 15000);
    m_broker.reset(); // a failure of the bridge itself
    QString err;
    QTRY_VERIFY_WITH_TIMEOUT(
        (err += QString::fromUtf8(m_bridge.readAllStandardError())).contains("(retrying)"), 15000);
    m_bridge.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    QVERIFY2(!err.contains(QRegularExpression(QStringLiteral("\\p{Han}"))), qPrintable(err));
    QVERIFY2(err.contains("remote command: device 2 setpoint refused: "), qPrintable(err));
    QVERIFY2(err.contains(QRegularExpression(QStringLiteral("(^|\n)quorix-cli: \\S+ MQTT not connected"))),
             qPrintable(err));
}

void tst_mqttBridgeCli::badUsageIsRefused_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::newRow("no broker") << QStringList{"--port", "PORT", "bridge"} << 2 << "bridge needs --mqtt HOST[:PORT]";
    QTest::newRow("bad broker port") << QStringList{"--port", "PORT", "bridge", "--mqtt", "localhost:0"} << 2
                                     << "bad value for --mqtt: localhost:0";
    QTest::newRow("wildcard prefix") << QStringList{"--port", "PORT", "bridge", "--mqtt", "h", "--prefix", "a/#"} << 2
                                     << "bad value for --prefix: a/#";
    QTest::newRow("password file missing")
        << QStringList{"--port", "PORT", "bridge", "--mqtt", "h", "--user", "u", "--password-file", "/nonexistent/pw"}
        << 2 << "quorix-cli: password file: /nonexistent/pw does not exist";
    QTest::newRow("no port") << QStringList{"bridge", "--mqtt", "h"} << 2 << "--port is required";
    QTest::newRow("port cannot open") << QStringList{"--port", "/nonexistent/tty", "bridge", "--mqtt", "h"} << 2
                                      << "cannot open port /nonexistent/tty: /nonexistent/tty does not exist";
    QTest::newRow("unknown option") << QStringList{"--port", "PORT", "bridge", "--mqtt", "h", "--fast"} << 2
                                    << "unknown argument --fast for bridge";
}

void tst_mqttBridgeCli::badUsageIsRefused()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    arguments.replaceInStrings(QRegularExpression("^PORT$"), m_bus->portPath());
    m_bridge.start(QStringLiteral(QUORIX_CLI_PATH), arguments);
    QVERIFY(m_bridge.waitForFinished(15000));
    QCOMPARE(m_bridge.exitCode(), exitCode);
    const QString err = QString::fromUtf8(m_bridge.readAllStandardError());
    QVERIFY2(err.contains(message), qPrintable(err));
    // Every line of a refusal, also one the running bridge writes, begins as the tool's errors do.
    for (const QString &line : err.split('\n', Qt::SkipEmptyParts))
        QVERIFY2(line.startsWith("quorix-cli: "), qPrintable(line));
}

void tst_mqttBridgeCli::noControllerAnswers()
{
    m_bus->removeController(2);
    m_bus->removeController(5);
    MqttWatcher watcher(m_broker->port(), kCliPrefix + QStringLiteral("/#"));
    startBridge();
    QVERIFY(m_bridge.waitForFinished(15000));
    QCOMPARE(m_bridge.exitCode(), 1);
    QVERIFY(QString::fromUtf8(m_bridge.readAllStandardError()).contains("no device answered the scan"));
    QCOMPARE(watcher.count(cliTopic("status")), 0);
}

// Behind an adapter that hands every probe back, each probed address seems to echo once: monitor and
// the bridge poll only the controllers that answered, as scan lists them.
void tst_mqttBridgeCli::echoingAdapterHidesNoController()
{
    m_bus->setAdapterEchoes(true);
    QProcess monitor;
    monitor.start(QStringLiteral(QUORIX_CLI_PATH),
                  {"--port", m_bus->portPath(), "--timeout", "250", "monitor", "--count", "1"});
    QVERIFY(monitor.waitForFinished(30000));
    QVERIFY2(monitor.exitCode() == 0, monitor.readAllStandardError().constData());
    QSet<QString> polled;
    for (const QString &line :
         QString::fromLatin1(monitor.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts))
        polled.insert(line.section(' ', 2, 2));
    QCOMPARE(polled, (QSet<QString>{"2", "5"}));

    MqttWatcher watcher(m_broker->port(), kCliPrefix + QStringLiteral("/#"));
    startBridge();
    QByteArray log;
    QTRY_VERIFY_WITH_TIMEOUT((log += m_bridge.readAllStandardError()).contains("polling "), 15000);
    QVERIFY2(log.contains("polling 2,5 every 200 ms"), log.constData());
    QTRY_COMPARE_WITH_TIMEOUT(watcher.last(cliTopic("5/state")), QByteArray("online"), 15000);
    for (int address : {1, 3, 15})
        QCOMPARE(watcher.count(cliTopic(QStringLiteral("%1/state").arg(address))), 0);
}

#include "TestRunner.h"

QUORIX_TEST_GUILESS_MAIN(tst_mqttBridgeCli)
#include "tst_mqttBridgeCli.moc"
