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

QStringList MqttTopics::commandPatterns() const
{
    return {m_prefix + QStringLiteral("/+/setpoint/set"), m_prefix + QStringLiteral("/+/total_setpoint/set"), stop()};
}

MqttTopics::Command MqttTopics::parseSetpointCommand(const QString &topic) const
{
    Command command;
    const QString head = m_prefix + QLatin1Char('/');
    if (!topic.startsWith(head) || !topic.endsWith(setSuffix))
        return command;
    const QStringList parts = topic.mid(head.size(), topic.size() - head.size() - setSuffix.size()).split('/');
    if (parts.size() != 2)
        return command;
    for (int kind : {Bus::code(Bus::SetpointKind::Instant), Bus::code(Bus::SetpointKind::Cumulative)}) {
        if (parts[1] == setpointName(kind)) {
            command.kind = kind;
            command.address = parts[0];
        }
    }
    return command;
}
