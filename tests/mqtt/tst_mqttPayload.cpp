// The pieces of the MQTT link that need no broker: the JSON of readings, read-backs and results,
// the commands' payloads, the topic names, the prefix and the settings kept between starts.

#include "BusCodes.h"
#include "MqttPayload.h"
#include "MqttSettingsStore.h"
#include "MqttTopics.h"
#include "Reading.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

class tst_mqttPayload : public QObject
{
    Q_OBJECT
private slots:
    void readingJson_data();
    void readingJson();
    void setpointPayloads_data();
    void setpointPayloads();
    void resultJson();
    void topicNames();
    void commandTopics_data();
    void commandTopics();
    void prefixes_data();
    void prefixes();
    void storeKeepsThePasswordOnlyOnRequest();
};

void tst_mqttPayload::readingJson_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<float>("deviceValue");
    QTest::addColumn<QString>("json");
    const QString time = QStringLiteral("\"time\":\"2026-12-07T13:05:14.626Z\"}");
    QTest::newRow("flow") << 1 << 12.5f << "{\"value\":12.5,\"unit\":\"sccm\"," + time;
    QTest::newRow("cumulative") << 2 << 1234.567f << "{\"value\":1234.567,\"unit\":\"L\"," + time;
    QTest::newRow("temperature") << 3 << -3.25f << "{\"value\":-3.25,\"unit\":\"℃\"," + time;
    QTest::newRow("pressure in Pa") << 4 << 101325.0f << "{\"value\":101.325,\"unit\":\"KPa\"," + time;
    QTest::newRow("float digits") << 1 << 0.1f << "{\"value\":0.1,\"unit\":\"sccm\"," + time;
    QTest::newRow("large") << 2 << 12345678.0f << "{\"value\":1.234568e+07,\"unit\":\"L\"," + time;
}

void tst_mqttPayload::readingJson()
{
    QFETCH(int, type);
    QFETCH(float, deviceValue);
    QFETCH(QString, json);
    ReadTime time;
    time.wallMs = QDateTime(QDate(2026, 12, 7), QTime(13, 5, 14, 626), Qt::UTC).toMSecsSinceEpoch();
    const Reading reading = Reading::fromDeviceValue(type, 3, deviceValue, time);
    const QByteArray payload = MqttPayload::reading(reading);
    QCOMPARE(QString::fromUtf8(payload), json);
    QJsonParseError error;
    QJsonDocument::fromJson(payload, &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
}

void tst_mqttPayload::setpointPayloads_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("reason");
    QTest::newRow("object") << QByteArray("{\"value\": 300}") << true << 300.0 << "";
    QTest::newRow("bare number") << QByteArray("12.5") << true << 12.5 << "";
    QTest::newRow("spaces") << QByteArray("  7 \n") << true << 7.0 << "";
    QTest::newRow("exponent") << QByteArray("1e30") << true << 1e30 << "";
    QTest::newRow("other keys") << QByteArray("{\"value\": 1, \"by\": \"x\"}") << true << 1.0 << "";
    QTest::newRow("empty") << QByteArray("") << false << 0.0 << "malformed JSON";
    QTest::newRow("two numbers") << QByteArray("1,2") << false << 0.0 << "malformed JSON";
    QTest::newRow("cut") << QByteArray("{\"value\":") << false << 0.0 << "malformed JSON";
    QTest::newRow("nan") << QByteArray("NaN") << false << 0.0 << "malformed JSON";
    QTest::newRow("string") << QByteArray("\"300\"") << false << 0.0 << "value is not a number";
    QTest::newRow("null value") << QByteArray("{\"value\": null}") << false << 0.0 << "value is not a number";
    QTest::newRow("array") << QByteArray("[300]") << false << 0.0 << "value is not a number";
    QTest::newRow("no value") << QByteArray("{\"flow\": 3}") << false << 0.0 << "no \"value\" given";
}

void tst_mqttPayload::setpointPayloads()
{
    QFETCH(QByteArray, payload);
    QFETCH(bool, ok);
    QFETCH(double, value);
    QFETCH(QString, reason);
    double parsed = -1;
    QString why;
    QCOMPARE(MqttPayload::parseSetpoint(payload, parsed, why), ok);
    QCOMPARE(why, reason);
    if (ok)
        QCOMPARE(parsed, value);
}

void tst_mqttPayload::resultJson()
{
    QCOMPARE(MqttPayload::ok(300), QByteArray("{\"ok\":true,\"value\":300}"));
    QCOMPARE(MqttPayload::ok(), QByteArray("{\"ok\":true}"));
    const QJsonObject error = QJsonDocument::fromJson(MqttPayload::error("say \"why\"")).object();
    QCOMPARE(error.value("ok").toBool(true), false);
    QCOMPARE(error.value("error").toString(), QStringLiteral("say \"why\""));
    QCOMPARE(MqttPayload::mode(1, 0), QByteArray("{\"value\":\"cumulative\",\"time\":\"1970-01-01T00:00:00.000Z\"}"));
    QCOMPARE(MqttPayload::mode(0, 0), QByteArray("{\"value\":\"instantaneous\",\"time\":\"1970-01-01T00:00:00.000Z\"}"));
    QCOMPARE(MqttPayload::setpointUnitOf(2), QStringLiteral("L"));
    QCOMPARE(MqttPayload::setpointUnitOf(1), QStringLiteral("sccm"));
}

void tst_mqttPayload::topicNames()
{
    const MqttTopics topics(QStringLiteral("quorix/lab"));
    QCOMPARE(topics.status(), QStringLiteral("quorix/lab/status"));
    QCOMPARE(topics.state(12), QStringLiteral("quorix/lab/12/state"));
    QCOMPARE(topics.reading(1, 1), QStringLiteral("quorix/lab/1/flow"));
    QCOMPARE(topics.reading(1, 2), QStringLiteral("quorix/lab/1/total"));
    QCOMPARE(topics.reading(1, 3), QStringLiteral("quorix/lab/1/temperature"));
    QCOMPARE(topics.reading(1, 4), QStringLiteral("quorix/lab/1/pressure"));
    QCOMPARE(topics.setpoint(3, 1), QStringLiteral("quorix/lab/3/setpoint"));
    QCOMPARE(topics.setpoint(3, 2), QStringLiteral("quorix/lab/3/total_setpoint"));
    QCOMPARE(topics.mode(3), QStringLiteral("quorix/lab/3/mode"));
    QCOMPARE(topics.setpointCommand(3, 2), QStringLiteral("quorix/lab/3/total_setpoint/set"));
    QCOMPARE(topics.setpointResult(3, 1), QStringLiteral("quorix/lab/3/setpoint/result"));
    QCOMPARE(topics.stop(), QStringLiteral("quorix/lab/stop"));
    QCOMPARE(topics.stopResult(), QStringLiteral("quorix/lab/stop/result"));
    QCOMPARE(topics.mixState(2), QStringLiteral("quorix/lab/mix/2/state"));
    QCOMPARE(topics.mixTotal(2), QStringLiteral("quorix/lab/mix/2/total/set"));
    QCOMPARE(topics.mixTotalResult(2), QStringLiteral("quorix/lab/mix/2/total/result"));
    QCOMPARE(topics.commandPatterns(), (QStringList{"quorix/lab/+/setpoint/set", "quorix/lab/+/total_setpoint/set",
                                                    "quorix/lab/+/alarm/ack", "quorix/lab/stop",
                                                    "quorix/lab/mix/+/total/set"}));
}

void tst_mqttPayload::commandTopics_data()
{
    QTest::addColumn<QString>("topic");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("group"); // a mix group's total: kind -2
    QTest::newRow("instant") << "p/q/4/setpoint/set" << 1 << 4 << 0;
    QTest::newRow("cumulative") << "p/q/15/total_setpoint/set" << 2 << 15 << 0;
    QTest::newRow("stop") << "p/q/stop" << -1 << 0 << 0;
    // Only the one spelling of an address: another would slip past a broker rule for the topic.
    QTest::newRow("leading zero") << "p/q/01/setpoint/set" << 0 << 0 << 0;
    QTest::newRow("space") << "p/q/ 1/setpoint/set" << 0 << 0 << 0;
    QTest::newRow("plus sign") << "p/q/+1/setpoint/set" << 0 << 0 << 0;
    QTest::newRow("no bus address") << "p/q/16/setpoint/set" << 0 << 0 << 0;
    QTest::newRow("zero") << "p/q/0/setpoint/set" << 0 << 0 << 0;
    QTest::newRow("text address") << "p/q/x/setpoint/set" << 0 << 0 << 0;
    QTest::newRow("result") << "p/q/4/setpoint/result" << 0 << 0 << 0;
    QTest::newRow("other prefix") << "p/r/4/setpoint/set" << 0 << 0 << 0;
    QTest::newRow("too deep") << "p/q/a/4/setpoint/set" << 0 << 0 << 0;
    QTest::newRow("unknown") << "p/q/4/mode/set" << 0 << 0 << 0;
    QTest::newRow("mix total") << "p/q/mix/4/total/set" << -2 << 0 << 4;
    QTest::newRow("mix group 5") << "p/q/mix/5/total/set" << 0 << 0 << 0;
    QTest::newRow("mix group 01") << "p/q/mix/01/total/set" << 0 << 0 << 0;
    QTest::newRow("mix without a group") << "p/q/mix//total/set" << 0 << 0 << 0;
    QTest::newRow("mix state") << "p/q/mix/1/state" << 0 << 0 << 0;
}

void tst_mqttPayload::commandTopics()
{
    QFETCH(QString, topic);
    QFETCH(int, kind);
    QFETCH(int, address);
    QFETCH(int, group);
    const MqttTopics::Command command = MqttTopics(QStringLiteral("p/q")).parseCommand(topic);
    using Type = MqttTopics::Command::Type;
    QCOMPARE(command.type, kind == -2 ? Type::MixTotal : kind < 0 ? Type::Stop : kind == 0 ? Type::Invalid : Type::Setpoint);
    QCOMPARE(command.group, group);
    QCOMPARE(command.kind, qMax(kind, 0));
    QCOMPARE(int(command.address), address);
    QCOMPARE(command.reason.isEmpty(), kind != 0);
}

void tst_mqttPayload::prefixes_data()
{
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("clean");
    QTest::newRow("plain") << "quorix/lab" << "quorix/lab";
    QTest::newRow("trailing slashes") << " quorix/lab// " << "quorix/lab";
    QTest::newRow("wildcard +") << "quorix/+" << "";
    QTest::newRow("wildcard #") << "quorix/#" << "";
    QTest::newRow("empty") << "  " << "";
}

void tst_mqttPayload::prefixes()
{
    QFETCH(QString, given);
    QFETCH(QString, clean);
    QCOMPARE(MqttSettings::cleanPrefix(given), clean);
    QVERIFY(MqttSettings::defaultPrefix().startsWith(QStringLiteral("quorix/")));
}

void tst_mqttPayload::storeKeepsThePasswordOnlyOnRequest()
{
    QTemporaryDir dir;
    MqttSettingsStore store(dir.filePath(QStringLiteral("config")));
    QCOMPARE(store.load().publish, false);
    MqttSettings settings;
    settings.host = QStringLiteral("broker");
    settings.password = QStringLiteral("pw-1");
    settings.publish = true;
    settings.allowSetpoints = true;
    QVERIFY(store.save(settings, true));
    QCOMPARE(store.load().password, QStringLiteral("pw-1"));
    QCOMPARE(store.load().allowSetpoints, false);
    QCOMPARE(store.load().publish, true);
    QCOMPARE(int(QFile(store.passwordPath()).permissions() & 0x0077), 0);
    QVERIFY(store.save(settings, false));
    QVERIFY(!store.passwordKept());
    QCOMPARE(store.load().password, QString());
    // A folder that cannot be made: the reason, nothing lost in memory.
    QFile blocker(dir.filePath(QStringLiteral("file")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QString error;
    QVERIFY(!MqttSettingsStore(dir.filePath(QStringLiteral("file/sub"))).save(settings, true, &error));
    QVERIFY(error.contains(QStringLiteral("file/sub")));
}

#include "TestRunner.h"

QUORIX_TEST_GUILESS_MAIN(tst_mqttPayload)
#include "tst_mqttPayload.moc"
