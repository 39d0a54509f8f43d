// The command lines of quorix-cli (with its bridge verb) and quorix-sim, as a shell hands them to
// the real programs: what each prints and its exit code. A refused line names the bad argument on
// the first line of the error stream.

#include "SimBus.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class tst_toolArguments : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void commandLines_data();
    void commandLines();

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
    QTest::newRow("a negative value is no option")
        << cli << QStringList{"--port=PORT", "write", "2", "0x3008", "-5"} << 0 << "";

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

#include "TestRunner.h"

QUORIX_TEST_GUILESS_MAIN(tst_toolArguments)
#include "tst_toolArguments.moc"
