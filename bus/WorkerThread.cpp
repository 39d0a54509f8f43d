#include "WorkerThread.h"

#include <QCoreApplication>
#include <future>

namespace {

const QEvent::Type JobEvent = QEvent::Type(QEvent::registerEventType());

} // namespace

WorkerThread::WorkerThread() : QThread(nullptr)
{
    moveToThread(this);
}

void WorkerThread::handOver()
{
    std::lock_guard<std::mutex> lock(m_jobsMutex);
}

void WorkerThread::post(std::function<void()> job)
{
    // One wake-up per job keeps the jobs in order with the queued slot calls around them.
    auto *wakeUp = new QEvent(JobEvent);
    {
        std::lock_guard<std::mutex> lock(m_jobsMutex);
        m_jobs.push_back(std::move(job));
    }
    QCoreApplication::postEvent(this, wakeUp);
}

bool WorkerThread::event(QEvent *event)
{
    std::function<void()> job;
    {
        // Taken before the event is looked at: the wake-up was allocated by the posting thread.
        std::lock_guard<std::mutex> lock(m_jobsMutex);
        if (event->type() == JobEvent && !m_jobs.empty()) {
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
    }
    if (event->type() != JobEvent)
        return QThread::event(event);
    if (job)
        job();
    return true;
}

bool WorkerThread::onWorkerThread() const
{
    return QThread::currentThread() == this;
}

bool WorkerThread::stopping() const
{
    return isInterruptionRequested();
}

void WorkerThread::shutdown()
{
    Q_ASSERT(!onWorkerThread());
    if (!isRunning())
        return;
    requestInterruption();
    quit();
    wait();
    handOver();
}

bool WorkerThread::runOnWorker(const std::function<void()> &job)
{
    Q_ASSERT(!onWorkerThread());
    if (!isRunning() || isInterruptionRequested())
        return false;
    std::promise<void> done;
    std::future<void> finished = done.get_future();
    post([&job, &done] {
        job();
        done.set_value();
    });
    // A thread that ends before it reaches the job never runs it.
    while (finished.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        if (isFinished())
            return false;
    }
    return true;
}
