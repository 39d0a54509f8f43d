#pragma once

#include "JournalWriter.h"
#include "Reading.h"
#include "RecordingFile.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>

#include <array>
#include <functional>
#include <memory>
#include <mutex>

class QThread;

// The recording of one controller's readings into a data file, from a chosen start for a chosen
// duration. Samples go to a journal as they arrive (a killed process leaves it for the next start to
// turn into the file); at the end the journal becomes the data file on a thread of its own.
//
// A sample's time is its own read time, in seconds from the recording's start, on the monotonic
// clock the readings carry: nothing a view does (a chart cleared) and no wall clock set back moves
// it. Where the controller was not online, nothing comes and nothing is made up; the gaps are
// counted for the end's report.
class Recorder : public QObject
{
    Q_OBJECT
public:
    static constexpr int TypeCount = 4;
    // The longest delay or duration a timer holds, in milliseconds (about 24.8 days).
    static constexpr qint64 MaxTimerMs = 2147483647;
    using Selected = std::array<bool, TypeCount>;
    using WallClock = std::function<QDateTime()>;
    using MonotonicClock = std::function<qint64()>; // nanoseconds, ReadTime::monotonicNs's clock

    enum class State
    {
        Idle,
        Waiting,
        Recording,
        Writing
    };

    // Where the controller was not online during the recording.
    struct Gaps
    {
        bool offlineAtStart = false;
        int drops = 0;        // online, then not, while recording
        qint64 silentMs = 0;  // time not online while recording
        bool any() const { return offlineAtStart || drops > 0 || silentMs > 0; }
    };

    explicit Recorder(int deviceId = 0, QObject *parent = nullptr);
    // A recording running when its recorder goes (the program closing) is saved first.
    ~Recorder() override;

    void setDeviceId(int deviceId) { m_deviceId = deviceId; }
    int deviceId() const { return m_deviceId; }
    void setClocks(WallClock wall, MonotonicClock monotonic);
    // Where the journal goes; the data folder's journal folder unless set.
    void setJournalFolder(const QString &folder) { m_journalFolder = folder; }

    // Arms a recording of the selected types into fileName, from start (at once when it has
    // passed) for durationSeconds. Refused (false, with a warning line) while another recording
    // waits, runs or is being written, and for a duration or delay no timer can hold.
    bool schedule(const QDateTime &start, int durationSeconds, const Selected &selected, const QString &fileName);
    // Drops a recording that has not started: it never starts, and its file stays as it is.
    void dropScheduled();
    void start();
    void end();

    // Every reading of the controller, usable or not; kept while recording.
    void take(const Reading &reading);
    // Whether the controller is online now. Until told, it is taken as online.
    void setOnline(bool online);

    State state() const { return m_state; }
    QString fileName() const { return m_fileName; }
    QDateTime scheduledStart() const { return m_startTime; }
    const Selected &selected() const { return m_selected; }
    int durationSeconds() const { return m_duration; }
    // Samples of a type handed to the journal since the running (or last) recording started.
    int recordedSamples(int type) const;
    // The journal of the running recording; empty when none runs or before its file is made.
    QString journalPath() const { return m_journal ? m_journal->path() : QString(); }

signals:
    void scheduled(QString fileName, QDateTime startTime);
    void started(QString fileName, QDateTime endTime);
    // The file is written (or went elsewhere, or was lost: the outcome says), with the gaps.
    void saved(QString fileName, RecordingFile::Outcome outcome, Recorder::Gaps gaps);
    // Back to idle: written, or dropped before it started.
    void over(QString fileName);
    // The journal could not be written, with the system's reason; and later it could again.
    void journalFailed(QString journal, QString reason);
    void journalResumed(QString journal, qint64 droppedLines);

private slots:
    void takeJournalEvents();

private:
    qint64 nowNs() const { return m_monotonic(); }
    void closeGap(qint64 atNs);

    int m_deviceId;
    WallClock m_wall;
    MonotonicClock m_monotonic;
    QString m_journalFolder;

    State m_state = State::Idle;
    QString m_fileName;
    Selected m_selected{};
    int m_duration = 0;
    QDateTime m_startTime;
    QTimer m_startTimer;
    QTimer m_durationTimer;

    qint64 m_startNs = 0;
    std::array<int, TypeCount> m_recorded{};
    QByteArray m_line;
    std::shared_ptr<JournalWriter> m_journal;
    std::mutex m_eventsLock;
    QVector<JournalWriter::Event> m_events; // from the writer's thread, not yet taken

    bool m_online = true;
    qint64 m_offlineSinceNs = -1; // while recording and not online
    Gaps m_gaps;

    QThread *m_writer = nullptr;
};

Q_DECLARE_METATYPE(Recorder::Gaps)
