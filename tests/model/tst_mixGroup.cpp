// Mix groups: the plan of a total under each policy, what the group refuses to be, and the mix
// driver holding its members, stopping them all when one of them stops.

#include "AlarmMonitor.h"
#include "BenchModel.h"
#include "MixDriver.h"
#include "MixGroup.h"
#include "ProcessSettings.h"
#include "RampDriver.h"
#include "TestRunner.h"

#include <QJsonDocument>
#include <QSignalSpy>
#include <QTemporaryDir>

namespace {

// "1:50:1000 2:30:1000 3:20:150": address, fraction %, full scale.
MixGroup mixOf(const QString &members, MixGroup::Policy policy = MixGroup::Policy::KeepRatio)
{
    MixGroup group;
    group.policy = policy;
    for (const QString &word : members.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QStringList parts = word.split(QLatin1Char(':'));
        group.members << MixMember{quint8(parts[0].toUInt()), parts[1].toDouble(), parts[2].toDouble()};
    }
    return group;
}

QString mixSetpointsText(const MixPlan &plan)
{
    QStringList values;
    for (float value : plan.setpoints)
        values << QString::number(double(value));
    return values.join(QLatin1Char(' '));
}

// Four controllers found, three online in instantaneous mode, as a scan and the rows leave them.
void mixBenchOfThree(BenchModel &model)
{
    model.setScanned({1, 2, 3, 4});
    for (quint8 address : {1, 2, 3}) {
        model.noteOnlineRequest(3, address);
        model.setMode(address, 0);
    }
}

float mixInFlight(const BenchModel &model, quint8 address)
{
    return model.record(address)->setpoint(1).inFlight.value_or(-1.0f);
}

} // namespace

class tst_mixGroup : public QObject
{
    Q_OBJECT
private slots:
    void plan_data();
    void plan();
    void invalidGroups_data();
    void invalidGroups();
    void driverHoldsAndWritesShares();
    void driverRefusesToStart();
    void oneMemberStoppingStopsTheGroup_data();
    void oneMemberStoppingStopsTheGroup();
    void sharesRampWhereRatesAreSet();
    void groupsKeptInProcessSettings();
    void compositionAlarm_data();
    void compositionAlarm();
};

void tst_mixGroup::plan_data()
{
    QTest::addColumn<QString>("members");
    QTest::addColumn<bool>("keepTotal");
    QTest::addColumn<double>("total");
    QTest::addColumn<QString>("setpoints");
    QTest::addColumn<QString>("limit");
    QTest::newRow("shares of the total") << "1:50:1000 2:30:1000 3:20:1000" << false << 1000.0 << "500 300 200"
                                         << QString();
    QTest::newRow("keep ratio: total cut by the smallest") << "1:50:1000 2:30:1000 3:20:150" << false << 1000.0
                                                           << "375 225 150"
                                                           << QStringLiteral("总流量受设备3限制：最大 750 sccm");
    QTest::newRow("keep ratio: within every full scale") << "1:50:1000 2:30:1000 3:20:150" << false << 500.0
                                                         << "250 150 100" << QString();
    QTest::newRow("keep total: the full member stays at its full scale")
        << "1:50:1000 2:30:1000 3:20:150" << true << 1000.0 << "531.25 318.75 150"
        << QStringLiteral("设备3已满量程，组成变为：设备1 53.1%, 设备2 31.9%, 设备3 15.0%");
    QTest::newRow("keep total: a second member runs over in turn")
        << "1:50:1000 2:30:300 3:20:150" << true << 1000.0 << "550 300 150"
        << QStringLiteral("设备2,3已满量程，组成变为：设备1 55.0%, 设备2 30.0%, 设备3 15.0%");
    QTest::newRow("keep total: more than all can give") << "1:50:100 2:50:100" << true << 300.0 << "100 100"
                                                        << QStringLiteral("设备1,2已满量程，组成变为：设备1 50.0%, "
                                                                          "设备2 50.0%；总流量最大 200 sccm");
    QTest::newRow("a total of 0") << "1:60:100 2:40:100" << true << 0.0 << "0 0" << QString();
    QTest::newRow("fractions within a hundredth") << "1:33.33:100 2:33.33:100 3:33.33:100" << false << 99.99
                                                  << "33.33 33.33 33.33" << QString();
}

void tst_mixGroup::plan()
{
    QFETCH(QString, members);
    QFETCH(bool, keepTotal);
    QFETCH(double, total);
    QFETCH(QString, setpoints);
    QFETCH(QString, limit);
    const MixPlan plan =
        planMix(mixOf(members, keepTotal ? MixGroup::Policy::KeepTotal : MixGroup::Policy::KeepRatio), total);
    QCOMPARE(plan.error, QString());
    QCOMPARE(mixSetpointsText(plan), setpoints);
    QCOMPARE(plan.limit, limit);
    QCOMPARE(plan.compositionChanged, keepTotal && !limit.isEmpty());
    double sum = 0.0;
    for (float value : plan.setpoints)
        sum += double(value);
    QVERIFY(qAbs(plan.total - sum) < 1e-3);
}

void tst_mixGroup::invalidGroups_data()
{
    QTest::addColumn<QString>("members");
    QTest::addColumn<QString>("why");
    QTest::newRow("one member") << "1:100:100" << QStringLiteral("混合组需要2到4台设备");
    QTest::newRow("five members") << "1:20:1 2:20:1 3:20:1 4:20:1 5:20:1" << QStringLiteral("混合组需要2到4台设备");
    QTest::newRow("fractions short of 100") << "1:50:100 2:49.98:100" << QStringLiteral("比例之和为99.98%，应为100%");
    QTest::newRow("fractions over 100") << "1:50:100 2:50.02:100" << QStringLiteral("比例之和为100.02%，应为100%");
    QTest::newRow("a member twice") << "1:50:100 1:50:100" << QStringLiteral("设备1在混合组中出现了两次");
    QTest::newRow("a share of 0") << "1:100:100 2:0:100" << QStringLiteral("设备2的比例必须大于0");
    QTest::newRow("no full scale") << "1:50:100 2:50:0" << QStringLiteral("设备2的满量程必须大于0");
}

void tst_mixGroup::invalidGroups()
{
    QFETCH(QString, members);
    QFETCH(QString, why);
    const MixPlan plan = planMix(mixOf(members), 100.0);
    QCOMPARE(plan.error, why);
    QVERIFY(plan.setpoints.isEmpty());
    QCOMPARE(planMix(mixOf("1:50:100 2:50:100"), -1.0).error, QStringLiteral("总流量不能为负"));
}

void tst_mixGroup::driverHoldsAndWritesShares()
{
    BenchModel model(nullptr);
    mixBenchOfThree(model);
    MixDriver mixes(&model, nullptr);
    QCOMPARE(mixes.setGroup(2, mixOf("1:50:1000 2:30:1000 3:20:150")), QString());
    QVERIFY(!mixes.isRunning(2)); // defined, not started

    QCOMPARE(mixes.start(2, 1000), QString());
    QVERIFY(mixes.isRunning(2));
    QCOMPARE(mixes.plan(2).limit, QStringLiteral("总流量受设备3限制：最大 750 sccm"));
    QCOMPARE(mixInFlight(model, 1), 375.0f);
    QCOMPARE(mixInFlight(model, 3), 150.0f);
    for (quint8 address : {1, 2, 3})
        QCOMPARE(model.driverOf(address), (Driver{Driver::Mix, 2}));
    QCOMPARE(mixes.runningMembers(), (QList<quint8>{1, 2, 3}));
    QCOMPARE(model.requestSetpoint(2, 1, 10, Driver::operatorRow()), QStringLiteral("设备2正由混合组2控制"));
    QCOMPARE(mixes.setGroup(2, mixOf("1:50:1 2:50:1")), QStringLiteral("混合组2正在运行，请先停止"));

    QCOMPARE(mixes.setTotal(2, 500), QString());
    QCOMPARE(mixInFlight(model, 2), 150.0f);
    QCOMPARE(mixes.plan(2).limit, QString());

    QSignalSpy tripped(&mixes, &MixDriver::groupTripped);
    mixes.stop(2);
    QVERIFY(!mixes.isRunning(2));
    QVERIFY(tripped.isEmpty()); // an asked stop is no trip
    for (quint8 address : {1, 2, 3}) {
        QCOMPARE(mixInFlight(model, address), 0.0f);
        QVERIFY(model.driverOf(address).isNone());
    }
    QVERIFY(mixes.runningMembers().isEmpty());
    QCOMPARE(mixes.group(2).total, 500.0); // kept for the next start
}

void tst_mixGroup::driverRefusesToStart()
{
    BenchModel model(nullptr);
    mixBenchOfThree(model);
    model.setMode(2, 1);
    MixDriver mixes(&model, nullptr);
    mixes.setGroup(1, mixOf("1:50:100 2:50:100"));
    QCOMPARE(mixes.start(1, 100), QStringLiteral("设备2不处于瞬时量控制模式"));
    mixes.setGroup(1, mixOf("1:50:100 4:50:100"));
    QCOMPARE(mixes.start(1, 100), QStringLiteral("设备4未上线"));
    QVERIFY(model.driverOf(1).isNone()); // nothing taken from a refused start
    mixes.setGroup(1, mixOf("1:50:100 3:50:100"));
    QCOMPARE(model.take(3, Driver::programme(1)), QString());
    QCOMPARE(mixes.start(1, 100), QStringLiteral("设备3正由分阶程序1控制"));
    QCOMPARE(mixes.start(5, 100), QStringLiteral("没有混合组5"));
    QVERIFY(!mixes.isRunning(1));
    QVERIFY(!model.record(1)->setpoint(1).inFlight);
}

void tst_mixGroup::oneMemberStoppingStopsTheGroup_data()
{
    QTest::addColumn<QString>("event");
    QTest::addColumn<QString>("why");
    QTest::newRow("the operator's 0") << "zero" << QStringLiteral("混合组1已停止，所有设备流量设为0：设备2的流量被操作员设为0");
    QTest::newRow("taken offline") << "offline" << QStringLiteral("混合组1已停止，所有设备流量设为0：设备2已下线");
}

void tst_mixGroup::oneMemberStoppingStopsTheGroup()
{
    QFETCH(QString, event);
    QFETCH(QString, why);
    BenchModel model(nullptr);
    mixBenchOfThree(model);
    MixDriver mixes(&model, nullptr);
    mixes.setGroup(1, mixOf("1:50:1000 2:30:1000 3:20:1000"));
    QCOMPARE(mixes.start(1, 1000), QString());
    QSignalSpy tripped(&mixes, &MixDriver::groupTripped);
    if (event == QLatin1String("zero"))
        QCOMPARE(model.requestSetpoint(2, 1, 0, Driver::operatorRow()), QString());
    else
        model.noteOnlineRequest(1, 2);
    QCOMPARE(tripped.size(), 1);
    QCOMPARE(tripped.at(0).at(1).toString(), why);
    QVERIFY(!mixes.isRunning(1));
    for (quint8 address : {1, 2, 3}) {
        QCOMPARE(mixInFlight(model, address), 0.0f);
        QVERIFY(model.driverOf(address).isNone());
    }
}

// A member with a ramp rate ramps its share while the group keeps holding it; stopping sends 0
// at once and ends the ramp.
void tst_mixGroup::sharesRampWhereRatesAreSet()
{
    BenchModel model(nullptr);
    mixBenchOfThree(model);
    RampDriver ramps(&model);
    ramps.setRate(1, 100);
    MixDriver mixes(&model, &ramps);
    mixes.setGroup(1, mixOf("1:50:1000 2:50:1000"));
    QCOMPARE(mixes.start(1, 1000), QString());
    QVERIFY(ramps.isRamping(1));
    QCOMPARE(mixInFlight(model, 1), 100.0f);
    QCOMPARE(mixInFlight(model, 2), 500.0f);
    QCOMPARE(model.driverOf(1), (Driver{Driver::Mix, 1}));
    model.confirm(1, 1, 100.0f);
    ramps.tick();
    QCOMPARE(mixInFlight(model, 1), 200.0f);
    QCOMPARE(model.driverOf(1), (Driver{Driver::Mix, 1}));
    mixes.stop(1);
    QVERIFY(!ramps.isRamping(1));
    QCOMPARE(mixInFlight(model, 1), 0.0f);
    QVERIFY(model.driverOf(1).isNone());
}

// Groups go into process.json beside the controllers, and what the file holds besides survives.
void tst_mixGroup::groupsKeptInProcessSettings()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("process.json"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(R"({"later": 1, "mixes": {"2": {"colour": "blue", "policy": "ratio", "total": 1, "members": []},
                  "3": {"policy": "sideways"}}})");
    file.close();
    ProcessSettings settings;
    QString error;
    QVERIFY2(settings.load(path, &error), qPrintable(error));
    QCOMPARE(settings.mixes().keys(), QList<int>{2}); // group 3 cannot be read
    MixGroup group = mixOf("1:50:1000 2:30:1000 3:20:150", MixGroup::Policy::KeepTotal);
    group.name = QStringLiteral("N2/Ar/H2");
    group.total = 800;
    group.alarm = {false, 3.5, 7, 12};
    settings.setMix(2, group);
    settings.setMix(4, mixOf("5:60:100 6:40:200"));
    settings.removeMix(4);
    QVERIFY(settings.save(path, &error));

    ProcessSettings read;
    QVERIFY(read.load(path, &error));
    QCOMPARE(read.mixes().keys(), QList<int>{2});
    const MixGroup back = read.mixes().value(2);
    QCOMPARE(back.name, group.name);
    QCOMPARE(back.policy, MixGroup::Policy::KeepTotal);
    QCOMPARE(back.total, 800.0);
    QCOMPARE(back.alarm.on, false);
    QCOMPARE(back.alarm.points, 3.5);
    QCOMPARE(back.alarm.holdoff, 12.0);
    QCOMPARE(back.alarm.seconds, 7.0);
    QCOMPARE(mixSetpointsText(planMix(back, 1000)), QStringLiteral("531.25 318.75 150"));
    const QJsonObject json = read.toJson();
    QCOMPARE(json.value(QStringLiteral("later")).toInt(), 1);
    QCOMPARE(json.value(QStringLiteral("mixes")).toObject().value(QStringLiteral("2")).toObject()
                 .value(QStringLiteral("colour")).toString(), QStringLiteral("blue"));
    QVERIFY(json.value(QStringLiteral("mixes")).toObject().contains(QStringLiteral("3")));
}

// Words, each at a time in seconds: "total1000@0" starts group 1 (50/30/20 %) or changes its
// total, "flows500,300,100@3" a flow reading of each member in turn, "stop@4" stops the group.
// The alarm's changes are written "+3@15" (raised, member 3 off the most) or "-3@17" (cleared).
void tst_mixGroup::compositionAlarm_data()
{
    QTest::addColumn<bool>("on");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("changes");
    QTest::addColumn<QString>("record"); // the alarm monitor's last episode
    const QString offAtStart = "total1000@0 flows500,300,100@1 flows500,300,100@9 flows500,300,100@10 "
                               "flows500,300,100@14 flows500,300,100@15";
    QTest::newRow("held off after the start, then lasting 5 s")
        << true << offAtStart + " flows500,300,200@16 flows500,300,200@17" << "+3@15 -3@17"
        << QStringLiteral("混合组1 组成偏差 设备3 8.9个百分点");
    QTest::newRow("within 2 points") << true << "total1000@0 flows510,300,190@11 flows510,300,190@20" << "" << "";
    QTest::newRow("a new total holds it off again")
        << true
        << "total1000@0 flows500,300,200@11 total1500@12 flows900,300,200@13 flows900,300,200@21 "
           "flows900,300,200@22 flows900,300,200@26 flows900,300,200@27"
        << "+1@27" << QStringLiteral("混合组1 组成偏差 设备1 14.3个百分点");
    QTest::newRow("stopping clears it at once") << true << offAtStart + " stop@16" << "+3@15 -3@16"
                                                << QStringLiteral("混合组1 组成偏差 设备3 8.9个百分点");
    QTest::newRow("switched off") << false << offAtStart << "" << "";
    QTest::newRow("no flow measured yet") << true << "total1000@0 flows0,0,0@11 flows0,0,0@20" << "" << "";
}

void tst_mixGroup::compositionAlarm()
{
    QFETCH(bool, on);
    QFETCH(QString, script);
    QFETCH(QString, changes);
    QFETCH(QString, record);
    BenchModel model(nullptr);
    mixBenchOfThree(model);
    MixDriver mixes(&model, nullptr);
    qint64 nowMs = 0;
    mixes.setClock([&nowMs] { return nowMs; });
    AlarmMonitor alarms(&model);
    alarms.followMixes(&mixes);
    MixGroup group = mixOf("1:50:1000 2:30:1000 3:20:1000");
    group.alarm.on = on;
    QCOMPARE(mixes.setGroup(1, group), QString());
    QStringList seen;
    QString at;
    connect(&mixes, &MixDriver::compositionAlarm, this, [&](int, bool raised, quint8 address) {
        seen << QStringLiteral("%1%2@%3").arg(raised ? '+' : '-').arg(address).arg(at);
    });
    for (const QString &word : script.split(QLatin1Char(' '))) {
        const QString what = word.section(QLatin1Char('@'), 0, 0);
        at = word.section(QLatin1Char('@'), 1);
        nowMs = qint64(at.toDouble() * 1000);
        if (what.startsWith(QLatin1String("total"))) {
            QCOMPARE(mixes.start(1, what.mid(5).toDouble()), QString());
        } else if (what == QLatin1String("stop")) {
            mixes.stop(1);
        } else {
            const QStringList flows = what.mid(5).split(QLatin1Char(','));
            for (int i = 0; i < flows.size(); ++i) {
                Reading reading;
                reading.deviceId = quint8(i + 1);
                reading.value = flows[i].toDouble();
                reading.usable = true;
                model.takeReading(reading);
            }
        }
    }
    QCOMPARE(seen.join(QLatin1Char(' ')), changes);
    QCOMPARE(alarms.records().isEmpty() ? QString() : alarms.records().last().text(), record);
    QCOMPARE(mixes.compositionAlarmActive(1), changes.endsWith(QLatin1String("@27")));
}

QUORIX_TEST_MAIN(tst_mixGroup)
#include "tst_mixGroup.moc"
