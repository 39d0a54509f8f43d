#pragma once

#include <QObject>
#include <QTimer>
#include <deque>
#include <functional>

// Runs jobs on the GUI thread in the order they were queued; a job that returns true holds the
// following ones back for the pause, so that a sequence of results fills the window visibly while
// the event loop (rows, charts, the bus) keeps running. Jobs queued from inside a job (a modal box
// spins the event loop) wait their turn.
class PacedQueue : public QObject
{
    Q_OBJECT
public:
    using Job = std::function<bool()>;

    explicit PacedQueue(int pauseMs, QObject *parent = nullptr);

    void push(Job job);
    bool idle() const { return m_jobs.empty() && !m_pause.isActive() && !m_running; }

private:
    void runDue();

    std::deque<Job> m_jobs;
    QTimer m_pause;
    bool m_running = false;
};
