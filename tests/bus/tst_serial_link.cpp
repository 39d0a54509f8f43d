// The worker's serial link: opening and closing the port, the communication settings, the
// request/response primitives against replies that are whole, chunked, overlong, corrupted or
// late, and an orderly shutdown.

#include "SimExchange.h"
#include "RegisterMap.h"
#include "WorkerFixture.h"

#include <QFile>
#include <QRegularExpression>

using SimExchange::silence;

namespace {

void settle(WorkerFixture &f)
{
    f.worker.runOnWorker([] {});
    QCoreApplication::processEvents();
}

// The answer of controller 1 to a read of two registers holding `value`.
QByteArray readingOf1(float value)
{
    return SerialPort::appendCrc(QByteArray("\x01\x03\x04", 3) + float_to_bytes(value));
}

// The line's wait for an answer ran out with nothing.
bool isTimeout(const QString &line)
{
    return line.startsWith(QStringLiteral("读取返回的数据失败"));
}

int timeouts()
{
    return LogCapture::count(QStringLiteral("读取返回的数据失败"));
}

QStringList discarded()
{
    return LogCapture::all().filter(QStringLiteral("丢弃线路上的多余字节"));
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
    QTest::addColumn<bool>("timesOut"); // else the verdict comes with the silence after the bytes
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
    QFETCH(bool, timesOut);
    WorkerFixture f({1});
    QCOMPARE(f.openPort(), 1);
    f.bus->setFloatRegister(1, 0x303E, 42.5f);
    f.bus->setFaults(1, faults);

    const QByteArray untouched("untouched");
    QByteArray reply = untouched;
    const bool ok = f.onWorker([&] { return f.worker.readRegisters(1, 0x303E, reply); });

    QCOMPARE(ok, accepted);
    if (accepted) {
        QVERIFY(SerialPort::isSoundReadReply(reply, 1));
        QCOMPARE(bytes_to_float(reply, 3), 42.5f);
    } else {
        QCOMPARE(reply, untouched);
    }
    QCOMPARE(timeouts(), timesOut ? 1 : 0);
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
    WorkerFixture f({1});
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

// The first read's answer arrives the moment its wait has ended; it must not be taken for the next
// reading. (When a late answer arrives during a later wait is played, to the millisecond, by
// tst_line_sync.)
void SerialLinkTest::lateReplyDoesNotPoisonNextReading()
{
    WorkerFixture f({1});
    QCOMPARE(f.openPort(), 1);
    f.bus->setFloatRegister(1, 0x3042, 22.5f);
    f.bus->setFaults(1, silence());
    const QByteArray late = readingOf1(11.5f);
    LogCapture::setHook([&f, &late](const QString &line) {
        if (isTimeout(line))
            f.bus->putOnLine(late);
    });
    QByteArray first;
    QVERIFY(!f.onWorker([&] { return f.worker.readRegisters(1, 0x303E, first); }));
    LogCapture::setHook(nullptr);
    f.bus->clearFaults();

    for (int i = 0; i < 3; ++i) {
        QByteArray second;
        QVERIFY(f.onWorker([&] { return f.worker.readRegisters(1, 0x3042, second); }));
        QCOMPARE(bytes_to_float(second, 3), 22.5f);
    }
    // The late answer was on the line when the next read went, and was thrown away.
    QCOMPARE(discarded(), QStringList{"丢弃线路上的多余字节 \"" + late.toHex() + "\""});
}

// A controller out of step is checked with its discovery echo, which no late reading can pass
// for. Here the failed reading and then the failed check are answered the moment their waits end:
// the next read throws both answers away, checks again and reads its own value.
void SerialLinkTest::lateCheckAnswerDoesNotPassTheNextCheck()
{
    WorkerFixture f({1});
    QCOMPARE(f.openPort(), 1);
    f.bus->setFloatRegister(1, 0x3042, 22.5f);
    f.bus->setFaults(1, silence());
    const QByteArray lateReading = readingOf1(11.5f);
    const QByteArray lateCheck = SerialPort::buildEchoFrame(1);
    const QList<QByteArray> late{lateReading, lateCheck};
    int answeredLate = 0;
    LogCapture::setHook([&](const QString &line) {
        if (isTimeout(line) && answeredLate < late.size())
            f.bus->putOnLine(late.at(answeredLate++));
    });
    QByteArray reply;
    QVERIFY(!f.onWorker([&] { return f.worker.readRegisters(1, 0x303E, reply); }));
    QVERIFY(!f.onWorker([&] { return f.worker.readRegisters(1, 0x3042, reply); })); // its check fails
    LogCapture::setHook(nullptr);
    QCOMPARE(answeredLate, 2);
    f.bus->clearFaults();

    QVERIFY(f.onWorker([&] { return f.worker.readRegisters(1, 0x3042, reply); }));
    QCOMPARE(bytes_to_float(reply, 3), 22.5f);
    QCOMPARE(discarded(), (QStringList{"丢弃线路上的多余字节 \"" + lateReading.toHex() + "\"",
                                       "丢弃线路上的多余字节 \"" + lateCheck.toHex() + "\""}));
    QCOMPARE(f.received(0x08), (QStringList{WorkerFixture::hex(lateCheck), WorkerFixture::hex(lateCheck)}));
    QCOMPARE(LogCapture::count("线路已同步"), 1);
}

void SerialLinkTest::exceptionReplyFailsAtOnce()
{
    WorkerFixture f({1});
    QCOMPARE(f.openPort(), 1);
    QByteArray reply;
    // The controller holds no register 0x7000: it answers with exception 2, illegal data address.
    QVERIFY(!f.onWorker([&] { return f.worker.readRegisters(1, 0x7000, reply); }));
    QCOMPARE(timeouts(), 0); // the answer ended the wait, not the reply timeout
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

// A peer that never stops sending: each exchange ends, with nothing kept, as an unsound answer or
// a line that is not free, and the line serves again once the peer falls silent. (That it ends at
// the reply timeout is played by tst_line_sync.)
void SerialLinkTest::endlessStreamIsCutShort()
{
    WorkerFixture f({1});
    QCOMPARE(f.openPort(), 1);
    SimFaults stream;
    stream.endlessStream = true;
    f.bus->setFaults(1, stream);
    const qint64 before = residentKiB();
    for (int i = 0; i < 3; ++i) {
        const int endedBefore = LogCapture::count("回复无效") + LogCapture::count("线路不静默");
        QByteArray reply;
        QVERIFY(!f.onWorker([&] { return f.worker.readRegisters(1, 0x303E, reply); }));
        QVERIFY(LogCapture::count("回复无效") + LogCapture::count("线路不静默") > endedBefore);
    }
#if defined(__SANITIZE_ADDRESS__)
    // Freed blocks wait in AddressSanitizer's quarantine (up to 256 MiB) and stay resident.
    constexpr qint64 boundKiB = 128 * 1024;
#else
    constexpr qint64 boundKiB = 20 * 1024;
#endif
    QVERIFY2(residentKiB() - before < boundKiB, qPrintable(QString::number(residentKiB() - before)));
    f.bus->clearFaults();
    QByteArray reply;
    QTRY_VERIFY(f.onWorker([&] { return f.worker.readRegisters(1, 0x303E, reply); }));
}

// The running tick stops after its current exchange: with a silent controller, a tick that went on
// would spend a check of the line and a reply timeout on each of its other readings.
void SerialLinkTest::shutdownWithPortOpenWhilePolling()
{
    LogCapture log; // outlives the fixture, to see what its destruction says
    auto f = std::make_unique<WorkerFixture>(QList<quint8>{1, 2});
    QCOMPARE(f->openPort(), 1);
    f->poll({1, 2});
    f->bus->setFaults(2, silence());
    // The shutdown begins (its first step) the moment the read of silent device 2 times out.
    DeviceThread *worker = &f->worker;
    LogCapture::setHook([worker](const QString &line) {
        if (isTimeout(line))
            worker->requestInterruption();
    });
    f->worker.startMainTimer(20);
    QTRY_VERIFY(f->worker.isInterruptionRequested());
    f->worker.shutdown();
    LogCapture::setHook(nullptr);
    QVERIFY(f->worker.isFinished());
    QCOMPARE(f->received(0x03).filter(QRegularExpression("^02 ")).size(), 1);
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
        worker.setCommParam(3, 250);
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

#include "TestRunner.h"

QUORIX_TEST_GUILESS_MAIN(SerialLinkTest)
#include "tst_serial_link.moc"
