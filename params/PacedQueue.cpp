#include "PacedQueue.h"

PacedQueue::PacedQueue(int pauseMs, QObject *parent) : QObject(parent)
{
    m_pause.setSingleShot(true);
    m_pause.setTimerType(Qt::PreciseTimer);
    m_pause.setInterval(pauseMs);
    connect(&m_pause, &QTimer::timeout, this, &PacedQueue::runDue);
}

void PacedQueue::push(Job job)
{
    m_jobs.push_back(std::move(job));
    runDue();
}

void PacedQueue::runDue()
{
    if (m_running)
        return;
    m_running = true;
    while (!m_jobs.empty() && !m_pause.isActive()) {
        const Job job = std::move(m_jobs.front());
        m_jobs.pop_front();
        if (job())
            m_pause.start();
    }
    m_running = false;
}
