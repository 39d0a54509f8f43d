#pragma once

#include "MqttTopics.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QTimer>
#include <functional>

class ControllerStates;
class DeviceThread;
class MqttClient;

// Obeys the commands that come through the broker, while remote setpoints are allowed: a setpoint
// command passes the checks of the row's entry (a number from 0 to 999999, a controller online and
// not driven by a running stage programme) and goes into the worker's request book as the row's
// entry does; its result is published once the controller's echo confirms it or the write is given
// up. A stop ends every running programme and sets every controller of the last scan to 0, as the
// stage page's stop does. Whatever is refused leaves nothing on the wire and a result that names
// the reason. Every command and its outcome is one line of logLine.
class RemoteCommands : public QObject
{
    Q_OBJECT
public:
    // Time the worker has to end a setpoint write (six ticks and their retries) or a stop.
    static constexpr int OutcomeWaitMs = 60000;
    static constexpr int StopBudgetMs = 5000;

    RemoteCommands(MqttClient &client, DeviceThread *worker, const ControllerStates &states,
                   const MqttTopics &topics, QObject *parent = nullptr);

    void setAllowed(bool allowed) { m_allowed = allowed; }
    bool isAllowed() const { return m_allowed; }
    // The controllers running stage programmes drive; none when not set.
    void setDrivenDevices(std::function<QList<quint8>()> driven) { m_driven = std::move(driven); }
    // Stops every running stage programme; nothing when not set.
    void setProgrammeStop(std::function<void()> stop) { m_stopProgrammes = std::move(stop); }

    void handle(const QString &topic, const QByteArray &payload);

signals:
    void logLine(QString line);

private:
    struct Pending
    {
        QString resultTopic;
        QElapsedTimer since;
    };
    void handleSetpoint(const MqttTopics::Command &command, const QByteArray &payload);
    QString refusalFor(quint8 deviceId) const;
    void handleStop();
    void written(int kind, int deviceId, float value);
    void givenUp(int kind, int deviceId);
    void stopped(const QList<quint8> &unconfirmed);
    void expireWaiting();
    void answer(const QString &topic, const QByteArray &payload, const QString &logText);
    static QString describe(int kind, int deviceId);

    MqttClient &m_client;
    DeviceThread *m_worker;
    const ControllerStates &m_states;
    const MqttTopics &m_topics;
    bool m_allowed = false;
    std::function<QList<quint8>()> m_driven;
    std::function<void()> m_stopProgrammes;
    QHash<int, Pending> m_waiting; // by kind * 256 + address
    bool m_stopWaiting = false;
    QTimer m_expiry;
};
