#pragma once

#include <QThread>
#include <deque>
#include <functional>
#include <mutex>

// A thread whose object lives on it: the object moves itself to the thread it starts, so its
// timers and slots run there. Work from other threads reaches it one way only, through the
// thread's event queue: queued calls of its slots (a signal connected across the threads, or a
// slot called directly, which posts itself) and jobs handed over with post() or runOnWorker(). The
// thread serves them one at a time, in the order they were posted, between its own timer events.
class WorkerThread : public QThread
{
    Q_OBJECT
public:
    WorkerThread();

    // Ends the thread in order: what the thread is doing learns that it is stopping (stopping()),
    // its event loop ends, and the call returns when the thread has finished.
    void shutdown();

    // Runs a job on the worker thread and returns when it has finished. If the thread is not
    // running the job is not run and false is returned. Not to be called from the worker thread.
    bool runOnWorker(const std::function<void()> &job);

protected:
    // Hands a job to the worker thread, served in the order posted.
    void post(std::function<void()> job);
    bool onWorkerThread() const;
    bool stopping() const;
    // What this thread wrote before becomes visible to the thread that calls this next. Qt's own
    // hand-overs between threads are invisible to ThreadSanitizer; this one is not.
    void handOver();

    bool event(QEvent *event) override;

private:
    std::mutex m_jobsMutex;
    std::deque<std::function<void()>> m_jobs;
};

// In a slot of a WorkerThread: called off the worker thread, the slot posts itself and returns.
#define QUORIX_ON_WORKER(call)                                                                               \
    do {                                                                                                     \
        if (!onWorkerThread()) {                                                                             \
            post([=] { call; });                                                                             \
            return;                                                                                          \
        }                                                                                                    \
    } while (false)
