// A 2-wire adapter that hands every byte the host sends back to the host before the controllers
// answer, through the running worker and a real serial port: the worker finds it by itself at
// opening, drops its copy of each request, and so reads, writes and scans as through a plain one.

#include "RegisterMap.h"
#include "ScanReply.h"
#include "WorkerFixture.h"

#include <QtTest>

namespace {

constexpr quint8 kWriteTarget = 2;

// Every controller flows at its own rate, so that no two quantities read alike.
void setFlows(SimBus &bus, const QList<quint8> &addresses)
{
    for (quint8 address : addresses)
        bus.setFloatRegister(address, RegisterMap::InstantSetpoint, 100.0f * address);
}

} // namespace

class EchoingAdapterTest : public QObject
{
    Q_OBJECT

private slots:
    void foundAtOpeningAndLoggedOnce_data();
    void foundAtOpeningAndLoggedOnce();
    void pollingWithDroppedAnswers_data();
    void pollingWithDroppedAnswers();
    void writeNeverHeardFailsAndIsRetried();
    void scanListsOnlyTheControllers();
    void foundFromAReplyWhenTheOpeningMissedIt();
};

// The opening asks with a read of address 0: only an echoing adapter hands it back. The worker
// tells its finding, and the log says it once for an echoing adapter, however long it polls.
void EchoingAdapterTest::foundAtOpeningAndLoggedOnce_data()
{
    QTest::addColumn<bool>("echoes");
    QTest::newRow("echoing adapter") << true;
    QTest::newRow("plain adapter") << false;
}

void EchoingAdapterTest::foundAtOpeningAndLoggedOnce()
{
    QFETCH(bool, echoes);
    WorkerFixture f({1, 2, 3});
    f.bus->setAdapterEchoes(echoes);
    QSignalSpy found(&f.relay, &WorkerSignals::sig_adapterEcho);
    QCOMPARE(f.openPort(), 1);
    QCOMPARE(found.count(), 1);
    QCOMPARE(found.at(0).at(0).toBool(), echoes);
    QCOMPARE(f.worker.adapterEchoes(), echoes);
    f.poll({1, 2, 3});
    f.ticks(3);
    QCOMPARE(LogCapture::count("串口适配器回送发送的报文"), echoes ? 1 : 0);
    QCOMPARE(LogCapture::count("读取返回的数据失败"), 0); // the opening's question is no failed read
    QCOMPARE(f.device(3).totalLoss, 0);
    QCOMPARE(found.count(), 1);
}

// Three controllers, each leaving 2 % of its answers out, behind an echoing adapter: none is
// dropped, each keeps reading, and every reading is one its controller served for that quantity.
void EchoingAdapterTest::pollingWithDroppedAnswers_data()
{
    QTest::addColumn<int>("baud");
    QTest::newRow("9600 baud") << 9600;
    QTest::newRow("115200 baud") << 115200;
}

void EchoingAdapterTest::pollingWithDroppedAnswers()
{
    QFETCH(int, baud);
    const QList<quint8> addresses{1, 2, 3};
    WorkerFixture f(addresses, Timings{}, baud);
    f.bus->setAdapterEchoes(true);
    setFlows(*f.bus, addresses);
    SimFaults dropping;
    dropping.dropFraction = 0.02;
    for (quint8 address : addresses)
        f.bus->setFaults(address, dropping);
    QCOMPARE(f.openPort(), 1);
    f.poll(addresses);
    QSignalSpy replies(&f.relay, &WorkerSignals::sendFreshDeviceInformation);
    QSignalSpy lost(&f.relay, &WorkerSignals::deviceconnectStatus);
    const int ticks = 30;
    f.ticks(ticks);
    QCoreApplication::processEvents();

    QCOMPARE(lost.count(), 0);
    QMap<int, int> readings;
    for (const QList<QVariant> &reply : qAsConst(replies)) {
        const int type = reply.at(0).toInt();
        const quint8 address = quint8(reply.at(1).toInt());
        const QByteArray dataBytes = reply.at(2).toByteArray().mid(3, 4);
        QVERIFY2(f.bus->hasServed(address, RegisterMap::readingRegister(type), dataBytes),
                 qPrintable(QStringLiteral("controller %1, type %2: %3 was never served")
                                .arg(address)
                                .arg(type)
                                .arg(QString::fromLatin1(dataBytes.toHex()))));
        ++readings[address];
    }
    // 120 queries each; a dropped answer costs at most the rest of its cycle.
    for (quint8 address : addresses)
        QVERIFY2(readings.value(address) >= 100, qPrintable(QString::number(readings.value(address))));
    QVERIFY(f.bus->answersSent() > 0);
}

// The write vanishes on the line before the controller hears it: the adapter's copy alone comes
// back. The write is reported failed, goes out again on the next tick and then succeeds.
void EchoingAdapterTest::writeNeverHeardFailsAndIsRetried()
{
    WorkerFixture f({1, 2, 3}, Timings{}, 9600);
    f.bus->setAdapterEchoes(true);
    QCOMPARE(f.openPort(), 1);
    SimFaults losing;
    losing.lostWrites = 1;
    f.bus->setFaults(kWriteTarget, losing);
    QSignalSpy written(&f.relay, &WorkerSignals::sig_setpointWritten);
    f.worker.requestSetpoint(kWriteTarget, 1, 55.0f);
    f.tick();
    QCOMPARE(f.bus->lostFrameCount(), 1);
    QCoreApplication::processEvents();
    QCOMPARE(written.count(), 0);
    QCOMPARE(LogCapture::count("修改瞬时量执行成功"), 0);
    QVERIFY(f.bus->floatRegister(kWriteTarget, RegisterMap::InstantSetpoint) != 55.0f);

    f.tick();
    QTRY_COMPARE(written.count(), 1);
    QCOMPARE(written.at(0), (QList<QVariant>{1, int(kWriteTarget), 55.0f}));
    QCOMPARE(f.bus->floatRegister(kWriteTarget, RegisterMap::InstantSetpoint), 55.0f);
    QCOMPARE(f.received(0x06).size(), 1); // the one the controller heard
}

// The adapter's copy of each probe is a whole, sound echo; with the worker's finding the parser
// lists only the addresses whose echo came back twice.
void EchoingAdapterTest::scanListsOnlyTheControllers()
{
    WorkerFixture f({2, 7, 15}, Timings{}, 9600);
    f.bus->setAdapterEchoes(true);
    QCOMPARE(f.openPort(), 1);
    QSignalSpy scanned(&f.relay, &WorkerSignals::sig_CheckDevice);
    f.worker.requestScan();
    f.tick();
    QTRY_COMPARE(scanned.count(), 1);
    const QByteArray received = scanned.at(0).at(0).toByteArray();
    QCOMPARE(addressesInScanReply(received, false).size(), 15); // what the parser sees without it
    QCOMPARE(addressesInScanReply(received, f.worker.adapterEchoes()), (QList<quint8>{2, 7, 15}));
}

// The adapter starts echoing only after the opening (as a plain one's question got lost): the
// first read whose reply begins with its own request shows it, the copy is dropped and the
// reading still counts.
void EchoingAdapterTest::foundFromAReplyWhenTheOpeningMissedIt()
{
    WorkerFixture f({1}, Timings{}, 9600);
    QCOMPARE(f.openPort(), 1);
    QVERIFY(!f.worker.adapterEchoes());
    QSignalSpy found(&f.relay, &WorkerSignals::sig_adapterEcho);
    f.bus->setAdapterEchoes(true);
    QByteArray reply;
    QVERIFY(f.onWorker([&] { return f.worker.readRegisters(1, RegisterMap::readingRegister(1), reply); }));
    QVERIFY(SerialPort::isSoundReadReply(reply, 1));
    QVERIFY(f.worker.adapterEchoes());
    QTRY_COMPARE(found.count(), 1);
    QCOMPARE(found.at(0).at(0).toBool(), true);
    QCOMPARE(LogCapture::count("串口适配器回送发送的报文"), 1);
    // From here a write counts only on the controller's echo after the copy.
    QVERIFY(f.onWorker([&] { return f.worker.writeFloatRegister(1, RegisterMap::InstantSetpoint, 12.0f); }));
    SimFaults losing;
    losing.lostWrites = 1;
    f.bus->setFaults(1, losing);
    QVERIFY(!f.onWorker([&] { return f.worker.writeFloatRegister(1, RegisterMap::InstantSetpoint, 13.0f); }));
    QCOMPARE(f.bus->floatRegister(1, RegisterMap::InstantSetpoint), 12.0f);
}

#include "TestRunner.h"

QUORIX_TEST_GUILESS_MAIN(EchoingAdapterTest)
#include "tst_echoingAdapter.moc"
