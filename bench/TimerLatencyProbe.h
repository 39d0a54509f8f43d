#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <ctime>

// A 1 ms precise timer on the calling thread that records how late it fired at worst, and quits
// the event loop after the given run time. Start it, run app.exec(), then read the figures.
// On a loaded machine the lateness also counts the time the thread waited for a processor; the
// thread's own processor time between two firings tells the work that held it up.
class TimerLatencyProbe
{
public:
    explicit TimerLatencyProbe(qint64 runMs) : m_endNs(runMs * 1000000)
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { onTimeout(); });
    }

    void start()
    {
        m_clock.start();
        m_timer.start();
    }

    double worstLateMs() const { return m_worstLateMs; }
    // The most processor time the calling thread spent between two firings.
    double worstBusyMs() const { return m_worstBusyNs / 1e6; }
    double worstBusyAtSeconds() const { return m_worstBusyAtNs / 1e9; }
    double worstAtSeconds() const { return m_worstAtNs / 1e9; }
    long ticks() const { return m_ticks; }

private:
    void onTimeout()
    {
        const qint64 now = m_clock.nsecsElapsed();
        const double lateMs = m_lastNs >= 0 ? (now - m_lastNs) / 1e6 - 1.0 : 0.0;
        if (lateMs > m_worstLateMs) {
            m_worstLateMs = lateMs;
            m_worstAtNs = now;
        }
        m_lastNs = now;
        const qint64 busy = threadCpuNs();
        if (m_lastBusyNs >= 0 && busy - m_lastBusyNs > m_worstBusyNs) {
            m_worstBusyNs = busy - m_lastBusyNs;
            m_worstBusyAtNs = now;
        }
        m_lastBusyNs = busy;
        ++m_ticks;
        if (now >= m_endNs)
            QCoreApplication::quit();
    }

    static qint64 threadCpuNs()
    {
        timespec spent{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &spent);
        return qint64(spent.tv_sec) * 1000000000 + spent.tv_nsec;
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_endNs;
    qint64 m_lastNs = -1;
    qint64 m_worstAtNs = 0;
    double m_worstLateMs = 0;
    qint64 m_lastBusyNs = -1;
    qint64 m_worstBusyNs = 0;
    qint64 m_worstBusyAtNs = 0;
    long m_ticks = 0;
};
