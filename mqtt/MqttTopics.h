#pragma once

#include <QString>

// The topic names under one prefix P, for controller address A:
//   P/status, P/A/state, P/A/flow|total|temperature|pressure, P/A/setpoint, P/A/total_setpoint,
//   P/A/mode, P/A/alarm, P/alarms, the commands P/A/setpoint/set, P/A/total_setpoint/set,
//   P/A/alarm/ack and P/stop, and their results P/A/setpoint/result, P/A/total_setpoint/result,
//   P/A/alarm/ack/result and P/stop/result; for mix group G (1 to 4) P/mix/G/state, the command
//   P/mix/G/total/set and its result P/mix/G/total/result; P/error for a message on a command
//   pattern that names no command.
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
    // P/A/alarm (retained: the controller's newest latched alarm), P/alarms (how many are latched),
    // the command P/A/alarm/ack and its result.
    QString alarm(int deviceId) const;
    QString alarms() const;
    QString alarmAck(int deviceId) const;
    QString alarmAckResult(int deviceId) const;
    // P/mix/G/state (retained), the command P/mix/G/total/set and its result.
    QString mixState(int group) const;
    QString mixTotal(int group) const;
    QString mixTotalResult(int group) const;
    // The patterns the command handler subscribes to.
    QStringList commandPatterns() const;

    // The bus has addresses 1 to 15; the mix groups are 1 to 4 (MixDriver::GroupCount).
    static constexpr int LastAddress = 15;
    static constexpr int LastMixGroup = 4;

    // A command topic taken apart. An address is taken only in its one spelling ("1", never "01"
    // or " 1"): a broker's access rule for P/1/setpoint/set must not be slipped past by another.
    struct Command
    {
        enum Type
        {
            Invalid, // reason says why
            Setpoint,
            Stop,
            AlarmAck,
            MixTotal // group
        };
        Type type = Invalid;
        int kind = 0;
        quint8 address = 0;
        int group = 0;
        QString reason;
    };
    Command parseCommand(const QString &topic) const;

    static QString readingName(int type);
    static QString setpointName(int kind);

private:
    QString device(int deviceId) const;
    QString m_prefix;
};
