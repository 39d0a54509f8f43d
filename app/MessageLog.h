#pragma once

#include "LogTimeStamp.h"

#include <QDateTime>
#include <QPointer>
#include <QStringList>
#include <QtGlobal>
#include <mutex>

class QPlainTextEdit;

// Installed with qInstallMessageHandler(messageHandler); every message of the process becomes one
// line in the debug window's text area. Safe to call from any thread.
void messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &text);

// "MM-dd HH:mm:ss", the level tag, " (", the category, "): " and the text, unchanged.
QString formatLogLine(QtMsgType type, const QMessageLogContext &context, const QString &text,
                      const QDateTime &when);
// The same with the time already written as "MM-dd HH:mm:ss".
QString formatLogLine(QtMsgType type, const QMessageLogContext &context, const QString &text,
                      QStringView timeStamp);

// Where the handler reads the time (UTC milliseconds); null restores the wall clock. Tests set a
// clock of their own before they log.
void setLogClock(LogTimeStamp::Clock clock);

// Carries log lines from any thread to the one text area, on the GUI thread and in the order they
// were logged. Lines are queued under a lock and appended in batches from the event loop, so a
// burst of messages costs one document edit. The text area keeps the newest maxLines: the log
// runs for days, and a plain-text view drops its oldest line cheaply where a rich-text view lays
// out the whole document again (0.1 s to 2 s per trim at 100,000 lines). While the view is hidden
// the lines wait in the bounded queue: laying out text nobody sees cost about 11 µs a line, seconds
// when a saved data file is opened with its hundreds of thousands of debug lines.
class LogSink
{
public:
    static constexpr int maxLines = 100000;

    static LogSink &instance();

    // Any thread.
    void post(const QString &line);

    // GUI thread only. Lines posted before a view is attached, or while it is hidden, wait for it;
    // call drain() when the view is shown.
    void attach(QPlainTextEdit *view);
    void detach(QPlainTextEdit *view);
    void drain();

private:
    LogSink() = default;
    static void appendLines(QPlainTextEdit *view, const QStringList &lines);

    std::mutex m_mutex; // a standard mutex, so that ThreadSanitizer sees the hand-over
    QStringList m_pending;
    bool m_drainScheduled = false;
    QObject *m_drainTarget = nullptr; // lives on the GUI thread; set under the lock
    QPointer<QPlainTextEdit> m_view; // touched on the GUI thread only
};
