#include "ControllerAlarms.h"

#include <cmath>

namespace {
qint64 milliseconds(double seconds)
{
    return qint64(std::llround(seconds * 1000));
}
} // namespace

void ControllerAlarms::setpointHeld(double setpoint, qint64 atMs)
{
    if (!m_setpoints.isEmpty() && m_setpoints.last().second == setpoint)
        return;
    m_setpoints.append({atMs, setpoint});
    // What was held before the hold-off began is kept once: it still counts at its start.
    const qint64 horizon = atMs - milliseconds(m_settings.deviation.holdoff);
    while (m_setpoints.size() > 2 && m_setpoints.at(1).first <= horizon)
        m_setpoints.removeFirst();
}

QPair<double, double> ControllerAlarms::heldBand(qint64 atMs) const
{
    const qint64 horizon = atMs - milliseconds(m_settings.deviation.holdoff);
    double lowest = m_setpoints.last().second;
    double highest = lowest;
    for (int k = m_setpoints.size() - 1; k >= 0; --k) {
        lowest = qMin(lowest, m_setpoints[k].second);
        highest = qMax(highest, m_setpoints[k].second);
        if (m_setpoints[k].first <= horizon)
            break;
    }
    return {lowest, highest};
}

bool ControllerAlarms::settled(qint64 atMs) const
{
    return !m_setpoints.isEmpty() &&
           atMs - m_setpoints.last().first >= milliseconds(m_settings.deviation.holdoff);
}

QList<ControllerAlarms::Change> ControllerAlarms::reading(int type, double value, qint64 atMs)
{
    QList<Change> changes;
    if (type == 1)
        flowReading(value, atMs, &changes);
    else if (type == 3)
        rangeReading(Temperature, m_settings.temperature, value, atMs, &changes);
    else if (type == 4)
        rangeReading(Pressure, m_settings.pressure, value, atMs, &changes);
    // A reading means the controller answers again.
    if (m_conditions[Dropped].active || m_conditions[Dropped].falseOnce)
        observe(Dropped, false, atMs, 0, 0, 0, &changes);
    return changes;
}

void ControllerAlarms::flowReading(double flow, qint64 atMs, QList<Change> *changes)
{
    const AlarmSettings::Deviation &deviation = m_settings.deviation;
    if (deviation.on && !m_setpoints.isEmpty()) {
        const double setpoint = m_setpoints.last().second;
        const double tolerance = qMax(deviation.percent / 100.0 * std::fabs(setpoint), deviation.sccm);
        const QPair<double, double> band = heldBand(atMs);
        const bool deviates = flow < band.first - tolerance || flow > band.second + tolerance;
        const double shown = setpoint > 0 ? std::fabs(flow - setpoint) / setpoint * 100.0 : std::fabs(flow - setpoint);
        observe(Deviation, deviates, atMs, milliseconds(deviation.seconds), shown,
                setpoint > 0 ? deviation.percent : deviation.sccm, changes);
    }
    if (m_settings.high.on)
        observe(High, flow > m_settings.high.limit, atMs, 0, flow, m_settings.high.limit, changes);
    if (m_settings.low.on) {
        const bool watched = !m_setpoints.isEmpty() && m_setpoints.last().second > 0 && settled(atMs);
        observe(Low, watched && flow < m_settings.low.limit, atMs, 0, flow, m_settings.low.limit, changes);
    }
}

void ControllerAlarms::rangeReading(Kind kind, const AlarmSettings::Range &range, double value, qint64 atMs,
                                    QList<Change> *changes)
{
    if (!range.on)
        return;
    const bool outside = value < range.low || value > range.high;
    observe(kind, outside, atMs, 0, value, value < range.low ? range.low : range.high, changes);
}

QList<ControllerAlarms::Change> ControllerAlarms::dropped(bool isDropped, qint64 atMs)
{
    QList<Change> changes;
    if (m_settings.dropped && isDropped)
        observe(Dropped, true, atMs, 0, 0, 0, &changes);
    return changes;
}

void ControllerAlarms::observe(Kind kind, bool holds, qint64 atMs, qint64 lastingMs, double value, double limit,
                               QList<Change> *changes)
{
    Condition &condition = m_conditions[kind];
    if (holds) {
        condition.falseOnce = false;
        if (condition.trueSinceMs < 0)
            condition.trueSinceMs = atMs;
        if (!condition.active && atMs - condition.trueSinceMs >= lastingMs) {
            condition.active = true;
            changes->append({kind, true, value, limit});
        }
        return;
    }
    condition.trueSinceMs = -1;
    if (!condition.active)
        return;
    if (!condition.falseOnce) {
        condition.falseOnce = true;
        return;
    }
    condition.active = false;
    condition.falseOnce = false;
    changes->append({kind, false, value, limit});
}
