#include "SimController.h"
#include "SimExchange.h"

#include <QTemporaryDir>
#include <QtTest>
#include <atomic>
#include <thread>

using namespace SimExchange;

// The simulated bus as an application meets it: a real serial port on its pseudo-terminal.
class TestSimBus : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void answers_data();
    void answers();
    void silence_data();
    void silence();
    void writesChangeRegisters();
    void addressChangesAfterTheEcho();
    void cumulativeGrowsWhileFlowing();
    void valveFaultsBelongToTheAddress();
    void dropReplaysWithTheSeed();
    void corruptBreaksTheCrc();
    void lateAnswer_data();
    void lateAnswer();
    void answerWithNoiseAhead_data();
    void answerWithNoiseAhead();
    void lostWritesVanishBeforeTheController();
    void unansweredRequestsCountDown();
    void refusingControllerDoesNothingItIsAsked();
    void bytesPutOnTheLineAreReadableAtOnce();
    void endlessStreamEndsWithItsFault_data();
    void endlessStreamEndsWithItsFault();
    void servedValuesAreTheReadRepliesOnTheLine();
    void servedTimeIsWhenTheAnswerWentOut_data();
    void servedTimeIsWhenTheAnswerWentOut();
    void unplugHangsUpTheApplicationsPort_data();
    void unplugHangsUpTheApplicationsPort();
    void chunksArriveSeparately();
    void extraBytesFollowTheAnswer();
    void noiseNeverSplitsAnAnswer();
    void unplugFailsThePortAndReplugServesTheLink();
    void wireTime_data();
    void wireTime();
    void publicMethodsAreSafeDuringTraffic();
    void echoingAdapterHandsEveryByteBack_data();
    void echoingAdapterHandsEveryByteBack();
    void echoingAdapterSendsItsCopyBeforeTheAnswer();
    void twinControllersCollideOnDifferingAnswers();
    void collidingAnswers_data();
    void collidingAnswers();
    void requestOnABusyLineIsACollision();

private:
    QSerialPort &startBus(SimBus::Options options = {}, qint32 baud = QSerialPort::Baud9600);
    QList<bool> dropPattern(quint32 seed);

    std::unique_ptr<SimBus> m_bus;
    std::unique_ptr<QSerialPort> m_port;
};

namespace {

// The answer a controller at rest gives to a read of its flow: 0.0.
QByteArray flowAtRest(quint8 address)
{
    return SerialPort::appendCrc(QByteArray{1, char(address)} + QByteArray::fromHex("030400000000"));
}

// The answer to a read of the backlight register at its default, 30 s.
QByteArray backlightAtDefault(quint8 address)
{
    return SerialPort::appendCrc(QByteArray{1, char(address)} + QByteArray::fromHex("03041E000000"));
}

QByteArray decoy(quint8 address)
{
    return SerialPort::appendCrc(QByteArray{1, char(address)} + QByteArray::fromHex("0304") +
                                 float_to_bytes(SimFaults::kDecoyValue));
}

// Reads until the line has been quiet for quietMs; false when it never fell quiet within limitMs.
bool drainUntilQuiet(QSerialPort &port, int quietMs, int limitMs)
{
    QElapsedTimer clock;
    clock.start();
    while (port.waitForReadyRead(quietMs)) {
        port.readAll();
        if (clock.elapsed() > limitMs)
            return false;
    }
    port.readAll();
    return true;
}

} // namespace

QSerialPort &TestSimBus::startBus(SimBus::Options options, qint32 baud)
{
    m_port.reset();
    m_bus = std::make_unique<SimBus>(options);
    QString error;
    if (!m_bus->start(&error))
        qFatal("the simulated bus did not start: %s", qPrintable(error));
    m_port = openPort(m_bus->portPath(), baud);
    if (!m_port)
        qFatal("cannot open %s", qPrintable(m_bus->portPath()));
    return *m_port;
}

void TestSimBus::cleanup()
{
    m_port.reset();
    m_bus.reset();
}

void TestSimBus::answers_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray echo = SerialPort::buildEchoFrame(2);
    QTest::newRow("discovery echo") << echo << echo;
    QTest::newRow("read of two registers") << readRequest(2, SimRegister::Flow) << flowAtRest(2);
    QTest::newRow("read the map does not hold")
        << readRequest(2, 0x3006) << SerialPort::appendCrc(QByteArray::fromHex("028302"));
    QTest::newRow("standard master reads one register")
        << readRequest(2, SimRegister::Backlight, 1)
        << SerialPort::appendCrc(QByteArray::fromHex("0203021E00"));
    const QByteArray write16 = SerialPort::buildWriteInt16Frame(2, SimRegister::Backlight, 300);
    QTest::newRow("16-bit write") << write16 << write16;
    const QByteArray writeFloat = SerialPort::buildWriteFloatFrame(2, SimRegister::FlowSetpoint, 0.0f);
    QTest::newRow("float write") << writeFloat << writeFloat;
    QTest::newRow("write of an unknown register") << SerialPort::buildWriteInt16Frame(2, 0x4000, 1)
                                                  << SerialPort::appendCrc(QByteArray::fromHex("028602"));
    QTest::newRow("function of unknown length, after the silence")
        << SerialPort::appendCrc(QByteArray::fromHex("02103008000102E803"))
        << SerialPort::appendCrc(QByteArray::fromHex("029001"));
}

void TestSimBus::answers()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, expected);
    QSerialPort &port = startBus();
    QCOMPARE(exchange(port, request, expected.size()).toHex(' '), expected.toHex(' '));
    QCOMPARE(m_bus->receivedFrames(), QList<QByteArray>{request});
    QCOMPARE(m_bus->answersSent(), 1);
}

void TestSimBus::silence_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<SimFaults>("faults");
    SimFaults silent;
    silent.silent = true;
    SimFaults dropAll;
    dropAll.dropFraction = 1.0;
    QTest::newRow("bad CRC") << withBadCrc(readRequest(2, SimRegister::Flow)) << SimFaults{};
    QTest::newRow("absent address") << readRequest(9, SimRegister::Flow) << SimFaults{};
    QTest::newRow("torn frame") << readRequest(2, SimRegister::Flow).left(5) << SimFaults{};
    QTest::newRow("silent controller") << readRequest(2, SimRegister::Flow) << silent;
    QTest::newRow("every answer dropped") << SerialPort::buildEchoFrame(2) << dropAll;
}

void TestSimBus::silence()
{
    QFETCH(QByteArray, request);
    QFETCH(SimFaults, faults);
    QSerialPort &port = startBus();
    m_bus->setFaults(2, faults);
    QCOMPARE(answerBefore(port, request, 1), QByteArray(""));
    QCOMPARE(m_bus->receivedFrames().value(0), request);
    QCOMPARE(m_bus->answersSent(), 1); // the fence's echo only
}

void TestSimBus::writesChangeRegisters()
{
    QSerialPort &port = startBus();
    const QByteArray write16 = SerialPort::buildWriteInt16Frame(3, SimRegister::Backlight, 300);
    const QByteArray writeFloat = SerialPort::buildWriteFloatFrame(3, SimRegister::CumulativeSetpoint, 12.5f);
    QCOMPARE(exchange(port, write16, 8), write16);
    QCOMPARE(exchange(port, writeFloat, 10), writeFloat);
    QCOMPARE(m_bus->intRegister(3, SimRegister::Backlight), 300);
    QCOMPARE(m_bus->floatRegister(3, SimRegister::CumulativeSetpoint), 12.5f);
    QCOMPARE(m_bus->intRegister(2, SimRegister::Backlight), 30); // the neighbour is untouched
    QCOMPARE(readFloat(port, 3, SimRegister::CumulativeSetpoint), 12.5f);
}

void TestSimBus::addressChangesAfterTheEcho()
{
    QSerialPort &port = startBus();
    const QByteArray move = SerialPort::buildWriteInt16Frame(2, SimRegister::DeviceAddress, 9);
    QCOMPARE(exchange(port, move, 8), move);
    QCOMPARE(answerBefore(port, SerialPort::buildEchoFrame(9), 1), SerialPort::buildEchoFrame(9));
    QCOMPARE(answerBefore(port, SerialPort::buildEchoFrame(2), 1), QByteArray(""));
    QCOMPARE(m_bus->addresses(), (QList<quint8>{1, 3, 9}));
    QCOMPARE(m_bus->intRegister(9, SimRegister::DeviceAddress), 9);
}

void TestSimBus::cumulativeGrowsWhileFlowing()
{
    QSerialPort &port = startBus();
    QCOMPARE(readFloat(port, 1, SimRegister::CumulativeFlow), 0.0f);
    const QByteArray setpoint =
        SerialPort::buildWriteFloatFrame(1, SimRegister::FlowSetpoint, 60000.0f); // 1 L/s
    QCOMPARE(exchange(port, setpoint, 10), setpoint);
    QTRY_VERIFY(readFloat(port, 1, SimRegister::Flow) > 30000.0f);
    const float before = readFloat(port, 1, SimRegister::CumulativeFlow);
    QVERIFY(before > 0.0f);
    QTRY_VERIFY(readFloat(port, 1, SimRegister::CumulativeFlow) > before + 0.05f);
}

// The bus hands an address's valve faults to its controller, and takes them back with the faults.
void TestSimBus::valveFaultsBelongToTheAddress()
{
    m_bus = std::make_unique<SimBus>(SimBus::Options{});
    SimFaults sluggish;
    sluggish.lagSeconds = 600.0;
    m_bus->setFaults(2, sluggish);
    SimFaults stuck;
    stuck.stuck = true;
    m_bus->setFaults(3, stuck);
    for (quint8 address : {1, 2, 3})
        m_bus->setFloatRegister(address, SimRegister::FlowSetpoint, 100.0f);
    // Generous waits: the valves follow the simulator's own clock, which a loaded machine slows.
    QTRY_VERIFY_WITH_TIMEOUT(m_bus->floatRegister(1, SimRegister::Flow) > 90.0f, 30000);
    const float trailing = m_bus->floatRegister(2, SimRegister::Flow);
    QVERIFY2(trailing > 0.0f && trailing < 10.0f, qPrintable(QString::number(trailing)));
    QCOMPARE(m_bus->floatRegister(3, SimRegister::Flow), 0.0f);
    m_bus->clearFaults();
    QTRY_VERIFY_WITH_TIMEOUT(m_bus->floatRegister(3, SimRegister::Flow) > 90.0f, 30000);
}

// Which of 40 reads of a controller that drops half its answers got an answer.
QList<bool> TestSimBus::dropPattern(quint32 seed)
{
    SimBus::Options options;
    options.seed = seed;
    QSerialPort &port = startBus(options);
    SimFaults faults;
    faults.dropFraction = 0.5;
    m_bus->setFaults(2, faults);
    QList<bool> answered;
    for (int i = 0; i < 40; ++i) {
        const QByteArray answer = answerBefore(port, readRequest(2, SimRegister::Backlight), 1);
        if (answer.isNull())
            return {};
        answered << !answer.isEmpty();
    }
    return answered;
}

void TestSimBus::dropReplaysWithTheSeed()
{
    const QList<bool> first = dropPattern(7);
    QCOMPARE(first.size(), 40);
    QVERIFY(first.count(true) > 5 && first.count(false) > 5);
    QCOMPARE(dropPattern(7), first);
    QVERIFY(dropPattern(8) != first);
}

void TestSimBus::corruptBreaksTheCrc()
{
    QSerialPort &port = startBus();
    SimFaults faults;
    faults.corruptFraction = 1.0;
    m_bus->setFaults(2, faults);
    const QByteArray reply = exchange(port, readRequest(2, SimRegister::Flow), 9);
    QCOMPARE(reply.size(), 9);
    QVERIFY(!SerialPort::hasValidCrc(reply));
    QCOMPARE(reply.left(7), flowAtRest(2).left(7));
}

void TestSimBus::lateAnswer_data()
{
    QTest::addColumn<int>("lateRegister");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("every answer") << 0 << SerialPort::buildEchoFrame(2) << SerialPort::buildEchoFrame(2);
    QTest::newRow("reads of the late register")
        << int(SimRegister::Flow) << readRequest(2, SimRegister::Flow) << flowAtRest(2);
    QTest::newRow("a prompt answer waits behind the late one")
        << int(SimRegister::Flow)
        << readRequest(2, SimRegister::Flow) + readRequest(2, SimRegister::Backlight)
        << flowAtRest(2) + backlightAtDefault(2);
}

void TestSimBus::lateAnswer()
{
    QFETCH(int, lateRegister);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, expected);
    QSerialPort &port = startBus();
    SimFaults faults;
    faults.lateMs = 300;
    faults.lateRegister = quint16(lateRegister);
    m_bus->setFaults(2, faults);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(exchange(port, request, expected.size(), 5000), expected);
    QVERIFY2(clock.elapsed() >= 300, qPrintable(QString::number(clock.elapsed())));
}

// What arrives before the answer of a healthy controller (the fence) sent right behind the request.
void TestSimBus::answerWithNoiseAhead_data()
{
    QTest::addColumn<SimFaults>("faults");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("expected");
    SimFaults stray;
    stray.strayBefore = QByteArray::fromHex("00FE");
    SimFaults sound;
    sound.soundFrameBeforeAnswer = true;
    SimFaults both = stray;
    both.soundFrameBeforeAnswer = true;
    SimFaults flowLate;
    flowLate.lateMs = 2000;
    flowLate.lateRegister = SimRegister::Flow;
    const QByteArray readBacklight = readRequest(2, SimRegister::Backlight);
    const QByteArray write = SerialPort::buildWriteInt16Frame(2, SimRegister::Backlight, 40);
    QTest::newRow("stray bytes") << stray << readBacklight
                                 << QByteArray::fromHex("00FE") + backlightAtDefault(2);
    QTest::newRow("sound frame run into the answer")
        << sound << readBacklight << decoy(2) + backlightAtDefault(2);
    QTest::newRow("sound frame run into an echo") << sound << write << decoy(2) + write;
    QTest::newRow("stray bytes, then the sound frame")
        << both << readBacklight << QByteArray::fromHex("00FE") + decoy(2) + backlightAtDefault(2);
    SimFaults cut;
    cut.cutAfterBytes = 6;
    SimFaults cutThenNoise = cut;
    cutThenNoise.extraBytes = QByteArray::fromHex("71");
    QTest::newRow("answer cut off") << cut << readBacklight << backlightAtDefault(2).left(6);
    QTest::newRow("echo cut off, then noise")
        << cutThenNoise << SerialPort::buildEchoFrame(2)
        << SerialPort::buildEchoFrame(2).left(6) + QByteArray::fromHex("71");
    QTest::newRow("another register's lateness") << flowLate << readBacklight << backlightAtDefault(2);
    QTest::newRow("the late register: overtaken")
        << flowLate << readRequest(2, SimRegister::Flow) << QByteArray("");
}

void TestSimBus::answerWithNoiseAhead()
{
    QFETCH(SimFaults, faults);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, expected);
    QSerialPort &port = startBus();
    m_bus->setFaults(2, faults);
    QCOMPARE(answerBefore(port, request, 1).toHex(' '), expected.toHex(' '));
}

void TestSimBus::lostWritesVanishBeforeTheController()
{
    QSerialPort &port = startBus();
    SimFaults faults;
    faults.lostWrites = 2;
    m_bus->setFaults(2, faults);
    const QByteArray read = readRequest(2, SimRegister::Backlight);
    for (int value : {100, 200}) {
        const QByteArray lost = SerialPort::buildWriteInt16Frame(2, SimRegister::Backlight, value);
        QCOMPARE(answerBefore(port, lost, 1), QByteArray(""));
        QCOMPARE(answerBefore(port, read, 1), backlightAtDefault(2)); // reads still get through
    }
    const QByteArray heard = SerialPort::buildWriteInt16Frame(2, SimRegister::Backlight, 300);
    QCOMPARE(answerBefore(port, heard, 1), heard);
    QCOMPARE(m_bus->intRegister(2, SimRegister::Backlight), 300);
    QCOMPARE(m_bus->lostFrameCount(), 2);
    QCOMPARE(m_bus->faults(2).lostWrites, 0);
    const QByteArray fence = SerialPort::buildEchoFrame(1);
    QCOMPARE(m_bus->receivedFrames(),
             (QList<QByteArray>{fence, read, fence, fence, read, fence, heard, fence}));
}

void TestSimBus::unansweredRequestsCountDown()
{
    QSerialPort &port = startBus();
    SimFaults faults;
    faults.unansweredRequests = 2;
    m_bus->setFaults(2, faults);
    const QByteArray read = readRequest(2, SimRegister::Backlight);
    QCOMPARE(answerBefore(port, read, 1), QByteArray(""));
    QCOMPARE(m_bus->faults(2).unansweredRequests, 1);
    QCOMPARE(answerBefore(port, SerialPort::buildEchoFrame(2), 1), QByteArray("")); // any request
    QCOMPARE(answerBefore(port, read, 1), backlightAtDefault(2));
    QCOMPARE(m_bus->faults(2).unansweredRequests, 0);
    QCOMPARE(m_bus->receivedFrames().size(), 6); // every request was heard
}

void TestSimBus::refusingControllerDoesNothingItIsAsked()
{
    QSerialPort &port = startBus();
    SimFaults faults;
    faults.exceptionCode = 4;
    m_bus->setFaults(2, faults);
    const QByteArray write = SerialPort::buildWriteInt16Frame(2, SimRegister::Backlight, 300);
    QCOMPARE(answerBefore(port, readRequest(2, SimRegister::Flow), 1),
             SerialPort::appendCrc(QByteArray::fromHex("028304")));
    QCOMPARE(answerBefore(port, write, 1), SerialPort::appendCrc(QByteArray::fromHex("028604")));
    QCOMPARE(answerBefore(port, SerialPort::buildEchoFrame(2), 1),
             SerialPort::appendCrc(QByteArray::fromHex("028804")));
    QCOMPARE(m_bus->intRegister(2, SimRegister::Backlight), 30);
    m_bus->clearFaults();
    QCOMPARE(answerBefore(port, write, 1), write);
}

// A late answer put on the line by a test: the port can read it as soon as the call returns.
void TestSimBus::bytesPutOnTheLineAreReadableAtOnce()
{
    QSerialPort &port = startBus();
    const QByteArray late = backlightAtDefault(2);
    m_bus->putOnLine(late);
    QVERIFY(port.waitForReadyRead(0));
    QCOMPARE(port.readAll(), late);
    QCOMPARE(m_bus->answersSent(), 0);
}

void TestSimBus::endlessStreamEndsWithItsFault_data()
{
    QTest::addColumn<bool>("unplug");
    QTest::newRow("fault cleared") << false;
    QTest::newRow("adapter unplugged") << true;
}

void TestSimBus::endlessStreamEndsWithItsFault()
{
    QFETCH(bool, unplug);
    QSerialPort &port = startBus();
    SimFaults endless;
    endless.endlessStream = true;
    m_bus->setFaults(2, endless);
    const QByteArray stream = exchange(port, readRequest(2, SimRegister::Backlight), 20000, 10000);
    QVERIFY2(stream.size() >= 20000, qPrintable(QString::number(stream.size())));
    QCOMPARE(QByteArray(stream).replace(char(0xFF), "").replace(char(0x00), ""), QByteArray());

    // Nobody reads now: the line fills up, yet the bus goes on hearing requests.
    port.setReadBufferSize(4096);
    const QByteArray echo = SerialPort::buildEchoFrame(3);
    port.write(echo);
    QVERIFY(port.waitForBytesWritten(2000));
    QTRY_VERIFY(m_bus->receivedFrames().contains(echo));

    if (unplug) {
        m_bus->unplug();
        QVERIFY(m_bus->replug());
        m_port = openPort(m_bus->portPath());
        QVERIFY(m_port);
    } else {
        m_bus->setFaults(2, {});
        port.setReadBufferSize(0);
        QVERIFY(drainUntilQuiet(port, 100, 5000));
    }
    // The line is quiet again: another controller's answer comes clean. After a replug the fault
    // still holds, and the next request to the babbler would start a new stream.
    QCOMPARE(answerBefore(*m_port, readRequest(1, SimRegister::Backlight), 3), backlightAtDefault(1));
    if (!unplug)
        QCOMPARE(answerBefore(*m_port, readRequest(2, SimRegister::Backlight), 1), backlightAtDefault(2));
}

void TestSimBus::servedValuesAreTheReadRepliesOnTheLine()
{
    SimBus::Options options;
    options.servedValuesKept = 3;
    QSerialPort &port = startBus(options);
    m_bus->setFloatRegister(2, SimRegister::Temperature, 30.0f); // drifts back: every reading differs
    QList<QByteArray> shown;
    for (int i = 0; i < 3; ++i)
        shown << exchange(port, readRequest(2, SimRegister::Temperature), 9).mid(3, 4);
    SimFaults decoyAndDrop;
    decoyAndDrop.soundFrameBeforeAnswer = true;
    m_bus->setFaults(2, decoyAndDrop);
    shown << answerBefore(port, readRequest(2, SimRegister::Temperature), 1).mid(9 + 3, 4);
    decoyAndDrop.dropFraction = 1.0;
    m_bus->setFaults(2, decoyAndDrop);
    QCOMPARE(answerBefore(port, readRequest(2, SimRegister::Temperature), 1), QByteArray(""));
    QCOMPARE(answerBefore(port, readRequest(3, 0x3006), 1).size(), 5); // an exception serves nothing

    QCOMPARE(m_bus->servedValues(2, SimRegister::Temperature), shown.mid(1)); // the newest three
    QVERIFY(!m_bus->hasServed(2, SimRegister::Temperature, shown[0]));
    QVERIFY(m_bus->hasServed(2, SimRegister::Temperature, shown[1]));
    QVERIFY(!m_bus->hasServed(2, SimRegister::Temperature, float_to_bytes(SimFaults::kDecoyValue)));
    QVERIFY(!m_bus->hasServed(3, SimRegister::Temperature, shown[1]));
    QVERIFY(m_bus->servedValues(3, 0x3006).isEmpty());
    m_bus->clearServedValues();
    QVERIFY(m_bus->servedValues(2, SimRegister::Temperature).isEmpty());
    QVERIFY(!m_bus->hasServed(2, SimRegister::Temperature, shown[1]));
}

void TestSimBus::servedTimeIsWhenTheAnswerWentOut_data()
{
    QTest::addColumn<int>("lateMs");
    QTest::newRow("at once") << 0;
    QTest::newRow("late by 300 ms") << 300;
}

// On the steady clock that an application reads too: after the request went out and its delay
// passed, and before the answer was in.
void TestSimBus::servedTimeIsWhenTheAnswerWentOut()
{
    QFETCH(int, lateMs);
    QSerialPort &port = startBus();
    SimFaults late;
    late.lateMs = lateMs;
    m_bus->setFaults(1, late);
    const auto nowNs = [] {
        return qint64(std::chrono::duration_cast<std::chrono::nanoseconds>(
                          std::chrono::steady_clock::now().time_since_epoch())
                          .count());
    };
    const qint64 askedNs = nowNs();
    const QByteArray reply = exchange(port, readRequest(1, SimRegister::Temperature), 9);
    const qint64 answeredNs = nowNs();
    QCOMPARE(reply.size(), 9);
    const QList<SimBus::Served> served = m_bus->servedWithTimes(1, SimRegister::Temperature);
    QCOMPARE(served.size(), 1);
    QCOMPARE(served.first().dataBytes, reply.mid(3, 4));
    QVERIFY2(served.first().servedNs >= askedNs + lateMs * qint64(1000000) && served.first().servedNs <= answeredNs,
             qPrintable(QString("%1 ms after the request, %2 ms before the answer was read")
                            .arg((served.first().servedNs - askedNs) / 1e6)
                            .arg((answeredNs - served.first().servedNs) / 1e6)));
    QCOMPARE(m_bus->servedValues(1, SimRegister::Temperature), QList<QByteArray>{reply.mid(3, 4)});
}

// What an application holding the port meets when the adapter goes: the terminal hangs up, and a
// read gives nothing, so the port reports an error at once, whether the application sits in its
// event loop or waits for a reply. (The error is ReadError, repeated on every turn of the event
// loop for as long as the port stays open; after a write it is ResourceError.) The application
// must close the port on it.
void TestSimBus::unplugHangsUpTheApplicationsPort_data()
{
    QTest::addColumn<bool>("waiting");
    QTest::newRow("idle in its event loop") << false;
    QTest::newRow("waiting for a reply") << true;
}

void TestSimBus::unplugHangsUpTheApplicationsPort()
{
    QFETCH(bool, waiting);
    QSerialPort &port = startBus();
    QList<int> errors;
    connect(&port, &QSerialPort::errorOccurred, this, [&port, &errors](QSerialPort::SerialPortError error) {
        if (error == QSerialPort::NoError || !port.isOpen())
            return;
        errors << int(error);
        QMetaObject::invokeMethod(&port, &QSerialPort::close, Qt::QueuedConnection);
    });
    QCOMPARE(exchange(port, SerialPort::buildEchoFrame(1), 8), SerialPort::buildEchoFrame(1));
    m_bus->unplug();
    if (waiting) {
        // The hang-up ends the wait, not its timeout.
        QVERIFY(!port.waitForReadyRead(10000));
        QVERIFY2(port.error() != QSerialPort::TimeoutError && port.error() != QSerialPort::NoError,
                 qPrintable(QString::number(port.error())));
    }
    QTRY_VERIFY(!port.isOpen());
    QVERIFY2(errors.first() == QSerialPort::ReadError || errors.first() == QSerialPort::ResourceError,
             qPrintable(QString::number(errors.first())));
}

void TestSimBus::chunksArriveSeparately()
{
    QSerialPort &port = startBus();
    SimFaults faults;
    faults.chunkSize = 3;
    faults.chunkGapMs = 100;
    m_bus->setFaults(2, faults);
    QElapsedTimer clock;
    clock.start();
    port.write(readRequest(2, SimRegister::Flow));
    QVERIFY(port.waitForReadyRead(3000));
    const QByteArray first = port.readAll();
    QVERIFY2(first.size() % 3 == 0 && first.size() < 9, first.toHex().constData());
    const QByteArray whole = first + readAtLeast(port, 9 - first.size(), 3000);
    QCOMPARE(whole, flowAtRest(2));
    QVERIFY(clock.elapsed() >= 200); // three chunks, two gaps
}

void TestSimBus::extraBytesFollowTheAnswer()
{
    QSerialPort &port = startBus();
    SimFaults faults;
    faults.extraBytes = QByteArray::fromHex("AABB");
    m_bus->setFaults(2, faults);
    QCOMPARE(exchange(port, readRequest(2, SimRegister::Flow), 11),
             flowAtRest(2) + QByteArray::fromHex("AABB"));
}

void TestSimBus::noiseNeverSplitsAnAnswer()
{
    QSerialPort &port = startBus();
    const QByteArray noise = QByteArray::fromHex("A55A");
    m_bus->setNoise(noise, 10);
    QVERIFY(readAtLeast(port, 4, 3000).startsWith(noise + noise));

    SimFaults faults;
    faults.chunkSize = 3;
    faults.chunkGapMs = 40;
    m_bus->setFaults(2, faults);
    port.write(readRequest(2, SimRegister::Flow));
    QByteArray received;
    QElapsedTimer clock;
    clock.start();
    while (!received.contains(flowAtRest(2)) && clock.elapsed() < 3000) {
        port.waitForReadyRead(100);
        received += port.readAll();
    }
    QVERIFY2(received.contains(flowAtRest(2)), received.toHex(' ').constData());
    // Noise before and after the answer, nothing else.
    QCOMPARE(QByteArray(received).replace(flowAtRest(2), "").replace(noise, ""), QByteArray());
}

void TestSimBus::unplugFailsThePortAndReplugServesTheLink()
{
    QTemporaryDir dir;
    SimBus::Options options;
    options.linkPath = dir.filePath("ttyQUORIX");
    QSerialPort &port = startBus(options);
    QCOMPARE(m_bus->portPath(), options.linkPath);
    QCOMPARE(QFileInfo(options.linkPath).symLinkTarget(), m_bus->terminalPath());
    QCOMPARE(exchange(port, SerialPort::buildEchoFrame(1), 8), SerialPort::buildEchoFrame(1));

    m_bus->unplug();
    QVERIFY(!QFileInfo(options.linkPath).isSymLink()); // a dangling link would reach the next terminal
    QVERIFY(!port.waitForReadyRead(2000));
    QTRY_VERIFY(port.error() != QSerialPort::NoError);
    port.close(); // as an application does before it opens the port again (the lock is per name)

    QString error;
    QVERIFY2(m_bus->replug(&error), qPrintable(error));
    QCOMPARE(QFileInfo(options.linkPath).symLinkTarget(), m_bus->terminalPath());
    auto reopened = openPort(options.linkPath);
    QVERIFY(reopened);
    QCOMPARE(exchange(*reopened, SerialPort::buildEchoFrame(3), 8), SerialPort::buildEchoFrame(3));

    reopened.reset();
    m_port.reset();
    m_bus->stop();
    QVERIFY(!QFileInfo(options.linkPath).isSymLink());
}

void TestSimBus::wireTime_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("answerBytes");
    QTest::newRow("read at 9600") << 9600 << readRequest(1, SimRegister::Flow) << 9;
    QTest::newRow("float write at 9600")
        << 9600 << SerialPort::buildWriteFloatFrame(1, SimRegister::FlowSetpoint, 0) << 10;
    QTest::newRow("echo at 2400") << 2400 << SerialPort::buildEchoFrame(1) << 8;
}

void TestSimBus::wireTime()
{
    QFETCH(int, baud);
    QFETCH(QByteArray, request);
    QFETCH(int, answerBytes);
    SimBus::Options options;
    options.baud = baud;
    options.turnaroundMs = 2.0;
    QSerialPort &port = startBus(options, baud);
    const double theoreticalMs = (request.size() + answerBytes) * 10.0 * 1000.0 / baud + options.turnaroundMs;
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(exchange(port, request, answerBytes, 5000).size(), answerBytes);
    const double measuredMs = clock.nsecsElapsed() / 1e6;
    const QByteArray report =
        QByteArray::number(measuredMs) + " ms, theory " + QByteArray::number(theoreticalMs);
    QVERIFY2(measuredMs >= theoreticalMs, report.constData());
    QVERIFY2(measuredMs < theoreticalMs + 500.0, report.constData()); // a loaded machine
}

// Tests and tools configure and inspect the bus from other threads while it serves the line.
void TestSimBus::publicMethodsAreSafeDuringTraffic()
{
    QSerialPort &port = startBus();
    std::atomic<bool> done{false};
    std::thread meddler([this, &done] {
        SimFaults late;
        late.lateMs = 1;
        for (int i = 0; !done; ++i) {
            m_bus->setFaults(3, i % 2 ? late : SimFaults{});
            m_bus->setFloatRegister(3, SimRegister::FlowSetpoint, float(i % 100));
            m_bus->setNoise(QByteArray(), 0);
            (void)m_bus->floatRegister(2, SimRegister::Flow);
            (void)m_bus->receivedFrames();
            (void)m_bus->answersSent();
            (void)m_bus->servedValues(3, SimRegister::Temperature);
            (void)m_bus->hasServed(2, SimRegister::Flow, QByteArray(4, '\0'));
            (void)m_bus->takeReceivedFrames();
            (void)m_bus->addresses();
            std::this_thread::yield(); // an unfair mutex would otherwise starve the bus thread
        }
    });
    int answered = 0;
    for (int i = 0; i < 200; ++i) {
        const QByteArray reply = exchange(port, readRequest(2, SimRegister::Flow), 9, 10000);
        answered += SerialPort::isSoundReadReply(reply, 2);
    }
    done = true;
    meddler.join();
    QCOMPARE(answered, 200);
}

// An adapter that echoes the host's bytes: its copy of the request first, then whatever the
// controllers answer (nothing, for an address nobody holds or for noise).
void TestSimBus::echoingAdapterHandsEveryByteBack_data()
{
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("answer");
    const QByteArray read = readRequest(2, SimRegister::Flow);
    const QByteArray echo = SerialPort::buildEchoFrame(3);
    const QByteArray write = SerialPort::buildWriteInt16Frame(2, SimRegister::Backlight, 40);
    QTest::newRow("a read: copy, then the reading") << read << flowAtRest(2);
    QTest::newRow("a discovery echo: the same eight bytes twice") << echo << echo;
    QTest::newRow("a write: the same bytes twice") << write << write;
    QTest::newRow("a read of address 0: the copy alone")
        << readRequest(0, SimRegister::DeviceAddress, 1) << QByteArray();
    QTest::newRow("noise: the copy alone") << QByteArray("\x00\xFF\x13", 3) << QByteArray();
}

void TestSimBus::echoingAdapterHandsEveryByteBack()
{
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, answer);
    SimBus::Options options;
    options.adapterEchoes = true;
    QSerialPort &port = startBus(options);
    // The request goes out with a discovery echo of controller 1 behind it: the copy of both
    // first, then the answers in the order asked.
    const QByteArray fence = SerialPort::buildEchoFrame(1);
    const QByteArray expected = sent + fence + answer + fence;
    port.write(sent + fence);
    QVERIFY(port.waitForBytesWritten(2000));
    QCOMPARE(readAtLeast(port, expected.size(), 3000), expected);
    QCOMPARE(m_bus->answersSent(), answer.isEmpty() ? 1 : 2);

    m_bus->setAdapterEchoes(false);
    QCOMPARE(answerBefore(port, sent, 1), answer);
}

// At 9600 baud the copy comes once the request is on the wire, the controller's answer after its
// turnaround and its own wire time: two separate arrivals, in that order.
void TestSimBus::echoingAdapterSendsItsCopyBeforeTheAnswer()
{
    SimBus::Options options;
    options.baud = 9600;
    options.turnaroundMs = 20.0;
    options.adapterEchoes = true;
    QSerialPort &port = startBus(options);
    const QByteArray read = readRequest(2, SimRegister::Flow);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(exchange(port, read, 8, 2000), read);
    const double copyMs = clock.nsecsElapsed() / 1e6;
    QCOMPARE(readAtLeast(port, 9, 2000), flowAtRest(2));
    const double answerMs = clock.nsecsElapsed() / 1e6;
    QVERIFY2(copyMs >= 8.0 && answerMs >= copyMs + 20.0,
             qPrintable(QStringLiteral("copy at %1 ms, answer at %2 ms").arg(copyMs).arg(answerMs)));
}

// Two controllers at address 2: the discovery echo and a write's echo are the same from both and
// come out whole; once both flow, their readings differ and every read comes out unsound.
void TestSimBus::twinControllersCollideOnDifferingAnswers()
{
    QSerialPort &port = startBus();
    SimFaults faults;
    faults.twin = true;
    m_bus->setFaults(2, faults);
    const QByteArray echo = SerialPort::buildEchoFrame(2);
    QCOMPARE(answerBefore(port, echo, 1), echo);
    const QByteArray setpoint = SerialPort::buildWriteFloatFrame(2, SimRegister::FlowSetpoint, 500.0f);
    QCOMPARE(answerBefore(port, setpoint, 1), setpoint);
    QTRY_VERIFY(m_bus->floatRegister(2, SimRegister::Flow) > 100.0f);
    for (int i = 0; i < 5; ++i) {
        const QByteArray reading = answerBefore(port, readRequest(2, SimRegister::Flow), 1);
        QCOMPARE(reading.size(), 9);
        QVERIFY2(!SerialPort::hasValidCrc(reading), reading.toHex().constData());
    }
    QCOMPARE(answerBefore(port, readRequest(3, SimRegister::Flow), 1).size(), 9); // the others answer
}

void TestSimBus::collidingAnswers_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");
    QTest::addColumn<bool>("sound");
    const QByteArray reading = QByteArray::fromHex("020304b92e9843a657");
    // 0.1 % apart, and every bit of this one is set in the other, CRC included: the AND alone
    // would hand the line this reading, whole and sound.
    const QByteArray subset = QByteArray::fromHex("020304100e98438601");
    QTest::newRow("the same answer") << reading << reading << true;
    QTest::newRow("readings whose AND passes its CRC") << reading << subset << false;
    QTest::newRow("the other way round") << subset << reading << false;
}

// Two controllers answering at once give one frame only when they say the same thing.
void TestSimBus::collidingAnswers()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    QFETCH(bool, sound);
    const QByteArray line = SimBus::collide(first, second);
    QCOMPARE(line.size(), qMax(first.size(), second.size()));
    QCOMPARE(SerialPort::hasValidCrc(line), sound);
}

#include "TestRunner.h"

QUORIX_TEST_GUILESS_MAIN(TestSimBus)
#include "tst_simbus.moc"

// A request sent while an answer is on the wire is counted, and logged; one after it is not. At
// 1200 baud an answer is on the wire for 75 ms, from the moment the neighbour's frame arrives.
void TestSimBus::requestOnABusyLineIsACollision()
{
    SimBus::Options options;
    options.baud = 1200;
    QSerialPort &port = startBus(options, QSerialPort::Baud1200);
    m_bus->keepLineLog(true);
    SimFaults faults;
    faults.neighbourAddress = 3;
    m_bus->setFaults(1, faults);
    port.write(readRequest(1, SimRegister::Backlight));
    QVERIFY(port.waitForBytesWritten(1000));
    QCOMPARE(readAtLeast(port, 9, 2000), decoy(3));
    port.write(readRequest(2, SimRegister::Backlight));
    QVERIFY(port.waitForBytesWritten(1000));
    QCOMPARE(readAtLeast(port, 18, 3000), backlightAtDefault(1) + backlightAtDefault(2));
    QCOMPARE(m_bus->collisions(), 1);
    QCOMPARE(exchange(port, readRequest(2, SimRegister::Backlight), 9), backlightAtDefault(2));
    QCOMPARE(m_bus->collisions(), 1);
    QCOMPARE(m_bus->takeLineLog().filter("collision").size(), 1);
}
