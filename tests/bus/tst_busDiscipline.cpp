// How the worker treats the line around a faulty controller, met through the simulated bus at
// 9600 baud: what one controller does wrong must not cost the healthy ones their readings, and
// every loss counted is a query that got no correct answer.

#include "RegisterMap.h"
#include "WorkerFixture.h"

#include <QtTest>

namespace {

// Readings per controller over the ticks, each checked against what the bus served.
class ReadingLedger
{
public:
    explicit ReadingLedger(WorkerFixture &f) : m_f(f)
    {
        QObject::connect(&f.relay, &WorkerSignals::sendFreshDeviceInformation, &m_context,
                         [this](int type, int id, const QByteArray &reply) {
                             ++m_count[id];
                             if (!m_f.bus->hasServed(quint8(id), RegisterMap::readingRegister(type), reply.mid(3, 4)))
                                 ++m_wrong;
                         });
    }
    int of(int id) const { return m_count.value(id); }
    int wrong() const { return m_wrong; }

private:
    WorkerFixture &m_f;
    QObject m_context;
    QMap<int, int> m_count;
    int m_wrong = 0;
};

SimFaults neighbourAhead(quint8 neighbour, int gapMs)
{
    SimFaults faults;
    faults.neighbourAddress = neighbour;
    faults.neighbourGapMs = gapMs;
    return faults;
}

} // namespace

class BusDisciplineTest : public QObject
{
    Q_OBJECT

private slots:
    void neighboursAnswerCostsNoHealthyController_data();
    void neighboursAnswerCostsNoHealthyController();
};

void BusDisciplineTest::neighboursAnswerCostsNoHealthyController_data()
{
    QTest::addColumn<int>("gapMs");
    QTest::newRow("8 ms ahead") << 8;
    QTest::newRow("ending as the answer begins") << 0;
}

// Controller 3's sound read reply reaches the line ahead of every answer of controller 1.
void BusDisciplineTest::neighboursAnswerCostsNoHealthyController()
{
    QFETCH(int, gapMs);
    constexpr int kTicks = 8;
    WorkerFixture f({1, 3, 12}, Timings{}, 9600);
    QCOMPARE(f.openPort(), 1);
    f.poll({1, 3, 12});
    f.tick(); // the mode read-backs and a clean first cycle
    f.bus->setFaults(1, neighbourAhead(3, gapMs));
    ReadingLedger readings(f);
    f.ticks(kTicks);
    f.worker.runOnWorker([] {});
    QCoreApplication::processEvents();

    QCOMPARE(readings.wrong(), 0);
    QCOMPARE(f.bus->collisions(), 0);
    for (int id : {1, 12})
        QVERIFY2(readings.of(id) >= 0.95 * 4 * kTicks, qPrintable(QString("%1: %2").arg(id).arg(readings.of(id))));
    QCOMPARE(f.device(1).totalLoss, 0);
    QCOMPARE(f.device(12).totalLoss, 0);
}

#include "TestRunner.h"

QUORIX_TEST_GUILESS_MAIN(BusDisciplineTest)
#include "tst_busDiscipline.moc"
