#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>

// A gas mixture made by two to four controllers, each giving a share of the total flow.
struct MixMember
{
    quint8 address = 0;
    double fraction = 0.0;  // % of the total
    double fullScale = 0.0; // sccm the controller can give at most
};

struct MixGroup
{
    // What gives way when a member cannot give its share: the total ("保持比例") or the
    // composition ("保持总量").
    enum class Policy
    {
        KeepRatio,
        KeepTotal
    };
    static constexpr int MinMembers = 2;
    static constexpr int MaxMembers = 4;
    static constexpr double FractionTolerance = 0.01;

    // The composition alarm: any member's share of the measured flow off its share of the plan by
    // more than `points` percentage points for longer than `seconds`, not within `holdoff` seconds
    // of a change of the total (or of the start).
    struct CompositionAlarm
    {
        bool on = true;
        double points = 2;
        double seconds = 5;
        double holdoff = 10;
    };

    QString name;
    QList<MixMember> members;
    double total = 0.0; // sccm
    Policy policy = Policy::KeepRatio;
    CompositionAlarm alarm;

    // What keeps the group from running as defined.
    struct Defect
    {
        enum Kind
        {
            None,
            MemberCount,
            Duplicate,    // address
            Fraction,     // address: a share of 0 or less
            FullScale,    // address: a full scale of 0 or less
            FractionSum,  // sum
            NegativeTotal
        };
        Kind kind = None;
        quint8 address = 0;
        double sum = 0.0;
    };
    Defect defect() const;
    // Why the group cannot run as defined, in the interface's language; empty when it can.
    QString invalidity() const;
    // The same in English, for the command line.
    QString invalidityEnglish() const;
    QList<quint8> addresses() const;

    // {"name": .., "policy": "ratio" | "total", "total": sccm,
    //  "members": [{"address": 1, "fraction": 50, "full_scale": 1000}, ..],
    //  "composition_alarm": {"on": true, "points": 2, "seconds": 5, "holdoff": 10}}; written over
    // `kept`, whose other keys stay. A missing or unreadable "composition_alarm" reads as the
    // defaults.
    QJsonObject toJson(QJsonObject kept = {}) const;
    // False for an object of another shape; the group's validity is not checked here.
    static bool fromJson(const QJsonObject &json, MixGroup *group);
};

// What a total asks of each member, in the members' order.
struct MixPlan
{
    QList<float> setpoints;
    double asked = 0.0;        // the total asked for
    double total = 0.0;        // the total the setpoints give
    QString limit;             // what cut or bent the plan; empty when nothing did
    bool compositionChanged = false; // keep-total: the mixture is not the one asked for
    // Who limited it: keep-ratio the member that cut the total, keep-total the members held at
    // their full scale; empty when nothing did.
    QList<quint8> limitedBy;
    QString error;             // the group is not valid (no setpoints then)

    // Each member's share of the plan's total, in %; empty when the total is 0.
    QList<double> composition() const;
};

// The setpoints of a total: pure, for the driver, the window and the command line alike.
MixPlan planMix(const MixGroup &group, double total);
// What limited the plan in English, for the command line and MQTT, whose texts are English
// whatever the locale: "total limited by device 3: at most 750 sccm"; empty when nothing did.
QString mixLimitEnglish(const MixGroup &group, const MixPlan &plan);
