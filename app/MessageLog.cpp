#include "MessageLog.h"

#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QThread>
#include <atomic>
#include <cstdio>
#include <cstring>

namespace {
QLatin1String levelTag(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return QLatin1String(" DBG");
    case QtWarningMsg:
        return QLatin1String(" WRN");
    case QtCriticalMsg:
        return QLatin1String(" CRT");
    case QtFatalMsg:
        return QLatin1String(" FTL");
    case QtInfoMsg:
        return QLatin1String(" INF");
    }
    return QLatin1String();
}

bool isAscii(const char *text, size_t length)
{
    for (size_t i = 0; i < length; ++i) {
        if (uchar(text[i]) >= 0x80)
            return false;
    }
    return true;
}

std::atomic<LogTimeStamp::Clock> logClock{nullptr};
} // namespace

QString formatLogLine(QtMsgType type, const QMessageLogContext &context, const QString &text,
                      const QDateTime &when)
{
    return formatLogLine(type, context, text, when.toString(QStringLiteral("MM-dd HH:mm:ss")));
}

QString formatLogLine(QtMsgType type, const QMessageLogContext &context, const QString &text,
                      QStringView timeStamp)
{
    // One allocation per line: the handler runs for every message of the process.
    const char *category = context.category ? context.category : "";
    const size_t categoryLength = std::strlen(category);
    const QLatin1String tag = levelTag(type);
    QString line;
    line.reserve(timeStamp.size() + tag.size() + 2 + int(categoryLength) + 3 + text.size());
    line.append(timeStamp.data(), timeStamp.size());
    line.append(tag);
    line.append(QLatin1String(" ("));
    if (isAscii(category, categoryLength))
        line.append(QLatin1String(category, int(categoryLength)));
    else
        line.append(QString::fromUtf8(category, int(categoryLength)));
    line.append(QLatin1String("): "));
    line.append(text);
    return line;
}

void setLogClock(LogTimeStamp::Clock clock)
{
    logClock.store(clock);
}

void messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    thread_local LogTimeStamp timeStamp;
    const LogTimeStamp::Clock clock = logClock.load();
    const qint64 now = clock ? clock() : QDateTime::currentMSecsSinceEpoch();
    const QString line = formatLogLine(type, context, text, timeStamp.text(now));
    // Qt aborts right after a fatal message, before the queued line could be shown.
    if (type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    LogSink::instance().post(line);
}

LogSink &LogSink::instance()
{
    // Never destroyed: Qt may still log from static destructors at exit.
    static LogSink *const sink = new LogSink;
    return *sink;
}

namespace {
// Receives the queued drain; created on the GUI thread when the view is attached.
class LogDrainTarget : public QObject
{
    Q_OBJECT
public:
    Q_INVOKABLE void drain() { LogSink::instance().drain(); }
};
} // namespace

void LogSink::post(const QString &line)
{
    QObject *target = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pending.append(line);
        // Without a view (or with a stalled GUI thread) the queue must not grow without end either.
        if (m_pending.size() > maxLines)
            m_pending.erase(m_pending.begin(), m_pending.begin() + (m_pending.size() - maxLines));
        if (m_drainScheduled || !m_drainTarget)
            return; // without a view the lines wait for attach()
        m_drainScheduled = true;
        target = m_drainTarget;
    }
    // Invoked by name, the queued call is allocated and freed inside Qt, behind the event queue's
    // lock. A queued functor would be allocated here on the logging thread and freed on the GUI
    // thread, a hand-over that ThreadSanitizer cannot see and reports as a race.
    QMetaObject::invokeMethod(target, "drain", Qt::QueuedConnection);
}

void LogSink::attach(QPlainTextEdit *view)
{
    view->document()->setUndoRedoEnabled(false);
    view->setMaximumBlockCount(maxLines);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_drainTarget)
            m_drainTarget = new LogDrainTarget; // never destroyed, like the sink
    }
    m_view = view;
    drain();
}

void LogSink::detach(QPlainTextEdit *view)
{
    if (m_view == view)
        m_view = nullptr;
}

void LogSink::drain()
{
    Q_ASSERT(!QCoreApplication::instance() ||
             QThread::currentThread() == QCoreApplication::instance()->thread());
    QStringList lines;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_drainScheduled = false;
        if (!m_view || !m_view->isVisible())
            return;
        lines.swap(m_pending);
    }
    if (!lines.isEmpty())
        appendLines(m_view, lines);
}

void LogSink::appendLines(QPlainTextEdit *view, const QStringList &lines)
{
    QScrollBar *bar = view->verticalScrollBar();
    const bool followTail = bar->value() == bar->maximum();
    QTextDocument *document = view->document();
    // Of a burst larger than the bound only the lines that stay are inserted.
    const int firstKept = qMax(0, lines.size() - maxLines);
    QTextCursor cursor(document);
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    bool needBlock = !document->isEmpty();
    for (int i = firstKept; i < lines.size(); ++i) {
        if (needBlock)
            cursor.insertBlock();
        cursor.insertText(lines.at(i));
        needBlock = true;
    }
    cursor.endEditBlock();
    if (followTail)
        bar->setValue(bar->maximum());
}

#include "MessageLog.moc"
