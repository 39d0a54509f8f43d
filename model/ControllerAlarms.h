#pragma once

#include "AlarmSettings.h"

#include <QList>
#include <QPair>
#include <QVector>
#include <array>

// The alarm rules of one controller, fed with its readings, its setpoint and its drops, each at a
// time in milliseconds that the caller reads from its own clock (so that scripts can replay them).
//
// Deviation compares the flow with the setpoint the controller held, ramps included: a flow
// within tolerance of any setpoint held during the last hold-off is no deviation, so a new target
// is held off for the hold-off and a controller that follows a ramp with a lag shorter than it
// raises nothing, while one that does not follow at all does. The tolerance is the larger of the
// percentage of the setpoint and the sccm; the deviation must last longer than its seconds.
// Every alarm clears only after its condition was false at two readings in a row: for one full
// reading.
class ControllerAlarms
{
public:
    enum Kind
    {
        Deviation,
        High,
        Low,
        Dropped,
        Temperature,
        Pressure,
        Composition, // a mix group's; raised by the mix driver, never by these rules
        KindCount
    };

    struct Change
    {
        Kind kind;
        bool raised; // or cleared
        double value;
        double limit;
    };

    explicit ControllerAlarms(const AlarmSettings &settings = {}) : m_settings(settings) {}
    void setSettings(const AlarmSettings &settings) { m_settings = settings; }
    const AlarmSettings &settings() const { return m_settings; }

    // The flow setpoint the controller holds from `atMs` on (each step of a ramp too).
    void setpointHeld(double setpoint, qint64 atMs);
    // A reading of quantity `type` (1 flow .. 4 pressure, in display units).
    QList<Change> reading(int type, double value, qint64 atMs);
    QList<Change> dropped(bool isDropped, qint64 atMs);

    bool isActive(Kind kind) const { return m_conditions[kind].active; }

private:
    struct Condition
    {
        bool active = false;
        qint64 trueSinceMs = -1;
        bool falseOnce = false;
    };
    // Applies one observation of a condition; a change when the alarm rises or clears.
    void observe(Kind kind, bool holds, qint64 atMs, qint64 lastingMs, double value, double limit,
                 QList<Change> *changes);
    void flowReading(double flow, qint64 atMs, QList<Change> *changes);
    void rangeReading(Kind kind, const AlarmSettings::Range &range, double value, qint64 atMs,
                      QList<Change> *changes);
    // The lowest and highest setpoint held during [atMs − hold-off, atMs].
    QPair<double, double> heldBand(qint64 atMs) const;
    bool settled(qint64 atMs) const;

    AlarmSettings m_settings;
    std::array<Condition, KindCount> m_conditions;
    QVector<QPair<qint64, double>> m_setpoints; // (from, setpoint), oldest first
};
