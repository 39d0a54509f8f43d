#include "LinkWatch.h"

LinkWatch::LinkWatch(std::function<bool()> tryReopen, QObject *parent)
    : QObject(parent), m_timer(this), m_tryReopen(std::move(tryReopen))
{
    m_timer.setInterval(IntervalMs);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (m_tryReopen())
            m_timer.stop();
    });
}
