// quorix-cli ramp, the real program against the simulated bus: the writes it prints, what the
// controller is left holding and the exit code, also when it is stopped half-way.

#include "SimBus.h"
#include "SimController.h"

#include <QDateTime>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

class RampCliTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void rampEndsExactlyAtTheTarget_data();
    void rampEndsExactlyAtTheTarget();
    void signalMidRampLeavesZero_data();
    void signalMidRampLeavesZero();
    void unconfirmedWriteStopsTheFlow();
    void badUsageTouchesNothing_data();
    void badUsageTouchesNothing();

private:
    void start(QProcess &tool, const QStringList &verb);

    QTemporaryDir m_dir;
    std::unique_ptr<SimBus> m_bus;
};

namespace {

constexpr quint8 kAddress = 3;

// Each printed write as "value,yes|no", and the times they were printed with.
QStringList writesOf(const QByteArray &out, QList<QDateTime> *times = nullptr)
{
    QStringList writes;
    for (const QString &line : QString::fromUtf8(out).split('\n', Qt::SkipEmptyParts)) {
        const QStringList fields = line.split(',');
        if (fields.size() != 3)
            return {"unreadable line: " + line};
        if (times)
            times->append(QDateTime::fromString(fields[0], Qt::ISODateWithMs));
        writes << fields[1] + ',' + fields[2];
    }
    return writes;
}

} // namespace

void RampCliTest::initTestCase()
{
    SimBus::Options options;
    options.addresses = {kAddress};
    options.linkPath = m_dir.filePath("tty");
    m_bus = std::make_unique<SimBus>(options);
    QVERIFY(m_bus->start());
}

void RampCliTest::init()
{
    m_bus->clearFaults();
    m_bus->clearReceivedFrames();
}

void RampCliTest::start(QProcess &tool, const QStringList &verb)
{
    tool.start(QUORIX_CLI_PATH, QStringList{"--port", m_bus->portPath(), "--timeout", "300"} + verb);
    QVERIFY(tool.waitForStarted());
}

// From the setpoint the controller holds, not from 0; a step never larger than the rate; one write
// a second at most.
void RampCliTest::rampEndsExactlyAtTheTarget_data()
{
    QTest::addColumn<float>("held");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("writes");
    QTest::newRow("rising") << 5.0f << QStringList{"17.5", "--rate", "5"}
                            << QStringList{"10,yes", "15,yes", "17.5,yes"};
    QTest::newRow("falling") << 20.0f << QStringList{"7.5", "--rate=10"} << QStringList{"10,yes", "7.5,yes"};
    QTest::newRow("0 at once") << 400.0f << QStringList{"0", "--rate", "1"} << QStringList{"0,yes"};
}

void RampCliTest::rampEndsExactlyAtTheTarget()
{
    QFETCH(float, held);
    QFETCH(QStringList, args);
    QFETCH(QStringList, writes);
    m_bus->setFloatRegister(kAddress, SimRegister::FlowSetpoint, held);
    QProcess tool;
    start(tool, QStringList{"ramp", QString::number(kAddress)} + args);
    QVERIFY(tool.waitForFinished(30000));
    const QByteArray err = tool.readAllStandardError();
    QCOMPARE(tool.exitCode(), 0);
    QVERIFY2(err.isEmpty(), err.constData());
    QList<QDateTime> times;
    QCOMPARE(writesOf(tool.readAllStandardOutput(), &times), writes);
    QCOMPARE(m_bus->floatRegister(kAddress, SimRegister::FlowSetpoint), args[0].toFloat());
    for (int i = 1; i < times.size(); ++i)
        QVERIFY2(times[i - 1].msecsTo(times[i]) >= 900, qPrintable(times[i].toString(Qt::ISODateWithMs)));
}

void RampCliTest::signalMidRampLeavesZero_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void RampCliTest::signalMidRampLeavesZero()
{
    QFETCH(int, signal);
    m_bus->setFloatRegister(kAddress, SimRegister::FlowSetpoint, 0.0f);
    QProcess tool;
    start(tool, {"ramp", QString::number(kAddress), "1000", "--rate", "10"});
    QTRY_VERIFY_WITH_TIMEOUT(tool.canReadLine() || tool.waitForReadyRead(100), 10000);
    QCOMPARE(writesOf(tool.readLine()), QStringList{"10,yes"});
    const float halfWay = m_bus->floatRegister(kAddress, SimRegister::FlowSetpoint);
    QVERIFY2(halfWay >= 10.0f && halfWay < 1000.0f, qPrintable(QString::number(halfWay)));
    ::kill(pid_t(tool.processId()), signal);
    QVERIFY(tool.waitForFinished(10000));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 1);
    const QStringList writes = writesOf(tool.readAllStandardOutput());
    QCOMPARE(writes.value(writes.size() - 1), QString("0,yes"));
    QCOMPARE(m_bus->floatRegister(kAddress, SimRegister::FlowSetpoint), 0.0f);
    QVERIFY(tool.readAllStandardError().contains("signal"));
}

// Every try of the first step lost on the line: the ramp gives up on it and shuts the flow.
void RampCliTest::unconfirmedWriteStopsTheFlow()
{
    m_bus->setFloatRegister(kAddress, SimRegister::FlowSetpoint, 50.0f);
    SimFaults faults;
    faults.lostWrites = 3;
    m_bus->setFaults(kAddress, faults);
    QProcess tool;
    start(tool, {"ramp", QString::number(kAddress), "500", "--rate", "20"});
    QVERIFY(tool.waitForFinished(30000));
    QCOMPARE(tool.exitCode(), 1);
    QCOMPARE(writesOf(tool.readAllStandardOutput()), (QStringList{"70,no", "0,yes"}));
    QCOMPARE(m_bus->floatRegister(kAddress, SimRegister::FlowSetpoint), 0.0f);
    QVERIFY(tool.readAllStandardError().contains("did not confirm 70"));
}

void RampCliTest::badUsageTouchesNothing_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("address 0") << QStringList{"0", "5", "--rate", "1"} << "bad device address 0";
    QTest::newRow("address 248") << QStringList{"248", "5", "--rate", "1"} << "bad device address 248";
    QTest::newRow("target above 999999") << QStringList{"3", "1000000", "--rate", "1"} << "bad target 1000000";
    QTest::newRow("rate 0") << QStringList{"3", "5", "--rate", "0"} << "bad rate 0";
    QTest::newRow("no rate") << QStringList{"3", "5"} << "needs --rate";
}

void RampCliTest::badUsageTouchesNothing()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    QProcess tool;
    start(tool, QStringList{"ramp"} + args);
    QVERIFY(tool.waitForFinished(30000));
    QCOMPARE(tool.exitCode(), 2);
    const QString err = QString::fromUtf8(tool.readAllStandardError());
    QVERIFY2(err.contains(message) && err.count('\n') == 1, qPrintable(err));
    QVERIFY(tool.readAllStandardOutput().isEmpty());
    QVERIFY(m_bus->receivedFrames().isEmpty());
}

#include "TestRunner.h"

QUORIX_TEST_GUILESS_MAIN(RampCliTest)
#include "tst_ramp_cli.moc"
