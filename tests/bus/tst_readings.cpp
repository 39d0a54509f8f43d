// What the worker hands on for every answered query: the reply as it came and its reading, decoded
// once, stamped when the reply's last byte arrived; and what a value that is no number costs.

#include "RegisterMap.h"
#include "WorkerFixture.h"

#include <limits>

namespace {

// Every reply and reading of the worker, in the order they were emitted.
struct Handed
{
    QObject context;
    QList<QList<QVariant>> replies;
    QList<Reading> readings;
    explicit Handed(WorkerSignals &relay)
    {
        QObject::connect(&relay, &WorkerSignals::sendFreshDeviceInformation, &context,
                         [this](int type, int id, const QByteArray &reply) { replies.append({type, id, reply}); });
        QObject::connect(&relay, &WorkerSignals::sig_reading, &context,
                         [this](const Reading &reading) { readings.append(reading); });
    }
};

// What a display shows for the data bytes a controller served.
double displayValue(int type, const QByteArray &dataBytes)
{
    const float value = bytes_to_float(dataBytes, 0);
    return type == Bus::code(Bus::ReadingType::Pressure) ? value / 1000.0 : double(value);
}

// When the controller put on the line the newest answer holding these data bytes that it had sent by
// readNs; 0 when it had sent none.
qint64 servedNs(const SimBus &bus, quint8 id, int type, const QByteArray &dataBytes, qint64 readNs)
{
    qint64 found = 0;
    for (const SimBus::Served &served : bus.servedWithTimes(id, RegisterMap::readingRegister(type)))
        if (served.dataBytes == dataBytes && served.servedNs <= readNs)
            found = served.servedNs;
    return found;
}

constexpr qint64 NsPerMs = 1000000;

} // namespace

class ReadingsTest : public QObject
{
    Q_OBJECT

private slots:
    void decodedOnceWithItsReadTime_data();
    void decodedOnceWithItsReadTime();
    void unusableValueIsAFailedReadNotALoss_data();
    void unusableValueIsAFailedReadNotALoss();
};

void ReadingsTest::decodedOnceWithItsReadTime_data()
{
    QTest::addColumn<SimFaults>("faults");
    QTest::newRow("whole answers") << SimFaults{};
    SimFaults chunks;
    chunks.chunkSize = 4;
    chunks.chunkGapMs = 60; // the last byte comes 120 ms after the first
    QTest::newRow("answers in chunks 60 ms apart") << chunks;
}

// Each reading holds the reply's value in display units and the time its last byte came in: not
// before the controller sent it, and not long after (a loaded machine may wake the worker some tens
// of milliseconds late; a time taken a tick or a sample later would be a second off).
void ReadingsTest::decodedOnceWithItsReadTime()
{
    QFETCH(SimFaults, faults);
    WorkerFixture f({1});
    QCOMPARE(f.openPort(), 1);
    f.poll({1});
    f.tick(); // the mode read-back
    QCoreApplication::processEvents(); // what that tick handed on
    f.bus->setFaults(1, faults);
    f.bus->setFloatRegister(1, RegisterMap::Pressure, 250000.0f);
    f.bus->setFloatRegister(1, RegisterMap::InstantSetpoint, 100.0f); // every reading differs
    Handed handed(f.relay);
    const qint64 wallBefore = QDateTime::currentMSecsSinceEpoch();
    f.ticks(3);
    const qint64 wallAfter = QDateTime::currentMSecsSinceEpoch();
    QTRY_COMPARE(handed.readings.size(), 12);
    QCOMPARE(handed.replies.size(), 12);
    qint64 previousNs = 0;
    for (int k = 0; k < handed.readings.size(); ++k) {
        const Reading &reading = handed.readings[k];
        const int type = handed.replies[k].at(0).toInt();
        const QByteArray dataBytes = handed.replies[k].at(2).toByteArray().mid(3, 4);
        QCOMPARE(reading.typeCode(), type);
        QCOMPARE(reading.typeCode(), k % 4 + 1);
        QCOMPARE(int(reading.deviceId), 1);
        QVERIFY(reading.usable);
        QCOMPARE(reading.value, displayValue(type, dataBytes));
        const qint64 sentNs = servedNs(*f.bus, 1, type, dataBytes, reading.readTime.monotonicNs);
        QVERIFY2(sentNs != 0, qPrintable(QString("type %1 read before it was sent").arg(type)));
        const qint64 lagNs = reading.readTime.monotonicNs - sentNs;
        QVERIFY2(lagNs < 200 * NsPerMs,
                 qPrintable(QString("type %1 read %2 ms after it was sent").arg(type).arg(lagNs / 1e6)));
        QVERIFY(reading.readTime.monotonicNs > previousNs);
        previousNs = reading.readTime.monotonicNs;
        QVERIFY(reading.readTime.wallMs >= wallBefore && reading.readTime.wallMs <= wallAfter);
    }
    // Pressure in KPa, on its way back from 250 KPa towards the air's 101.3 KPa.
    QVERIFY2(handed.readings[3].value > 150 && handed.readings[3].value <= 250,
             qPrintable(QString::number(handed.readings[3].value)));
}

void ReadingsTest::unusableValueIsAFailedReadNotALoss_data()
{
    QTest::addColumn<float>("temperature");
    QTest::newRow("NaN") << std::numeric_limits<float>::quiet_NaN();
    QTest::newRow("infinity") << std::numeric_limits<float>::infinity();
}

// A controller that reports no number keeps being polled: its answers are counted as failed reads,
// its loss window and the lost queries stay clear, and no window closes it.
void ReadingsTest::unusableValueIsAFailedReadNotALoss()
{
    QFETCH(float, temperature);
    WorkerFixture f({1});
    QCOMPARE(f.openPort(), 1);
    f.poll({1});
    f.tick();
    QCoreApplication::processEvents();
    f.bus->setFloatRegister(1, RegisterMap::Temperature, temperature);
    Handed handed(f.relay);
    QSignalSpy losses(&f.relay, &WorkerSignals::sig_count_loss);
    QSignalSpy dropped(&f.relay, &WorkerSignals::deviceconnectStatus);
    const int ticks = 7; // 28 queries: a loss window closes on the way
    f.ticks(ticks);
    QTRY_COMPARE(handed.readings.size(), 4 * ticks);
    for (const Reading &reading : qAsConst(handed.readings))
        QCOMPARE(reading.usable, reading.type != Bus::ReadingType::Temperature);
    QCOMPARE(handed.replies.size(), 4 * ticks); // the replies as they came, all of them
    const OnlineDevice record = f.device(1);
    QCOMPARE(record.unusableReads, ticks);
    QCOMPARE(record.totalLoss, 0);
    QCOMPARE(record.lossCount, 0);
    QTRY_COMPARE(losses.size(), 2 * ticks);
    QCOMPARE(losses.last(), (QList<QVariant>{2, 0.0f}));
    QCOMPARE(dropped.size(), 0);
    QCOMPARE(LogCapture::count("的读数无效"), ticks);
}

#include "TestRunner.h"

QUORIX_TEST_MAIN(ReadingsTest)
#include "tst_readings.moc"
