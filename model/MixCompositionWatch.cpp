#include "MixCompositionWatch.h"

#include <cmath>

namespace {
qint64 mixWatchMs(double seconds)
{
    return qint64(std::llround(seconds * 1000));
}
} // namespace

void MixCompositionWatch::restart(qint64 atMs)
{
    m_changedMs = atMs;
    m_trueSinceMs = -1;
}

std::optional<MixCompositionWatch::Change> MixCompositionWatch::stop()
{
    const bool wasActive = m_active;
    m_active = false;
    m_falseOnce = false;
    m_trueSinceMs = -1;
    if (!wasActive)
        return std::nullopt;
    return Change{false, m_worst, m_points, m_settings.points};
}

std::optional<MixCompositionWatch::Change> MixCompositionWatch::observe(const QList<double> &target,
                                                                        const QList<double> &actual, qint64 atMs)
{
    if (target.isEmpty() || target.size() != actual.size())
        return std::nullopt;
    int worst = 0;
    double points = 0.0;
    for (int i = 0; i < target.size(); ++i) {
        const double off = std::fabs(actual[i] - target[i]);
        if (off > points) {
            points = off;
            worst = i;
        }
    }
    const bool heldOff = atMs - m_changedMs < mixWatchMs(m_settings.holdoff);
    const bool holds = m_settings.on && !heldOff && points > m_settings.points;
    if (holds || !m_active) {
        m_worst = worst;
        m_points = points;
    }
    if (holds) {
        m_falseOnce = false;
        if (m_trueSinceMs < 0)
            m_trueSinceMs = atMs;
        if (m_active || atMs - m_trueSinceMs < mixWatchMs(m_settings.seconds))
            return std::nullopt;
        m_active = true;
        return Change{true, worst, points, m_settings.points};
    }
    m_trueSinceMs = -1;
    if (!m_active)
        return std::nullopt;
    if (!m_falseOnce) {
        m_falseOnce = true;
        return std::nullopt;
    }
    m_active = false;
    m_falseOnce = false;
    return Change{false, m_worst, points, m_settings.points};
}
