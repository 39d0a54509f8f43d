#include "JournalWriter.h"

#include "JournalFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

#include <cerrno>
#include <chrono>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {
// The recording's thread wakes the writer early when this much waits, so that a fast producer
// (a day replayed in a benchmark) does not pile up a second's worth.
constexpr int WakeBytes = 64 * 1024;
constexpr int CopyChunk = 1024 * 1024;
constexpr int MaxNameTries = 100;
constexpr QIODevice::OpenMode WriteMode = QIODevice::ReadWrite | QIODevice::Unbuffered;

JournalWriter::FileFactory &fileFactory()
{
    static JournalWriter::FileFactory factory;
    return factory;
}

std::unique_ptr<QFile> plainFile(const QString &path)
{
    return std::make_unique<QFile>(path);
}

bool syncToDisk(QFile &file)
{
#ifdef Q_OS_WIN
    return _commit(file.handle()) == 0;
#else
    return ::fsync(file.handle()) == 0;
#endif
}

// Copies the first `size` bytes of `from` to the end of `to`.
bool copyStart(QFile &from, qint64 size, QFile &to)
{
    if (!from.seek(0))
        return false;
    for (qint64 copied = 0; copied < size;) {
        const QByteArray chunk = from.read(qMin<qint64>(CopyChunk, size - copied));
        if (chunk.isEmpty() || to.write(chunk) != chunk.size())
            return false;
        copied += chunk.size();
    }
    return true;
}
} // namespace

JournalWriter::JournalWriter(const QString &folder, const JournalHeader &header, EventSink events)
    : m_folder(folder), m_header(header), m_events(std::move(events)),
      m_makeFile(fileFactory() ? fileFactory() : FileFactory(plainFile)), m_backlog(header.toText())
{
    m_backlogBytes = m_backlog.size();
    m_thread = std::thread([this] { run(); });
}

JournalWriter::~JournalWriter()
{
    finish();
}

void JournalWriter::setFileFactory(FileFactory factory)
{
    fileFactory() = std::move(factory);
}

void JournalWriter::resetFileFactory()
{
    fileFactory() = nullptr;
}

bool JournalWriter::append(const char *line, int size)
{
    bool wake = false;
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        if (m_pending.size() + m_backlogBytes + size > MaxBacklogBytes) {
            ++m_dropped;
            return false;
        }
        m_pending.append(line, size);
        wake = m_pending.size() >= WakeBytes;
    }
    if (wake)
        m_wake.notify_one();
    return true;
}

void JournalWriter::finish()
{
    if (m_finished)
        return;
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread.join();
    m_finished = true;
}

QString JournalWriter::path() const
{
    const std::lock_guard<std::mutex> hold(m_lock);
    return m_path;
}

qint64 JournalWriter::droppedLines() const
{
    const std::lock_guard<std::mutex> hold(m_lock);
    return m_dropped;
}

void JournalWriter::remove()
{
    if (m_file) {
        m_file->close();
        QFile::remove(m_file->fileName());
    }
    m_fileLock.reset(); // unlocking deletes the lock file
}

void JournalWriter::run()
{
    QElapsedTimer sinceSync;
    sinceSync.start();
    qint64 synced = 0;
    for (bool stopping = false; !stopping;) {
        {
            std::unique_lock<std::mutex> hold(m_lock);
            m_wake.wait_for(hold, std::chrono::milliseconds(FlushIntervalMs),
                            [this] { return m_stopping || m_pending.size() >= WakeBytes; });
            stopping = m_stopping;
            if (m_backlog.isEmpty())
                m_backlog.swap(m_pending);
            else
                m_backlog += m_pending;
            m_pending.clear();
            m_backlogBytes = m_backlog.size(); // what the recording's thread sees never falls short
        }
        serve();
        {
            const std::lock_guard<std::mutex> hold(m_lock);
            m_backlogBytes = m_backlog.size();
        }
        // Within a flush interval of the sync interval, checked every flush interval.
        if (m_file && m_written != synced &&
            (stopping || sinceSync.elapsed() >= SyncIntervalMs - FlushIntervalMs)) {
            sync();
            synced = m_written;
            sinceSync.restart();
        }
    }
}

void JournalWriter::serve()
{
    if (!m_file) {
        if (!openJournal())
            return;
    } else if (!QFileInfo::exists(m_file->fileName())) {
        // Written on, a file whose folder was removed takes every line and keeps none.
        fail(qt_error_string(ENOENT));
        if (!recreate())
            return;
    }
    if (!m_fileLock)
        takeLock(m_file->fileName());
    if (!writeBacklog()) {
        fail(m_file->errorString());
        if (!reopen() || !writeBacklog())
            return;
    }
    resume();
}

bool JournalWriter::takeLock(const QString &journalPath)
{
    auto lock = std::make_unique<QLockFile>(JournalFiles::lockPath(journalPath));
    lock->setStaleLockTime(0); // a recording runs for days: only a lock whose process is gone is stale
    if (!lock->tryLock(0))
        return false;
    m_fileLock = std::move(lock);
    return true;
}

// The lock comes first: whoever looks for unfinished journals sees this one locked from its start.
bool JournalWriter::openJournal()
{
    QDir().mkpath(m_folder);
    for (int n = 1; n <= MaxNameTries; ++n) {
        const QString path = JournalFiles::journalPath(m_folder, m_header.targetFile, m_header.started, n);
        if (!takeLock(path)) {
            if (QFileInfo::exists(JournalFiles::lockPath(path)))
                continue; // a journal of another recording
            // No lock file can be made here: the journal's own file says why, or is written unlocked.
        } else if (QFileInfo::exists(path)) {
            m_fileLock.reset(); // an unfinished journal of an earlier run, left for its recovery
            continue;
        }
        std::unique_ptr<QFile> file = m_makeFile(path);
        if (!file->open(WriteMode | QIODevice::NewOnly)) {
            fail(file->errorString());
            m_fileLock.reset();
            return false;
        }
        m_file = std::move(file);
        {
            const std::lock_guard<std::mutex> hold(m_lock);
            m_path = path;
        }
        return true;
    }
    fail(QStringLiteral("no free journal name"));
    return false;
}

// The file went away with its folder: a new one at the same path gets what the old handle still
// reads, then the lines waiting.
bool JournalWriter::recreate()
{
    const QString path = m_file->fileName();
    QDir().mkpath(QFileInfo(path).absolutePath());
    // The lock file went with the folder; the old lock, let go, removes a stand-in rather than
    // warning that its file is gone.
    if (m_fileLock) {
        QFile(JournalFiles::lockPath(path)).open(QIODevice::WriteOnly);
        m_fileLock.reset();
    }
    takeLock(path);
    std::unique_ptr<QFile> file = m_makeFile(path);
    if (!file->open(WriteMode | QIODevice::NewOnly))
        return false;
    if (!copyStart(*m_file, m_written, *file)) {
        file->remove();
        return false;
    }
    m_file = std::move(file);
    return true;
}

// A handle can stay broken when its file is fine again (a network share back): the file at the
// path, cut to what was written, takes over.
bool JournalWriter::reopen()
{
    std::unique_ptr<QFile> file = m_makeFile(m_file->fileName());
    if (!file->open(WriteMode) || file->size() < m_written)
        return false;
    if ((file->size() > m_written && !file->resize(m_written)) || !file->seek(m_written))
        return false;
    m_file = std::move(file);
    return true;
}

// A short write leaves no error text: the rest is written again until the system says why it fails.
bool JournalWriter::writeBacklog()
{
    qint64 done = 0;
    while (done < m_backlog.size()) {
        const qint64 n = m_file->write(m_backlog.constData() + done, m_backlog.size() - done);
        if (n <= 0)
            break;
        done += n;
        m_written += n;
    }
    m_backlog.remove(0, int(done));
    return m_backlog.isEmpty();
}

void JournalWriter::sync()
{
    if (!syncToDisk(*m_file))
        fail(qt_error_string(errno));
}

void JournalWriter::fail(const QString &reason)
{
    if (m_failing)
        return;
    m_failing = true;
    const QString journal =
        m_file ? m_file->fileName()
               : JournalFiles::journalPath(m_folder, m_header.targetFile, m_header.started, 1);
    if (m_events)
        m_events({Event::Kind::Failed, journal, reason, droppedLines()});
}

void JournalWriter::resume()
{
    if (!m_failing)
        return;
    m_failing = false;
    if (m_events)
        m_events({Event::Kind::Resumed, m_file->fileName(), QString(), droppedLines()});
}
