#include "MqttPublisher.h"

#include "BenchModel.h"
#include "BusCodes.h"
#include "DeviceThread.h"
#include "MqttClient.h"
#include "MqttPayload.h"

#include <QDateTime>
#include <QSet>

using State = ControllerRecord::State;

namespace {

int setpointKey(int kind, quint8 address)
{
    return kind * 256 + address;
}

const int setpointKinds[] = {Bus::code(Bus::SetpointKind::Instant), Bus::code(Bus::SetpointKind::Cumulative)};

} // namespace

MqttPublisher::MqttPublisher(MqttClient &client, DeviceThread *worker, BenchModel *model, QObject *parent)
    : QObject(parent), m_client(client), m_worker(worker), m_model(model)
{
    onWorkerThread([this] {
        m_readings = connect(m_worker, &DeviceThread::sig_reading, this, &MqttPublisher::publishReading,
                             Qt::DirectConnection);
    });
    connect(model, &BenchModel::stateChanged, this, [this](quint8 address) {
        publishState(address);
        // A controller that comes online shows what it holds, which a dashboard may not have seen.
        publishMode(address);
        for (int kind : setpointKinds)
            publishSetpoint(address, kind);
    });
    connect(model, &BenchModel::setpointChanged, this, &MqttPublisher::publishSetpoint);
    connect(model, &BenchModel::modeChanged, this, [this](quint8 address) { publishMode(address); });
    connect(model, &BenchModel::scanChanged, this, &MqttPublisher::followScan);
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

QByteArray MqttPublisher::stateName(State state)
{
    switch (state) {
    case State::Online:
        return QByteArrayLiteral("online");
    case State::Dropped:
        return QByteArrayLiteral("dropped");
    case State::NotOnline:
        break;
    }
    return QByteArrayLiteral("offline");
}

void MqttPublisher::setTopics(const MqttTopics &topics)
{
    m_topics = topics;
    {
        std::lock_guard<std::mutex> lock(m_prefixMutex);
        m_readingPrefix = topics.prefix().toUtf8() + '/';
    }
}

void MqttPublisher::publishState(quint8 address)
{
    const ControllerRecord *record = m_model ? m_model->record(address) : nullptr;
    const QByteArray state = stateName(record ? record->state : State::NotOnline);
    if (m_shownStates.value(address) == state)
        return;
    m_shownStates.insert(address, state);
    retain(m_topics.state(address), state);
}

void MqttPublisher::publishSetpoint(quint8 address, int kind)
{
    const std::optional<float> held = m_model ? m_model->heldSetpoint(address, kind) : std::nullopt;
    const int key = setpointKey(kind, address);
    if (!held || (m_shownSetpoints.contains(key) && m_shownSetpoints.value(key) == *held))
        return;
    m_shownSetpoints.insert(key, *held);
    retain(m_topics.setpoint(address, kind), MqttPayload::value(double(*held), MqttPayload::setpointUnitOf(kind),
                                                                QDateTime::currentMSecsSinceEpoch()));
}

void MqttPublisher::publishMode(quint8 address)
{
    const ControllerRecord *record = m_model ? m_model->record(address) : nullptr;
    if (!record || record->mode < 0 || m_shownModes.value(address, -1) == record->mode)
        return;
    m_shownModes.insert(address, record->mode);
    retain(m_topics.mode(address), MqttPayload::mode(record->mode, QDateTime::currentMSecsSinceEpoch()));
}

// Controllers the new scan did not find are forgotten by the model: they are offline here.
void MqttPublisher::followScan()
{
    QSet<quint8> addresses;
    for (auto it = m_shownStates.cbegin(); it != m_shownStates.cend(); ++it)
        addresses.insert(it.key());
    if (m_model) {
        for (quint8 address : m_model->scanned())
            addresses.insert(address);
    }
    for (quint8 address : addresses)
        publishState(address);
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

void MqttPublisher::retain(const QString &topic, const QByteArray &payload)
{
    m_client.publish(topic, payload, true, 1);
}

void MqttPublisher::publishRetained()
{
    m_client.publish(m_topics.status(), QByteArrayLiteral("online"), true, 1);
    // A new connection may be to another broker, or to one that lost what it kept: all of it again.
    m_shownStates.clear();
    m_shownSetpoints.clear();
    m_shownModes.clear();
    if (!m_model)
        return;
    QList<quint8> addresses = m_model->scanned();
    for (quint8 address : m_model->onlineControllers()) {
        if (!addresses.contains(address))
            addresses.append(address);
    }
    for (quint8 address : addresses) {
        publishState(address);
        if (!m_model->isOnline(address))
            continue;
        publishMode(address);
        for (int kind : setpointKinds)
            publishSetpoint(address, kind);
    }
}

void MqttPublisher::publishAllOffline()
{
    for (auto it = m_shownStates.begin(); it != m_shownStates.end(); ++it) {
        if (it.value() == stateName(State::NotOnline))
            continue;
        it.value() = stateName(State::NotOnline);
        retain(m_topics.state(it.key()), it.value());
    }
}
