// quorix-cli's bridge keeping a data file of one controller on the simulated bus, without a broker:
// the file holds the simulator's values at the times it served them; a bridge killed mid-way
// leaves its journal, which its next start turns into the file and says so.

#include "DataFile.h"
#include "Reading.h"
#include "RegisterMap.h"
#include "SimBus.h"

#include <QDir>
#include <QProcess>
#include <QtTest>
#include <csignal>
#include <memory>

namespace {

QByteArray contentsOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The values controller 2 served for a type, with when.
QVector<QPair<float, qint64>> served(const SimBus &bus, int type)
{
    static const quint16 registers[] = {RegisterMap::InstantFlow, RegisterMap::CumulativeFlow,
                                        RegisterMap::Temperature, RegisterMap::Pressure};
    QVector<QPair<float, qint64>> all;
    for (const SimBus::Served &answer : bus.servedWithTimes(2, registers[type - 1])) {
        const QByteArray reply = QByteArray("\x02\x03\x04", 3) + answer.dataBytes + QByteArray(2, '\0');
        all.append({float(Reading::fromReply(type, 2, reply, {}).value), answer.servedNs});
    }
    return all;
}

} // namespace

class tst_bridgeRecording : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void recordsServedValuesAtTheirReadTimes();
    void killedRecordingIsRecoveredAtTheNextStart();

private:
    void startBridge(QProcess &bridge, const QString &file, const QString &duration);
    bool waitForLog(QProcess &bridge, QString &log, const QString &part);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SimBus> m_bus;
    QProcess m_bridge;
};

void tst_bridgeRecording::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    SimBus::Options options;
    options.addresses = {2};
    options.linkPath = m_dir->filePath(QStringLiteral("ttyQUORIX"));
    m_bus = std::make_unique<SimBus>(options);
    QVERIFY(m_bus->start());
}

void tst_bridgeRecording::cleanup()
{
    if (m_bridge.state() != QProcess::NotRunning) {
        m_bridge.kill();
        m_bridge.waitForFinished(5000);
    }
    m_bus->stop();
}

void tst_bridgeRecording::startBridge(QProcess &bridge, const QString &file, const QString &duration)
{
    bridge.setProcessChannelMode(QProcess::SeparateChannels);
    bridge.start(QStringLiteral(QUORIX_CLI_PATH),
                 {"--port", m_bus->portPath(), "--timeout", "250", "bridge", "--period", "200", "--record", file,
                  "--record-device", "2", "--types", "flow,temperature", "--duration", duration, "--journal-dir",
                  m_dir->filePath(QStringLiteral("journals"))});
    QVERIFY(bridge.waitForStarted(5000));
}

bool tst_bridgeRecording::waitForLog(QProcess &bridge, QString &log, const QString &part)
{
    return QTest::qWaitFor(
        [&] {
            log += QString::fromUtf8(bridge.readAllStandardError());
            return log.contains(part);
        },
        30000);
}

void tst_bridgeRecording::recordsServedValuesAtTheirReadTimes()
{
    const QString file = m_dir->filePath(QStringLiteral("bench.csv"));
    startBridge(m_bridge, file, QStringLiteral("3s"));
    QString log;
    QVERIFY2(waitForLog(m_bridge, log, QStringLiteral("recording saved to ") + file), qPrintable(log));
    QVERIFY(log.contains(QStringLiteral("recording device 2 into ") + file + QStringLiteral(" for 3 s")));

    const QByteArray text = contentsOf(file);
    QCOMPARE(QString::fromLatin1(text).split(QLatin1Char('\n')).filter(QStringLiteral("type")),
             (QStringList{"type1", "type3"}));
    const DataFile::Content content = DataFile::read(QString::fromLatin1(text));
    QCOMPARE(content.skippedLines, 0);
    for (int type : {1, 3}) {
        const QVector<QPointF> &section = content.sections[type - 1];
        const QVector<QPair<float, qint64>> answers = served(*m_bus, type);
        QVERIFY(section.size() >= 10);
        // The recording's end is a timer: on a loaded machine it may take a late sample along.
        QVERIFY2(section.first().x() < 1.0 && section.last().x() <= 3.6,
                 qPrintable(QStringLiteral("%1 to %2 s").arg(section.first().x()).arg(section.last().x())));
        // Each sample an answer, in order, spaced as the answers were served.
        int first = 0;
        while (first < answers.size() && answers[first].first != float(section.first().y()))
            ++first;
        int next = first;
        for (const QPointF &sample : section) {
            while (next < answers.size() && answers[next].first != float(sample.y()))
                ++next;
            QVERIFY2(next < answers.size(), qPrintable(QStringLiteral("%1 never served").arg(sample.y())));
            // A value served more than once names no single answer.
            int sameValue = 0;
            for (const auto &answer : answers)
                sameValue += answer.first == answers[next].first ? 1 : 0;
            const double servedS = (answers[next].second - answers[first].second) / 1e9;
            QVERIFY2(sameValue > 1 || qAbs(sample.x() - section.first().x() - servedS) < 0.1,
                     qPrintable(QStringLiteral("%1 s against %2 s").arg(sample.x()).arg(servedS)));
            ++next;
        }
    }
    QCOMPARE(QDir(m_dir->filePath(QStringLiteral("journals"))).entryList(QDir::Files), QStringList());
    ::kill(pid_t(m_bridge.processId()), SIGTERM);
    QVERIFY(m_bridge.waitForFinished(10000));
    QCOMPARE(m_bridge.exitCode(), 0);
}

void tst_bridgeRecording::killedRecordingIsRecoveredAtTheNextStart()
{
    const QString file = m_dir->filePath(QStringLiteral("night.csv"));
    startBridge(m_bridge, file, QStringLiteral("2h"));
    QString log;
    QVERIFY2(waitForLog(m_bridge, log, QStringLiteral("recording device 2")), qPrintable(log));
    // Samples reach the journal within a flush; a few seconds' worth, then the kill.
    const QDir journals(m_dir->filePath(QStringLiteral("journals")));
    QTRY_VERIFY_WITH_TIMEOUT(!journals.entryList({"*.journal"}).isEmpty() &&
                                 contentsOf(journals.filePath(journals.entryList({"*.journal"}).first()))
                                         .count("\n1,") >= 8,
                             30000);
    m_bridge.kill();
    QVERIFY(m_bridge.waitForFinished(5000));
    QCOMPARE(contentsOf(file), QByteArray());

    QProcess next;
    startBridge(next, m_dir->filePath(QStringLiteral("next.csv")), QStringLiteral("1h"));
    QString nextLog;
    const bool recovered = waitForLog(next, nextLog, QStringLiteral("recovered into ") + file);
    next.kill();
    next.waitForFinished(5000);
    QVERIFY2(recovered, qPrintable(nextLog));
    const DataFile::Content content = DataFile::read(QString::fromLatin1(contentsOf(file)));
    QVERIFY(content.sections[0].size() >= 8);
    QVERIFY(content.sections[2].size() >= 7);
    QVERIFY(content.sections[1].isEmpty() && content.sections[3].isEmpty());
    QCOMPARE(content.skippedLines, 0);
}

#include "TestRunner.h"

QUORIX_TEST_MAIN(tst_bridgeRecording)
#include "tst_bridgeRecording.moc"
