#include "Recorder.h"

#include "DataFile.h"
#include "JournalConversion.h"
#include "JournalFiles.h"
#include "PrintLine.h"

#include <QDebug>
#include <QThread>

namespace {
// The writing thread's result, read on the recorder's thread once it is done.
struct LockedOutcome
{
    std::mutex lock;
    RecordingFile::Outcome value;
};

// The end of a recording, on any thread: the journal finished, its point lines printed and its data
// file saved. A recording that never got its journal saves the section lines alone.
RecordingFile::Outcome saveRecording(JournalWriter *journal, const Recorder::Selected &selected,
                                     const QString &target, const QString &fallback)
{
    if (!journal)
        return RecordingFile::saveOrFallBack(target, fallback, DataFile::write({}, selected));
    journal->finish();
    // Recordings ending together (fifteen controllers of one day) are read back one at a time:
    // as fast on a machine of few cores, with one set of buffers, and a core left to the windows.
    static std::mutex oneAtATime;
    const std::lock_guard<std::mutex> hold(oneAtATime);
    return JournalConversion::saveFinished(*journal, selected, target, fallback);
}
} // namespace

Recorder::Recorder(int deviceId, QObject *parent)
    : QObject(parent), m_deviceId(deviceId), m_wall([] { return QDateTime::currentDateTime(); }),
      m_monotonic(&ReadTime::monotonicNowNs)
{
    qRegisterMetaType<Recorder::Gaps>("Recorder::Gaps");
    m_line.reserve(64);
    m_startTimer.setSingleShot(true);
    m_durationTimer.setSingleShot(true);
    connect(&m_startTimer, &QTimer::timeout, this, &Recorder::start);
    connect(&m_durationTimer, &QTimer::timeout, this, &Recorder::end);
}

Recorder::~Recorder()
{
    if (m_state == State::Recording) {
        const std::shared_ptr<JournalWriter> journal = std::move(m_journal);
        const RecordingFile::Outcome outcome =
            saveRecording(journal.get(), m_selected, m_fileName, RecordingFile::fallbackPath(m_fileName, m_wall()));
        if (!outcome.error.isEmpty())
            qWarning() << "Failed to open file for writing" << m_fileName << outcome.error;
    }
    if (m_writer) { // the recording is saved before the recorder goes
        m_writer->wait();
        delete m_writer;
    }
}

void Recorder::setClocks(WallClock wall, MonotonicClock monotonic)
{
    m_wall = std::move(wall);
    m_monotonic = std::move(monotonic);
}

bool Recorder::schedule(const QDateTime &start, int durationSeconds, const Selected &selected,
                        const QString &fileName)
{
    const qint64 delayMs = m_wall().msecsTo(start);
    if (m_state != State::Idle) {
        qWarning() << "a recording into" << m_fileName << "is pending; refused" << fileName;
        return false;
    }
    if (durationSeconds < 0 || durationSeconds * qint64(1000) > MaxTimerMs || delayMs > MaxTimerMs) {
        qWarning() << "no timer holds this recording; refused" << fileName << durationSeconds << delayMs;
        return false;
    }
    m_fileName = fileName;
    printLine(QStringLiteral("文件的路径是 ") + m_fileName);
    m_selected = selected;
    m_duration = durationSeconds;
    m_startTime = start;
    if (delayMs > 0) {
        qDebug() << "计时器将在" << delayMs / 1000 << "秒后开始";
        m_state = State::Waiting;
        m_startTimer.start(int(delayMs));
        emit scheduled(m_fileName, start);
    } else {
        qDebug() << "111开始时间已经过了，立即执行";
        this->start();
    }
    return true;
}

void Recorder::dropScheduled()
{
    if (m_state != State::Waiting)
        return;
    m_startTimer.stop();
    m_state = State::Idle;
    qDebug() << "取消尚未开始的记录" << m_fileName;
    emit over(m_fileName);
}

void Recorder::start()
{
    m_state = State::Recording;
    m_recorded = {};
    m_startNs = nowNs();
    m_gaps = Gaps();
    m_gaps.offlineAtStart = !m_online;
    m_offlineSinceNs = m_online ? -1 : m_startNs;
    JournalHeader header;
    header.deviceId = m_deviceId;
    header.targetFile = m_fileName;
    header.selected = m_selected;
    header.started = m_wall();
    // The writer reports from its own thread; the recorder waits for it to end before it goes.
    // Invoked by name, the queued call is made and freed inside Qt, behind its event queue's lock,
    // and the events themselves cross under the recorder's own lock.
    m_journal = std::make_shared<JournalWriter>(
        m_journalFolder.isEmpty() ? JournalFiles::folder() : m_journalFolder, header,
        [this](const JournalWriter::Event &event) {
            {
                const std::lock_guard<std::mutex> hold(m_eventsLock);
                m_events.append(event);
            }
            QMetaObject::invokeMethod(this, "takeJournalEvents", Qt::QueuedConnection);
        });
    m_durationTimer.start(m_duration * 1000);
    emit started(m_fileName, m_wall().addSecs(m_duration));
}

void Recorder::end()
{
    if (m_state != State::Recording)
        return;
    closeGap(nowNs());
    const std::shared_ptr<JournalWriter> journal = std::move(m_journal);
    printLine(QStringLiteral("持续时间结束，执行目标函数"));
    const QString fallback = RecordingFile::fallbackPath(m_fileName, m_wall());
    auto outcome = std::make_shared<LockedOutcome>();
    // A recording of days takes a while to print, format and save: not on the recorder's thread,
    // which draws the windows. No other recording is taken until the file is written.
    m_state = State::Writing;
    m_writer = QThread::create([journal, selected = m_selected, target = m_fileName, fallback, outcome] {
        RecordingFile::Outcome saved = saveRecording(journal.get(), selected, target, fallback);
        const std::lock_guard<std::mutex> hold(outcome->lock);
        outcome->value = std::move(saved);
    });
    connect(m_writer, &QThread::finished, this, [this, outcome] {
        m_writer->wait(); // finished is sent just before the thread ends
        m_writer->deleteLater();
        m_writer = nullptr;
        m_state = State::Idle;
        emit over(m_fileName);
        RecordingFile::Outcome written;
        {
            const std::lock_guard<std::mutex> hold(outcome->lock);
            written = outcome->value;
        }
        emit saved(m_fileName, written, m_gaps);
    });
    m_writer->start();
}

// Every type goes to the journal, selected or not: the end prints the values of all four.
void Recorder::take(const Reading &reading)
{
    const int type = reading.typeCode();
    if (!m_journal || !reading.usable || type < 1 || type > TypeCount)
        return;
    const qint64 sinceStartNs = reading.readTime.monotonicNs - m_startNs;
    if (sinceStartNs < 0)
        return; // read before the recording began, delivered after
    m_line.resize(0); // keeps its room
    m_line += char('0' + type);
    m_line += ',';
    DataFile::appendRecord(m_line, double(sinceStartNs) / 1e9, double(float(reading.value)));
    m_line += '\n';
    if (m_journal->append(m_line.constData(), m_line.size()))
        ++m_recorded[type - 1];
}

void Recorder::setOnline(bool online)
{
    if (online == m_online)
        return;
    m_online = online;
    if (m_state != State::Recording)
        return;
    const qint64 now = nowNs();
    if (online) {
        closeGap(now);
    } else {
        ++m_gaps.drops;
        m_offlineSinceNs = now;
    }
}

void Recorder::closeGap(qint64 atNs)
{
    if (m_offlineSinceNs < 0)
        return;
    m_gaps.silentMs += (atNs - m_offlineSinceNs) / 1000000;
    m_offlineSinceNs = -1;
}

int Recorder::recordedSamples(int type) const
{
    return type >= 1 && type <= TypeCount ? m_recorded[type - 1] : 0;
}

void Recorder::takeJournalEvents()
{
    QVector<JournalWriter::Event> events;
    {
        const std::lock_guard<std::mutex> hold(m_eventsLock);
        events.swap(m_events);
    }
    for (const JournalWriter::Event &event : events) {
        if (event.kind == JournalWriter::Event::Kind::Resumed)
            emit journalResumed(event.journal, event.droppedLines);
        else
            emit journalFailed(event.journal, event.reason);
    }
}
