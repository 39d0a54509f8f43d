// Setting controllers to 0 before the program ends: every controller is written at once, the
// writes that are not confirmed are repeated back to back until the deadline, and the answer
// names the controllers that never confirmed.

#include "RegisterMap.h"
#include "WorkerFixture.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>

namespace {

// The 0 writes to a controller's instantaneous setpoint that reached the bus.
int zeroWrites(const SimBus &bus, quint8 address)
{
    const QByteArray zero = SerialPort::buildWriteFloatFrame(address, RegisterMap::InstantSetpoint, 0.0f);
    int count = 0;
    for (const QByteArray &frame : bus.receivedFrames())
        count += frame == zero ? 1 : 0;
    return count;
}

} // namespace

class tst_flowStop : public QObject
{
    Q_OBJECT
private slots:
    void zeroBeforeTheDeadline_data();
    void zeroBeforeTheDeadline();
    void confirmedZeroEndsTheWaitingStep();
};

void tst_flowStop::zeroBeforeTheDeadline_data()
{
    QTest::addColumn<bool>("portOpen");
    QTest::addColumn<SimFaults>("faultsOf3");
    QTest::addColumn<int>("budgetMs");
    QTest::addColumn<QList<quint8>>("unconfirmed");
    QTest::addColumn<int>("lostFrames");

    SimFaults lost;
    lost.lostWrites = 3;
    SimFaults silent;
    silent.silent = true;
    QTest::newRow("every controller answers") << true << SimFaults() << 2000 << QList<quint8>() << 0;
    QTest::newRow("three writes lost on the line") << true << lost << 5000 << QList<quint8>() << 3;
    QTest::newRow("a silent controller until the deadline")
        << true << silent << 1500 << QList<quint8>{3} << 0;
    QTest::newRow("port closed: given up at once")
        << false << SimFaults() << 5000 << QList<quint8>{1, 2, 3} << 0;
}

void tst_flowStop::zeroBeforeTheDeadline()
{
    QFETCH(bool, portOpen);
    QFETCH(SimFaults, faultsOf3);
    QFETCH(int, budgetMs);
    QFETCH(QList<quint8>, unconfirmed);
    QFETCH(int, lostFrames);

    WorkerFixture f;
    if (portOpen)
        QCOMPARE(f.openPort(), 1);
    for (quint8 id : {1, 2, 3})
        f.bus->setFloatRegister(id, RegisterMap::InstantSetpoint, 50.0f);
    f.bus->setFaults(3, faultsOf3);
    f.bus->clearReceivedFrames();

    QSignalSpy answer(&f.relay, &WorkerSignals::sig_flowsStopped);
    QElapsedTimer clock;
    clock.start();
    f.worker.requestFlowStop({1, 2, 3}, QDeadlineTimer(budgetMs));
    QVERIFY(answer.wait(budgetMs + 10000));
    const qint64 took = clock.elapsed();
    QCOMPARE(answer.first().at(0).value<QList<quint8>>(), unconfirmed);
    QCOMPARE(f.bus->lostFrameCount(), lostFrames);

    for (quint8 id : {1, 2, 3}) {
        const float expected = unconfirmed.contains(id) ? 50.0f : 0.0f;
        QCOMPARE(f.bus->floatRegister(id, RegisterMap::InstantSetpoint), expected);
    }
    if (!portOpen) {
        QVERIFY(f.bus->receivedFrames().isEmpty());
        QVERIFY2(took < budgetMs, qPrintable(QString::number(took)));
    } else if (!unconfirmed.isEmpty()) {
        // Tried again and again, and no longer than the deadline and the write under way then.
        QVERIFY(zeroWrites(*f.bus, 3) >= 2);
        QVERIFY2(took >= budgetMs && took < budgetMs + 4000, qPrintable(QString::number(took)));
        QCOMPARE(zeroWrites(*f.bus, 1), 1);
    }
}

// A staged step still waiting for its write would undo the 0 at the next tick.
void tst_flowStop::confirmedZeroEndsTheWaitingStep()
{
    WorkerFixture f;
    QCOMPARE(f.openPort(), 1);
    f.poll({1});
    f.worker.slot_startStep(true);
    f.worker.slot_excuteStep(1, 30.0f); // served by the next tick, which has not come
    QSignalSpy answer(&f.relay, &WorkerSignals::sig_flowsStopped);
    f.worker.requestFlowStop({1}, QDeadlineTimer(2000));
    QVERIFY(answer.wait(10000));
    QCOMPARE(answer.first().at(0).value<QList<quint8>>(), QList<quint8>());
    f.ticks(2);
    QCOMPARE(f.bus->floatRegister(1, RegisterMap::InstantSetpoint), 0.0f);
    QCOMPARE(zeroWrites(*f.bus, 1), 1);
}

#include "TestRunner.h"

QUORIX_TEST_MAIN(tst_flowStop)
#include "tst_flowStop.moc"
