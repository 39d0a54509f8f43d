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

    QString name;
    QList<MixMember> members;
    double total = 0.0; // sccm
    Policy policy = Policy::KeepRatio;

    // Why the group cannot run as defined; empty when it can.
    QString invalidity() const;
    QList<quint8> addresses() const;

    // {"name": .., "policy": "ratio" | "total", "total": sccm,
    //  "members": [{"address": 1, "fraction": 50, "full_scale": 1000}, ..]}; written over `kept`,
    // whose other keys stay.
    QJsonObject toJson(QJsonObject kept = {}) const;
    // False for an object of another shape; the group's validity is not checked here.
    static bool fromJson(const QJsonObject &json, MixGroup *group);
};

// What a total asks of each member, in the members' order.
struct MixPlan
{
    QList<float> setpoints;
    double total = 0.0;        // the total the setpoints give
    QString limit;             // what cut or bent the plan; empty when nothing did
    bool compositionChanged = false; // keep-total: the mixture is not the one asked for
    QString error;             // the group is not valid (no setpoints then)
};

// The setpoints of a total: pure, for the driver, the window and the command line alike.
MixPlan planMix(const MixGroup &group, double total);
