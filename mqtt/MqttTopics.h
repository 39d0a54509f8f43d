#pragma once

#include <QString>

// The topic names under one prefix P, for controller address A:
//   P/status, P/A/state, P/A/flow|total|temperature|pressure, P/A/setpoint, P/A/total_setpoint,
//   P/A/mode, the commands P/A/setpoint/set, P/A/total_setpoint/set and P/stop, and their results
//   P/A/setpoint/result, P/A/total_setpoint/result and P/stop/result.
class MqttTopics
{
public:
    explicit MqttTopics(const QString &prefix = QString()) : m_prefix(prefix) {}

    QString prefix() const { return m_prefix; }
    QString status() const;
    QString state(int deviceId) const;
    QString reading(int deviceId, int type) const;  // Bus::ReadingType
    QString setpoint(int deviceId, int kind) const; // Bus::SetpointKind
    QString mode(int deviceId) const;
    QString setpointCommand(int deviceId, int kind) const;
    QString setpointResult(int deviceId, int kind) const;
    QString stop() const;
    QString stopResult() const;
    // The patterns the command handler subscribes to.
    QStringList commandPatterns() const;

    // A setpoint command topic taken apart: kind 0 when the topic is none. The address is the
    // topic's own text; the command handler judges it.
    struct Command
    {
        int kind = 0;
        QString address;
    };
    Command parseSetpointCommand(const QString &topic) const;

    static QString readingName(int type);
    static QString setpointName(int kind);

private:
    QString device(int deviceId) const;
    QString m_prefix;
};
