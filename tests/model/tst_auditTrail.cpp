// The audit trail through the bench model: a setpoint from the row, a programme's step and a
// refused one each leave their request and outcome lines; a line is on disk as soon as it is
// written (a program killed before the outcome leaves the request); the file of a month is only
// appended to, and a new month starts its own.

#include "TestRunner.h"

#include "AuditTrail.h"
#include "BenchModel.h"
#include "BusCodes.h"
#include "DriverAudit.h"
#include "RampDriver.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const int kFlow = Bus::code(Bus::SetpointKind::Instant);

// Every line of the file, read by a reader of its own while the trail still holds the file.
QList<QJsonObject> linesOf(const QString &path)
{
    QList<QJsonObject> lines;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        lines << QJsonDocument::fromJson(line).object();
    }
    return lines;
}

struct Bench
{
    Bench()
    {
        model.setScanned({1, 2});
        model.noteOnlineRequest(Bus::code(Bus::OnlineRequest::TakeOnline), 1);
        trail.setOperator(QStringLiteral("op"), QStringLiteral("operator"));
        trail.setClock([this] { return now; });
    }
    QString file() const { return trail.filePath(now); }

    QTemporaryDir dir;
    QDateTime now{QDate(2026, 12, 8), QTime(10, 42, 5), Qt::OffsetFromUTC, 8 * 3600};
    BenchModel model{nullptr};
    AuditTrail trail{&model, dir.filePath(QStringLiteral("data"))};
};

} // namespace

class tst_auditTrail : public QObject
{
    Q_OBJECT
private slots:
    void rowProgrammeAndRefusalLeaveTheirLines();
    void requestLineIsOnDiskBeforeItsOutcome();
    void appendsOnlyAndStartsANewMonth();
    void parameterWritesAndTheExitStop();
    void rampTargetsAndMixRuns();
};

void tst_auditTrail::rowProgrammeAndRefusalLeaveTheirLines()
{
    Bench bench;
    QCOMPARE(bench.model.requestSetpoint(1, kFlow, 50, Driver::operatorRow()), QString());
    bench.model.confirm(1, kFlow, 50);
    bench.model.take(1, Driver::programme(2));
    bench.model.announceStep(1, 20, Driver::programme(2));
    bench.model.confirm(1, kFlow, 20);
    bench.model.release(1, Driver::programme(2));
    QVERIFY(!bench.model.requestSetpoint(2, kFlow, 10, Driver::operatorRow()).isEmpty()); // not online
    bench.model.setNextOrigin(QStringLiteral("topic q/1/setpoint/set"));
    bench.model.requestSetpoint(1, kFlow, 30, Driver::remote());
    bench.model.giveUp(1, kFlow);

    const QList<QJsonObject> lines = linesOf(bench.file());
    QCOMPARE(bench.file(), bench.dir.filePath(QStringLiteral("data/audit-2026-12.jsonl")));
    QCOMPARE(lines.size(), 10);
    // The row's setpoint: asked by the operator, before unknown, confirmed under the same id.
    QCOMPARE(lines[0].value("phase").toString(), QStringLiteral("request"));
    QCOMPARE(lines[0].value("time").toString(), QStringLiteral("2026-12-08T10:42:05.000+08:00"));
    QCOMPARE(lines[0].value("source").toObject(),
             QJsonObject({{"driver", "operator"}, {"user", "op"}, {"level", "operator"}}));
    QCOMPARE(lines[0].value("controller").toInt(), 1);
    QVERIFY(lines[0].value("before").isNull());
    QCOMPARE(lines[0].value("after").toDouble(), 50.0);
    QCOMPARE(lines[1].value("outcome").toString(), QStringLiteral("confirmed"));
    QCOMPARE(lines[1].value("id"), lines[0].value("id"));
    // The programme: its start, its step from 50 to 20, confirmed, its stop.
    QCOMPARE(lines[2].value("what").toString(), QStringLiteral("programme_start"));
    QCOMPARE(lines[3].value("source").toObject(), QJsonObject({{"driver", "programme"}, {"index", 2}}));
    QCOMPARE(lines[3].value("before").toDouble(), 50.0);
    QCOMPARE(lines[4].value("outcome").toString(), QStringLiteral("confirmed"));
    QCOMPARE(lines[5].value("what").toString(), QStringLiteral("programme_stop"));
    // Refused with the model's reason, nothing waiting for it.
    QCOMPARE(lines[6].value("controller").toInt(), 2);
    QCOMPARE(lines[7].value("outcome").toString(), QStringLiteral("refused"));
    QCOMPARE(lines[7].value("reason").toString(), QStringLiteral("设备2未上线"));
    // A remote command with its topic, given up.
    QCOMPARE(lines[8].value("source").toObject().value("origin").toString(), QStringLiteral("topic q/1/setpoint/set"));
    QCOMPARE(lines[9].value("outcome").toString(), QStringLiteral("given_up"));
}

void tst_auditTrail::requestLineIsOnDiskBeforeItsOutcome()
{
    Bench bench;
    bench.model.requestSetpoint(1, kFlow, 40, Driver::operatorRow());
    QCOMPARE(linesOf(bench.file()).size(), 1); // flushed: a kill now leaves it
    bench.model.confirm(1, kFlow, 41); // an echo of another value ends nothing
    QCOMPARE(linesOf(bench.file()).size(), 1);
    bench.model.requestSetpoint(1, kFlow, 60, Driver::operatorRow());
    const QList<QJsonObject> lines = linesOf(bench.file());
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[1].value("outcome").toString(), QStringLiteral("replaced"));
    QCOMPARE(lines[1].value("after").toDouble(), 40.0);
    QCOMPARE(lines[2].value("after").toDouble(), 60.0);
}

void tst_auditTrail::appendsOnlyAndStartsANewMonth()
{
    Bench bench;
    QDir().mkpath(bench.dir.filePath(QStringLiteral("data")));
    {
        QFile earlier(bench.file());
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write("{\"id\": 1}\n");
    }
    bench.model.requestSetpoint(2, kFlow, 5, Driver::operatorRow()); // refused: two lines
    const QString december = bench.file();
    bench.now = QDateTime(QDate(2027, 1, 1), QTime(0, 0, 1), Qt::UTC);
    bench.model.requestSetpoint(2, kFlow, 5, Driver::operatorRow());
    QCOMPARE(linesOf(bench.file()).value(0).value("time").toString(), QStringLiteral("2027-01-01T00:00:01.000+00:00"));
    const QList<QJsonObject> kept = linesOf(december);
    QCOMPARE(kept.size(), 3);
    QCOMPARE(kept[0], QJsonObject({{"id", 1}}));
    QCOMPARE(linesOf(bench.file()).size(), 2);
    QVERIFY(bench.file().endsWith(QStringLiteral("audit-2027-01.jsonl")));
    QCOMPARE(bench.trail.lastError(), QString());
}

void tst_auditTrail::parameterWritesAndTheExitStop()
{
    Bench bench;
    bench.trail.noteParameterWrite(1, true, 7, 30);
    bench.trail.noteParameterWrite(1, false, 7, 2.5);
    bench.trail.endParameterWrite(false, 7, true);
    bench.trail.endParameterWrite(true, 7, false);
    bench.trail.endParameterWrite(true, 7, true); // no write waits: nothing
    bench.model.announceStep(1, 0, Driver::exitStop());
    bench.model.noteOnlineRequest(Bus::code(Bus::OnlineRequest::TakeOnline), 2);
    bench.model.announceStep(2, 0, Driver::exitStop());
    bench.model.confirm(1, kFlow, 0);
    bench.trail.endUnconfirmedStops({2});
    const QList<QJsonObject> lines = linesOf(bench.file());
    QCOMPARE(lines.size(), 8);
    QCOMPARE(lines[0].value("parameter_level").toString(), QStringLiteral("administrator"));
    QCOMPARE(lines[0].value("source").toObject().value("level").toString(), QStringLiteral("administrator"));
    QCOMPARE(lines[1].value("source").toObject().value("level").toString(), QStringLiteral("operator"));
    QCOMPARE(lines[2].value("after").toDouble(), 2.5);
    QCOMPARE(lines[2].value("outcome").toString(), QStringLiteral("confirmed"));
    QCOMPARE(lines[2].value("parameter_level").toString(), QStringLiteral("ordinary"));
    QCOMPARE(lines[3].value("outcome").toString(), QStringLiteral("given_up"));
    QCOMPARE(lines[3].value("after").toDouble(), 30.0);
    QCOMPARE(lines[4].value("source").toObject().value("driver").toString(), QStringLiteral("exit"));
    QCOMPARE(lines[6].value("controller").toInt(), 1);
    QCOMPARE(lines[6].value("outcome").toString(), QStringLiteral("confirmed"));
    QCOMPARE(lines[7].value("controller").toInt(), 2);
    QCOMPARE(lines[7].value("outcome").toString(), QStringLiteral("given_up"));
}

void tst_auditTrail::rampTargetsAndMixRuns()
{
    Bench bench;
    RampDriver ramps(&bench.model);
    DriverAudit audit(&bench.trail, &ramps, nullptr);
    ramps.setRate(1, 10);
    ramps.setRate(2, 10);
    QCOMPARE(ramps.approach(1, 100, Driver::operatorRow()), QString());
    ramps.approach(1, 80, Driver::operatorRow());
    ramps.cancel(1, QStringLiteral("stopped"));
    QVERIFY(!ramps.approach(2, 50, Driver::operatorRow()).isEmpty()); // not online
    bench.model.take(1, {Driver::Mix, 3});
    bench.model.release(1, {Driver::Mix, 3});

    QList<QJsonObject> lines;
    for (const QJsonObject &line : linesOf(bench.file()))
        if (line.value("what").toString() != QStringLiteral("setpoint")) // the ramps' own steps
            lines << line;
    QCOMPARE(lines.size(), 8);
    // The first target: asked by the operator from 0, replaced by the second before it was reached.
    QCOMPARE(lines[0].value("what").toString(), QStringLiteral("ramp_target"));
    QCOMPARE(lines[0].value("after").toDouble(), 100.0);
    QCOMPARE(lines[0].value("source").toObject().value("user").toString(), QStringLiteral("op"));
    QCOMPARE(lines[1].value("outcome").toString(), QStringLiteral("replaced"));
    QCOMPARE(lines[1].value("id"), lines[0].value("id"));
    QCOMPARE(lines[3].value("outcome").toString(), QStringLiteral("given_up"));
    QCOMPARE(lines[3].value("reason").toString(), QStringLiteral("stopped"));
    QCOMPARE(lines[5].value("reason").toString(), QStringLiteral("设备2未上线"));
    QCOMPARE(lines[6].value("what").toString(), QStringLiteral("mix_start"));
    QCOMPARE(lines[6].value("source").toObject(), QJsonObject({{"driver", "mix"}, {"index", 3}}));
    QCOMPARE(lines[7].value("what").toString(), QStringLiteral("mix_stop"));
}

QUORIX_TEST_GUILESS_MAIN(tst_auditTrail)
#include "tst_auditTrail.moc"
