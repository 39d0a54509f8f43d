#pragma once

#include <QString>

// The topic names under one prefix P, for controller address A:
//   P/status, P/A/state, P/A/flow|total|temperature|pressure, P/A/setpoint, P/A/total_setpoint,
//   P/A/mode, the commands P/A/setpoint/set, P/A/total_setpoint/set and P/stop, and their results
//   P/A/setpoint/result, P/A/total_setpoint/result and P/stop/result; P/error for a message on a
//   command pattern that names no command.
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
    QString error() const;
    // The patterns the command handler subscribes to.
    QStringList commandPatterns() const;

    // The bus has addresses 1 to 15.
    static constexpr int LastAddress = 15;

    // A command topic taken apart. An address is taken only in its one spelling ("1", never "01"
    // or " 1"): a broker's access rule for P/1/setpoint/set must not be slipped past by another.
    struct Command
    {
        enum Type
        {
            Invalid, // reason says why
            Setpoint,
            Stop
        };
        Type type = Invalid;
        int kind = 0;
        quint8 address = 0;
        QString reason;
    };
    Command parseCommand(const QString &topic) const;

    static QString readingName(int type);
    static QString setpointName(int kind);

private:
    QString device(int deviceId) const;
    QString m_prefix;
};
