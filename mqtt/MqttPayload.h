#pragma once

#include "MixGroup.h"

#include <QByteArray>
#include <QString>

struct AlarmRecord;
struct Reading;

// The JSON the topics carry. Readings and read-backs: {"value": 12.5, "unit": "sccm", "time":
// "2026-12-07T13:05:14.626Z"}, the time in UTC with milliseconds; the mode {"value": "cumulative",
// "time": ...}; command results {"ok": true, "value": 300} or {"ok": false, "error": "...",
// "value": 300}.
class MqttPayload
{
public:
    // sccm, L, ℃, KPa for reading types 1 to 4.
    static QString unitOf(int readingType);
    // The unit of a setpoint kind: sccm (instantaneous) or L (cumulative).
    static QString setpointUnitOf(int kind);

    static QByteArray reading(const Reading &reading);
    static QByteArray value(double value, const QString &unit, qint64 wallMs);
    // A held flow setpoint whose ramp heads for `target`: {"value": 40, "target": 100, ...}.
    static QByteArray rampedValue(double value, double target, const QString &unit, qint64 wallMs);
    // An alarm episode: {"kind": "deviation", "value": 12, "limit": 5, "since": "...", "active":
    // true, "acknowledged": false}.
    static QByteArray alarm(const AlarmRecord &record);
    // A mix group as P/mix/G/state carries it: {"group": 1, "name": "N2/Ar", "running": true,
    // "policy": "ratio", "total": 1000, "planned_total": 750, "members": [{"address": 1,
    // "fraction": 50, "full_scale": 1000, "setpoint": 375, "target": 50, "actual": 49.8}, ...],
    // "limited_by": [3], "limit": "total limited by device 3: at most 750 sccm",
    // "composition_changed": false, "composition_alarm": false}; target and actual composition in %
    // to a tenth; a stopped group shows the composition a start would aim at, no setpoints, and
    // actual is null unless the group runs and its flows are measured.
    struct MixState
    {
        int number = 0;
        MixGroup group;
        bool running = false;
        MixPlan plan; // the plan written, or the one a start would write
        QList<double> actual;
        bool alarm = false;
    };
    static QByteArray mixState(const MixState &state);
    static QByteArray mode(int mode, qint64 wallMs); // 0 instantaneous, 1 cumulative
    static QByteArray ok(double value);
    static QByteArray ok();
    static QByteArray error(const QString &reason);
    // The refusal of a setpoint command, with the value it asked for.
    static QByteArray error(const QString &reason, double value);
    // On P/error: {"ok": false, "error": "...", "topic": "..."}.
    static QByteArray topicError(const QString &reason, const QString &topic);

    // A setpoint command: {"value": 300} or a bare number. On failure the reason is set and false
    // is returned; the range is not judged here.
    static bool parseSetpoint(const QByteArray &payload, double &value, QString &reason);

private:
    static QByteArray number(double value);
    static QByteArray timeText(qint64 wallMs);
};
