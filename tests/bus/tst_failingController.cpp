// One bad controller among three at 9600 baud, with the worker's own 1000 ms tick: the cost of its
// failures falls on it alone. The healthy ones keep their reading rate, a setpoint to one of them
// reaches the wire within a tick and a reply timeout, and the bad one is dropped by the loss rule.

#include "RegisterMap.h"
#include "WorkerFixture.h"

#include <QElapsedTimer>
#include <QtTest>
#include <atomic>

namespace {

constexpr int kTickMs = 1000;
constexpr quint8 kBad = 2;
const QList<quint8> kHealthy{1, 3};

SimFaults allCorrupt()
{
    SimFaults faults;
    faults.corruptFraction = 1.0;
    return faults;
}

SimFaults silent()
{
    SimFaults faults;
    faults.silent = true;
    return faults;
}

SimFaults twin()
{
    SimFaults faults;
    faults.twin = true;
    return faults;
}

} // namespace

class FailingControllerTest : public QObject
{
    Q_OBJECT

private slots:
    void othersKeepTheirPace_data();
    void othersKeepTheirPace();
};

void FailingControllerTest::othersKeepTheirPace_data()
{
    QTest::addColumn<SimFaults>("faults");
    QTest::newRow("all answers corrupt") << allCorrupt();
    QTest::newRow("silent") << silent();
    QTest::newRow("two controllers at one address") << twin();
}

void FailingControllerTest::othersKeepTheirPace()
{
    QFETCH(SimFaults, faults);
    WorkerFixture f({1, 2, 3}, Timings{}, 9600);
    for (quint8 address : {1, 2, 3}) // each flows at its own rate: no two controllers read alike
        f.bus->setFloatRegister(address, RegisterMap::InstantSetpoint, 100.0f * address);
    QCOMPARE(f.openPort(), 1);
    f.poll({1, 2, 3});
    f.tick(); // every controller answers its mode read-back and its first cycle
    f.bus->setFaults(kBad, faults);
    QSignalSpy replies(&f.relay, &WorkerSignals::sendFreshDeviceInformation);
    QSignalSpy lost(&f.relay, &WorkerSignals::deviceconnectStatus);

    // When each setpoint request reached the wire, timed from the request on the worker's thread.
    QElapsedTimer sinceRequest;
    std::atomic<qint64> reachedAfterMs{-1};
    LogCapture::setHook([&](const QString &line) {
        if (line.startsWith("modify_flow_data"))
            reachedAfterMs = sinceRequest.elapsed();
    });
    QSignalSpy reports(&f.relay, &WorkerSignals::sig_count_loss); // two at the end of each tick
    QElapsedTimer run;
    run.start();
    f.worker.startMainTimer(kTickMs);
    qint64 slowestMs = 0;
    for (int i = 0; i < 3; ++i) { // right after a tick's cycle: the longest wait for the next tick
        const int seen = reports.count();
        QTRY_VERIFY_WITH_TIMEOUT(reports.count() >= seen + 2, 3 * kTickMs);
        reachedAfterMs = -1;
        sinceRequest.start();
        f.worker.requestSetpoint(1, 1, 50.0f + i);
        QTRY_VERIFY_WITH_TIMEOUT(reachedAfterMs >= 0, 5 * kTickMs);
        slowestMs = qMax(slowestMs, qint64(reachedAfterMs));
        QTRY_COMPARE(f.bus->floatRegister(1, RegisterMap::InstantSetpoint), 50.0f + i);
    }
    QTRY_VERIFY_WITH_TIMEOUT(!lost.isEmpty(), 15 * kTickMs);
    const double seconds = run.elapsed() / 1000.0;
    LogCapture::setHook(nullptr);

    QCOMPARE(lost.at(0), (QList<QVariant>{int(kBad), false}));
    QCOMPARE(lost.count(), 1);
    QCOMPARE(f.deviceIds(), kHealthy);
    QVERIFY2(slowestMs <= kTickMs + Timings{}.replyTimeout, qPrintable(QString::number(slowestMs)));
    QMap<int, int> readings;
    for (const QList<QVariant> &reply : qAsConst(replies))
        ++readings[reply.at(1).toInt()];
    // Normally four readings a tick; at least half of that over the whole run.
    for (quint8 address : kHealthy) {
        const double perSecond = readings.value(address) / seconds;
        QVERIFY2(perSecond >= 0.5 * 4.0 * 1000.0 / kTickMs,
                 qPrintable(QStringLiteral("controller %1: %2 readings in %3 s")
                                .arg(address)
                                .arg(readings.value(address))
                                .arg(seconds)));
    }
}

#include "TestRunner.h"

QUORIX_TEST_GUILESS_MAIN(FailingControllerTest)
#include "tst_failingController.moc"
