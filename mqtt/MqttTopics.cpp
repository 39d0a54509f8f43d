#include "MqttTopics.h"

#include "BusCodes.h"

#include <QStringList>

namespace {
const QString setSuffix = QStringLiteral("/set");
} // namespace

QString MqttTopics::readingName(int type)
{
    static const char *const names[] = {"flow", "total", "temperature", "pressure"};
    if (type < Bus::FirstReadingType || type > Bus::LastReadingType)
        return QString();
    return QString::fromLatin1(names[type - Bus::FirstReadingType]);
}

QString MqttTopics::setpointName(int kind)
{
    if (kind == Bus::code(Bus::SetpointKind::Instant))
        return QStringLiteral("setpoint");
    if (kind == Bus::code(Bus::SetpointKind::Cumulative))
        return QStringLiteral("total_setpoint");
    return QString();
}

QString MqttTopics::device(int deviceId) const
{
    return m_prefix + QLatin1Char('/') + QString::number(deviceId);
}

QString MqttTopics::status() const
{
    return m_prefix + QStringLiteral("/status");
}

QString MqttTopics::state(int deviceId) const
{
    return device(deviceId) + QStringLiteral("/state");
}

QString MqttTopics::reading(int deviceId, int type) const
{
    return device(deviceId) + QLatin1Char('/') + readingName(type);
}

QString MqttTopics::setpoint(int deviceId, int kind) const
{
    return device(deviceId) + QLatin1Char('/') + setpointName(kind);
}

QString MqttTopics::mode(int deviceId) const
{
    return device(deviceId) + QStringLiteral("/mode");
}

QString MqttTopics::setpointCommand(int deviceId, int kind) const
{
    return setpoint(deviceId, kind) + setSuffix;
}

QString MqttTopics::setpointResult(int deviceId, int kind) const
{
    return setpoint(deviceId, kind) + QStringLiteral("/result");
}

QString MqttTopics::stop() const
{
    return m_prefix + QStringLiteral("/stop");
}

QString MqttTopics::stopResult() const
{
    return stop() + QStringLiteral("/result");
}

QString MqttTopics::error() const
{
    return m_prefix + QStringLiteral("/error");
}

QString MqttTopics::alarm(int deviceId) const
{
    return device(deviceId) + QStringLiteral("/alarm");
}

QString MqttTopics::alarms() const
{
    return m_prefix + QStringLiteral("/alarms");
}

QString MqttTopics::alarmAck(int deviceId) const
{
    return alarm(deviceId) + QStringLiteral("/ack");
}

QString MqttTopics::alarmAckResult(int deviceId) const
{
    return alarmAck(deviceId) + QStringLiteral("/result");
}

QString MqttTopics::mixState(int group) const
{
    return m_prefix + QStringLiteral("/mix/") + QString::number(group) + QStringLiteral("/state");
}

QString MqttTopics::mixTotal(int group) const
{
    return m_prefix + QStringLiteral("/mix/") + QString::number(group) + QStringLiteral("/total") + setSuffix;
}

QString MqttTopics::mixTotalResult(int group) const
{
    return m_prefix + QStringLiteral("/mix/") + QString::number(group) + QStringLiteral("/total/result");
}

QStringList MqttTopics::commandPatterns() const
{
    return {m_prefix + QStringLiteral("/+/setpoint/set"), m_prefix + QStringLiteral("/+/total_setpoint/set"),
            m_prefix + QStringLiteral("/+/alarm/ack"), stop(), m_prefix + QStringLiteral("/mix/+/total/set")};
}

MqttTopics::Command MqttTopics::parseCommand(const QString &topic) const
{
    Command command;
    if (topic == stop()) {
        command.type = Command::Stop;
        return command;
    }
    const QString mixHead = m_prefix + QStringLiteral("/mix/");
    const QString mixTail = QStringLiteral("/total") + setSuffix;
    if (topic.startsWith(mixHead) && topic.endsWith(mixTail) && topic.size() >= mixHead.size() + mixTail.size()) {
        // As an address: only the one spelling of a group number.
        const QString number = topic.mid(mixHead.size(), topic.size() - mixHead.size() - mixTail.size());
        bool numeric = false;
        const int group = number.toInt(&numeric);
        if (!numeric || group < 1 || group > LastMixGroup || number != QString::number(group)) {
            command.reason = QStringLiteral("not a mix group: \"%1\" (1 to %2)").arg(number).arg(LastMixGroup);
            return command;
        }
        command.type = Command::MixTotal;
        command.group = group;
        return command;
    }
    const QString head = m_prefix + QLatin1Char('/');
    const QString ackSuffix = QStringLiteral("/alarm/ack");
    const bool ack = topic.startsWith(head) && topic.endsWith(ackSuffix);
    const QString suffix = ack ? ackSuffix : setSuffix;
    const QStringList parts = topic.startsWith(head) && topic.endsWith(suffix)
                                  ? topic.mid(head.size(), topic.size() - head.size() - suffix.size()).split('/')
                                  : QStringList();
    for (int kind : {Bus::code(Bus::SetpointKind::Instant), Bus::code(Bus::SetpointKind::Cumulative)}) {
        if (!ack && parts.size() == 2 && parts[1] == setpointName(kind))
            command.kind = kind;
    }
    if (command.kind == 0 && !(ack && parts.size() == 1)) {
        command.reason = QStringLiteral("not a command topic");
        return command;
    }
    bool numeric = false;
    const int address = parts[0].toInt(&numeric);
    if (!numeric || address < 1 || address > LastAddress || parts[0] != QString::number(address)) {
        command.kind = 0;
        command.reason = QStringLiteral("not a controller address: \"%1\" (1 to %2)").arg(parts[0]).arg(LastAddress);
        return command;
    }
    command.type = ack ? Command::AlarmAck : Command::Setpoint;
    command.address = quint8(address);
    return command;
}
