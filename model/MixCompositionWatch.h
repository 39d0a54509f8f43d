#pragma once

#include "MixGroup.h"

#include <QList>
#include <optional>

// The composition alarm of one running mix group, fed with the composition aimed at and the one
// measured, each at a time in milliseconds that the caller reads from its own clock (so that
// scripts can replay them). It rises when any member's share of the measured flow is off its share
// of the plan by more than the set percentage points for longer than the set seconds, never within
// the hold-off after a change of the total (or the start), and clears after its condition was
// false at two observations in a row, as the controllers' alarms do.
class MixCompositionWatch
{
public:
    struct Change
    {
        bool raised; // or cleared
        int member;  // index of the member off the most
        double points;
        double limit;
    };

    void setSettings(const MixGroup::CompositionAlarm &settings) { m_settings = settings; }
    // A new total, or the start: held off from `atMs` on.
    void restart(qint64 atMs);
    // The group stopped: a raised alarm clears at once.
    std::optional<Change> stop();
    // Shares in % of each member, in the members' order.
    std::optional<Change> observe(const QList<double> &target, const QList<double> &actual, qint64 atMs);

    bool isActive() const { return m_active; }
    int worstMember() const { return m_worst; }
    double worstPoints() const { return m_points; }

private:
    MixGroup::CompositionAlarm m_settings;
    qint64 m_changedMs = 0;
    qint64 m_trueSinceMs = -1;
    bool m_active = false;
    bool m_falseOnce = false;
    int m_worst = -1;
    double m_points = 0.0;
};
