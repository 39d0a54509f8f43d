// The headless front end against the simulated bus: what each command prints and its exit code.

#include "BusCli.h"
#include "SerialPort.h"
#include "SimBus.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <algorithm>
#include <limits>
#include <thread>

class BusCliTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void commands_data();
    void commands();
    void scanListsOnlyWholeEchoes_data();
    void scanListsOnlyWholeEchoes();
    void writeReachesTheDevice_data();
    void writeReachesTheDevice();
    void pollPrintsOneCsvLinePerCycle();
    void pollNeverShiftsColumns_data();
    void pollNeverShiftsColumns();
    void pollEndsWhenTheAdapterIsPulled();
    void pollLeavesNoNumberOut_data();
    void pollLeavesNoNumberOut();
    void monitorPrintsEveryFrame_data();
    void monitorPrintsEveryFrame();
    void monitorPollsAFailingControllerEveryRound();
    void echoingAdapter_data();
    void echoingAdapter();

private:
    QList<QByteArray> controllerFrames() const;
    struct Outcome
    {
        int code;
        QString out;
        QString err;
    };
    Outcome run(QStringList args);

    QTemporaryDir m_dir;
    std::unique_ptr<SimBus> m_bus;
};

void BusCliTest::initTestCase()
{
    SimBus::Options options;
    options.addresses = {2, 5};
    options.linkPath = m_dir.filePath("tty");
    m_bus = std::make_unique<SimBus>(options);
    QVERIFY(m_bus->start());
}

void BusCliTest::cleanupTestCase()
{
    m_bus->stop();
}

void BusCliTest::init()
{
    m_bus->clearFaults();
    m_bus->setAdapterEchoes(false);
    m_bus->clearReceivedFrames();
    m_bus->setFloatRegister(2, 0x303E, 42.5f);
    m_bus->setIntRegister(2, 0x3008, 300);
    m_bus->setIntRegister(5, 0x3036, 123456);
}

// What the controllers heard: not the read of address 0 with which the tool asks whether the
// adapter echoes.
QList<QByteArray> BusCliTest::controllerFrames() const
{
    QList<QByteArray> frames = m_bus->receivedFrames();
    frames.erase(
        std::remove_if(frames.begin(), frames.end(), [](const QByteArray &f) { return f.startsWith('\0'); }),
        frames.end());
    return frames;
}

BusCliTest::Outcome BusCliTest::run(QStringList args)
{
    for (QString &arg : args)
        arg.replace("PORT", m_bus->portPath()).replace("MISSING", m_dir.filePath("missing"));
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    BusCli cli(outStream, errStream);
    const int code = cli.run(args);
    outStream.flush();
    errStream.flush();
    return {code, out, err};
}

// "PORT" stands for the bus, "MISSING" for a port that does not exist. Each failure writes exactly
// one line on the error stream.
void BusCliTest::commands_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("silent"); // addresses made silent first, comma separated
    QTest::newRow("scan lists the answering addresses")
        << QStringList{"--port", "PORT", "scan"} << 0 << "2\n5\n"
        << "";
    QTest::newRow("scan with nobody answering") << QStringList{"--port", "PORT", "scan"} << 1 << ""
                                                << "2,5";
    QTest::newRow("read a float, hex register")
        << QStringList{"--port", "PORT", "read", "2", "0x303E"} << 0 << "42.5\n"
        << "";
    QTest::newRow("read u16, decimal register")
        << QStringList{"--port", "PORT", "read", "2", "12296", "--as", "u16"} << 0 << "300\n"
        << "";
    QTest::newRow("read i32") << QStringList{"--port", "PORT", "--as", "i32", "read", "5", "0x3036"} << 0
                              << "123456\n"
                              << "";
    QTest::newRow("read from a silent device")
        << QStringList{"--timeout", "250", "--port", "PORT", "read", "2", "0x303E"} << 1 << ""
        << "2";
    QTest::newRow("read from an absent device")
        << QStringList{"--timeout", "250", "--port", "PORT", "read", "9", "4096"} << 1 << ""
        << "";
    QTest::newRow("port that cannot be opened") << QStringList{"--port", "MISSING", "scan"} << 2 << ""
                                                << "";
    QTest::newRow("no port") << QStringList{"scan"} << 2 << ""
                             << "";
    QTest::newRow("no command") << QStringList{"--port", "PORT"} << 2 << ""
                                << "";
    QTest::newRow("unknown command") << QStringList{"--port", "PORT", "frob"} << 2 << ""
                                     << "";
    QTest::newRow("unknown option") << QStringList{"--port", "PORT", "--fast", "scan"} << 2 << ""
                                    << "";
    QTest::newRow("option without its value") << QStringList{"scan", "--port"} << 2 << ""
                                              << "";
    QTest::newRow("address out of range") << QStringList{"--port", "PORT", "read", "256", "4096"} << 2 << ""
                                          << "";
    QTest::newRow("register not a number") << QStringList{"--port", "PORT", "read", "2", "flow"} << 2 << ""
                                           << "";
    QTest::newRow("unknown decoding")
        << QStringList{"--port", "PORT", "read", "2", "4096", "--as", "f64"} << 2 << ""
        << "";
    QTest::newRow("16-bit value out of range")
        << QStringList{"--port", "PORT", "write", "2", "0x3008", "70000"} << 2 << ""
        << "";
    QTest::newRow("too many arguments") << QStringList{"--port", "PORT", "poll", "2", "3"} << 2 << ""
                                        << "";
}

void BusCliTest::commands()
{
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, out);
    QFETCH(QString, silent);
    SimFaults faults;
    faults.silent = true;
    for (const QString &address : silent.split(',', Qt::SkipEmptyParts))
        m_bus->setFaults(quint8(address.toInt()), faults);
    const Outcome outcome = run(args);
    QCOMPARE(outcome.code, code);
    QCOMPARE(outcome.out, out);
    if (code == 0) {
        QCOMPARE(outcome.err, QString());
    } else {
        QCOMPARE(outcome.err.count('\n'), 1);
        QVERIFY(outcome.err.startsWith("quorix-cli: "));
    }
}

// Controller 2 answers whole; controller 5 answers as the row says, with noise behind it.
void BusCliTest::scanListsOnlyWholeEchoes_data()
{
    QTest::addColumn<SimFaults>("faults");
    QTest::addColumn<QString>("out");
    SimFaults whole;
    whole.extraBytes = QByteArray::fromHex("710800005566"); // once listed 113
    SimFaults cut;
    cut.cutAfterBytes = 6;
    cut.extraBytes = QByteArray::fromHex("FF");
    SimFaults corrupt;
    corrupt.corruptFraction = 1.0;
    QTest::newRow("whole echo, noise behind") << whole << "2\n5\n";
    QTest::newRow("echo cut off before its CRC") << cut << "2\n";
    QTest::newRow("echo with a bad CRC") << corrupt << "2\n";
}

void BusCliTest::scanListsOnlyWholeEchoes()
{
    QFETCH(SimFaults, faults);
    QFETCH(QString, out);
    m_bus->setFaults(5, faults);
    const Outcome outcome = run({"--port", "PORT", "scan"});
    QCOMPARE(outcome.code, 0);
    QCOMPARE(outcome.out, out);
}

void BusCliTest::writeReachesTheDevice_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("frame");
    const QString int16 = QString::fromLatin1(SerialPort::buildWriteInt16Frame(2, 0x3008, 120).toHex(' '));
    QTest::newRow("16-bit") << QStringList{"write", "2", "0x3008", "120"} << false << 0 << int16;
    QTest::newRow("float") << QStringList{"write", "5", "0x303E", "1", "--float"} << false << 0
                           << "05 06 30 3e 00 00 80 3f eb d1";
    QTest::newRow("no echo") << QStringList{"write", "2", "0x3008", "120"} << true << 1 << int16;
}

void BusCliTest::writeReachesTheDevice()
{
    QFETCH(QStringList, args);
    QFETCH(bool, silent);
    QFETCH(int, code);
    QFETCH(QString, frame);
    if (silent) {
        SimFaults faults;
        faults.silent = true;
        m_bus->setFaults(2, faults);
    }
    const Outcome outcome = run(QStringList{"--port", "PORT", "--timeout", "250"} + args);
    QCOMPARE(outcome.code, code);
    QCOMPARE(outcome.out, QString());
    const QList<QByteArray> frames = controllerFrames();
    QCOMPARE(frames.size(), 1);
    QCOMPARE(QString::fromLatin1(frames.first().toHex(' ')), frame);
}

void BusCliTest::pollPrintsOneCsvLinePerCycle()
{
    const Outcome outcome = run({"--port", "PORT", "poll", "5", "--count", "3", "--interval", "10"});
    QCOMPARE(outcome.code, 0);
    const QStringList lines = outcome.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    const QRegularExpression csv(
        R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3},-?\d+\.\d{3},-?\d+\.\d{3},-?\d+\.\d,-?\d+\.\d$)");
    for (const QString &line : lines)
        QVERIFY2(csv.match(line).hasMatch(), qPrintable(line));
    // Pressure in KPa: the device reports about 101325 in its own unit.
    const double kpa = lines.first().section(',', 4).toDouble();
    QVERIFY2(kpa > 90 && kpa < 115, qPrintable(lines.first()));
    QCOMPARE(controllerFrames().size(), 12);
}

// Every printed value sits in its own column or the column is empty: a temperature near the room's,
// a pressure near the atmosphere's, whatever arrives late or runs into an answer.
void BusCliTest::pollNeverShiftsColumns_data()
{
    QTest::addColumn<SimFaults>("faults");
    SimFaults lateFlow;
    lateFlow.lateRegister = 0x1000;
    lateFlow.lateMs = 250 + 15;
    SimFaults lateAll;
    lateAll.lateMs = 250 + 5;
    SimFaults decoy;
    decoy.soundFrameBeforeAnswer = true;
    QTest::newRow("flow answered just after the timeout") << lateFlow;
    QTest::newRow("every answer just after the timeout") << lateAll;
    QTest::newRow("a sound frame run into every answer") << decoy;
}

void BusCliTest::pollNeverShiftsColumns()
{
    QFETCH(SimFaults, faults);
    m_bus->setFaults(5, faults);
    const Outcome outcome =
        run({"--port", "PORT", "--timeout", "250", "poll", "5", "--count", "4", "--interval", "0"});
    const QStringList lines = outcome.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    for (const QString &line : lines) {
        const QString temperature = line.section(',', 3, 3);
        const QString pressure = line.section(',', 4, 4);
        QVERIFY2(temperature.isEmpty() || qAbs(temperature.toDouble() - 23) < 10, qPrintable(line));
        QVERIFY2(pressure.isEmpty() || qAbs(pressure.toDouble() - 101.3) < 10, qPrintable(line));
    }
}

// Polling without end stops with one line on the error stream once the adapter is gone, instead
// of spinning on a dead port.
void BusCliTest::pollEndsWhenTheAdapterIsPulled()
{
    // Pulled once the tool polls; a tool that went on polling a dead port would never return.
    const int answeredBefore = m_bus->answersSent();
    std::thread puller([this, answeredBefore] {
        QElapsedTimer waited;
        waited.start();
        while (m_bus->answersSent() <= answeredBefore && waited.elapsed() < 30000)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        m_bus->unplug();
    });
    const Outcome outcome = run({"--port", "PORT", "poll", "2", "--count", "0", "--interval", "20"});
    puller.join();
    QVERIFY(m_bus->answersSent() > answeredBefore);
    QCOMPARE(outcome.code, 1);
    QVERIFY2(outcome.err.startsWith("quorix-cli: port connection lost: " + m_bus->portPath() + " vanished"),
             qPrintable(outcome.err));
    QVERIFY(m_bus->replug());
}

void BusCliTest::pollLeavesNoNumberOut_data()
{
    QTest::addColumn<float>("temperature");
    QTest::newRow("NaN") << std::numeric_limits<float>::quiet_NaN();
    QTest::newRow("infinity") << std::numeric_limits<float>::infinity();
}

// A temperature that is no number leaves its column empty, as an unanswered read does, and the
// exit code and the error line say so; the other columns are printed.
void BusCliTest::pollLeavesNoNumberOut()
{
    QFETCH(float, temperature);
    m_bus->setFloatRegister(5, 0x1004, temperature);
    const Outcome outcome = run({"--port", "PORT", "poll", "5", "--count", "2", "--interval", "0"});
    m_bus->setFloatRegister(5, 0x1004, 23.0f);
    QCOMPARE(outcome.code, 1);
    const QRegularExpression csv(R"(^[-0-9T:.]+,-?\d+\.\d{3},-?\d+\.\d{3},,-?\d+\.\d$)");
    const QStringList lines = outcome.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    for (const QString &line : lines)
        QVERIFY2(csv.match(line).hasMatch(), qPrintable(line));
    QCOMPARE(outcome.err, QString("quorix-cli: 2 of 8 reads of device 5 failed: 8 answered, 0 timeout, 0 unsound, 0 not sent, "
                                 "2 not a number\n"));
}

// monitor polls as poll does and prints each frame on the line: time, TX or RX, address, function,
// bytes and outcome. "DIR:ADDR:OUTCOME" names a kind of line that must be printed, "!" in front one
// that must not.
void BusCliTest::monitorPrintsEveryFrame_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("faultyAddress");
    QTest::addColumn<SimFaults>("faults");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("lineCount"); // -1: not counted
    QTest::addColumn<QStringList>("kinds");
    SimFaults none;
    SimFaults silent;
    silent.silent = true;
    SimFaults corrupt;
    corrupt.corruptFraction = 1.0;
    const QStringList twoCycles{"--port", "PORT", "monitor", "2", "5", "--count", "2", "--interval", "10"};
    QTest::newRow("two controllers answering")
        << twoCycles << 0 << none << 0 << 2 * 2 * 4 * 2
        << QStringList{"TX:2:answered", "RX:2:answered", "TX:5:answered", "RX:5:answered"};
    QTest::newRow("the controllers a scan finds")
        << QStringList{"--port", "PORT", "monitor"} << 0 << none << 0 << 2 * 4 * 2
        << QStringList{"RX:2:answered", "RX:5:answered"};
    QTest::newRow("a silent controller")
        << QStringList{"--timeout", "250", "--port", "PORT", "monitor", "2", "5"} << 2 << silent << 1 << -1
        << QStringList{"TX:2:timeout", "!RX:2:timeout", "!RX:2:answered", "RX:5:answered"};
    QTest::newRow("a controller whose answers all fail their CRC")
        << QStringList{"--timeout", "250", "--port", "PORT", "monitor", "5"} << 5 << corrupt << 1 << -1
        << QStringList{"TX:5:CRC error", "RX:5:CRC error", "!RX:5:answered"};
    QTest::newRow("an address out of range")
        << QStringList{"--port", "PORT", "monitor", "2", "256"} << 0 << none << 2 << 0 << QStringList();
    // Past the wait, the answer lands in the grace or in the check's wait: alive, and named late.
    SimFaults lateFlow;
    lateFlow.lateRegister = 0x1000;
    // Six rounds: on a loaded machine the host's own timer may run late enough for an answer 6 ms
    // past the wait to come within it in some of them.
    lateFlow.lateMs = 250 + 6;
    QTest::newRow("a flow answer just past the wait")
        << QStringList{"--timeout", "250", "--port", "PORT", "monitor", "5", "--count", "6"} << 5 << lateFlow << 1 << -1
        << QStringList{"TX:5:timeout", "RX:5:late", "RX:5:answered", "!RX:5:CRC error"};
}

void BusCliTest::monitorPrintsEveryFrame()
{
    QFETCH(QStringList, args);
    QFETCH(int, faultyAddress);
    QFETCH(SimFaults, faults);
    QFETCH(int, code);
    QFETCH(int, lineCount);
    QFETCH(QStringList, kinds);
    if (faultyAddress != 0)
        m_bus->setFaults(quint8(faultyAddress), faults);
    const Outcome outcome = run(args);
    QCOMPARE(outcome.code, code);
    QCOMPARE(outcome.err.count('\n'), code == 0 ? 0 : 1);
    const QStringList lines = outcome.out.split('\n', Qt::SkipEmptyParts);
    if (lineCount >= 0)
        QCOMPARE(lines.size(), lineCount);
    const QRegularExpression frameLine(
        R"(^\d\d:\d\d:\d\d\.\d{3} (TX|RX) (\d+) ([0-9A-F]{2}) ((?:[0-9A-F]{2} )+)(answered|timeout|CRC error|late)$)");
    QSet<QString> printed;
    for (const QString &line : lines) {
        const QRegularExpressionMatch match = frameLine.match(line);
        QVERIFY2(match.hasMatch(), qPrintable(line));
        // The first byte of every frame is the address the line names.
        QCOMPARE(match.captured(4).left(2).toInt(nullptr, 16), match.captured(2).toInt());
        printed.insert(match.captured(1) + ':' + match.captured(2) + ':' + match.captured(5));
    }
    for (const QString &kind : kinds) {
        if (kind.startsWith('!'))
            QVERIFY2(!printed.contains(kind.mid(1)), qPrintable(kind));
        else
            QVERIFY2(printed.contains(kind), qPrintable(kind));
    }
}

// A silent controller is tried again every round: its first read, then the check that it is in
// step, once a round.
void BusCliTest::monitorPollsAFailingControllerEveryRound()
{
    SimFaults silent;
    silent.silent = true;
    m_bus->setFaults(5, silent);
    const Outcome outcome =
        run({"--timeout", "250", "--port", "PORT", "monitor", "5", "--count", "3", "--interval", "10"});
    QCOMPARE(outcome.code, 1);
    const QList<QByteArray> heard = controllerFrames();
    QCOMPARE(heard.size(), 1 + 3);
    QCOMPARE(heard.first(), SerialPort::appendCrc(SerialPort::buildReadFrame(5, 0x1000, 2)));
    QCOMPARE(heard.mid(1), QList<QByteArray>() << SerialPort::buildEchoFrame(5) << SerialPort::buildEchoFrame(5)
                                               << SerialPort::buildEchoFrame(5));
    QCOMPARE(outcome.out.count(" timeout\n"), 1 + 3);
}

// An adapter that hands every byte sent back: the tool finds it at opening, so that a scan lists
// only the controllers, not every probe's copy, and a write counts only when the controller's echo
// follows the copy.
void BusCliTest::echoingAdapter_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("lostWrites");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("out");
    QTest::newRow("scan lists only the controllers") << QStringList{"scan"} << 0 << 0 << "2\n5\n";
    QTest::newRow("read") << QStringList{"read", "2", "0x303E"} << 0 << 0 << "42.5\n";
    QTest::newRow("write the controller heard") << QStringList{"write", "2", "0x3008", "120"} << 0 << 0 << "";
    QTest::newRow("write the controller never heard fails")
        << QStringList{"write", "2", "0x3008", "120"} << 1 << 1 << "";
}

void BusCliTest::echoingAdapter()
{
    QFETCH(QStringList, args);
    QFETCH(int, lostWrites);
    QFETCH(int, code);
    QFETCH(QString, out);
    m_bus->setAdapterEchoes(true);
    SimFaults faults;
    faults.lostWrites = lostWrites;
    m_bus->setFaults(2, faults);
    const Outcome outcome = run(QStringList{"--port", "PORT", "--timeout", "250"} + args);
    QCOMPARE(outcome.code, code);
    QCOMPARE(outcome.out, out);
}

#include "TestRunner.h"

QUORIX_TEST_GUILESS_MAIN(BusCliTest)
#include "tst_bus_cli.moc"
