#pragma once

#include <QByteArray>
#include <QString>

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
