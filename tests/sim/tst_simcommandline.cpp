#include "SimCommandLine.h"
#include "SimExchange.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

// The options of quorix-sim, and the tool's life from first line to signal.
class TestSimCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void validOptions();
    void invalidOptions_data();
    void invalidOptions();
    void toolServesUntilSignalled_data();
    void toolServesUntilSignalled();
};

void TestSimCommandLine::validOptions()
{
    SimCommandLine line;
    QString error;
    QVERIFY2(
        line.parse({"--devices",       "1,3,12",   "--baud",        "9600",   "--turnaround",   "1.5",
                    "--link",          "/tmp/x",   "--seed",        "42",     "--silent",       "3",
                    "--drop",          "3:0.2",    "--corrupt",     "2:0.1",  "--late",         "2:300",
                    "--chunks",        "2:3:5",    "--extra",       "2:AABB", "--noise",        "AABB:500",
                    "--late-register", "2:0x1000", "--stray",       "1:00FE", "--sound-before", "1",
                    "--endless",       "12",       "--lose-writes", "3:4",    "--cut",          "5:6",
                    "--twin",          "3",        "--adapter-echo", "--lag",      "2:3.5",
                    "--stuck",         "5"},
                   &error),
        qPrintable(error));
    const QList<quint8> chosen = QList<quint8>() << 1 << 3 << 12;
    QCOMPARE(line.bus.addresses, chosen);
    QCOMPARE(line.bus.baud, 9600);
    QCOMPARE(line.bus.turnaroundMs, 1.5);
    QCOMPARE(line.bus.linkPath, QString("/tmp/x"));
    QCOMPARE(line.bus.seed, 42u);
    QVERIFY(line.faults[3].silent);
    QCOMPARE(line.faults[3].dropFraction, 0.2);
    QCOMPARE(line.faults[2].corruptFraction, 0.1);
    QCOMPARE(line.faults[2].lateMs, 300); // several faults of one address add up
    QCOMPARE(line.faults[2].chunkSize, 3);
    QCOMPARE(line.faults[2].chunkGapMs, 5);
    QCOMPARE(line.faults[2].extraBytes, QByteArray::fromHex("AABB"));
    QCOMPARE(line.noiseBytes, QByteArray::fromHex("AABB"));
    QCOMPARE(line.noiseIntervalMs, 500);
    QCOMPARE(line.faults[2].lateRegister, quint16(0x1000));
    QCOMPARE(line.faults[1].strayBefore, QByteArray::fromHex("00FE"));
    QVERIFY(line.faults[1].soundFrameBeforeAnswer);
    QVERIFY(line.faults[12].endlessStream);
    QCOMPARE(line.faults[3].lostWrites, 4);
    QCOMPARE(line.faults[5].cutAfterBytes, 6);
    QVERIFY(line.faults[3].twin);
    QVERIFY(line.bus.adapterEchoes);
    QVERIFY(!line.faults[2].twin);
    QCOMPARE(line.faults[2].lagSeconds, 3.5);
    QVERIFY(line.faults[5].stuck);
    QVERIFY(!line.faults[2].stuck);
    const QString summary = line.summary("/dev/pts/9");
    QVERIFY(summary.contains("devices 1,3,12 on /dev/pts/9"));
    for (const char *said : {"reads of 0x1000 late 300 ms", "stray 00FE", "sound frame before the answer",
                             "endless stream", "4 writes lost", "5: cut after 6 bytes",
                             "two controllers at this address", "the adapter echoes every byte sent",
                             "flow lags 3.5 s", "5: cut after 6 bytes, valve stuck"})
        QVERIFY2(summary.contains(said), qPrintable(summary));
    for (const char *option : {"--late-register", "--stray", "--sound-before", "--endless", "--lose-writes",
                               "--cut", "--twin", "--adapter-echo", "--lag", "--stuck"})
        QVERIFY2(SimCommandLine::usage().contains(option), option);

    SimCommandLine defaults;
    QVERIFY(defaults.parse({}, &error));
    const QList<quint8> standard = QList<quint8>() << 1 << 2 << 3;
    QCOMPARE(defaults.bus.addresses, standard);
    QCOMPARE(defaults.bus.baud, 0);
    QCOMPARE(defaults.bus.turnaroundMs, 2.0);
    QVERIFY(!defaults.bus.adapterEchoes);
}

void TestSimCommandLine::invalidOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error");
    QTest::newRow("address 0") << QStringList{"--devices", "0,1"} << "invalid value for --devices: \"0,1\"";
    QTest::newRow("address 248") << QStringList{"--silent", "248"} << "invalid value for --silent: \"248\"";
    QTest::newRow("negative baud") << QStringList{"--baud", "-1"} << "invalid value for --baud: \"-1\"";
    QTest::newRow("fraction above 1")
        << QStringList{"--drop", "2:1.5"} << "invalid value for --drop: \"2:1.5\"";
    QTest::newRow("fraction missing")
        << QStringList{"--corrupt", "2"} << "invalid value for --corrupt: \"2\"";
    QTest::newRow("chunk of 0 bytes")
        << QStringList{"--chunks", "2:0:5"} << "invalid value for --chunks: \"2:0:5\"";
    QTest::newRow("odd hex digits") << QStringList{"--extra", "2:ABC"}
                                    << "invalid value for --extra: \"2:ABC\"";
    QTest::newRow("noise without interval")
        << QStringList{"--noise", "AABB"} << "invalid value for --noise: \"AABB\"";
    QTest::newRow("register beyond 16 bits")
        << QStringList{"--late-register", "2:0x10000"} << "invalid value for --late-register: \"2:0x10000\"";
    QTest::newRow("no write to lose")
        << QStringList{"--lose-writes", "2:0"} << "invalid value for --lose-writes: \"2:0\"";
    QTest::newRow("cut before the first byte")
        << QStringList{"--cut", "2:0"} << "invalid value for --cut: \"2:0\"";
    QTest::newRow("lag of 0") << QStringList{"--lag", "2:0"} << "invalid value for --lag: \"2:0\"";
    QTest::newRow("endless lag") << QStringList{"--lag", "2:inf"} << "invalid value for --lag: \"2:inf\"";
    QTest::newRow("value missing") << QStringList{"--baud"} << "--baud needs a value";
    QTest::newRow("unknown option") << QStringList{"--fast", "1"} << "unknown option --fast";
    QTest::newRow("stray argument") << QStringList{"9600"} << "unexpected argument \"9600\"";
}

void TestSimCommandLine::invalidOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);
    SimCommandLine line;
    QString message;
    QVERIFY(!line.parse(arguments, &message));
    QCOMPARE(message, error);
}

void TestSimCommandLine::toolServesUntilSignalled_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGTERM") << int(SIGTERM);
}

void TestSimCommandLine::toolServesUntilSignalled()
{
    QFETCH(int, signal);
    QTemporaryDir dir;
    const QString link = dir.filePath("ttyBUS");
    QProcess tool;
    tool.start(QUORIX_SIM_BINARY, {"--devices", "4,7", "--link", link, "--silent", "4"});
    QVERIFY(tool.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(tool.canReadLine() || tool.waitForReadyRead(100), 10000);
    QCOMPARE(QString::fromLocal8Bit(tool.readLine()).trimmed(), link);
    QTRY_VERIFY(tool.canReadLine() || tool.waitForReadyRead(100));
    QVERIFY(tool.readLine().contains("devices 4,7"));

    {
        auto port = SimExchange::openPort(link);
        QVERIFY(port);
        QCOMPARE(SimExchange::answerBefore(*port, SerialPort::buildEchoFrame(4), 7), QByteArray(""));
    }
    ::kill(pid_t(tool.processId()), signal);
    QVERIFY(tool.waitForFinished(10000));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());
}

#include "TestRunner.h"

QUORIX_TEST_GUILESS_MAIN(TestSimCommandLine)
#include "tst_simcommandline.moc"
