// The MQTT link against a real broker and the simulated bus: readings with the simulator's values
// and units, the retained topics from the bench model, remote setpoints that reach a controller or
// are refused with nothing on the wire, each command with the result of what became of it, a
// broker that dies and comes back, wrong credentials and an unreachable broker.

#include "MqttBroker.h"
#include "MqttWatcher.h"
#include "bus/WorkerFixture.h"

#include "AlarmMonitor.h"
#include "AuditTrail.h"
#include "BenchModel.h"
#include "BusCodes.h"
#include "MqttBridge.h"
#include "MixDriver.h"
#include "MqttClient.h"
#include "RegisterMap.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <QtTest>

namespace {

const QString prefix = QStringLiteral("test/bench");

MqttSettings settingsFor(int port, bool allowSetpoints = false)
{
    MqttSettings settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = port;
    settings.prefix = prefix;
    settings.publish = true;
    settings.allowSetpoints = allowSetpoints;
    return settings;
}

QString topic(const QString &rest)
{
    return prefix + QLatin1Char('/') + rest;
}

const int takeOnline = Bus::code(Bus::OnlineRequest::TakeOnline);

} // namespace

// A worker polling controllers 1 and 2 on the simulated bus, its bench model, and the link to a
// broker (started at once unless port is 0).
struct LinkedBench
{
    explicit LinkedBench(int port, bool allowSetpoints = false, int tickMs = 100)
    {
        if (tickMs > 0)
            fixture.worker.startMainTimer(tickMs);
        fixture.openPort();
        fixture.poll({1, 2});
        model.setScanned({1, 2});
        model.noteOnlineRequest(takeOnline, 1);
        model.noteOnlineRequest(takeOnline, 2);
        if (port > 0)
            bridge.apply(settingsFor(port, allowSetpoints));
    }
    int writeFrames() const { return fixture.received(0x06).size(); }
    // The controller's mode and instantaneous setpoint, as read back into the model.
    void readBack(quint8 address, int mode, float setpoint)
    {
        fixture.bus->setFloatRegister(address, RegisterMap::InstantSetpoint, setpoint);
        fixture.bus->setIntRegister(address, RegisterMap::ControlMode, mode);
        fixture.worker.slot_responseShowMode(address);
        fixture.worker.slot_showFlowResult(Bus::code(Bus::SetpointKind::Instant), address);
        QTRY_VERIFY_WITH_TIMEOUT(model.record(address)->mode == mode &&
                                     model.heldSetpoint(address, 1) == std::optional<float>(setpoint),
                                 10000);
    }

    WorkerFixture fixture{{1, 2}};
    BenchModel model{&fixture.worker};
    MqttBridge bridge{&fixture.worker, &model};
};

class tst_mqttLink : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void readingsCarryTheSimulatorsValuesAndUnits();
    void retainedTopicsShowTheModelFromTheStartToTheEnd();
    void allowedSetpointReachesTheController();
    void alarmPublishedAndAcknowledgedOnlyWhenAllowed();
    void mixTotalSetOnlyWhenAllowedAndItsStateRetained();
    void refusedCommandsLeaveNothingOnTheWire_data();
    void refusedCommandsLeaveNothingOnTheWire();
    void retainedCommandsAreAnsweredOnceNeverObeyed();
    void floodOfStopsWritesOneRoundOfZeros();
    void eachSetpointGetsTheResultOfWhatBecameOfIt();
    void brokerKilledAndRestartedPublishingResumes();
    void connectionFaultsLeavePollingAlone_data();
    void connectionFaultsLeavePollingAlone();
    void tlsHandshake_data();
    void tlsHandshake();
};

void tst_mqttLink::initTestCase()
{
    QVERIFY2(!MqttBroker::program().isEmpty(), "mosquitto is not installed (scripts/setup.sh installs it)");
}

void tst_mqttLink::readingsCarryTheSimulatorsValuesAndUnits()
{
    MqttBroker broker;
    QVERIFY(broker.start());
    MqttWatcher watcher(broker.port(), prefix + QStringLiteral("/#"));
    LinkedBench bench(broker.port());
    QTRY_VERIFY_WITH_TIMEOUT(bench.bridge.isConnected(), 10000);

    struct Expect
    {
        const char *name;
        quint16 reg;
        const char *unit;
        double scale;
    };
    const Expect expected[] = {{"flow", RegisterMap::InstantFlow, "sccm", 1},
                               {"total", RegisterMap::CumulativeFlow, "L", 1},
                               {"temperature", RegisterMap::Temperature, "℃", 1},
                               {"pressure", RegisterMap::Pressure, "KPa", 1000}};
    for (const Expect &e : expected) {
        const QString name = topic(QStringLiteral("2/") + QLatin1String(e.name));
        QTRY_VERIFY_WITH_TIMEOUT(watcher.count(name) >= 2, 10000);
        const QJsonObject json = watcher.lastJson(name);
        QCOMPARE(json.value("unit").toString(), QString::fromUtf8(e.unit));
        // The value is one the simulator served, in its seven digits.
        bool served = false;
        for (const QByteArray &bytes : bench.fixture.bus->servedValues(2, e.reg)) {
            const double value = double(bytes_to_float(QByteArray(3, '\0') + bytes, 3)) / e.scale;
            served = served || QString::number(value, 'g', 7) == QString::number(json.value("value").toDouble(), 'g', 7);
        }
        QVERIFY2(served, watcher.last(name).constData());
        const QDateTime time = QDateTime::fromString(json.value("time").toString(), Qt::ISODateWithMs);
        QVERIFY2(time.isValid() && json.value("time").toString().endsWith('Z'), watcher.last(name).constData());
        QVERIFY(qAbs(time.msecsTo(QDateTime::currentDateTimeUtc())) < 10000);
    }
}

// A controller online before publishing starts, or before a switch of broker, has its setpoint and
// mode retained; at the end every state says offline before the status does.
void tst_mqttLink::retainedTopicsShowTheModelFromTheStartToTheEnd()
{
    MqttBroker broker;
    QVERIFY(broker.start());
    LinkedBench bench(0);
    bench.readBack(1, 1, 42.5f);
    QVERIFY(!QTest::currentTestFailed());
    bench.bridge.apply(settingsFor(broker.port()));
    QTRY_VERIFY_WITH_TIMEOUT(bench.bridge.isConnected(), 10000);
    // A watcher that comes later learns them from the broker's retained messages.
    MqttWatcher watcher(broker.port(), prefix + QStringLiteral("/#"));
    QTRY_COMPARE_WITH_TIMEOUT(watcher.last(topic("status")), QByteArray("online"), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(watcher.last(topic("1/state")), QByteArray("online"), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(watcher.lastJson(topic("1/setpoint")).value("value").toDouble(), 42.5, 10000);
    QCOMPARE(watcher.lastJson(topic("1/setpoint")).value("unit").toString(), QStringLiteral("sccm"));
    QTRY_COMPARE_WITH_TIMEOUT(watcher.lastJson(topic("1/mode")).value("value").toString(), QStringLiteral("cumulative"),
                              10000);

    bench.model.noteOnlineRequest(Bus::code(Bus::OnlineRequest::TakeOffline), 2);
    QTRY_COMPARE_WITH_TIMEOUT(watcher.last(topic("2/state")), QByteArray("offline"), 10000);

    MqttBroker other;
    QVERIFY(other.start());
    bench.bridge.apply(settingsFor(other.port()));
    MqttWatcher otherWatcher(other.port(), prefix + QStringLiteral("/#"));
    QTRY_COMPARE_WITH_TIMEOUT(otherWatcher.lastJson(topic("1/setpoint")).value("value").toDouble(), 42.5, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(otherWatcher.lastJson(topic("1/mode")).value("value").toString(),
                              QStringLiteral("cumulative"), 10000);
    // The broker left behind was told the bench is gone.
    QTRY_COMPARE_WITH_TIMEOUT(watcher.last(topic("1/state")), QByteArray("offline"), 10000);

    QTRY_COMPARE_WITH_TIMEOUT(otherWatcher.last(topic("status")), QByteArray("online"), 10000);
    bench.bridge.shutdown();
    QCOMPARE(bench.bridge.isConnected(), false);
    QCOMPARE(bench.bridge.connectionText(), QStringLiteral("MQTT未启用"));
    QTRY_COMPARE_WITH_TIMEOUT(otherWatcher.last(topic("status")), QByteArray("offline"), 10000);
    QCOMPARE(otherWatcher.last(topic("1/state")), QByteArray("offline"));
    QVERIFY(otherWatcher.lastIndexOf(topic("1/state")) < otherWatcher.lastIndexOf(topic("status")));
}

void tst_mqttLink::allowedSetpointReachesTheController()
{
    MqttBroker broker;
    QVERIFY(broker.start());
    LinkedBench bench(broker.port(), true);
    QSignalSpy log(&bench.bridge, &MqttBridge::logLine);
    MqttWatcher watcher(broker.port(), prefix + QStringLiteral("/#"));
    QTRY_VERIFY_WITH_TIMEOUT(bench.bridge.isConnected(), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(watcher.last(topic("status")), QByteArray("online"), 10000);
    // A cumulative setpoint is taken in cumulative mode only.
    bench.readBack(1, 0, 0.0f);
    bench.readBack(2, 1, 0.0f);
    QTemporaryDir auditFolder;
    AuditTrail audit(&bench.model, auditFolder.path());

    watcher.publish(topic("1/setpoint/set"), "{\"value\": 300}");
    watcher.publish(topic("2/total_setpoint/set"), "12.5");
    QTRY_VERIFY_WITH_TIMEOUT(watcher.count(topic("1/setpoint/result")) > 0, 10000);
    QCOMPARE(watcher.last(topic("1/setpoint/result")), QByteArray("{\"ok\":true,\"value\":300}"));
    QCOMPARE(bench.fixture.bus->floatRegister(1, RegisterMap::InstantSetpoint), 300.0f);
    QTRY_VERIFY_WITH_TIMEOUT(watcher.count(topic("2/total_setpoint/result")) > 0, 10000);
    QCOMPARE(watcher.last(topic("2/total_setpoint/result")), QByteArray("{\"ok\":true,\"value\":12.5}"));
    QCOMPARE(bench.fixture.bus->floatRegister(2, RegisterMap::CumulativeSetpoint), 12.5f);
    // What the controller holds is read back and published.
    QTRY_COMPARE_WITH_TIMEOUT(watcher.lastJson(topic("1/setpoint")).value("value").toDouble(), 300.0, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(watcher.lastJson(topic("2/total_setpoint")).value("unit").toString(), QStringLiteral("L"),
                              10000);
    QString lines;
    for (const auto &line : log)
        lines += line.at(0).toString() + '\n';
    QVERIFY2(lines.contains(QStringLiteral("设备1瞬时流量设定 成功：300")), qPrintable(lines));
    // The audit trail names the command's topic and this program's client id, and its outcome.
    const QList<QJsonObject> trail = AuditTrail::readAll(auditFolder.path());
    QCOMPARE(trail.size(), 4);
    QCOMPARE(trail[0].value("source").toObject().value("origin").toString(),
             QStringLiteral("topic %1, client %2").arg(topic("1/setpoint/set"), QString::fromUtf8(MqttClient::clientId())));
    const auto outcomeOf = [&](int controller) {
        for (const QJsonObject &line : trail)
            if (line.value("controller").toInt() == controller && line.value("phase").toString() == "outcome")
                return line.value("outcome").toString();
        return QString();
    };
    QCOMPARE(outcomeOf(1), QStringLiteral("confirmed"));
    QCOMPARE(outcomeOf(2), QStringLiteral("confirmed"));
}

// A temperature alarm is published retained with its count; its acknowledgement through
// P/A/alarm/ack counts only while remote setpoints are allowed; cleared and acknowledged, the
// kept message goes and the count is 0.
void tst_mqttLink::alarmPublishedAndAcknowledgedOnlyWhenAllowed()
{
    MqttBroker broker;
    QVERIFY(broker.start());
    MqttWatcher watcher(broker.port(), prefix + QStringLiteral("/#"));
    LinkedBench bench(broker.port());
    AlarmMonitor alarms(&bench.model);
    AlarmSettings hot;
    hot.temperature = {true, 0, 10};
    alarms.setSettings(1, hot);
    bench.bridge.setProcess(nullptr, &alarms);
    bench.fixture.bus->setFloatRegister(1, RegisterMap::Temperature, 30.0f);
    QTRY_COMPARE_WITH_TIMEOUT(watcher.lastJson(topic("1/alarm")).value("kind").toString(), QStringLiteral("temperature"),
                              10000);
    QCOMPARE(watcher.lastJson(topic("1/alarm")).value("acknowledged").toBool(), false);
    QCOMPARE(watcher.last(topic("alarms")), QByteArray("1"));

    watcher.publish(topic("1/alarm/ack"), "");
    QTRY_VERIFY_WITH_TIMEOUT(watcher.count(topic("1/alarm/ack/result")) > 0, 10000);
    QVERIFY(watcher.last(topic("1/alarm/ack/result")).contains("not allowed"));
    QVERIFY(alarms.latched().first().acknowledged.isNull());

    bench.bridge.apply(settingsFor(broker.port(), true));
    watcher.publish(topic("1/alarm/ack"), "");
    QTRY_COMPARE_WITH_TIMEOUT(watcher.last(topic("1/alarm/ack/result")), QByteArray("{\"ok\":true,\"acknowledged\":1}"),
                              10000);
    QTRY_COMPARE(watcher.lastJson(topic("1/alarm")).value("acknowledged").toBool(), true);
    bench.fixture.bus->setFloatRegister(1, RegisterMap::Temperature, 5.0f);
    QTRY_COMPARE_WITH_TIMEOUT(watcher.last(topic("alarms")), QByteArray("0"), 10000);
    QCOMPARE(watcher.last(topic("1/alarm")), QByteArray());
}

// P/mix/G/total/set is refused while remote setpoints are not allowed; allowed, it starts the group
// (the audit trail names the command's topic with each member's write) and answers once every member
// confirmed its share; P/mix/G/state shows the plan, what limited it and the measured composition;
// the remote stop stops the group too.
void tst_mqttLink::mixTotalSetOnlyWhenAllowedAndItsStateRetained()
{
    MqttBroker broker;
    QVERIFY(broker.start());
    MqttWatcher watcher(broker.port(), prefix + QStringLiteral("/#"));
    LinkedBench bench(broker.port());
    bench.readBack(1, 0, 0.0f);
    bench.readBack(2, 0, 0.0f);
    MixDriver mixes(&bench.model, nullptr);
    MixGroup group;
    group.name = QStringLiteral("N2/Ar");
    group.members = {{1, 60, 1000}, {2, 40, 100}};
    QCOMPARE(mixes.setGroup(1, group), QString());
    bench.bridge.setMixes(&mixes);
    QTemporaryDir auditFolder;
    AuditTrail audit(&bench.model, auditFolder.path());
    QTRY_COMPARE_WITH_TIMEOUT(watcher.lastJson(topic("mix/1/state")).value("running").toBool(true), false, 10000);
    const int writesBefore = bench.writeFrames();

    watcher.publish(topic("mix/1/total/set"), "{\"value\": 500}");
    QTRY_VERIFY_WITH_TIMEOUT(watcher.count(topic("mix/1/total/result")) > 0, 10000);
    QCOMPARE(watcher.lastJson(topic("mix/1/total/result")).value("error").toString(),
             QStringLiteral("remote setpoints are not allowed"));
    QVERIFY(!mixes.isRunning(1));

    bench.bridge.apply(settingsFor(broker.port(), true));
    watcher.publish(topic("mix/1/total/set"), "500");
    QTRY_COMPARE_WITH_TIMEOUT(watcher.count(topic("mix/1/total/result")), 2, 10000);
    QCOMPARE(watcher.last(topic("mix/1/total/result")), QByteArray("{\"ok\":true,\"value\":500}"));
    QCOMPARE(bench.writeFrames(), writesBefore + 2);
    QCOMPARE(bench.fixture.bus->floatRegister(1, RegisterMap::InstantSetpoint), 150.0f);
    QCOMPARE(bench.fixture.bus->floatRegister(2, RegisterMap::InstantSetpoint), 100.0f);
    // The flows follow: the measured composition comes beside the one aimed at.
    QTRY_COMPARE_WITH_TIMEOUT(watcher.lastJson(topic("mix/1/state")).value("members").toArray().at(1).toObject()
                                  .value("actual").toDouble(), 40.0, 10000);
    const QJsonObject state = watcher.lastJson(topic("mix/1/state"));
    QCOMPARE(state.value("running").toBool(), true);
    QCOMPARE(state.value("planned_total").toDouble(), 250.0);
    QCOMPARE(state.value("limited_by").toArray(), QJsonArray{2});
    QCOMPARE(state.value("limit").toString(), QStringLiteral("total limited by device 2: at most 250 sccm"));
    QCOMPARE(state.value("members").toArray().at(0).toObject().value("target").toDouble(), 60.0);
    const QString origin =
        QStringLiteral("topic %1, client %2").arg(topic("mix/1/total/set"), QString::fromUtf8(MqttClient::clientId()));
    for (const QJsonObject &line : AuditTrail::readAll(auditFolder.path())) {
        const QJsonObject source = line.value("source").toObject();
        QCOMPARE(source.value("driver").toString(), QStringLiteral("mix"));
        QCOMPARE(source.value("origin").toString(), origin);
    }
    QCOMPARE(AuditTrail::readAll(auditFolder.path()).size(), 6); // each member's start, request and outcome

    watcher.publish(topic("mix/5/total/set"), "500");
    QTRY_COMPARE_WITH_TIMEOUT(watcher.lastJson(topic("error")).value("error").toString(),
                              QStringLiteral("not a mix group: \"5\" (1 to 4)"), 10000);
    watcher.publish(topic("stop"), "");
    QTRY_COMPARE_WITH_TIMEOUT(watcher.lastJson(topic("mix/1/state")).value("running").toBool(true), false, 10000);
    QVERIFY(!mixes.isRunning(1));
    QTRY_COMPARE_WITH_TIMEOUT(bench.fixture.bus->floatRegister(2, RegisterMap::InstantSetpoint), 0.0f, 10000);
}

void tst_mqttLink::refusedCommandsLeaveNothingOnTheWire_data()
{
    QTest::addColumn<bool>("allowed");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("error");
    QTest::newRow("not allowed") << false << "1/setpoint/set" << QByteArray("{\"value\": 30}")
                                 << "remote setpoints are not allowed";
    QTest::newRow("stop not allowed") << false << "stop" << QByteArray("{}") << "remote setpoints are not allowed";
    QTest::newRow("bad JSON") << true << "1/setpoint/set" << QByteArray("{\"value\": 3") << "malformed JSON";
    QTest::newRow("text") << true << "1/setpoint/set" << QByteArray("{\"value\": \"300\"}") << "value is not a number";
    QTest::newRow("no value") << true << "1/setpoint/set" << QByteArray("{\"setpoint\": 3}") << "no \"value\" given";
    QTest::newRow("1e30") << true << "1/setpoint/set" << QByteArray("1e30") << "value out of range 0 to 999999";
    QTest::newRow("negative") << true << "1/total_setpoint/set" << QByteArray("{\"value\": -1}")
                              << "value out of range 0 to 999999";
    QTest::newRow("unknown controller") << true << "9/setpoint/set" << QByteArray("5") << "设备9未上线";
    QTest::newRow("offline controller") << true << "3/setpoint/set" << QByteArray("5") << "设备3未上线";
    QTest::newRow("driven by a programme") << true << "1/setpoint/set" << QByteArray("5") << "设备1正由分阶程序2控制";
    QTest::newRow("cumulative in flow mode") << true << "1/total_setpoint/set" << QByteArray("5")
                                             << "设备1处于瞬时量控制模式，不能设定累积流量";
    // Answered on P/error: the topic is no command.
    QTest::newRow("no address") << true << "x/setpoint/set" << QByteArray("5") << "not a controller address: \"x\" (1 to 15)";
    QTest::newRow("leading zero") << true << "01/setpoint/set" << QByteArray("5")
                                  << "not a controller address: \"01\" (1 to 15)";
    QTest::newRow("space") << true << " 1/setpoint/set" << QByteArray("5") << "not a controller address: \" 1\" (1 to 15)";
    QTest::newRow("no bus address") << true << "16/total_setpoint/set" << QByteArray("5")
                                    << "not a controller address: \"16\" (1 to 15)";
}

void tst_mqttLink::refusedCommandsLeaveNothingOnTheWire()
{
    QFETCH(bool, allowed);
    QFETCH(QString, command);
    QFETCH(QByteArray, payload);
    QFETCH(QString, error);
    MqttBroker broker;
    QVERIFY(broker.start());
    LinkedBench bench(broker.port(), allowed);
    bench.model.setScanned({1, 2, 3});
    bench.model.noteOnlineRequest(takeOnline, 1);
    bench.readBack(1, 0, 0.0f);
    if (QString(QTest::currentDataTag()).startsWith("driven"))
        QVERIFY(bench.model.take(1, Driver::programme(2)).isEmpty());
    QSignalSpy log(&bench.bridge, &MqttBridge::logLine);
    MqttWatcher watcher(broker.port(), prefix + QStringLiteral("/#"));
    QTRY_VERIFY_WITH_TIMEOUT(bench.bridge.isConnected(), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(watcher.last(topic("status")), QByteArray("online"), 10000);
    const int writesBefore = bench.writeFrames();
    QTemporaryDir auditFolder;
    AuditTrail audit(&bench.model, auditFolder.path());

    const bool badTopic = error.startsWith("not a controller");
    const QString resultTopic = topic(badTopic            ? "error"
                                      : command == "stop" ? "stop/result"
                                                          : command.left(command.size() - 3) + "result");
    watcher.publish(topic(command), payload);
    QTRY_VERIFY_WITH_TIMEOUT(watcher.count(resultTopic) > 0, 10000);
    const QJsonObject result = watcher.lastJson(resultTopic);
    QCOMPARE(result.value("ok").toBool(true), false);
    QCOMPARE(result.value("error").toString(), error);
    if (badTopic)
        QCOMPARE(result.value("topic").toString(), topic(command));
    // Polling goes on; a write posted by the command would have gone out in one of these ticks.
    const int reads = bench.fixture.received(0x03).size();
    QTRY_VERIFY_WITH_TIMEOUT(bench.fixture.received(0x03).size() > reads + 16, 10000);
    QCOMPARE(bench.writeFrames(), writesBefore);
    bool logged = false;
    for (const auto &line : log)
        logged = logged || line.at(0).toString().contains(error);
    QVERIFY(logged);
    // A refused setpoint leaves its request and its refusal, with the reason, in the trail.
    const QList<QJsonObject> trail = AuditTrail::readAll(auditFolder.path());
    QCOMPARE(trail.size(), badTopic || command == "stop" ? 0 : 2);
    if (!trail.isEmpty()) {
        QCOMPARE(trail[1].value("reason").toString(), error);
        QCOMPARE(trail[1].value("source").toObject().value("driver").toString(), QStringLiteral("remote"));
    }
}

// Kept by the broker, a command would be obeyed again at every start and reconnection.
void tst_mqttLink::retainedCommandsAreAnsweredOnceNeverObeyed()
{
    MqttBroker broker;
    QVERIFY(broker.start());
    MqttWatcher watcher(broker.port(), prefix + QStringLiteral("/#"));
    // Sent again until the watcher, connected, sees them come back.
    const auto keep = [&] {
        watcher.publish(topic("1/setpoint/set"), "124", true);
        watcher.publish(topic("stop"), "{}", true); // an empty one would clear what the broker keeps
        return watcher.count(topic("stop")) > 0;
    };
    QTRY_VERIFY_WITH_TIMEOUT(keep(), 10000);
    LinkedBench bench(broker.port(), true);
    QTRY_VERIFY_WITH_TIMEOUT(watcher.count(topic("1/setpoint/result")) > 0 && watcher.count(topic("stop/result")) > 0,
                             10000);
    QVERIFY(watcher.lastJson(topic("1/setpoint/result")).value("error").toString().startsWith("retained command"));
    QVERIFY(watcher.lastJson(topic("stop/result")).value("error").toString().startsWith("retained command"));

    // A new session gets the kept commands again; they are neither obeyed nor answered again.
    MqttSettings again = settingsFor(broker.port(), true);
    again.user = QStringLiteral("again");
    bench.bridge.apply(again);
    QTRY_VERIFY_WITH_TIMEOUT(watcher.count(topic("status")) >= 3 && watcher.last(topic("status")) == "online", 10000);
    // Sent after the new session's subscription: answered after the kept ones were handled.
    watcher.publish(topic("01/setpoint/set"), "7");
    QTRY_COMPARE_WITH_TIMEOUT(watcher.count(topic("error")), 1, 10000);
    const int reads = bench.fixture.received(0x03).size();
    QTRY_VERIFY_WITH_TIMEOUT(bench.fixture.received(0x03).size() > reads + 16, 10000);
    QCOMPARE(bench.writeFrames(), 0);
    QCOMPARE(watcher.count(topic("1/setpoint/result")), 1);
    QCOMPARE(watcher.count(topic("stop/result")), 1);
}

// A thousand stops a moment apart: each is answered, one round of zeros goes out, polling goes on.
void tst_mqttLink::floodOfStopsWritesOneRoundOfZeros()
{
    MqttBroker broker;
    QVERIFY(broker.start());
    LinkedBench bench(broker.port(), true);
    int programmeStops = 0;
    bench.bridge.setProgrammeStop([&] { ++programmeStops; });
    bench.readBack(1, 0, 50.0f);
    bench.readBack(2, 0, 60.0f);
    QVERIFY(!QTest::currentTestFailed());
    MqttWatcher watcher(broker.port(), prefix + QStringLiteral("/#"));
    QTRY_VERIFY_WITH_TIMEOUT(bench.bridge.isConnected(), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(watcher.lastJson(topic("1/setpoint")).value("value").toDouble(), 50.0, 10000);
    const int reads = bench.fixture.received(0x03).size();

    const int stops = 1000;
    for (int i = 0; i < stops; ++i)
        watcher.publish(topic("stop"), "");
    // Two ticks' worth of polling; the flood must not hold it up for longer than that.
    QTRY_VERIFY_WITH_TIMEOUT(bench.fixture.received(0x03).size() > reads + 16, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(watcher.count(topic("stop/result")), stops, 30000);
    const QList<QByteArray> results = watcher.payloads(topic("stop/result"));
    QCOMPARE(results.count(QByteArray("{\"ok\":true}")), stops);
    QVERIFY(programmeStops >= 1);
    QVERIFY2(bench.writeFrames() <= 2 * programmeStops, qPrintable(QString::number(bench.writeFrames())));
    QCOMPARE(bench.fixture.bus->floatRegister(1, RegisterMap::InstantSetpoint), 0.0f);
    QCOMPARE(bench.fixture.bus->floatRegister(2, RegisterMap::InstantSetpoint), 0.0f);
    QTRY_COMPARE_WITH_TIMEOUT(watcher.lastJson(topic("1/setpoint")).value("value").toDouble(), 0.0, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(watcher.lastJson(topic("2/setpoint")).value("value").toDouble(), 0.0, 10000);
}

// Written, or replaced in the book before it went out: each command is told its own fate.
void tst_mqttLink::eachSetpointGetsTheResultOfWhatBecameOfIt()
{
    MqttBroker broker;
    QVERIFY(broker.start());
    // No main timer: the requests wait in the worker's book until the test ticks.
    LinkedBench bench(broker.port(), true, 0);
    QSignalSpy log(&bench.bridge, &MqttBridge::logLine);
    MqttWatcher watcher(broker.port(), prefix + QStringLiteral("/#"));
    QTRY_VERIFY_WITH_TIMEOUT(bench.bridge.isConnected(), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(watcher.last(topic("status")), QByteArray("online"), 10000);
    bench.fixture.bus->setIntRegister(1, RegisterMap::ControlMode, 0);
    const QRegularExpression sentLine(QStringLiteral("设定 \\d+$"));
    const auto sent = [&](int n) {
        return std::count_if(log.begin(), log.end(), [&](const QList<QVariant> &line) {
                   return sentLine.match(line.at(0).toString()).hasMatch();
               }) >= n;
    };

    watcher.publish(topic("1/setpoint/set"), "10");
    QTRY_VERIFY_WITH_TIMEOUT(sent(1), 10000);
    bench.fixture.tick();
    watcher.publish(topic("1/setpoint/set"), "20");
    watcher.publish(topic("1/setpoint/set"), "30");
    QTRY_VERIFY_WITH_TIMEOUT(sent(3), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(watcher.count(topic("1/setpoint/result")), 2, 10000);
    bench.fixture.tick();
    QTRY_COMPARE_WITH_TIMEOUT(watcher.count(topic("1/setpoint/result")), 3, 10000);
    const QList<QByteArray> results = watcher.payloads(topic("1/setpoint/result"));
    QCOMPARE(results[0], QByteArray("{\"ok\":true,\"value\":10}"));
    const QJsonObject replaced = QJsonDocument::fromJson(results[1]).object();
    QCOMPARE(replaced.value("value").toDouble(), 20.0);
    QCOMPARE(replaced.value("error").toString(), QStringLiteral("replaced by a newer setpoint before it was sent"));
    QCOMPARE(results[2], QByteArray("{\"ok\":true,\"value\":30}"));
    QCOMPARE(bench.writeFrames(), 2);
    QCOMPARE(bench.fixture.bus->floatRegister(1, RegisterMap::InstantSetpoint), 30.0f);
}

void tst_mqttLink::brokerKilledAndRestartedPublishingResumes()
{
    MqttBroker broker;
    QVERIFY(broker.start());
    LinkedBench bench(broker.port());
    QSignalSpy readings(&bench.fixture.relay, &WorkerSignals::sig_reading);
    QTRY_VERIFY_WITH_TIMEOUT(bench.bridge.isConnected(), 10000);

    broker.kill();
    QTRY_VERIFY_WITH_TIMEOUT(!bench.bridge.isConnected(), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(bench.bridge.droppedReadings() > 8, 10000);
    QVERIFY(bench.bridge.connectionText().contains(QStringLiteral("MQTT未连接")));
    const int readsWhileAway = readings.size();
    QTRY_VERIFY_WITH_TIMEOUT(readings.size() > readsWhileAway + 8, 10000); // polling goes on

    QVERIFY(broker.start());
    MqttWatcher watcher(broker.port(), prefix + QStringLiteral("/#"));
    QElapsedTimer sinceRestart;
    sinceRestart.start();
    QTRY_VERIFY_WITH_TIMEOUT(watcher.count(topic("1/flow")) > 0, 35000);
    QVERIFY(sinceRestart.elapsed() < 35000);
    // The retained topics are there again for whoever comes later. Readings go out from the
    // worker's thread and may reach the broker before them.
    QTRY_COMPARE_WITH_TIMEOUT(watcher.last(topic("status")), QByteArray("online"), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(watcher.last(topic("1/state")), QByteArray("online"), 10000);
}

void tst_mqttLink::connectionFaultsLeavePollingAlone_data()
{
    QTest::addColumn<bool>("brokerRuns");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("reason");
    QTest::newRow("wrong password") << true << "wrong-secret-7" << "not authorised";
    QTest::newRow("no broker") << false << "right-secret" << "Connection refused";
}

void tst_mqttLink::connectionFaultsLeavePollingAlone()
{
    QFETCH(bool, brokerRuns);
    QFETCH(QString, password);
    QFETCH(QString, reason);
    MqttBroker broker({QStringLiteral("bench"), QStringLiteral("right-secret")});
    if (brokerRuns)
        QVERIFY2(broker.start(), qPrintable(broker.output()));
    WorkerFixture fixture{{1}};
    fixture.worker.startMainTimer(100);
    QCOMPARE(fixture.openPort(), 1);
    fixture.poll({1});
    BenchModel model(&fixture.worker);
    MqttBridge bridge(&fixture.worker, &model);
    QSignalSpy log(&bridge, &MqttBridge::logLine);
    QSignalSpy shown(&bridge, &MqttBridge::connectionChanged);
    QSignalSpy readings(&fixture.relay, &WorkerSignals::sig_reading);
    MqttSettings settings = settingsFor(broker.port());
    settings.user = QStringLiteral("bench");
    settings.password = password;
    bridge.apply(settings);

    QTRY_VERIFY_WITH_TIMEOUT(bridge.connectionText().contains(reason), 10000);
    QVERIFY(!bridge.isConnected());
    QTRY_VERIFY_WITH_TIMEOUT(readings.size() > 12, 10000);
    QString lines;
    for (const auto &line : log)
        lines += line.at(0).toString() + '\n';
    QVERIFY2(lines.contains(reason), qPrintable(lines));
    QVERIFY(!lines.contains(password));
    QVERIFY(!shown.isEmpty());
    // The attempts go on, and the log holds one line of them, not one per attempt.
    QSignalSpy laterAttempts(&bridge.client(), &MqttClient::connectionFailed);
    QVERIFY(laterAttempts.wait(10000));
    lines.clear();
    for (const auto &line : log)
        lines += line.at(0).toString() + '\n';
    QCOMPARE(lines.count(reason), 1);
}

void tst_mqttLink::tlsHandshake_data()
{
    QTest::addColumn<QString>("caFile");
    QTest::addColumn<QString>("status");
    QTest::newRow("the broker's CA") << "ca.crt" << "MQTT已连接";
    QTest::newRow("another CA") << "other-ca.crt" << "TLS handshake failed";
    QTest::newRow("no CA file") << "missing.crt" << "missing.crt";
}

void tst_mqttLink::tlsHandshake()
{
    QFETCH(QString, caFile);
    QFETCH(QString, status);
    QTemporaryDir certificates;
    QVERIFY(MqttBroker::makeCertificates(certificates.path()));
    MqttBroker broker({}, {certificates.filePath("ca.crt"), certificates.filePath("server.crt"),
                           certificates.filePath("server.key")});
    QVERIFY(broker.start());
    WorkerFixture fixture{{1}};
    fixture.worker.startMainTimer(100);
    QCOMPARE(fixture.openPort(), 1);
    fixture.poll({1});
    BenchModel model(&fixture.worker);
    MqttBridge bridge(&fixture.worker, &model);
    QSignalSpy log(&bridge, &MqttBridge::logLine);
    QSignalSpy readings(&fixture.relay, &WorkerSignals::sig_reading);
    MqttSettings settings = settingsFor(broker.port());
    settings.caFile = certificates.filePath(caFile);
    bridge.apply(settings);
    QTRY_VERIFY2_WITH_TIMEOUT(bridge.connectionText().contains(status), qPrintable(bridge.connectionText()), 10000);
    QCOMPARE(bridge.isConnected(), caFile == "ca.crt");
    QString lines;
    for (const auto &line : log)
        lines += line.at(0).toString() + '\n';
    QVERIFY2(lines.contains(status), qPrintable(lines));
    QTRY_VERIFY_WITH_TIMEOUT(readings.size() > 8, 10000); // polling goes on
}

#include "TestRunner.h"

QUORIX_TEST_GUILESS_MAIN(tst_mqttLink)
#include "tst_mqttLink.moc"
