// quorix-cli mix, the real program against the simulated bus: each member's share written and
// confirmed, the plan as one JSON line, every member at 0 when one share is not confirmed, and a
// command line refused with nothing on the wire.

#include "SerialPort.h"
#include "SimBus.h"
#include "SimController.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class MixCliTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void writesEveryShareOnce_data();
    void writesEveryShareOnce();
    void refusedCommandLinesTouchNothing_data();
    void refusedCommandLinesTouchNothing();

private:
    void run(QProcess &tool, const QStringList &verb, int lostOn3 = 0);

    QTemporaryDir m_dir;
    std::unique_ptr<SimBus> m_bus;
};

namespace {

const QString kMixMembers = QStringLiteral("1:50:1000,2:30:1000,3:20:150");

QList<float> mixHeld(const SimBus &bus)
{
    return {bus.floatRegister(1, SimRegister::FlowSetpoint), bus.floatRegister(2, SimRegister::FlowSetpoint),
            bus.floatRegister(3, SimRegister::FlowSetpoint)};
}

} // namespace

void MixCliTest::initTestCase()
{
    SimBus::Options options;
    options.addresses = {1, 2, 3};
    options.linkPath = m_dir.filePath("tty");
    m_bus = std::make_unique<SimBus>(options);
    QVERIFY(m_bus->start());
}

void MixCliTest::run(QProcess &tool, const QStringList &verb, int lostOn3)
{
    m_bus->clearFaults();
    SimFaults lost;
    lost.lostWrites = lostOn3;
    m_bus->setFaults(3, lost);
    m_bus->clearReceivedFrames();
    for (quint8 address : {1, 2, 3}) {
        m_bus->setFloatRegister(address, SimRegister::FlowSetpoint, 7.0f);
        m_bus->setIntRegister(address, SimRegister::Mode, 0);
    }
    tool.start(QUORIX_CLI_PATH, QStringList{"--port", m_bus->portPath(), "--timeout", "300", "mix"} + verb);
    QVERIFY(tool.waitForStarted());
}

// The plan's line names what limited it; the controllers hold the plan, or 0 each when one share
// was never confirmed.
void MixCliTest::writesEveryShareOnce_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("lostOn3"); // writes of controller 3 lost on the line
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QList<float>>("held");
    QTest::addColumn<QString>("limit");
    QTest::newRow("keep ratio cuts the total")
        << QStringList{kMixMembers, "--total", "1000"} << 0 << 0 << QList<float>{375, 225, 150}
        << "total limited by device 3: at most 750 sccm";
    QTest::newRow("keep total bends the composition")
        << QStringList{kMixMembers, "--total=1000", "--policy", "total"} << 0 << 0
        << QList<float>{531.25f, 318.75f, 150}
        << "device 3 at its full scale, composition now: device 1 53.1%, device 2 31.9%, device 3 15.0%";
    QTest::newRow("a share unconfirmed: every member to 0")
        << QStringList{"--total", "500", kMixMembers} << 3 << 1 << QList<float>{0, 0, 0} << "";
}

void MixCliTest::writesEveryShareOnce()
{
    QFETCH(QStringList, args);
    QFETCH(int, lostOn3);
    QFETCH(int, exitCode);
    QFETCH(QList<float>, held);
    QFETCH(QString, limit);
    QProcess tool;
    run(tool, args, lostOn3);
    QVERIFY(tool.waitForFinished(30000));
    const QString err = QString::fromUtf8(tool.readAllStandardError());
    QCOMPARE(tool.exitCode(), exitCode);
    QCOMPARE(mixHeld(*m_bus), held);
    const QList<QByteArray> lines = tool.readAllStandardOutput().split('\n');
    QCOMPARE(lines.size(), 2); // one line and its end
    const QJsonObject plan = QJsonDocument::fromJson(lines[0]).object();
    QCOMPARE(plan.value("limit").toString(), limit);
    QCOMPARE(plan.value("confirmed").toBool(), exitCode == 0);
    const QJsonArray members = plan.value("members").toArray();
    QCOMPARE(members.size(), 3);
    QCOMPARE(members[2].toObject().value("confirmed").toBool(), exitCode == 0);
    if (exitCode == 0) {
        QVERIFY2(err.isEmpty(), qPrintable(err));
        QCOMPARE(plan.value("limited_by").toArray(), QJsonArray{3});
        QCOMPARE(members[0].toObject().value("setpoint").toDouble(), double(held[0]));
        QCOMPARE(m_bus->receivedFrames().count(SerialPort::buildWriteFloatFrame(1, SimRegister::FlowSetpoint, held[0])), 1);
    } else {
        QVERIFY2(err.contains("device 3 did not confirm 100 after 3 tries; every member set to 0"), qPrintable(err));
        QCOMPARE(plan.value("zeroed").toBool(), true);
    }
}

void MixCliTest::refusedCommandLinesTouchNothing_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("no total") << QStringList{kMixMembers} << "mix needs --total SCCM";
    QTest::newRow("a member of two fields") << QStringList{"1:50:1000,2:50", "--total", "5"} << "bad member \"2:50\"";
    QTest::newRow("a fraction that is no number") << QStringList{"1:half:1000,2:50:1000", "--total", "5"}
                                                  << "bad member \"1:half:1000\"";
    QTest::newRow("address 248") << QStringList{"1:50:1000,248:50:1000", "--total", "5"} << "bad device address 248";
    QTest::newRow("fractions short of 100") << QStringList{"1:50:1000,2:49.98:1000", "--total", "5"}
                                            << "the fractions sum to 99.98%, not 100%";
    QTest::newRow("one member") << QStringList{"1:100:1000", "--total", "5"} << "a mix takes 2 to 4 members, not 1";
    QTest::newRow("a member twice") << QStringList{"1:50:1000,1:50:1000", "--total", "5"} << "device 1 is a member twice";
    QTest::newRow("no full scale") << QStringList{"1:50:1000,2:50:0", "--total", "5"}
                                   << "the full scale of device 2 must be above 0";
    QTest::newRow("negative total") << QStringList{kMixMembers, "--total", "-1"} << "bad total -1";
    QTest::newRow("unknown policy") << QStringList{kMixMembers, "--total", "5", "--policy", "both"} << "bad policy both";
    QTest::newRow("two lists") << QStringList{kMixMembers, kMixMembers, "--total", "5"} << "mix takes 1 argument";
}

void MixCliTest::refusedCommandLinesTouchNothing()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    QProcess tool;
    run(tool, args);
    QVERIFY(tool.waitForFinished(30000));
    QCOMPARE(tool.exitCode(), 2);
    const QString err = QString::fromUtf8(tool.readAllStandardError());
    QVERIFY2(err.startsWith("quorix-cli: " + message) && err.count('\n') == 1, qPrintable(err));
    QVERIFY(tool.readAllStandardOutput().isEmpty());
    QVERIFY(m_bus->receivedFrames().isEmpty());
}

#include "TestRunner.h"

QUORIX_TEST_GUILESS_MAIN(MixCliTest)
#include "tst_mix_cli.moc"
