#pragma once

#include "JournalHeader.h"

#include <QByteArray>
#include <QString>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class QFile;
class QLockFile;

// Writes the journal of one running recording on a thread of its own, so that the recording's
// thread never waits for the disk: lines handed over are written within FlushIntervalMs and synced
// to the disk every SyncIntervalMs. A killed process loses at most a second of samples, a power cut
// ten seconds.
//
// When writing fails (disk full, folder removed, share gone), the lines wait in memory, up to
// MaxBacklogBytes, and writing is tried again each interval: into the same file, into the file
// found again at its path, or, when the file went away, into a new one at that path that first gets
// everything written before. Each run of failures is reported once, with the system's reason, and
// its end once.
class JournalWriter
{
public:
    // Makes the file object for a journal path; the writer opens it. Tests put a disk of their own
    // behind it.
    using FileFactory = std::function<std::unique_ptr<QFile>(const QString &path)>;
    struct Event
    {
        enum class Kind
        {
            Failed,
            Resumed
        };
        Kind kind;
        QString journal;          // the journal's path
        QString reason;           // Failed: the system's reason
        qint64 droppedLines = 0;  // lines that found no room in memory so far
    };
    // Called on the writer's thread.
    using EventSink = std::function<void(const Event &)>;

    // Twice a second, so that a killed process loses at most about a second even when the machine is
    // busy and the flush comes late.
    static constexpr int FlushIntervalMs = 500;
    static constexpr int SyncIntervalMs = 10000;
    static constexpr int MaxBacklogBytes = 4 * 1024 * 1024; // about 14 h of four types at 1 Hz

    // Starts writing a journal with this header into `folder`, creating the folder when missing.
    JournalWriter(const QString &folder, const JournalHeader &header, EventSink events);
    // Finishes; the journal stays for the next start to find.
    ~JournalWriter();
    JournalWriter(const JournalWriter &) = delete;
    JournalWriter &operator=(const JournalWriter &) = delete;

    // One sample line, with its line end. False when it found no room: writing has failed for long.
    bool append(const char *line, int size);

    // Writes what it can, syncs and ends the thread. What follows is for the finished journal only,
    // on one thread at a time.
    void finish();
    QString path() const;
    // The open journal, to read back (null when none could be made), and the lines that could not be
    // written to it, the header first when nothing was.
    QFile *file() const { return m_file.get(); }
    const QByteArray &unwritten() const { return m_backlog; }
    qint64 droppedLines() const;
    // Deletes the journal and its lock file: its samples are in their data file.
    void remove();

    static void setFileFactory(FileFactory factory);
    static void resetFileFactory();

private:
    void run();
    void serve();
    bool openJournal();
    bool recreate();
    bool reopen();
    bool writeBacklog();
    void sync();
    bool takeLock(const QString &journalPath);
    void fail(const QString &reason);
    void resume();

    QString m_folder;
    JournalHeader m_header;
    EventSink m_events;
    FileFactory m_makeFile;

    // Shared with the recording's thread.
    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    QByteArray m_pending;
    int m_backlogBytes = 0;
    qint64 m_dropped = 0;
    bool m_stopping = false;
    QString m_path;

    // The writer's own, and the caller's once finished.
    std::unique_ptr<QFile> m_file;
    std::unique_ptr<QLockFile> m_fileLock;
    QByteArray m_backlog;
    qint64 m_written = 0; // bytes of the journal on disk
    bool m_failing = false;
    bool m_finished = false;
    std::thread m_thread;
};
