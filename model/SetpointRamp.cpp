#include "SetpointRamp.h"

#include <cmath>

void SetpointRamp::aim(float target, float from)
{
    m_reached = m_running ? m_reached : from;
    m_target = target;
    m_running = true;
}

std::optional<float> SetpointRamp::step()
{
    if (!m_running)
        return std::nullopt;
    const double span = double(m_target) - double(m_reached);
    const double maxStep = m_rate * TickSeconds;
    if (m_target == 0.0f || m_rate <= 0 || std::fabs(span) <= maxStep) {
        m_reached = m_target;
        m_running = false;
        return m_target;
    }
    m_reached = float(double(m_reached) + (span > 0 ? maxStep : -maxStep));
    return m_reached;
}

int SetpointRamp::ticksLeft() const
{
    return m_running ? ticksFor(double(m_target) - double(m_reached), m_rate) : 0;
}

int SetpointRamp::ticksFor(double span, double ratePerSecond)
{
    if (ratePerSecond <= 0 || span == 0)
        return span == 0 ? 0 : 1;
    return int(std::ceil(std::fabs(span) / (ratePerSecond * TickSeconds)));
}
