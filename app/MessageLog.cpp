#include "MessageLog.h"

#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QThread>
#include <cstdio>

namespace {
QString levelTag(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return QStringLiteral(" DBG");
    case QtWarningMsg:
        return QStringLiteral(" WRN");
    case QtCriticalMsg:
        return QStringLiteral(" CRT");
    case QtFatalMsg:
        return QStringLiteral(" FTL");
    case QtInfoMsg:
        return QStringLiteral(" INF");
    }
    return QString();
}
} // namespace

QString formatLogLine(QtMsgType type, const QMessageLogContext &context, const QString &text,
                      const QDateTime &when)
{
    const QString category = context.category ? QString::fromUtf8(context.category) : QString();
    return when.toString(QStringLiteral("MM-dd HH:mm:ss")) + levelTag(type) + QStringLiteral(" (") +
           category + QStringLiteral("): ") + text;
}

void messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    const QString line = formatLogLine(type, context, text, QDateTime::currentDateTime());
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
