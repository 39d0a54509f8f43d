// The alarm rules, replayed on a script of times: hold-off after a target change, deviation from
// a ramped setpoint, one reading of hysteresis, low flow only above 0.

#include "ControllerAlarms.h"
#include "TestRunner.h"

class tst_controllerAlarms : public QObject
{
    Q_OBJECT
private slots:
    void rules_data();
    void rules();
};

// Words, each at a time in seconds: "sp100@0" the setpoint held from 0 s, "f95@3" a flow reading
// at 3 s, "t60@4" a temperature reading, "drop@5" the controller dropped. The changes are written
// "+deviation@7" (raised at 7 s) or "-deviation@9" (cleared).
void tst_controllerAlarms::rules_data()
{
    QTest::addColumn<QString>("settings"); // "low10", "high900", "temp0-50", "quick" (holdoff 2, seconds 1)
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("changes");
    QTest::newRow("held off after a target change")
        << "" << "sp0@0 f0@1 sp100@2 f0@3 f0@8 f0@11 f0@12 f0@17 f0@18" << "+deviation@17";
    QTest::newRow("a controller that follows") << "" << "sp100@0 f20@1 f90@5 f99@12 f101@20" << "";
    QTest::newRow("within the sccm tolerance at low flow") << "" << "sp10@0 f11.9@11 f8.1@17 f8.1@30" << "";
    QTest::newRow("a ramp followed with a 2 s lag")
        << "quick" << "sp20@0 sp40@1 f20@2 sp60@2 f40@3 sp80@3 f60@4 sp100@4 f80@5 f100@6 f100@9" << "";
    QTest::newRow("a ramp not followed at all")
        << "quick" << "sp20@0 sp40@1 f0@2 sp60@2 f0@3 sp80@3 f0@4 sp100@4 f0@5 f0@6" << "+deviation@3";
    QTest::newRow("clears after one full reading")
        << "quick" << "sp100@0 f0@3 f0@4 f100@5 f0@6 f0@7 f100@8 f100@9" << "+deviation@4 -deviation@9";
    QTest::newRow("low flow only above 0 and after the hold-off")
        << "low10" << "sp0@0 f0@20 sp50@21 f0@22 f0@30 f0@31 sp0@32 f0@40 f0@41" << "+low@31 -low@41";
    QTest::newRow("high flow at once") << "high900" << "sp0@0 f950@1 f800@2 f800@3" << "+high@1 -high@3";
    QTest::newRow("temperature outside its range") << "temp0-50" << "t60@1 t40@2 t40@3" << "+temperature@1 -temperature@3";
    QTest::newRow("dropped, back after two readings") << "" << "drop@1 f0@2 f0@3" << "+dropped@1 -dropped@3";
}

void tst_controllerAlarms::rules()
{
    QFETCH(QString, settings);
    QFETCH(QString, script);
    QFETCH(QString, changes);
    AlarmSettings alarms;
    alarms.high = {settings == QLatin1String("high900"), 900};
    alarms.low = {settings == QLatin1String("low10"), 10};
    alarms.temperature = {settings == QLatin1String("temp0-50"), 0, 50};
    alarms.deviation.on = settings.isEmpty() || settings == QLatin1String("quick");
    if (settings == QLatin1String("quick")) {
        alarms.deviation.holdoff = 2;
        alarms.deviation.seconds = 1;
    }
    ControllerAlarms rules(alarms);
    const QStringList names{"deviation", "high", "low", "dropped", "temperature", "pressure"};
    QStringList seen;
    for (const QString &word : script.split(QLatin1Char(' '))) {
        const QString what = word.section(QLatin1Char('@'), 0, 0);
        const qint64 atMs = qint64(word.section(QLatin1Char('@'), 1).toDouble() * 1000);
        QList<ControllerAlarms::Change> found;
        if (what.startsWith(QLatin1String("sp")))
            rules.setpointHeld(what.mid(2).toDouble(), atMs);
        else if (what.startsWith(QLatin1Char('f')))
            found = rules.reading(1, what.mid(1).toDouble(), atMs);
        else if (what.startsWith(QLatin1Char('t')))
            found = rules.reading(3, what.mid(1).toDouble(), atMs);
        else if (what == QLatin1String("drop"))
            found = rules.dropped(true, atMs);
        for (const ControllerAlarms::Change &change : found)
            seen << QStringLiteral("%1%2@%3")
                        .arg(change.raised ? '+' : '-')
                        .arg(names[change.kind])
                        .arg(word.section(QLatin1Char('@'), 1));
    }
    QCOMPARE(seen.join(QLatin1Char(' ')), changes);
}

QUORIX_TEST_GUILESS_MAIN(tst_controllerAlarms)
#include "tst_controllerAlarms.moc"
