// The worker's serial link: opening and closing the port, the communication settings, the
// request/response primitives against replies that are whole, chunked, overlong, corrupted or
// late, and an orderly shutdown.

#include "WorkerFixture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>

Q_DECLARE_METATYPE(SimFaults)

namespace {

void settle(WorkerFixture &f)
{
    f.worker.runOnWorker([] {});
    QCoreApplication::processEvents();
}

} // namespace

class SerialLinkTest : public QObject
{
    Q_OBJECT

private slots:
    void portStatusCodes_data();
    void portStatusCodes();
    void reopeningAfterCloseWorks();
    void communicationSettings();

    void readReplies_data();
    void readReplies();
    void writesOnTheWire_data();
    void writesOnTheWire();
    void writeFailsWithoutExactEcho_data();
    void writeFailsWithoutExactEcho();
    void exchangeLogLines_data();
    void exchangeLogLines();
    void lateReplyDoesNotPoisonNextReading();
    void lateCheckAnswerDoesNotPassTheNextCheck();
    void exceptionReplyFailsAtOnce();
    void endlessStreamIsCutShort();

    void shutdownWithPortOpenWhilePolling();
    void destroyingARunningWorkerShutsItDown();
};

// Each step is "open", "open-missing" or "close"; the statuses are those reported, in order.
void SerialLinkTest::portStatusCodes_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QList<int>>("statuses"); // 0: the failure's reason, just before its status 3
    QTest::newRow("open a present port") << QStringList{"open"} << QList<int>{1};
    QTest::newRow("open a missing port") << QStringList{"open-missing"} << QList<int>{0, 3};
    QTest::newRow("open an open port fails") << QStringList{"open", "open"} << QList<int>{1, 0, 3};
    QTest::newRow("close an open port") << QStringList{"open", "close"} << QList<int>{1, 2};
    QTest::newRow("close a closed port says nothing") << QStringList{"close"} << QList<int>{};
    QTest::newRow("closing twice reports once") << QStringList{"open", "close", "close"} << QList<int>{1, 2};
}

void SerialLinkTest::portStatusCodes()
{
    QFETCH(QStringList, steps);
    QFETCH(QList<int>, statuses);
    WorkerFixture f;
    QVERIFY(f.started);
    QList<int> reported;
    QObject context;
    connect(&f.relay, &WorkerSignals::signal_ser_status, &context,
            [&](int status) { reported.append(status); });
    connect(&f.relay, &WorkerSignals::sig_openFailed, &context, [&](const QString &reason) {
        QVERIFY(!reason.isEmpty());
        reported.append(0);
    });
    for (const QString &step : steps) {
        if (step == "open")
            f.worker.slot_openSer(1, f.portPath(), 9600);
        else if (step == "open-missing")
            f.worker.slot_openSer(1, f.dir.filePath("no-such-port"), 9600);
        else
            f.worker.slot_openSer(2, QString(), 0);
    }
    settle(f);
    QCOMPARE(reported, statuses);
}

void SerialLinkTest::reopeningAfterCloseWorks()
{
    WorkerFixture f({1});
    QCOMPARE(f.openPort(), 1);
    QSignalSpy spy(&f.relay, &WorkerSignals::signal_ser_status);
    f.worker.slot_openSer(2, QString(), 0);
    QVERIFY(spy.wait());
    QCOMPARE(f.openPort(), 1);
    QByteArray reply;
    QVERIFY(f.onWorker([&] { return f.worker.readRegisters(1, 0x1000, reply); }));
}

void SerialLinkTest::communicationSettings()
{
    WorkerFixture f;
    QSignalSpy spy(&f.relay, &WorkerSignals::sig_CommParam);
    f.worker.setCommParam(1, 250);
    f.worker.setCommParam(2, 7);
    f.worker.setCommParam(3, 90);
    f.worker.setCommParam(4, 123); // no such setting: changes nothing
    for (int type = 1; type <= 4; ++type)
        f.worker.slot_getCommara(type);
    settle(f);
    QCOMPARE(spy.count(), 3);
    QCOMPARE(spy.at(0), (QList<QVariant>{1, 250}));
    QCOMPARE(spy.at(1), (QList<QVariant>{2, 7}));
    QCOMPARE(spy.at(2), (QList<QVariant>{3, 90}));
}

// A read succeeds only on the whole, sound reply; whatever else arrives is a failed read that
// leaves the caller's array untouched.
void SerialLinkTest::readReplies_data()
{
    QTest::addColumn<SimFaults>("faults");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<bool>("waitsFullTimeout");
    SimFaults none;
    SimFaults chunked;
    chunked.chunkSize = 5;
    chunked.chunkGapMs = 30;
    SimFaults overlong;
    overlong.extraBytes = QByteArray(1, '\0');
    SimFaults corrupted;
    corrupted.corruptFraction = 1.0;
    SimFaults silent;
    silent.silent = true;
    SimFaults stray;
    stray.strayBefore = QByteArray("\xFF", 1);
    SimFaults decoy;
    decoy.soundFrameBeforeAnswer = true;
    QTest::newRow("whole reply") << none << true << false;
    QTest::newRow("chunks of 5 and 4 end the wait at the ninth byte") << chunked << true << false;
    QTest::newRow("one byte too many is not a sound reply") << overlong << false << false;
    QTest::newRow("corrupted CRC") << corrupted << false << false;
    QTest::newRow("silent device") << silent << false << true;
    QTest::newRow("a stray byte before the answer is tolerated") << stray << true << false;
    // Either frame could answer this request; neither is taken.
    QTest::newRow("a sound frame run into the answer") << decoy << false << false;
}

void SerialLinkTest::readReplies()
{
    QFETCH(SimFaults, faults);
    QFETCH(bool, accepted);
    QFETCH(bool, waitsFullTimeout);
    const int timeout = 400;
    WorkerFixture f({1}, {0, timeout});
    QCOMPARE(f.openPort(), 1);
    f.bus->setFloatRegister(1, 0x303E, 42.5f);
    f.bus->setFaults(1, faults);

    const QByteArray untouched("untouched");
    QByteArray reply = untouched;
    QElapsedTimer clock;
    clock.start();
    const bool ok = f.onWorker([&] { return f.worker.readRegisters(1, 0x303E, reply); });
    const qint64 elapsed = clock.elapsed();

    QCOMPARE(ok, accepted);
    if (accepted) {
        QVERIFY(SerialPort::isSoundReadReply(reply, 1));
        QCOMPARE(bytes_to_float(reply, 3), 42.5f);
    } else {
        QCOMPARE(reply, untouched);
    }
    if (waitsFullTimeout)
        QVERIFY2(elapsed >= timeout - 5, qPrintable(QString::number(elapsed)));
    else
        QVERIFY2(elapsed < timeout, qPrintable(QString::number(elapsed)));
}

void SerialLinkTest::writesOnTheWire_data()
{
    QTest::addColumn<bool>("asFloat");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("reg");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("frame");
    QTest::newRow("16-bit value goes low byte first")
        << false << 1 << 0x3008 << 300.0 << "01 06 30 08 2c 01 da 08";
    QTest::newRow("float as four little-endian bytes")
        << true << 5 << 0x303E << 1.0 << "05 06 30 3e 00 00 80 3f eb d1";
}

void SerialLinkTest::writesOnTheWire()
{
    QFETCH(bool, asFloat);
    QFETCH(int, address);
    QFETCH(int, reg);
    QFETCH(double, value);
    QFETCH(QString, frame);
    WorkerFixture f({1, 5});
    QCOMPARE(f.openPort(), 1);
    f.bus->clearReceivedFrames();
    const bool ok = f.onWorker([&] {
        return asFloat ? f.worker.writeFloatRegister(quint8(address), quint16(reg), float(value))
                       : f.worker.writeRegister(quint8(address), quint16(reg), int(value));
    });
    QVERIFY(ok);
    QCOMPARE(f.received(), QStringList{frame});
    if (asFloat)
        QCOMPARE(f.bus->floatRegister(quint8(address), quint16(reg)), float(value));
    else
        QCOMPARE(f.bus->intRegister(quint8(address), quint16(reg)), int(value));
}

void SerialLinkTest::writeFailsWithoutExactEcho_data()
{
    QTest::addColumn<SimFaults>("faults");
    QTest::addColumn<bool>("asFloat");
    SimFaults silent;
    silent.silent = true;
    SimFaults corrupted;
    corrupted.corruptFraction = 1.0;
    SimFaults overlong;
    overlong.extraBytes = QByteArray("\x01", 1);
    QTest::newRow("16-bit, no echo") << silent << false;
    QTest::newRow("16-bit, echo differs") << corrupted << false;
    QTest::newRow("16-bit, echo overlong") << overlong << false;
    QTest::newRow("float, no echo") << silent << true;
    QTest::newRow("float, echo differs") << corrupted << true;
    QTest::newRow("float, echo overlong") << overlong << true;
}

void SerialLinkTest::writeFailsWithoutExactEcho()
{
    QFETCH(SimFaults, faults);
    QFETCH(bool, asFloat);
    WorkerFixture f({1}, {0, 80});
    QCOMPARE(f.openPort(), 1);
    f.bus->setFaults(1, faults);
    const bool ok = f.onWorker([&] {
        return asFloat ? f.worker.writeFloatRegister(1, 0x303E, 3.5f) : f.worker.writeRegister(1, 0x3008, 30);
    });
    QVERIFY(!ok);
}

// The debug window shows these lines as they are written: items one space apart, byte arrays
// quoted, the colour codes as items of their own.
void SerialLinkTest::exchangeLogLines_data()
{
    QTest::addColumn<bool>("asFloat");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent");
    const QString frame = WorkerFixture::hex(SerialPort::buildWriteInt16Frame(1, 0x3008, 300)).remove(' ');
    const QStringList intLines{"Register Address: 12296",
                               "修改指令已经发送的报文是 \033[31m \"" + frame + "\" \033[0m",
                               "写入int收到的的数据是 \"" + frame + "\""};
    QTest::newRow("16-bit write tells register, frame and echo") << false << intLines << QStringList{};
    QTest::newRow("float write is silent when it succeeds") << true << QStringList{} << intLines;
}

void SerialLinkTest::exchangeLogLines()
{
    QFETCH(bool, asFloat);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);
    WorkerFixture f({1});
    QCOMPARE(f.openPort(), 1);
    const bool ok = f.onWorker([&] {
        return asFloat ? f.worker.writeFloatRegister(1, 0x303E, 2.0f)
                       : f.worker.writeRegister(1, 0x3008, 300);
    });
    QVERIFY(ok);
    const QStringList lines = LogCapture::all();
    for (const QString &line : present)
        QVERIFY2(lines.contains(line), qPrintable(line + "\n--- got:\n" + lines.join('\n')));
    for (const QString &line : absent)
        QVERIFY2(!lines.contains(line), qPrintable(line));
    QCOMPARE(LogCapture::count("Register Address:"), asFloat ? 0 : 1);

    f.worker.slot_refresdhSer();
    f.worker.runOnWorker([] {});
    const QRegularExpression refreshed("^线程类接受slot_refresdhSer的时间是 \"\\d{4}-\\d\\d-\\d\\d "
                                       "\\d\\d:\\d\\d:\\d\\d\"$");
    QCOMPARE(LogCapture::all().filter(refreshed).size(), 1);
}

// The first read's reply arrives after its wait has ended; it must not be taken for the second.
void SerialLinkTest::lateReplyDoesNotPoisonNextReading()
{
    WorkerFixture f({1}, {0, 60});
    QCOMPARE(f.openPort(), 1);
    f.bus->setFloatRegister(1, 0x303E, 11.5f);
    f.bus->setFloatRegister(1, 0x3042, 22.5f);
    SimFaults late;
    late.lateMs = 150;
    f.bus->setFaults(1, late);
    const int answersBefore = f.bus->answersSent();

    QByteArray first;
    QVERIFY(!f.onWorker([&] { return f.worker.readRegisters(1, 0x303E, first); }));
    QTRY_COMPARE(f.bus->answersSent(), answersBefore + 1); // the stale reply is now in the line
    f.bus->clearFaults();

    for (int i = 0; i < 3; ++i) {
        QByteArray second;
        QVERIFY(f.onWorker([&] { return f.worker.readRegisters(1, 0x3042, second); }));
        QCOMPARE(bytes_to_float(second, 3), 22.5f);
    }
}

// Every check of the line is answered alike, and a controller answers in the order it was asked.
// Played out with a reply timeout of 100 ms: a check answered late passes the next check, so that
// check's own late answer passes the check after a failed reading, and the reading after that takes
// the failed reading's late answer. The lateness of each request is set as it goes out.
void SerialLinkTest::lateCheckAnswerDoesNotPassTheNextCheck()
{
    WorkerFixture f({1}, {0, 100});
    QCOMPARE(f.openPort(), 1);
    f.bus->setFloatRegister(1, 0x303E, 11.5f);
    f.bus->setFloatRegister(1, 0x3042, 22.5f);
    const auto lateBy = [bus = f.bus.get()](int ms) {
        SimFaults late;
        late.lateMs = ms;
        late.silent = ms < 0;
        bus->setFaults(1, late);
    };
    const auto read = [&f](quint16 reg, QByteArray &out) {
        return f.onWorker([&] { return f.worker.readRegisters(1, reg, out); });
    };
    QByteArray reply;
    lateBy(-1);
    QVERIFY(!read(0x303E, reply)); // out of step
    lateBy(150);
    QVERIFY(!read(0x303E, reply)); // its check is answered after the wait
    lateBy(200);                   // for the check that takes that answer
    LogCapture::setHook([&](const QString &line) {
        if (line.contains("线路已同步"))
            lateBy(180); // for the reading after a passed check
    });
    read(0x303E, reply);
    lateBy(300);
    const bool answered = read(0x3042, reply);
    LogCapture::setHook(nullptr);
    if (answered)
        QCOMPARE(bytes_to_float(reply, 3), 22.5f);
}

void SerialLinkTest::exceptionReplyFailsAtOnce()
{
    const int timeout = 400;
    WorkerFixture f({1}, {0, timeout});
    QCOMPARE(f.openPort(), 1);
    QElapsedTimer clock;
    clock.start();
    QByteArray reply;
    // The controller holds no register 0x7000: it answers with exception 2, illegal data address.
    QVERIFY(!f.onWorker([&] { return f.worker.readRegisters(1, 0x7000, reply); }));
    QVERIFY2(clock.elapsed() < timeout / 2, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(LogCapture::all().filter(QRegularExpression("异常码 2$")).size(), 1);
    // The exception answered this very request: the next read needs no check of the line.
    f.bus->clearReceivedFrames();
    QVERIFY(f.onWorker([&] { return f.worker.readRegisters(1, 0x303E, reply); }));
    QCOMPARE(f.received().size(), 1);
}

namespace {
qint64 residentKiB()
{
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    const QString text = QString::fromLatin1(status.readAll());
    return text.section("VmRSS:", 1).simplified().section(' ', 0, 0).toLongLong();
}
} // namespace

// A peer that never stops sending: each exchange ends within about the reply timeout with nothing
// kept, and the line serves again once the peer falls silent.
void SerialLinkTest::endlessStreamIsCutShort()
{
    const int timeout = 300;
    WorkerFixture f({1}, {0, timeout});
    QCOMPARE(f.openPort(), 1);
    SimFaults stream;
    stream.endlessStream = true;
    f.bus->setFaults(1, stream);
    const qint64 before = residentKiB();
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer clock;
        clock.start();
        QByteArray reply;
        QVERIFY(!f.onWorker([&] { return f.worker.readRegisters(1, 0x303E, reply); }));
        QVERIFY2(clock.elapsed() < 3 * timeout, qPrintable(QString::number(clock.elapsed())));
    }
    QVERIFY2(residentKiB() - before < 20 * 1024, qPrintable(QString::number(residentKiB() - before)));
    f.bus->clearFaults();
    QByteArray reply;
    QTRY_VERIFY(f.onWorker([&] { return f.worker.readRegisters(1, 0x303E, reply); }));
}

void SerialLinkTest::shutdownWithPortOpenWhilePolling()
{
    LogCapture log; // outlives the fixture, to see what its destruction says
    const int timeout = 1500;
    auto f = std::make_unique<WorkerFixture>(QList<quint8>{1, 2}, Timings{0, timeout});
    QCOMPARE(f->openPort(), 1);
    f->poll({1, 2});
    SimFaults silent;
    silent.silent = true;
    f->bus->setFaults(2, silent);
    QSignalSpy readings(&f->relay, &WorkerSignals::sendFreshDeviceInformation);
    f->worker.startMainTimer(20);
    QVERIFY(readings.wait());
    // Device 2 is silent: the running tick is at most one reply timeout away from noticing.
    QTRY_VERIFY(f->received(0x03).filter(QRegularExpression("^02 ")).size() > 0);

    QElapsedTimer clock;
    clock.start();
    f->worker.shutdown();
    QVERIFY2(clock.elapsed() < 2 * timeout, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(f->worker.isFinished());
    QCOMPARE(LogCapture::count("线程的串口关闭);"), 1);
    f.reset();
    QCOMPARE(LogCapture::count("Destroyed while thread"), 0);
    QCOMPARE(LogCapture::count("QSocketNotifier"), 0);
    QCOMPARE(LogCapture::count("QObject::"), 0);
}

void SerialLinkTest::destroyingARunningWorkerShutsItDown()
{
    LogCapture log;
    SimBus::Options options;
    options.addresses = {1};
    QTemporaryDir dir;
    options.linkPath = dir.filePath("tty");
    SimBus bus(options);
    QVERIFY(bus.start());
    {
        DeviceThread worker;
        worker.start();
        worker.setCommParam(3, 50);
        worker.slot_openSer(1, bus.portPath(), 9600);
        worker.slot_checkDevices({1});
        worker.slot_onlineDevice(3, 1);
        worker.startMainTimer(10);
        QTRY_VERIFY(bus.answersSent() > 4);
    }
    QCOMPARE(LogCapture::count("线程的串口关闭);"), 1);
    QCOMPARE(LogCapture::count("Destroyed while thread"), 0);
    QCOMPARE(LogCapture::count("QSocketNotifier"), 0);
}

QTEST_GUILESS_MAIN(SerialLinkTest)
#include "tst_serial_link.moc"
