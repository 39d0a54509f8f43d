// The ramp's rules, replayed tick by tick: what each tick writes to the controller.

#include "BenchModel.h"
#include "RampDriver.h"
#include "SetpointRamp.h"
#include "TestRunner.h"

#include <QSignalSpy>

class tst_setpointRamp : public QObject
{
    Q_OBJECT
private slots:
    void rules_data();
    void rules();
    void driverRefusesAndHolds();
};

// A script of words: "r20" rate 20 sccm/s, "a100@0" aim at 100 from a held 0, "s" one tick.
// The writes are those of the ticks, "-" for a tick that writes nothing.
void tst_setpointRamp::rules_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("writes");
    QTest::newRow("up in steps, the last one exact") << "r30 a100@0 s s s s s" << "30 60 90 100 -";
    QTest::newRow("down from what the controller holds") << "r25 a40@100 s s s" << "75 50 40";
    QTest::newRow("a new target goes on from the setpoint reached") << "r20 a100@0 s s a30@0 s s" << "20 40 30 -";
    QTest::newRow("a target of 0 at once") << "r10 a100@0 s s a0@0 s s" << "10 20 0 -";
    QTest::newRow("a rate change takes the next step") << "r20 a100@0 s r50 s s" << "20 70 100";
    QTest::newRow("no rate: the target at once") << "r0 a100@0 s s" << "100 -";
    QTest::newRow("a step smaller than the rate") << "r20 a105@100 s" << "105";
}

void tst_setpointRamp::rules()
{
    QFETCH(QString, script);
    QFETCH(QString, writes);
    SetpointRamp ramp;
    QStringList written;
    for (const QString &word : script.split(QLatin1Char(' '))) {
        if (word.startsWith(QLatin1Char('r'))) {
            ramp.setRate(word.mid(1).toDouble());
        } else if (word.startsWith(QLatin1Char('a'))) {
            const QStringList parts = word.mid(1).split(QLatin1Char('@'));
            ramp.aim(parts[0].toFloat(), parts[1].toFloat());
        } else {
            const std::optional<float> value = ramp.step();
            written << (value ? QString::number(double(*value)) : QStringLiteral("-"));
        }
    }
    QCOMPARE(written.join(QLatin1Char(' ')), writes);
}

// Through the bench model: a ramp holds its controller, is refused in cumulative mode and by a
// programme's hold, and a 0 from anyone ends it at once.
void tst_setpointRamp::driverRefusesAndHolds()
{
    BenchModel model(nullptr);
    model.setScanned({1, 2});
    model.noteOnlineRequest(3, 1);
    model.noteOnlineRequest(3, 2);
    model.setMode(1, 0);
    model.setMode(2, 1);
    RampDriver ramps(&model);
    ramps.setRate(1, 20);
    ramps.setRate(2, 20);
    QSignalSpy ended(&ramps, &RampDriver::rampEnded);

    QCOMPARE(ramps.approach(2, 50, Driver::operatorRow()), QStringLiteral("设备2处于累积量控制模式，不能使用斜坡"));
    QVERIFY(!ramps.isRamping(2));

    QCOMPARE(ramps.approach(1, 100, Driver::operatorRow()), QString());
    QCOMPARE(model.driverOf(1).kind, Driver::Ramp);
    QCOMPARE(*model.record(1)->setpoint(1).inFlight, 20.0f);
    QCOMPARE(model.take(1, Driver::programme(1)), QStringLiteral("设备1正由斜坡控制"));
    model.confirm(1, 1, 20.0f);
    ramps.tick();
    QCOMPARE(*model.record(1)->setpoint(1).inFlight, 40.0f);

    QCOMPARE(ramps.approach(1, 0, Driver::remote()), QString());
    QCOMPARE(*model.record(1)->setpoint(1).inFlight, 0.0f);
    QVERIFY(!ramps.isRamping(1));
    QCOMPARE(model.driverOf(1), Driver::none());
    QCOMPARE(ended.count(), 1);
    QCOMPARE(ended.first().at(2).toBool(), false);

    // To the end: the ramp ends, reached, when the controller confirms the target itself.
    QCOMPARE(ramps.approach(1, 30, Driver::operatorRow()), QString());
    model.confirm(1, 1, 20.0f);
    ramps.tick();
    model.confirm(1, 1, 30.0f);
    QVERIFY(!ramps.isRamping(1));
    QCOMPARE(ended.last().at(2).toBool(), true);
    QCOMPARE(model.driverOf(1), Driver::none());
}

QUORIX_TEST_GUILESS_MAIN(tst_setpointRamp)
#include "tst_setpointRamp.moc"
