// The command lines of quorix-cli (with its bridge verb) and quorix-sim, as a shell hands them to
// the real programs: what each prints and its exit code. A refused line names the bad argument on
// the first line of the error stream.

#include "SimBus.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

class tst_toolArguments : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void commandLines_data();
    void commandLines();
    void refusalsAndMessages_data();
    void refusalsAndMessages();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<SimBus> m_bus;
};

void tst_toolArguments::initTestCase()
{
    SimBus::Options options;
    options.addresses = {2, 5};
    options.linkPath = m_dir.filePath("tty");
    m_bus = std::make_unique<SimBus>(options);
    QVERIFY(m_bus->start());
    m_bus->setIntRegister(2, 0x3008, 300);
}

void tst_toolArguments::cleanupTestCase()
{
    m_bus->stop();
}

// "PORT" stands for the simulated bus. `said` is what a good line prints (standard output) or, for
// a refused one, the first line of the error stream.
void tst_toolArguments::commandLines_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("said");
    const QString version = QStringLiteral(QUORIX_VERSION_TEXT);
    const QString cli = QStringLiteral(QUORIX_CLI_PATH);
    const QString sim = QStringLiteral(QUORIX_SIM_BINARY);

    QTest::newRow("cli --help") << cli << QStringList{"--help"} << 0 << "usage: quorix-cli --port PATH";
    QTest::newRow("cli -h after a bad option")
        << cli << QStringList{"--fast", "-h"} << 0 << "usage: quorix-cli";
    QTest::newRow("cli --version") << cli << QStringList{"--version"} << 0 << "quorix-cli " + version;
    QTest::newRow("bridge --version")
        << cli << QStringList{"bridge", "--version"} << 0 << "quorix-cli " + version;
    QTest::newRow("bridge --help") << cli << QStringList{"--port=PORT", "bridge", "--help"} << 0
                                   << "usage: quorix-cli --port PATH";
    QTest::newRow("--port=PATH") << cli << QStringList{"--port=PORT", "scan"} << 0 << "2\n5\n";
    QTest::newRow("options after the command, with '='")
        << cli << QStringList{"read", "2", "0x3008", "--as=u16", "--port", "PORT", "--timeout=250"} << 0
        << "300\n";
    QTest::newRow("a negative value is no option, but out of the register's range")
        << cli << QStringList{"--port=PORT", "write", "2", "0x3008", "-5"} << 2
        << "quorix-cli: bad value -5 for register 0x3008 (parameter: 0 to 65535)";

    QTest::newRow("unknown option") << cli << QStringList{"--port=PORT", "--fast", "scan"} << 2
                                    << "quorix-cli: unknown option --fast";
    QTest::newRow("unknown option with a value")
        << cli << QStringList{"--port=PORT", "--fast=1", "scan"} << 2 << "quorix-cli: unknown option --fast";
    QTest::newRow("value missing at the end")
        << cli << QStringList{"scan", "--port"} << 2 << "quorix-cli: --port needs a value";
    QTest::newRow("flag given a value")
        << cli << QStringList{"--port=PORT", "--float=yes", "write", "2", "1", "1"} << 2
        << "quorix-cli: --float takes no value";
    QTest::newRow("bad value after '='") << cli << QStringList{"--port=PORT", "--baud=fast", "scan"} << 2
                                         << "quorix-cli: bad value for --baud: fast";
    QTest::newRow("bad value repeated away") << cli << QStringList{"--baud", "0", "--baud", "9600", "scan"}
                                             << 2 << "quorix-cli: bad value for --baud: 0";
    QTest::newRow("negative value out of range")
        << cli << QStringList{"--port=PORT", "write", "2", "0x3008", "-40000"} << 2
        << "quorix-cli: bad value -40000 for a 16-bit write";
    QTest::newRow("unknown command") << cli << QStringList{"--port=PORT", "frob"} << 2
                                     << "quorix-cli: unknown command frob";
    QTest::newRow("bridge: unknown option")
        << cli << QStringList{"--port=PORT", "bridge", "--mqtt=h", "--fast"} << 2
        << "quorix-cli: unknown argument --fast for bridge (try --help)";
    QTest::newRow("bridge: stray argument")
        << cli << QStringList{"--port=PORT", "bridge", "--mqtt", "h", "now"} << 2
        << "quorix-cli: unknown argument now for bridge (try --help)";
    QTest::newRow("bridge: bad value after '='") << cli << QStringList{"--port=PORT", "bridge", "--mqtt=h:0"}
                                                 << 2 << "quorix-cli: bad value for --mqtt: h:0";
    QTest::newRow("bridge: value missing")
        << cli << QStringList{"--port=PORT", "bridge", "--mqtt=h", "--period"} << 2
        << "quorix-cli: --period needs a value";

    QTest::newRow("sim --version") << sim << QStringList{"--version"} << 0 << "quorix-sim " + version;
    QTest::newRow("sim --help") << sim << QStringList{"--help"} << 0 << "Usage: quorix-sim [options]";
    QTest::newRow("sim unknown option")
        << sim << QStringList{"--fast"} << 2 << "quorix-sim: unknown option --fast";
    QTest::newRow("sim single-dash word")
        << sim << QStringList{"-fast"} << 2 << "quorix-sim: unknown option -fast";
    QTest::newRow("sim bad value after '='")
        << sim << QStringList{"--devices=0"} << 2 << "quorix-sim: invalid value for --devices: \"0\"";
    QTest::newRow("sim flag given a value")
        << sim << QStringList{"--adapter-echo=1"} << 2 << "quorix-sim: --adapter-echo takes no value";
    QTest::newRow("sim value missing")
        << sim << QStringList{"--seed=3", "--baud"} << 2 << "quorix-sim: --baud needs a value";
}

void tst_toolArguments::commandLines()
{
    QFETCH(QString, tool);
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, said);
    args.replaceInStrings("PORT", m_bus->portPath());
    QProcess process;
    process.start(tool, args);
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
    const QString err = QString::fromLocal8Bit(process.readAllStandardError());
    QVERIFY2(process.exitCode() == code, qPrintable(err));
    if (code != 0)
        QCOMPARE(err.section('\n', 0, 0), said);
    else if (said.isEmpty() || said.endsWith('\n'))
        QCOMPARE(out, said);
    else
        QVERIFY2(out.startsWith(said), qPrintable(out));
}

// What the tool refuses before anything goes on the line, and what it says when a read, a port or
// a file lets it down. "PORT" stands for the bus, "DIR/" for a scratch folder holding FIFO (a named
// pipe) and BIG (5000 bytes). `fault`: "silent" or "corrupt" (every answer of 2 with a wrong CRC),
// or "held" (another quorix-cli polls the port; the simulator, which keeps the port's terminal
// open, may be named beside it). `said` is a pattern for the first line of the error stream
// (standard output on success); `heard` whether controller 2 received a write.
void tst_toolArguments::refusalsAndMessages_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("said");
    QTest::addColumn<bool>("heard");
    const QStringList write{"--port=PORT", "write", "2"};
    const QString force = "^quorix-cli: writing register %1 \\(%2\\) changes the controller itself: add --force$";
    const QString range = "^quorix-cli: bad value %1 for register %2 \\(%3: %4 to %5\\)$";

    QTest::newRow("factory reset without --force") << write + QStringList{"0x2000", "27451"} << "" << 2
                                                   << force.arg("0x2000", "factory reset") << false;
    QTest::newRow("device command without --force") << write + QStringList{"8194", "1"} << "" << 2
                                                    << force.arg("0x2002", "device command") << false;
    QTest::newRow("address without --force") << write + QStringList{"0x301C", "7"} << "" << 2
                                             << force.arg("0x301C", "bus address") << false;
    QTest::newRow("address beyond the scan, forced")
        << write + QStringList{"0x301C", "16", "--force"} << "" << 2 << range.arg("16", "0x301C", "bus address", "1", "15")
        << false;
    QTest::newRow("baud index beyond the list, forced")
        << write + QStringList{"0x301E", "7", "--force"} << "" << 2
        << range.arg("7", "0x301E", "baud rate index", "0", "6") << false;
    QTest::newRow("baud index forced") << write + QStringList{"0x301E", "0", "--force"} << "" << 0 << "^$" << true;
    QTest::newRow("setpoint of 1e30") << write + QStringList{"0x303E", "1e30", "--float"} << "" << 2
                                      << range.arg("1e30", "0x303E", "setpoint", "0", "999999") << false;
    QTest::newRow("negative cumulative setpoint") << write + QStringList{"0x3042", "-1", "--float"} << "" << 2
                                                  << range.arg("-1", "0x3042", "setpoint", "0", "999999") << false;
    QTest::newRow("highest setpoint") << write + QStringList{"0x303E", "999999", "--float"} << "" << 0 << "^$"
                                      << true;
    QTest::newRow("switch set to 2") << write + QStringList{"0x300A", "2"} << "" << 2
                                     << range.arg("2", "0x300A", "switch", "0", "1") << false;
    QTest::newRow("fraction for a whole-number parameter")
        << write + QStringList{"0x3008", "1.5", "--float"} << "" << 2
        << "^quorix-cli: bad value 1.5 for register 0x3008 \\(parameter: a whole number\\)$" << false;
    QTest::newRow("negative gain") << write + QStringList{"0x3026", "-0.5", "--float"} << "" << 2
                                   << range.arg("-0.5", "0x3026", "parameter", "0", "2147483647") << false;

    QTest::newRow("poll with a header")
        << QStringList{"--port=PORT", "poll", "2", "--count", "1", "--header"} << "" << 0
        << "^time,flow_sccm,total_L,temperature_C,pressure_kPa\n[-0-9T:.]+,[-0-9.]+,[-0-9.]+,[-0-9.]+,[-0-9.]+\n$"
        << false;
    QTest::newRow("monitor of a silent controller")
        << QStringList{"--port=PORT", "--timeout=100", "monitor", "2", "--count", "1"} << "silent" << 1
        << "^quorix-cli: 4 of 4 reads failed: 0 answered, 1 timeout, 0 unsound, 3 not sent$" << false;
    QTest::newRow("poll of a controller with bad CRCs")
        << QStringList{"--port=PORT", "--timeout=100", "poll", "2", "--count", "1"} << "corrupt" << 1
        << "^quorix-cli: 4 of 4 reads of device 2 failed: 0 answered, 0 timeout, 1 unsound, 3 not sent$" << false;
    QTest::newRow("port that does not exist")
        << QStringList{"--port=DIR/ttyGone", "scan"} << "" << 2
        << "^quorix-cli: cannot open port .*/ttyGone: .*/ttyGone does not exist \\(adapter unplugged" << false;
    QTest::newRow("port held by another program")
        << QStringList{"--port=PORT", "scan"} << "held" << 2
        << "^quorix-cli: cannot open port .*: another program holds the port: (.*, )?quorix-cli \\(pid \\d+\\)(, |$)" << false;

    const QStringList bridge{"--port=PORT", "bridge", "--mqtt=127.0.0.1:1", "--user=u"};
    QTest::newRow("bridge password from a device")
        << bridge + QStringList{"--password-file=/dev/zero"} << "" << 2
        << "^quorix-cli: password file: /dev/zero is not a regular file$" << false;
    QTest::newRow("bridge password from a named pipe")
        << bridge + QStringList{"--password-file=DIR/FIFO"} << "" << 2
        << "^quorix-cli: password file: .*/FIFO is not a regular file$" << false;
    QTest::newRow("bridge password file too large")
        << bridge + QStringList{"--password-file=DIR/BIG"} << "" << 2
        << "^quorix-cli: password file: .*/BIG is larger than 4096 bytes$" << false;
}

void tst_toolArguments::refusalsAndMessages()
{
    QFETCH(QStringList, args);
    QFETCH(QString, fault);
    QFETCH(int, code);
    QFETCH(QString, said);
    QFETCH(bool, heard);
    const QString scratch = m_dir.filePath("scratch");
    QVERIFY(QDir().mkpath(scratch));
    QFile big(scratch + "/BIG");
    QVERIFY(big.open(QIODevice::WriteOnly));
    big.write(QByteArray(5000, 'x'));
    big.close();
    if (!QFileInfo::exists(scratch + "/FIFO"))
        QCOMPARE(::mkfifo(QFile::encodeName(scratch + "/FIFO").constData(), 0600), 0);
    args.replaceInStrings("PORT", m_bus->portPath()).replaceInStrings("DIR", scratch);

    SimFaults faults;
    faults.silent = fault == "silent";
    faults.corruptFraction = fault == "corrupt" ? 1.0 : 0.0;
    m_bus->setFaults(2, faults);
    QProcess holder;
    if (fault == "held") {
        // Holds the port until killed; its first line says it has it open.
        holder.start(QStringLiteral(QUORIX_CLI_PATH),
                     {"--port", m_bus->portPath(), "poll", "5", "--count", "0", "--interval", "50"});
        QVERIFY(holder.waitForReadyRead(30000));
    }
    m_bus->clearReceivedFrames();

    QProcess process;
    process.start(QStringLiteral(QUORIX_CLI_PATH), args);
    QVERIFY(process.waitForFinished(30000));
    if (holder.state() != QProcess::NotRunning) {
        holder.kill();
        holder.waitForFinished(30000);
    }
    m_bus->clearFaults();
    const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
    const QString err = QString::fromLocal8Bit(process.readAllStandardError());
    QVERIFY2(process.exitCode() == code, qPrintable(err));
    const QString shown = code == 0 ? out : err.section('\n', 0, 0);
    QVERIFY2(QRegularExpression(said).match(shown).hasMatch(), qPrintable(shown));
    bool written = false;
    for (const QByteArray &frame : m_bus->receivedFrames())
        written = written || (frame.size() > 1 && frame.at(0) == 2 && frame.at(1) == 0x06);
    QCOMPARE(written, heard);
}

#include "TestRunner.h"

QUORIX_TEST_GUILESS_MAIN(tst_toolArguments)
#include "tst_toolArguments.moc"
