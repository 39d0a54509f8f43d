#include "MqttPublisher.h"

#include "BusCodes.h"
#include "DeviceThread.h"
#include "MqttClient.h"
#include "MqttPayload.h"

#include <QDateTime>

using State = ControllerStates::State;

MqttPublisher::MqttPublisher(MqttClient &client, DeviceThread *worker, QObject *parent)
    : QObject(parent), m_client(client), m_worker(worker)
{
    onWorkerThread([this] {
        m_readings = connect(m_worker, &DeviceThread::sig_reading, this, &MqttPublisher::publishReading,
                             Qt::DirectConnection);
    });
    connect(worker, &DeviceThread::sig_setpointRead, this, &MqttPublisher::publishSetpoint);
    connect(worker, &DeviceThread::refreshDeviceMode, this, &MqttPublisher::publishMode);
    connect(worker, &DeviceThread::deviceconnectStatus, this, [this](int deviceId, bool connected) {
        if (!connected)
            setState(quint8(deviceId), State::Dropped);
    });
    connect(worker, &DeviceThread::sig_linkLost, this, [this] { markAll(State::Online, State::Dropped); });
    connect(worker, &DeviceThread::sig_portClosed, this, [this] {
        markAll(State::Online, State::Offline);
        markAll(State::Dropped, State::Offline);
    });
    connect(&client, &MqttClient::connected, this, &MqttPublisher::publishRetained);
}

MqttPublisher::~MqttPublisher()
{
    // Not while the worker's thread is inside publishReading.
    onWorkerThread([this] { disconnect(m_readings); });
}

// A direct connection to the worker's signal is made and cut between its ticks, on its own thread;
// a worker on its way out (it stops and quits together) is let finish first.
void MqttPublisher::onWorkerThread(const std::function<void()> &job)
{
    if (m_worker->isRunning() && m_worker->runOnWorker(job))
        return;
    m_worker->wait();
    job();
}

void MqttPublisher::setTopics(const MqttTopics &topics)
{
    m_topics = topics;
    {
        std::lock_guard<std::mutex> lock(m_prefixMutex);
        m_readingPrefix = topics.prefix().toUtf8() + '/';
    }
    m_retained.clear();
    for (quint8 id : m_states.scan())
        m_retained.insert(m_topics.state(id), ControllerStates::name(m_states.state(id)).toUtf8());
}

void MqttPublisher::setScanned(const QList<quint8> &ids)
{
    for (quint8 id : m_states.replaceScan(ids))
        publishState(id);
}

void MqttPublisher::setState(quint8 deviceId, State state)
{
    if (m_states.set(deviceId, state))
        publishState(deviceId);
}

void MqttPublisher::markAll(State from, State to)
{
    for (quint8 id : m_states.inState(from))
        setState(id, to);
}

void MqttPublisher::publishState(quint8 deviceId)
{
    retain(m_topics.state(deviceId), ControllerStates::name(m_states.state(deviceId)).toUtf8());
}

void MqttPublisher::publishReading(const Reading &reading)
{
    if (!reading.usable)
        return;
    if (!m_client.isConnected()) {
        ++m_dropped;
        return;
    }
    static const QByteArray names[] = {"/flow", "/total", "/temperature", "/pressure"};
    if (reading.typeCode() < Bus::FirstReadingType || reading.typeCode() > Bus::LastReadingType)
        return;
    QByteArray topic;
    {
        std::lock_guard<std::mutex> lock(m_prefixMutex);
        topic = m_readingPrefix;
    }
    topic += QByteArray::number(reading.deviceId) + names[reading.typeCode() - Bus::FirstReadingType];
    if (!m_client.publish(topic, MqttPayload::reading(reading), false))
        ++m_dropped;
}

void MqttPublisher::publishSetpoint(const RegisterReply &reply)
{
    if (!reply.isValid() || MqttTopics::setpointName(reply.code).isEmpty())
        return;
    retain(m_topics.setpoint(reply.deviceId, reply.code),
           MqttPayload::value(double(reply.asFloat), MqttPayload::setpointUnitOf(reply.code), reply.readTime.wallMs));
}

void MqttPublisher::publishMode(int deviceId, int mode)
{
    if (mode != 0 && mode != 1)
        return;
    retain(m_topics.mode(deviceId), MqttPayload::mode(mode, QDateTime::currentMSecsSinceEpoch()));
}

void MqttPublisher::retain(const QString &topic, const QByteArray &payload)
{
    m_retained.insert(topic, payload);
    m_client.publish(topic, payload, true, 1);
}

void MqttPublisher::publishRetained()
{
    m_client.publish(m_topics.status(), QByteArrayLiteral("online"), true, 1);
    for (auto it = m_retained.cbegin(); it != m_retained.cend(); ++it)
        m_client.publish(it.key(), it.value(), true, 1);
}
