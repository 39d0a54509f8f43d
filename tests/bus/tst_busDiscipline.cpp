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
                             ++m_countByType[qMakePair(id, type)];
                             if (!m_f.bus->hasServed(quint8(id), RegisterMap::readingRegister(type), reply.mid(3, 4)))
                                 ++m_wrong;
                         });
    }
    int of(int id) const { return m_count.value(id); }
    int of(int id, int type) const { return m_countByType.value(qMakePair(id, type)); }
    int wrong() const { return m_wrong; }

private:
    WorkerFixture &m_f;
    QObject m_context;
    QMap<int, int> m_count;
    QMap<QPair<int, int>, int> m_countByType;
    int m_wrong = 0;
};

// The last total of lost queries the worker reported.
class LossReport
{
public:
    explicit LossReport(WorkerFixture &f)
    {
        QObject::connect(&f.relay, &WorkerSignals::sig_count_loss, &m_context, [this](int type, float value) {
            if (type == Bus::code(Bus::LossReport::LostQueries))
                m_total = int(value);
        });
    }
    int total() const { return m_total; }

private:
    QObject m_context;
    int m_total = 0;
};

// The corrupted answers of the sim's line log to a controller's polled reads and line checks: the
// request an answer follows is the last one the controller heard.
int corruptedPollAnswers(const QStringList &lineLog, quint8 address)
{
    const QString hex = QStringLiteral("%1 ").arg(address, 2, 16, QLatin1Char('0')).toUpper();
    const QString heard = "rx " + hex;
    const QString sent = "tx " + hex;
    QString lastRequest;
    int count = 0;
    for (const QString &line : lineLog) {
        if (line.startsWith(heard))
            lastRequest = line.mid(heard.size());
        else if (line.startsWith(sent) && line.endsWith("(corrupt)") && !lastRequest.startsWith("03 30 00"))
            ++count; // not the mode read-back that follows a controller taken online again
    }
    return count;
}

// The worker's signals of the ticks run so far, delivered to the test thread.
void settle(WorkerFixture &f)
{
    f.worker.runOnWorker([] {});
    QCoreApplication::processEvents();
}

// What the controllers heard, one word a frame: "w1:303e=0" a write of a value, "r3:1000" a read,
// "check" a discovery echo (a probe of the scan, or the check of a controller out of step).
QStringList heard(WorkerFixture &f)
{
    QStringList words;
    for (const QByteArray &frame : f.bus->receivedFrames()) {
        if (WorkerFixture::isAdapterProbe(frame))
            continue;
        const int function = quint8(frame[1]);
        const QString target =
            QString("%1:%2").arg(quint8(frame[0])).arg(quint8(frame[2]) << 8 | quint8(frame[3]), 4, 16, QChar('0'));
        if (function == 0x08)
            words << "check";
        else if (function == 0x03)
            words << "r" + target;
        else
            words << QString("w%1=%2").arg(target).arg(frame.size() == 10 ? bytes_to_float(frame, 4) : 0.0f);
    }
    return words;
}

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
    void unsoundAnswerIsOneLoss();
    void lateFlowAnswerLeavesTheOtherQuantities();
    void stopGoesAheadOfAPendingScan();
    void requestWaitsOnlyForTheExchangeInFlight();
    void newerRequestOutlivesTheOneBeingServed();
};

// Requests are posted from any thread while the worker serves the book: a setpoint typed while
// the one before it is on the wire replaces it, and the end of the older must not take the newer
// with it. A flow stop drops the flows still waiting for its controllers.
void BusDisciplineTest::newerRequestOutlivesTheOneBeingServed()
{
    RequestBook book;
    PendingRequest setpoint;
    setpoint.kind = PendingRequest::Setpoint;
    setpoint.address = 1;
    setpoint.type = 1;
    setpoint.value = 10;
    book.post(setpoint);
    const PendingRequest onTheWire = book.pending(PendingRequest::Setpoint).first();
    setpoint.value = 20;
    setpoint.ticket = 7;
    QCOMPARE(book.post(setpoint), quint64(0));
    book.finish(onTheWire);
    QCOMPARE(book.pending(PendingRequest::Setpoint).size(), 1);
    QCOMPARE(book.pending(PendingRequest::Setpoint).first().value, 20.0f);
    QCOMPARE(book.countFailure(onTheWire), 0);

    QCOMPARE(book.postFlowStop({{1}, QDeadlineTimer(1000)}), QList<quint64>{7});
    QVERIFY(!book.has(PendingRequest::Setpoint));
}

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
    settle(f);
    f.bus->setFaults(1, neighbourAhead(3, gapMs));
    ReadingLedger readings(f);
    f.ticks(kTicks);
    settle(f);

    QCOMPARE(readings.wrong(), 0);
    QCOMPARE(f.bus->collisions(), 0);
    for (int id : {1, 12})
        QVERIFY2(readings.of(id) >= 0.95 * 4 * kTicks, qPrintable(QString("%1: %2").arg(id).arg(readings.of(id))));
    QCOMPARE(f.device(1).totalLoss, 0);
    QCOMPARE(f.device(12).totalLoss, 0);
}

// Every corrupt answer to a poll or a check is one lost query; every other query is a reading.
void BusDisciplineTest::unsoundAnswerIsOneLoss()
{
    constexpr int kTicks = 10;
    constexpr quint8 kNoisy = 2;
    WorkerFixture f({1, 2}, Timings{}, 9600);
    QCOMPARE(f.openPort(), 1);
    f.poll({1, 2});
    f.tick();
    settle(f);
    SimFaults noisy;
    noisy.corruptFraction = 0.3;
    f.bus->setFaults(kNoisy, noisy);
    f.bus->keepLineLog(true);
    ReadingLedger readings(f);
    LossReport losses(f);
    // The loss rule may drop it by chance; taken online again, it meets every tick.
    QObject context;
    connect(&f.relay, &WorkerSignals::deviceconnectStatus, &context,
            [&](int id, bool) { f.worker.slot_onlineDevice(Bus::code(Bus::OnlineRequest::TakeOnlineAgain), id); });
    for (int i = 0; i < kTicks; ++i) {
        f.tick();
        QCoreApplication::processEvents();
    }
    settle(f);

    const int corrupted = corruptedPollAnswers(f.bus->takeLineLog(), kNoisy);
    QVERIFY2(corrupted >= 3, qPrintable(QString::number(corrupted))); // about 30 % of 40 and more
    QCOMPARE(losses.total(), corrupted);
    QCOMPARE(readings.of(kNoisy) + losses.total(), 4 * kTicks);
    QCOMPARE(readings.of(1), 4 * kTicks);
    QCOMPARE(readings.wrong(), 0);
    QCOMPARE(f.bus->faultCounts(kNoisy).unanswered, 0);
}

// The flow answer always comes a few ms past the wait: it lands in the grace after the timeout, or
// the pause, and shows the controller alive. One loss a cycle; the other three quantities shown.
void BusDisciplineTest::lateFlowAnswerLeavesTheOtherQuantities()
{
    constexpr int kTicks = 5;
    const Timings timings{10, 250};
    WorkerFixture f({1, 2}, timings, 9600);
    QCOMPARE(f.openPort(), 1);
    f.poll({1, 2});
    f.tick();
    settle(f);
    SimFaults lateFlow;
    lateFlow.lateRegister = RegisterMap::readingRegister(Bus::code(Bus::ReadingType::InstantFlow));
    lateFlow.lateMs = timings.replyTimeout - 14; // the answer's 19.7 ms on the wire and turnaround
    f.bus->setFaults(1, lateFlow);
    ReadingLedger readings(f);
    f.ticks(kTicks);
    settle(f);

    QCOMPARE(readings.wrong(), 0);
    for (int type = 2; type <= 4; ++type)
        QCOMPARE(readings.of(1, type), kTicks);
    QCOMPARE(readings.of(1) + f.device(1).totalLoss, 4 * kTicks);
    QCOMPARE(readings.of(2), 4 * kTicks);
}

// A stop's 0 shuts the gas off before the bus is scanned or written anything else.
void BusDisciplineTest::stopGoesAheadOfAPendingScan()
{
    WorkerFixture f({1, 2, 3});
    QCOMPARE(f.openPort(), 1);
    f.poll({1, 2, 3});
    f.tick();
    f.bus->clearReceivedFrames();
    f.worker.requestScan();
    f.worker.requestSetpoint(2, Bus::code(Bus::SetpointKind::Cumulative), 5.0f);
    f.worker.slot_excuteStep(1, 0.0f);                                        // a programme stopped
    f.worker.requestSetpoint(3, Bus::code(Bus::SetpointKind::Instant), 0.0f); // a row's 0
    f.tick();
    const QStringList words = heard(f);
    QCOMPARE(words.mid(0, 3), (QStringList{"w1:303e=0", "w3:303e=0", "check"}));
    QCOMPARE(words.count("check"), 15);
    QVERIFY(words.indexOf("w2:3042=5") > words.lastIndexOf("check"));
}

// A setpoint asked for while the cycle runs goes out before the cycle's next read; one that fails
// is tried once a tick. Controller 2 is silent; the request comes as its cycle is given up.
void BusDisciplineTest::requestWaitsOnlyForTheExchangeInFlight()
{
    WorkerFixture f({1, 2, 3});
    QCOMPARE(f.openPort(), 1);
    f.poll({1, 2, 3});
    f.tick();
    SimFaults silent;
    silent.silent = true;
    f.bus->setFaults(2, silent);
    f.worker.requestSetpoint(2, Bus::code(Bus::SetpointKind::Instant), 7.0f);
    f.bus->clearReceivedFrames();
    bool asked = false;
    LogCapture::setHook([&](const QString &line) {
        if (!asked && line.contains("本周期其余的查询记为丢失")) {
            asked = true; // on the worker's thread, inside the tick
            f.worker.requestSetpoint(1, Bus::code(Bus::SetpointKind::Instant), 42.0f);
        }
    });
    f.tick();
    LogCapture::setHook(nullptr);
    const QStringList words = heard(f);
    QVERIFY(asked);
    QCOMPARE(words.mid(words.indexOf("r2:1000")),
             (QStringList{"r2:1000", "w1:303e=42", "r3:1000", "r3:3046", "r3:1004", "r3:1008"}));
    QCOMPARE(words.count("w2:303e=7"), 1);
    f.tick();
    QCOMPARE(words.count("w2:303e=7") + heard(f).mid(words.size()).count("w2:303e=7"), 2);
}

#include "RequestBook.h"
#include "TestRunner.h"

QUORIX_TEST_GUILESS_MAIN(BusDisciplineTest)
#include "tst_busDiscipline.moc"
