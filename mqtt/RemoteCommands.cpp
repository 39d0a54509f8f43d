#include "RemoteCommands.h"

#include "BusCodes.h"
#include "ControllerStates.h"
#include "DeviceThread.h"
#include "MqttClient.h"
#include "MqttPayload.h"
#include "SetpointRange.h"

#include <QDeadlineTimer>
#include <QStringList>

namespace {

int keyOf(int kind, int deviceId)
{
    return kind * 256 + deviceId;
}

QString addressList(const QList<quint8> &ids)
{
    QStringList texts;
    for (quint8 id : ids)
        texts.append(QString::number(id));
    return texts.join(QStringLiteral(", "));
}

} // namespace

RemoteCommands::RemoteCommands(MqttClient &client, DeviceThread *worker, const ControllerStates &states,
                               const MqttTopics &topics, QObject *parent)
    : QObject(parent), m_client(client), m_worker(worker), m_states(states), m_topics(topics)
{
    connect(worker, &DeviceThread::sig_setpointWritten, this, &RemoteCommands::written);
    connect(worker, &DeviceThread::sig_setpointGivenUp, this, &RemoteCommands::givenUp);
    connect(worker, &DeviceThread::sig_flowsStopped, this, &RemoteCommands::stopped);
    connect(&client, &MqttClient::messageReceived, this, &RemoteCommands::handle);
    m_expiry.setInterval(1000);
    connect(&m_expiry, &QTimer::timeout, this, &RemoteCommands::expireWaiting);
}

QString RemoteCommands::describe(int kind, int deviceId)
{
    return QStringLiteral("设备%1%2").arg(deviceId).arg(
        kind == Bus::code(Bus::SetpointKind::Cumulative) ? QStringLiteral("累积流量设定") : QStringLiteral("瞬时流量设定"));
}

void RemoteCommands::answer(const QString &topic, const QByteArray &payload, const QString &logText)
{
    m_client.publish(topic, payload, false, 1);
    emit logLine(logText);
}

void RemoteCommands::handle(const QString &topic, const QByteArray &payload)
{
    if (topic == m_topics.stop()) {
        handleStop();
        return;
    }
    const MqttTopics::Command command = m_topics.parseSetpointCommand(topic);
    if (command.kind != 0)
        handleSetpoint(command, payload);
}

QString RemoteCommands::refusalFor(quint8 deviceId) const
{
    if (!m_states.isKnown(deviceId))
        return QStringLiteral("unknown controller %1").arg(deviceId);
    if (m_states.state(deviceId) != ControllerStates::State::Online)
        return QStringLiteral("controller %1 is %2").arg(deviceId).arg(ControllerStates::name(m_states.state(deviceId)));
    if (m_driven && m_driven().contains(deviceId))
        return QStringLiteral("controller %1 is driven by a running stage programme").arg(deviceId);
    return QString();
}

void RemoteCommands::handleSetpoint(const MqttTopics::Command &command, const QByteArray &payload)
{
    bool numeric = false;
    const int deviceId = command.address.toInt(&numeric);
    const QString resultTopic = numeric ? m_topics.setpointResult(deviceId, command.kind)
                                        : m_topics.prefix() + QLatin1Char('/') + command.address + QLatin1Char('/') +
                                              MqttTopics::setpointName(command.kind) + QStringLiteral("/result");
    const QString what = QStringLiteral("远程命令：") + describe(command.kind, deviceId);
    const auto refuse = [&](const QString &reason) {
        answer(resultTopic, MqttPayload::error(reason), what + QStringLiteral(" 被拒绝：") + reason);
    };
    if (!m_allowed)
        return refuse(QStringLiteral("remote setpoints are not allowed"));
    double value = 0;
    QString reason;
    if (!MqttPayload::parseSetpoint(payload, value, reason))
        return refuse(reason);
    if (!SetpointRange::contains(value))
        return refuse(QStringLiteral("value out of range %1 to %2")
                          .arg(double(SetpointRange::lowest))
                          .arg(double(SetpointRange::highest), 0, 'f', 0));
    if (!numeric || deviceId < 1 || deviceId > 255)
        return refuse(QStringLiteral("unknown controller %1").arg(command.address));
    reason = refusalFor(quint8(deviceId));
    if (!reason.isEmpty())
        return refuse(reason);
    // The worker's book keeps only the newest setpoint of a kind for a controller: the waiting one
    // will never be written.
    const int key = keyOf(command.kind, deviceId);
    if (m_waiting.contains(key))
        answer(m_waiting.value(key).resultTopic, MqttPayload::error(QStringLiteral("replaced by a newer setpoint")),
               what + QStringLiteral(" 被新的设定值取代"));
    m_waiting.insert(key, Pending{resultTopic, {}});
    m_waiting[key].since.start();
    m_expiry.start();
    emit logLine(what + QStringLiteral(" ") + QString::number(value, 'g', 7));
    m_worker->requestSetpoint(quint8(deviceId), command.kind, float(value));
}

void RemoteCommands::written(int kind, int deviceId, float value)
{
    const auto it = m_waiting.find(keyOf(kind, deviceId));
    if (it == m_waiting.end())
        return;
    const QString topic = it->resultTopic;
    m_waiting.erase(it);
    answer(topic, MqttPayload::ok(double(value)),
           QStringLiteral("远程命令：") + describe(kind, deviceId) + QStringLiteral(" 成功：") +
               QString::number(double(value), 'g', 7));
    // The row and the retained setpoint show what the controller holds, read back from it.
    m_worker->slot_showFlowResult(kind, deviceId);
}

void RemoteCommands::givenUp(int kind, int deviceId)
{
    const auto it = m_waiting.find(keyOf(kind, deviceId));
    if (it == m_waiting.end())
        return;
    const QString topic = it->resultTopic;
    m_waiting.erase(it);
    const QString reason = QStringLiteral("controller %1 did not confirm the setpoint").arg(deviceId);
    answer(topic, MqttPayload::error(reason),
           QStringLiteral("远程命令：") + describe(kind, deviceId) + QStringLiteral(" 失败：") + reason);
}

void RemoteCommands::expireWaiting()
{
    for (auto it = m_waiting.begin(); it != m_waiting.end();) {
        if (!it->since.hasExpired(OutcomeWaitMs)) {
            ++it;
            continue;
        }
        const QString reason = QStringLiteral("no outcome within %1 s").arg(OutcomeWaitMs / 1000);
        answer(it->resultTopic, MqttPayload::error(reason), QStringLiteral("远程命令失败：") + reason);
        it = m_waiting.erase(it);
    }
    if (m_waiting.isEmpty())
        m_expiry.stop();
}

void RemoteCommands::handleStop()
{
    if (!m_allowed) {
        const QString reason = QStringLiteral("remote setpoints are not allowed");
        answer(m_topics.stopResult(), MqttPayload::error(reason), QStringLiteral("远程命令：停止 被拒绝：") + reason);
        return;
    }
    emit logLine(QStringLiteral("远程命令：停止所有分阶流程并将设备%1设为0").arg(addressList(m_states.scan())));
    if (m_stopProgrammes)
        m_stopProgrammes();
    m_stopWaiting = true;
    m_worker->requestFlowStop(m_states.scan(), QDeadlineTimer(StopBudgetMs));
}

void RemoteCommands::stopped(const QList<quint8> &unconfirmed)
{
    if (!m_stopWaiting)
        return;
    m_stopWaiting = false;
    if (unconfirmed.isEmpty()) {
        answer(m_topics.stopResult(), MqttPayload::ok(), QStringLiteral("远程命令：停止 成功"));
        return;
    }
    const QString reason = QStringLiteral("controllers %1 did not confirm 0").arg(addressList(unconfirmed));
    answer(m_topics.stopResult(), MqttPayload::error(reason), QStringLiteral("远程命令：停止 失败：") + reason);
}
