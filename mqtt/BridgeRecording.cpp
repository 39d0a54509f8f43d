#include "BridgeRecording.h"

#include "BenchModel.h"
#include "BridgeLog.h"
#include "JournalFiles.h"
#include "UnfinishedJournals.h"

#include <QRegularExpression>

BridgeRecording::BridgeRecording(const Plan &plan, BenchModel &model, Log log, QObject *parent)
    : QObject(parent), m_plan(plan), m_log(std::move(log)), m_recorder(plan.device)
{
    m_recorder.setJournalFolder(plan.journalFolder);
    m_recorder.setOnline(model.isOnline(quint8(plan.device)));
    connect(&model, &BenchModel::readingChanged, this, [this](const Reading &reading) {
        if (reading.deviceId == m_plan.device)
            m_recorder.take(reading);
    });
    connect(&model, &BenchModel::stateChanged, this, [this](quint8 address, ControllerRecord::State state) {
        if (address != m_plan.device)
            return;
        const bool online = state == ControllerRecord::State::Online;
        m_recorder.setOnline(online);
        // Once only: the first time the controller is polled.
        if (online && m_recorder.state() == Recorder::State::Idle && m_recorder.fileName().isEmpty() &&
            m_recorder.schedule(QDateTime::currentDateTime(), m_plan.durationSeconds, m_plan.types, m_plan.file))
            m_log(QStringLiteral("recording device %1 into %2 for %3 s")
                      .arg(m_plan.device)
                      .arg(m_plan.file)
                      .arg(m_plan.durationSeconds));
    });
    connect(&m_recorder, &Recorder::saved, this,
            [this](const QString &file, const RecordingFile::Outcome &outcome, const Recorder::Gaps &gaps) {
                QString line = outcome.error.isEmpty()
                                   ? QStringLiteral("recording saved to %1").arg(file)
                                   : QStringLiteral("recording not saved to %1 (%2)").arg(file, outcome.error);
                if (!outcome.error.isEmpty() && outcome.fallbackError.isEmpty())
                    line += QStringLiteral("; saved to %1 instead").arg(outcome.fallback);
                if (gaps.any())
                    line += QStringLiteral("; device %1 dropped out %2 times, %3 s without data")
                                .arg(m_plan.device)
                                .arg(gaps.drops)
                                .arg((gaps.silentMs + 500) / 1000);
                m_log(line);
            });
    connect(&m_recorder, &Recorder::journalFailed, this,
            [this](const QString &journal, const QString &reason) {
                m_log(BridgeLog::failure(
                    QStringLiteral("recording journal %1 cannot be written (%2); samples kept in memory")
                        .arg(journal, reason)));
            });
    connect(&m_recorder, &Recorder::journalResumed, this, [this](const QString &journal, qint64 dropped) {
        m_log(QStringLiteral("recording journal %1 written again; %2 samples dropped meanwhile").arg(journal).arg(dropped));
    });
}

bool BridgeRecording::parseTypes(const QString &text, Recorder::Selected *types)
{
    static const QStringList names{"flow", "total", "temperature", "pressure"};
    Recorder::Selected chosen{};
    for (const QString &name : text.split(QLatin1Char(','))) {
        const int type = int(names.indexOf(name.trimmed()));
        if (type < 0)
            return false;
        chosen[type] = true;
    }
    *types = chosen;
    return true;
}

bool BridgeRecording::parseDuration(const QString &text, int *seconds)
{
    static const QRegularExpression form(QStringLiteral("^(?:(\\d+)h)?(?:(\\d+)m)?(?:(\\d+)s?)?$"));
    const QRegularExpressionMatch match = form.match(text);
    if (text.isEmpty() || !match.hasMatch())
        return false;
    const qint64 total = match.captured(1).toLongLong() * 3600 + match.captured(2).toLongLong() * 60 +
                         match.captured(3).toLongLong();
    if (total <= 0 || total * 1000 > Recorder::MaxTimerMs)
        return false;
    *seconds = int(total);
    return true;
}

void BridgeRecording::recoverLeftovers(const QString &folder, const Log &log)
{
    const QString where = folder.isEmpty() ? JournalFiles::folder() : folder;
    const QVector<UnfinishedJournals::Journal> found = UnfinishedJournals::find(where);
    for (const UnfinishedJournals::Result &result : UnfinishedJournals::convert(found, QDateTime::currentDateTime())) {
        if (result.dataFile.isEmpty())
            log(BridgeLog::failure(QStringLiteral("unfinished recording %1 not recovered: %2")
                                       .arg(result.journal, result.error)));
        else
            log(QStringLiteral("unfinished recording %1 recovered into %2").arg(result.journal, result.dataFile));
    }
}
