#pragma once

#include "ControllerRecord.h"
#include "MqttTopics.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <atomic>
#include <functional>
#include <mutex>

class AlarmMonitor;
class BenchModel;
class MixDriver;
class RampDriver;
class DeviceThread;
class MqttClient;
struct Reading;

// Publishes the bench: each reading (not retained: a reading is news only once) and, retained, the
// status, each controller's state and, for an online one, the setpoints it holds and its mode, as
// the bench model has them. Every connection (a reconnection, a switch of broker) publishes them
// all again; in between, only what changed. Readings that come while the broker is away are
// dropped and counted.
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
    MqttPublisher(MqttClient &client, DeviceThread *worker, BenchModel *model, QObject *parent = nullptr);
    ~MqttPublisher() override;

    void setTopics(const MqttTopics &topics);
    // Flow setpoints then carry the target of a running ramp; P/A/alarm and P/alarms are published.
    void setProcess(RampDriver *ramps, AlarmMonitor *alarms);
    // P/mix/G/state of every defined group, retained: on every change of the group, and at most
    // once a second for a new measured composition.
    void setMixes(MixDriver *mixes);
    const MqttTopics &topics() const { return m_topics; }

    // Any thread.
    void publishReading(const Reading &reading);
    // "online", then every retained topic from the model; on every connection.
    void publishRetained();
    // Every controller's state as "offline", before the link's own last words: nobody is left
    // reading "online" from a bench that has gone.
    void publishAllOffline();
    qint64 droppedReadings() const { return m_dropped; }

    static QByteArray stateName(ControllerRecord::State state);

private:
    void retain(const QString &topic, const QByteArray &payload);
    void publishState(quint8 address);
    void publishSetpoint(quint8 address, int kind);
    void publishMode(quint8 address);
    void publishAlarm(quint8 address);
    void publishAlarmCount();
    void publishMix(int group, bool measured = false);
    void followScan();
    void onWorkerThread(const std::function<void()> &job);

    MqttClient &m_client;
    DeviceThread *m_worker;
    QPointer<BenchModel> m_model;
    QMetaObject::Connection m_readings;
    MqttTopics m_topics;
    // What this connection was last told, so that a signal that changes nothing sends nothing.
    QHash<quint8, QByteArray> m_shownStates;
    QHash<int, QByteArray> m_shownSetpoints; // by kind * 256 + address: value and target
    QHash<quint8, QByteArray> m_shownAlarms;
    int m_shownAlarmCount = -1;
    QPointer<RampDriver> m_ramps;
    QPointer<AlarmMonitor> m_alarms;
    QHash<quint8, int> m_shownModes;
    QPointer<MixDriver> m_mixes;
    QHash<int, QByteArray> m_shownMixes;
    QHash<int, qint64> m_mixShownAtMs; // by group: when a measured composition was last published
    std::mutex m_prefixMutex;
    QByteArray m_readingPrefix; // "P/", under m_prefixMutex: read on the worker's thread
    std::atomic<qint64> m_dropped{0};
};
