#pragma once

#include "ControllerStates.h"
#include "MqttTopics.h"

#include <QByteArray>
#include <QHash>
#include <QObject>

class DeviceThread;
class MqttClient;
struct Reading;

// Publishes what the worker reports: each reading (not retained: a reading is news only once) and,
// retained, the status, each controller's state, its read-back setpoints and its mode. The retained
// ones are kept (one per topic) and published again on every reconnection; readings that come
// while the broker is away are dropped and counted.
class MqttPublisher : public QObject
{
    Q_OBJECT
public:
    MqttPublisher(MqttClient &client, DeviceThread *worker, QObject *parent = nullptr);

    void setTopics(const MqttTopics &topics);
    const MqttTopics &topics() const { return m_topics; }
    const ControllerStates &states() const { return m_states; }

    void setScanned(const QList<quint8> &ids);
    void setState(quint8 deviceId, ControllerStates::State state);

    void publishReading(const Reading &reading);
    // The retained topics, "online" first; on every connection.
    void publishRetained();
    qint64 droppedReadings() const { return m_dropped; }

private:
    void retain(const QString &topic, const QByteArray &payload);
    void publishState(quint8 deviceId);
    void publishSetpoint(int kind, int deviceId, const QByteArray &reply);
    void publishMode(int deviceId, int mode);
    void markAll(ControllerStates::State from, ControllerStates::State to);

    MqttClient &m_client;
    MqttTopics m_topics;
    ControllerStates m_states;
    QHash<QString, QByteArray> m_retained;
    qint64 m_dropped = 0;
};
