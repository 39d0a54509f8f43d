#include "RemoteCommands.h"

#include "AlarmMonitor.h"
#include "BenchModel.h"
#include "BridgeLog.h"
#include "BusCodes.h"
#include "DeviceThread.h"
#include "MixDriver.h"
#include "MqttClient.h"
#include "MqttPayload.h"
#include "RampDriver.h"
#include "SetpointRange.h"

#include <QDeadlineTimer>
#include <QtNumeric>
#include <QStringList>

namespace {

QString say(const char *chinese, const char *english)
{
    return BridgeLog::say(QString::fromUtf8(chinese), QString::fromUtf8(english));
}

QString acknowledging(int address)
{
    return say("确认设备%1的报警", "acknowledge device %1's alarms").arg(address);
}

QString addressList(const QList<quint8> &ids)
{
    QStringList texts;
    for (quint8 id : ids)
        texts.append(QString::number(id));
    return texts.join(QStringLiteral(", "));
}

// Where a command came from, as the audit trail names it.
QString remoteOrigin(const QString &commandTopic)
{
    return QStringLiteral("topic %1, client %2").arg(commandTopic, QString::fromUtf8(MqttClient::clientId()));
}

// The command's own topic: its result topic's, without "/result".
QString commandTopicOf(const QString &resultTopic)
{
    return resultTopic.left(resultTopic.lastIndexOf(QLatin1Char('/')));
}

} // namespace

RemoteCommands::RemoteCommands(MqttClient &client, DeviceThread *worker, BenchModel *model,
                               const MqttTopics &topics, QObject *parent)
    : QObject(parent), m_client(client), m_worker(worker), m_model(model), m_topics(topics)
{
    connect(worker, &DeviceThread::sig_setpointEnded, this, &RemoteCommands::ended);
    connect(worker, &DeviceThread::sig_setpointReplaced, this, &RemoteCommands::replaced);
    connect(worker, &DeviceThread::sig_flowsStopped, this, &RemoteCommands::stopped);
    connect(&client, &MqttClient::messageReceived, this, &RemoteCommands::handle);
    m_expiry.setInterval(1000);
    connect(&m_expiry, &QTimer::timeout, this, &RemoteCommands::expireWaiting);
}

QString RemoteCommands::describe(int kind, int address)
{
    return (kind == Bus::code(Bus::SetpointKind::Cumulative)
                ? say("设备%1累积流量设定", "device %1 total setpoint")
                : say("设备%1瞬时流量设定", "device %1 setpoint"))
        .arg(address);
}

void RemoteCommands::answer(const QString &topic, const QByteArray &payload, const QString &logText)
{
    m_client.publish(topic, payload, false, 1);
    emit logLine(logText);
}

void RemoteCommands::handle(const QString &topic, const QByteArray &payload, bool retained)
{
    // The broker hands a kept message over again at every connection; one answer is enough.
    if (retained && m_retainedAnswered.contains(topic) && m_retainedAnswered.value(topic) == payload)
        return;
    if (retained)
        m_retainedAnswered.insert(topic, payload);
    const MqttTopics::Command command = m_topics.parseCommand(topic);
    if (command.type == MqttTopics::Command::Invalid) {
        answer(m_topics.error(), MqttPayload::topicError(command.reason, topic),
               say("远程命令被拒绝：%1：%2", "remote command refused: %1: %2").arg(topic, command.reason));
        return;
    }
    const bool stop = command.type == MqttTopics::Command::Stop;
    const bool ack = command.type == MqttTopics::Command::AlarmAck;
    const bool mix = command.type == MqttTopics::Command::MixTotal;
    const QString resultTopic = stop  ? m_topics.stopResult()
                                : ack ? m_topics.alarmAckResult(command.address)
                                : mix ? m_topics.mixTotalResult(command.group)
                                      : m_topics.setpointResult(command.address, command.kind);
    const QString what =
        say("远程命令：", "remote command: ") +
        (stop  ? say("停止", "stop")
         : ack ? acknowledging(command.address)
         : mix ? say("混合组%1总流量设定", "mix group %1 total").arg(command.group)
               : describe(command.kind, command.address));
    const auto refuse = [&](const QString &reason) {
        if (command.type == MqttTopics::Command::Setpoint) { // the trail keeps a refused setpoint too
            double value = qQNaN();
            QString unread;
            MqttPayload::parseSetpoint(payload, value, unread);
            m_model->announceRefusal(command.address, command.kind, float(value), Driver::remote(),
                                     remoteOrigin(topic), reason);
        }
        answer(resultTopic, MqttPayload::error(reason), what + say(" 被拒绝：", " refused: ") + reason);
    };
    if (retained)
        return refuse(QStringLiteral("retained command not carried out: send commands without the retain flag"));
    if (!m_allowed)
        return refuse(QStringLiteral("remote setpoints are not allowed"));
    if (stop)
        handleStop();
    else if (ack)
        handleAlarmAck(command);
    else if (mix)
        handleMixTotal(command, payload);
    else
        handleSetpoint(command, payload);
}

void RemoteCommands::setMixes(MixDriver *mixes)
{
    m_mixes = mixes;
    if (!mixes)
        return;
    connect(m_model, &BenchModel::setpointConfirmed, this, [this](quint8 address, int kind, float value) {
        if (kind == Bus::code(Bus::SetpointKind::Instant))
            mixConfirmed(address, value);
    });
    connect(m_model, &BenchModel::setpointGaveUp, this, [this](quint8 address, int kind) {
        if (kind == Bus::code(Bus::SetpointKind::Instant))
            mixGaveUp(address);
    });
    connect(mixes, &MixDriver::groupTripped, this, &RemoteCommands::mixStopped);
    // A trip says why just after its change; an asked stop says nothing more. The answer waits
    // for the events in hand, so that a trip's reason reaches it first.
    connect(mixes, &MixDriver::groupChanged, this, [this](int group) {
        if (m_mixes->isRunning(group) || !m_mixing.contains(group))
            return;
        const quint64 serial = m_mixing.value(group).serial;
        QMetaObject::invokeMethod(
            this,
            [this, group, serial] {
                if (m_mixing.contains(group) && m_mixing.value(group).serial == serial)
                    mixStopped(group, QStringLiteral("the mix group was stopped"));
            },
            Qt::QueuedConnection);
    });
}

void RemoteCommands::handleMixTotal(const MqttTopics::Command &command, const QByteArray &payload)
{
    const QString resultTopic = m_topics.mixTotalResult(command.group);
    const QString what = say("远程命令：混合组%1总流量设定", "remote command: mix group %1 total").arg(command.group);
    double total = 0;
    QString reason;
    if (!MqttPayload::parseSetpoint(payload, total, reason)) {
        answer(resultTopic, MqttPayload::error(reason), what + say(" 被拒绝：", " refused: ") + reason);
        return;
    }
    const auto refuse = [&](const QString &why) {
        answer(resultTopic, MqttPayload::error(why, total), what + say(" 被拒绝：", " refused: ") + why);
    };
    if (!SetpointRange::contains(total))
        return refuse(QStringLiteral("value out of range %1 to %2")
                          .arg(double(SetpointRange::lowest))
                          .arg(double(SetpointRange::highest), 0, 'f', 0));
    if (!m_mixes)
        return refuse(QStringLiteral("no mix groups here"));
    // The start or the new total, each member's write with the command's topic in the audit trail.
    reason = m_mixes->start(command.group, total,
                            QStringLiteral("topic %1, client %2")
                                .arg(m_topics.mixTotal(command.group), QString::fromUtf8(MqttClient::clientId())));
    if (!reason.isEmpty())
        return refuse(reason);
    // A newer total replaces the one the members were still to confirm: that command has its answer.
    const PendingMix earlier = m_mixing.take(command.group);
    if (!earlier.command.resultTopic.isEmpty()) {
        const QString why = QStringLiteral("replaced by a newer total before every member confirmed its share");
        answer(earlier.command.resultTopic, MqttPayload::error(why, double(earlier.command.value)),
               earlier.command.what + say(" 被新的总流量取代", " replaced by a newer total"));
    }
    PendingMix pending{{resultTopic, what, float(total), {}}, {}, ++m_lastTicket};
    pending.command.since.start();
    const MixGroup group = m_mixes->group(command.group);
    const MixPlan plan = m_mixes->plan(command.group);
    for (int i = 0; i < group.members.size() && i < plan.setpoints.size(); ++i)
        pending.awaited.insert(group.members[i].address, plan.setpoints[i]);
    m_mixing.insert(command.group, pending);
    m_expiry.start();
    emit logLine(what + QStringLiteral(" ") + QString::number(total, 'g', 7) +
                 (plan.limit.isEmpty() ? QString() : QStringLiteral("（") + plan.limit + QStringLiteral("）")));
}

void RemoteCommands::mixConfirmed(quint8 address, float value)
{
    for (auto it = m_mixing.begin(); it != m_mixing.end();) {
        const auto found = it->awaited.constFind(address);
        if (found != it->awaited.constEnd() && *found == value)
            it->awaited.remove(address);
        if (!it->awaited.isEmpty()) {
            ++it;
            continue;
        }
        const Pending done = it->command;
        it = m_mixing.erase(it);
        answer(done.resultTopic, MqttPayload::ok(double(done.value)),
               done.what + say(" 成功：", " done: ") + QString::number(double(done.value), 'g', 7));
    }
}

void RemoteCommands::mixGaveUp(quint8 address)
{
    for (auto it = m_mixing.begin(); it != m_mixing.end();) {
        if (!it->awaited.contains(address)) {
            ++it;
            continue;
        }
        const Pending failed = it->command;
        it = m_mixing.erase(it);
        const QString reason = QStringLiteral("controller %1 did not confirm its share").arg(address);
        answer(failed.resultTopic, MqttPayload::error(reason, double(failed.value)),
               failed.what + say(" 失败：", " failed: ") + reason);
    }
}

void RemoteCommands::mixStopped(int group, const QString &why)
{
    const PendingMix stopped = m_mixing.take(group);
    if (stopped.command.resultTopic.isEmpty())
        return;
    answer(stopped.command.resultTopic, MqttPayload::error(why, double(stopped.command.value)),
           stopped.command.what + say(" 失败：", " failed: ") + why);
}

void RemoteCommands::setProcess(RampDriver *ramps, AlarmMonitor *alarms)
{
    m_ramps = ramps;
    m_alarms = alarms;
    if (ramps)
        connect(ramps, &RampDriver::rampEnded, this, &RemoteCommands::rampEnded);
}

void RemoteCommands::handleAlarmAck(const MqttTopics::Command &command)
{
    const QString resultTopic = m_topics.alarmAckResult(command.address);
    const QString what = say("远程命令：", "remote command: ") + acknowledging(command.address);
    if (!m_alarms) {
        answer(resultTopic, MqttPayload::error(QStringLiteral("no alarms are watched here")),
               what + say(" 被拒绝：没有报警监视", " refused: no alarms are watched here"));
        return;
    }
    const int count =
        m_alarms->acknowledgeController(command.address, Driver::remote(), remoteOrigin(commandTopicOf(resultTopic)));
    answer(resultTopic, "{\"ok\":true,\"acknowledged\":" + QByteArray::number(count) + '}',
           what + say("：%1条", ": %1 acknowledged").arg(count));
}

void RemoteCommands::handleRamp(const MqttTopics::Command &command, double value, const QString &resultTopic,
                                const QString &what)
{
    const QString reason = m_ramps->approach(command.address, float(value), Driver::remote(),
                                             remoteOrigin(commandTopicOf(resultTopic) + QStringLiteral("/set")));
    if (!reason.isEmpty()) {
        answer(resultTopic, MqttPayload::error(reason, value),
               what + say(" 被拒绝：", " refused: ") + reason);
        return;
    }
    // A new target replaces the one the ramp headed for: that command has its answer now.
    const Pending earlier = m_ramping.take(command.address);
    if (!earlier.resultTopic.isEmpty() && earlier.value != float(value)) {
        const QString why = QStringLiteral("replaced by a newer target before it was reached");
        answer(earlier.resultTopic, MqttPayload::error(why, double(earlier.value)),
               earlier.what + say(" 被新的目标取代", " replaced by a newer target"));
    }
    Pending pending{resultTopic, what, float(value), {}};
    pending.since.start();
    m_ramping.insert(command.address, pending);
    emit logLine(what + say(" 斜坡至 ", " ramping to ") + QString::number(value, 'g', 7));
}

void RemoteCommands::rampEnded(quint8 address, float target, bool reached, const QString &why)
{
    const auto found = m_ramping.constFind(address);
    if (found == m_ramping.constEnd() || found->value != target)
        return;
    const Pending pending = m_ramping.take(address);
    if (reached) {
        answer(pending.resultTopic, MqttPayload::ok(double(target)),
               pending.what + say(" 成功：", " done: ") + QString::number(double(target), 'g', 7));
        return;
    }
    const QString reason = why.isEmpty() ? QStringLiteral("the ramp was abandoned") : why;
    answer(pending.resultTopic, MqttPayload::error(reason, double(target)),
           pending.what + say(" 斜坡中止：", " ramp abandoned: ") + reason);
}

void RemoteCommands::handleSetpoint(const MqttTopics::Command &command, const QByteArray &payload)
{
    const QString resultTopic = m_topics.setpointResult(command.address, command.kind);
    const QString what = say("远程命令：", "remote command: ") + describe(command.kind, command.address);
    const QString origin = remoteOrigin(commandTopicOf(resultTopic) + QStringLiteral("/set"));
    double value = 0;
    QString reason;
    if (!MqttPayload::parseSetpoint(payload, value, reason)) {
        m_model->announceRefusal(command.address, command.kind, qQNaN(), Driver::remote(), origin, reason);
        answer(resultTopic, MqttPayload::error(reason), what + say(" 被拒绝：", " refused: ") + reason);
        return;
    }
    const auto refuse = [&](const QString &why) {
        answer(resultTopic, MqttPayload::error(why, value), what + say(" 被拒绝：", " refused: ") + why);
    };
    if (!SetpointRange::contains(value)) {
        reason = QStringLiteral("value out of range %1 to %2")
                     .arg(double(SetpointRange::lowest))
                     .arg(double(SetpointRange::highest), 0, 'f', 0);
        m_model->announceRefusal(command.address, command.kind, float(value), Driver::remote(), origin, reason);
        return refuse(reason);
    }
    const bool flow = command.kind == Bus::code(Bus::SetpointKind::Instant);
    if (flow && m_ramps && value != 0 && m_ramps->rate(command.address) > 0)
        return handleRamp(command, value, resultTopic, what);
    // A 0 ends a ramp at once; the 0 itself goes out with its own ticket.
    if (flow && m_ramps && value == 0)
        m_ramps->cancel(command.address,
                        say("设备%1的流量被远程命令设为0", "device %1 set to 0 by a remote command")
                            .arg(command.address));
    const quint64 ticket = ++m_lastTicket;
    m_model->setNextOrigin(origin);
    reason = m_model->requestSetpoint(command.address, command.kind, float(value), Driver::remote(), ticket);
    if (!reason.isEmpty())
        return refuse(reason);
    Pending pending{resultTopic, what, float(value), {}};
    pending.since.start();
    m_waiting.insert(ticket, pending);
    m_expiry.start();
    emit logLine(what + QStringLiteral(" ") + QString::number(value, 'g', 7));
}

void RemoteCommands::ended(quint64 ticket, bool written)
{
    const Pending pending = m_waiting.take(ticket);
    if (pending.resultTopic.isEmpty())
        return;
    if (written) {
        answer(pending.resultTopic, MqttPayload::ok(double(pending.value)),
               pending.what + say(" 成功：", " done: ") + QString::number(double(pending.value), 'g', 7));
        return;
    }
    const QString reason = QStringLiteral("the controller did not confirm the setpoint");
    answer(pending.resultTopic, MqttPayload::error(reason, double(pending.value)),
           pending.what + say(" 失败：", " failed: ") + reason);
}

void RemoteCommands::replaced(quint64 ticket)
{
    const Pending pending = m_waiting.take(ticket);
    if (pending.resultTopic.isEmpty())
        return;
    const QString reason = QStringLiteral("replaced by a newer setpoint before it was sent");
    answer(pending.resultTopic, MqttPayload::error(reason, double(pending.value)),
           pending.what + QStringLiteral(" ") + QString::number(double(pending.value), 'g', 7) +
               say(" 在发送前被新的设定值取代", " replaced by a newer setpoint before it was sent"));
}

void RemoteCommands::expireWaiting()
{
    for (auto it = m_waiting.begin(); it != m_waiting.end();) {
        if (!it->since.hasExpired(OutcomeWaitMs)) {
            ++it;
            continue;
        }
        const QString reason = QStringLiteral("no outcome within %1 s").arg(OutcomeWaitMs / 1000);
        answer(it->resultTopic, MqttPayload::error(reason, double(it->value)),
               it->what + say(" 失败：", " failed: ") + reason);
        it = m_waiting.erase(it);
    }
    for (auto it = m_mixing.begin(); it != m_mixing.end();) {
        bool ramping = false;
        for (quint8 address : it->awaited.keys())
            ramping = ramping || (m_ramps && m_ramps->isRamping(address));
        // A share that ramps takes as long as its ramp: it ends with the ramp, not with a clock.
        if (ramping || !it->command.since.hasExpired(OutcomeWaitMs)) {
            ++it;
            continue;
        }
        const QString reason = QStringLiteral("no outcome within %1 s").arg(OutcomeWaitMs / 1000);
        answer(it->command.resultTopic, MqttPayload::error(reason, double(it->command.value)),
               it->command.what + say(" 失败：", " failed: ") + reason);
        it = m_mixing.erase(it);
    }
    if (m_waiting.isEmpty() && m_mixing.isEmpty())
        m_expiry.stop();
}

void RemoteCommands::handleStop()
{
    // A flood of stops writes one round of zeros, not one each: polling keeps its cycle.
    if (m_stopsWaiting++ > 0)
        return;
    QList<quint8> addresses = m_model->scanned();
    for (quint8 address : m_model->onlineControllers()) {
        if (!addresses.contains(address))
            addresses.append(address);
    }
    emit logLine(say("远程命令：停止所有分阶流程并将设备%1设为0",
                     "remote command: stop every stage programme and set devices %1 to 0")
                     .arg(addressList(addresses)));
    if (m_stopProgrammes)
        m_stopProgrammes();
    for (quint8 address : qAsConst(addresses))
        m_model->announceStep(address, 0.0f, Driver::remote(), remoteOrigin(commandTopicOf(m_topics.stopResult())));
    if (m_mixes)
        m_mixes->stopAll();
    m_worker->requestFlowStop(addresses, QDeadlineTimer(StopBudgetMs));
}

void RemoteCommands::stopped(const QList<quint8> &unconfirmed)
{
    const int answered = m_stopsWaiting;
    if (answered == 0)
        return;
    m_stopsWaiting = 0;
    const QString reason = QStringLiteral("controllers %1 did not confirm 0").arg(addressList(unconfirmed));
    const QByteArray payload = unconfirmed.isEmpty() ? MqttPayload::ok() : MqttPayload::error(reason);
    for (int i = 0; i < answered; ++i)
        m_client.publish(m_topics.stopResult(), payload, false, 1);
    emit logLine(
        say("远程命令：停止%1%2", "remote command: stop%1%2")
            .arg(answered > 1 ? say("（%1条）", " (%1 commands)").arg(answered) : QString())
            .arg(unconfirmed.isEmpty() ? say(" 成功", " done") : say(" 失败：", " failed: ") + reason));
}
