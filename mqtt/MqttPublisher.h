#pragma once

#include "ControllerStates.h"
#include "MqttTopics.h"
#include "RegisterReply.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <atomic>
#include <functional>
#include <mutex>

class DeviceThread;
class MqttClient;
struct Reading;

// Publishes what the worker reports: each reading (not retained: a reading is news only once) and,
// retained, the status, each controller's state, its read-back setpoints and its mode. The retained
// ones are kept (one per topic) and published again on every reconnection; readings that come
// while the broker is away are dropped and counted.
//
// Readings are published on the worker's thread, where they are made (a direct connection): a
// reading costs a few microseconds of formatting and a hand-over to the client's queue there, and
// nothing on the GUI thread, which sees fifteen controllers' readings every second. Everything else
// runs on this object's thread.
class MqttPublisher : public QObject
{
    Q_OBJECT
public:
    // The worker must outlive this object.
    MqttPublisher(MqttClient &client, DeviceThread *worker, QObject *parent = nullptr);
    ~MqttPublisher() override;

    void setTopics(const MqttTopics &topics);
    const MqttTopics &topics() const { return m_topics; }
    const ControllerStates &states() const { return m_states; }

    void setScanned(const QList<quint8> &ids);
    void setState(quint8 deviceId, ControllerStates::State state);

    // Any thread.
    void publishReading(const Reading &reading);
    // The retained topics, "online" first; on every connection.
    void publishRetained();
    qint64 droppedReadings() const { return m_dropped; }

private:
    void retain(const QString &topic, const QByteArray &payload);
    void publishState(quint8 deviceId);
    void publishSetpoint(const RegisterReply &reply);
    void publishMode(int deviceId, int mode);
    void markAll(ControllerStates::State from, ControllerStates::State to);
    void onWorkerThread(const std::function<void()> &job);

    MqttClient &m_client;
    DeviceThread *m_worker;
    QMetaObject::Connection m_readings;
    MqttTopics m_topics;
    ControllerStates m_states;
    QHash<QString, QByteArray> m_retained;
    std::mutex m_prefixMutex;
    QByteArray m_readingPrefix; // "P/", under m_prefixMutex: read on the worker's thread
    std::atomic<qint64> m_dropped{0};
};
