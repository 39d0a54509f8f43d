#pragma once

#include "Driver.h"
#include "MixCompositionWatch.h"
#include "MixGroup.h"

#include <QObject>
#include <array>
#include <functional>

struct Reading;

class BenchModel;
class RampDriver;

// Runs mix groups as drivers of the bench model: a running group holds each of its members
// (Driver{Mix, group}) and writes each its share of the total, ramped where the controller has a
// rate. Safety first: a member that leaves (dropped, taken offline) or gets anyone's 0 stops the
// whole group at once, every member to 0, and says why. Groups start only when asked, never by
// themselves after a restart.
//
// While a group runs, each flow reading of a member measures the composition (each member's flow
// over their sum) and watches it against the plan's: the composition alarm of the group's
// definition, held off after every change of the total, on a clock that tests replace.
class MixDriver : public QObject
{
    Q_OBJECT
public:
    static constexpr int GroupCount = 4; // groups 1 .. 4

    // The ramps may be null: then every share is sent at once.
    MixDriver(BenchModel *model, RampDriver *ramps, QObject *parent = nullptr);

    // A group's definition; refused (why) while the group runs or for a number out of range.
    QString setGroup(int group, const MixGroup &definition);
    MixGroup group(int group) const;

    // Takes every member and writes the plan of `total`; or why not (nothing taken, nothing sent).
    // A running group takes it as a new total. `origin`, when given, says where the start came
    // from beyond the mix (a remote command's topic); the audit trail keeps it with each write.
    QString start(int group, double total, const QString &origin = QString());
    // A running group's new total; the definition keeps it for the next start.
    QString setTotal(int group, double total, const QString &origin = QString());
    // Every member to 0 and let go.
    void stop(int group);
    void stopAll();

    bool isRunning(int group) const;
    // The plan last written by a running group (empty when stopped).
    MixPlan plan(int group) const;
    // Members of the running groups, for the exit stop.
    QList<quint8> runningMembers() const;
    static Driver driver(int group) { return {Driver::Mix, group}; }

    // Monotonic milliseconds, for the composition alarm; the steady clock unless replaced.
    void setClock(std::function<qint64()> monotonicMs) { m_clock = std::move(monotonicMs); }
    // Each member's share of the measured flow, in %, while the group runs and every member has a
    // flow reading that sums above 0; empty otherwise.
    QList<double> actualComposition(int group) const;
    bool compositionAlarmActive(int group) const;
    // While it is active: the address of the member off the most and by how many points.
    quint8 compositionAlarmMember(int group) const;
    double compositionAlarmPoints(int group) const;

signals:
    // Started, stopped, total changed, definition changed.
    void groupChanged(int group);
    // The group stopped without its own stop: why.
    void groupTripped(int group, QString why);
    // A member's flow reading measured a running group's composition again.
    void compositionMeasured(int group);
    // The composition alarm rose or cleared; `address` is the member off the most, by `points`
    // percentage points against the group's `limit`.
    void compositionAlarm(int group, bool raised, quint8 address, double points, double limit);

private:
    struct Slot
    {
        MixGroup definition;
        bool running = false;
        MixPlan plan;
        MixCompositionWatch watch;
    };
    bool valid(int group) const { return group >= 1 && group <= GroupCount; }
    QString write(int group, const MixPlan &plan, const QString &origin);
    QString send(int group, quint8 address, float value);
    void halt(int group);
    void trip(int group, const QString &why);
    void measure(const Reading &reading);
    void report(int group, const std::optional<MixCompositionWatch::Change> &change);

    BenchModel *m_model;
    RampDriver *m_ramps;
    std::array<Slot, GroupCount> m_groups;
    std::function<qint64()> m_clock;
};
