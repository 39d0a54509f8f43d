#pragma once

#include "MqttTopics.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QTimer>
#include <functional>

class AlarmMonitor;
class BenchModel;
class MixDriver;
class RampDriver;
class DeviceThread;
class MqttClient;

// Obeys the commands that come through the broker, while remote setpoints are allowed. A setpoint
// command (a number from 0 to 999999) goes to the bench model as the remote driver's: the model
// refuses it with its reason (not online, held by a running programme, the other mode) or hands it
// to the worker's request book with a ticket of its own. A stop ends every running programme and
// sets every controller of the scan to 0, as the stage page's stop does (and stops the running mix
// groups); a stop that comes while one is under way joins it. A mix group's total (P/mix/G/total/set,
// a number from 0 to 999999 sccm) starts the group or changes its total, as the mix window's
// buttons do; its result comes once every member confirmed its share.
//
// Every command gets exactly one result, and it tells what became of that command: written and
// confirmed, replaced in the book by a newer one before it went out, given up, or refused with
// nothing on the wire. A command the broker kept (retained) is never carried out: it would be
// obeyed again at every start and reconnection; it is answered once. A topic on a command pattern
// that is no command (an address spelled "01") is answered on P/error. Every command and its
// outcome is one line of logLine.
class RemoteCommands : public QObject
{
    Q_OBJECT
public:
    // Time the worker has to end a setpoint write (six ticks and their retries) or a stop.
    static constexpr int OutcomeWaitMs = 60000;
    static constexpr int StopBudgetMs = 5000;

    RemoteCommands(MqttClient &client, DeviceThread *worker, BenchModel *model, const MqttTopics &topics,
                   QObject *parent = nullptr);

    void setAllowed(bool allowed) { m_allowed = allowed; }
    bool isAllowed() const { return m_allowed; }
    // Stops every running stage programme; nothing when not set.
    void setProgrammeStop(std::function<void()> stop) { m_stopProgrammes = std::move(stop); }
    // With a ramp driver, a flow setpoint of a controller that has a ramp rate ramps, and its
    // result comes when the target is confirmed or the ramp is abandoned. With an alarm monitor,
    // P/A/alarm/ack acknowledges the controller's latched alarms.
    void setProcess(RampDriver *ramps, AlarmMonitor *alarms);
    // With a mix driver, P/mix/G/total/set sets a group's total; without, it is refused.
    void setMixes(MixDriver *mixes);

    void handle(const QString &topic, const QByteArray &payload, bool retained);

signals:
    void logLine(QString line);

private:
    struct Pending
    {
        QString resultTopic;
        QString what;
        float value = 0;
        QElapsedTimer since;
    };
    void handleSetpoint(const MqttTopics::Command &command, const QByteArray &payload);
    void handleStop();
    void handleRamp(const MqttTopics::Command &command, double value, const QString &resultTopic,
                    const QString &what);
    void rampEnded(quint8 address, float target, bool reached, const QString &why);
    void handleAlarmAck(const MqttTopics::Command &command);
    void handleMixTotal(const MqttTopics::Command &command, const QByteArray &payload);
    // A member confirmed a value, gave one up, or the group stopped: the mix commands waiting hear it.
    void mixConfirmed(quint8 address, float value);
    void mixGaveUp(quint8 address);
    void mixStopped(int group, const QString &why);
    void ended(quint64 ticket, bool written);
    void replaced(quint64 ticket);
    void stopped(const QList<quint8> &unconfirmed);
    void expireWaiting();
    void answer(const QString &topic, const QByteArray &payload, const QString &logText);
    static QString describe(int kind, int address);

    MqttClient &m_client;
    DeviceThread *m_worker;
    BenchModel *m_model;
    const MqttTopics &m_topics;
    bool m_allowed = false;
    std::function<void()> m_stopProgrammes;
    quint64 m_lastTicket = 0;
    QHash<quint64, Pending> m_waiting; // by ticket
    int m_stopsWaiting = 0;            // the stop under way and those that joined it
    QHash<QString, QByteArray> m_retainedAnswered; // by topic: the kept command last answered
    QTimer m_expiry;
    RampDriver *m_ramps = nullptr;
    AlarmMonitor *m_alarms = nullptr;
    QHash<quint8, Pending> m_ramping; // by address: the remote target a ramp heads for
    struct PendingMix
    {
        Pending command;
        QHash<quint8, float> awaited; // the members whose share is not confirmed yet
        quint64 serial = 0;           // which command, among those of the group
    };
    MixDriver *m_mixes = nullptr;
    QHash<int, PendingMix> m_mixing; // by group
};
