#pragma once

#include "Driver.h"
#include "MixGroup.h"

#include <QObject>
#include <array>

class BenchModel;
class RampDriver;

// Runs mix groups as drivers of the bench model: a running group holds each of its members
// (Driver{Mix, group}) and writes each its share of the total, ramped where the controller has a
// rate. Safety first: a member that leaves (dropped, taken offline) or gets anyone's 0 stops the
// whole group at once, every member to 0, and says why. Groups start only when asked, never by
// themselves after a restart.
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
    QString start(int group, double total);
    // A running group's new total; the definition keeps it for the next start.
    QString setTotal(int group, double total);
    // Every member to 0 and let go.
    void stop(int group);
    void stopAll();

    bool isRunning(int group) const;
    // The plan last written by a running group (empty when stopped).
    MixPlan plan(int group) const;
    // Members of the running groups, for the exit stop.
    QList<quint8> runningMembers() const;
    static Driver driver(int group) { return {Driver::Mix, group}; }

signals:
    // Started, stopped, total changed, definition changed.
    void groupChanged(int group);
    // The group stopped without its own stop: why.
    void groupTripped(int group, QString why);

private:
    struct Slot
    {
        MixGroup definition;
        bool running = false;
        MixPlan plan;
    };
    bool valid(int group) const { return group >= 1 && group <= GroupCount; }
    QString write(int group, const MixPlan &plan);
    QString send(int group, quint8 address, float value);
    void halt(int group);
    void trip(int group, const QString &why);

    BenchModel *m_model;
    RampDriver *m_ramps;
    std::array<Slot, GroupCount> m_groups;
};
