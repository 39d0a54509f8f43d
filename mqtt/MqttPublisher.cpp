#include "MqttPublisher.h"

#include "AlarmMonitor.h"
#include "MixDriver.h"
#include "RampDriver.h"

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
    const std::optional<float> target =
        m_ramps && kind == Bus::code(Bus::SetpointKind::Instant) ? m_ramps->target(address) : std::nullopt;
    const int key = setpointKey(kind, address);
    if (!held)
        return;
    const float heldValue = *held;
    const float targetValue = target ? *target : -1.0f;
    const QByteArray shown = QByteArray::number(heldValue) + '>' + QByteArray::number(targetValue);
    if (m_shownSetpoints.value(key) == shown)
        return;
    m_shownSetpoints.insert(key, shown);
    const QString unit = MqttPayload::setpointUnitOf(kind);
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    retain(m_topics.setpoint(address, kind), target ? MqttPayload::rampedValue(double(heldValue), double(targetValue), unit, now)
                                                    : MqttPayload::value(double(heldValue), unit, now));
}

void MqttPublisher::setProcess(RampDriver *ramps, AlarmMonitor *alarms)
{
    m_ramps = ramps;
    m_alarms = alarms;
    if (ramps)
        connect(ramps, &RampDriver::rampChanged, this,
                [this](quint8 address) { publishSetpoint(address, Bus::code(Bus::SetpointKind::Instant)); });
    if (alarms) {
        const auto follow = [this](const AlarmRecord &record) {
            publishAlarm(record.address);
            publishAlarmCount();
        };
        connect(alarms, &AlarmMonitor::alarmRaised, this, follow);
        connect(alarms, &AlarmMonitor::alarmChanged, this, follow);
    }
}

void MqttPublisher::setMixes(MixDriver *mixes)
{
    m_mixes = mixes;
    if (!mixes)
        return;
    connect(mixes, &MixDriver::groupChanged, this, [this](int group) { publishMix(group); });
    connect(mixes, &MixDriver::compositionMeasured, this, [this](int group) { publishMix(group, true); });
    connect(mixes, &MixDriver::compositionAlarm, this, [this](int group) { publishMix(group); });
    for (int group = 1; group <= MixDriver::GroupCount; ++group)
        publishMix(group);
}

// A group nobody defined is not published; one that was keeps its topic, stopped.
void MqttPublisher::publishMix(int group, bool measured)
{
    if (!m_mixes || !m_client.isConnected())
        return;
    MqttPayload::MixState state;
    state.number = group;
    state.group = m_mixes->group(group);
    if (state.group.members.isEmpty() && !m_shownMixes.contains(group))
        return;
    state.running = m_mixes->isRunning(group);
    state.plan = state.running ? m_mixes->plan(group) : planMix(state.group, state.group.total);
    state.actual = m_mixes->actualComposition(group);
    state.alarm = m_mixes->compositionAlarmActive(group);
    const QByteArray payload = MqttPayload::mixState(state);
    if (m_shownMixes.value(group) == payload)
        return;
    // Flows move a little at every reading: a measured composition goes out once a second at most.
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (measured && now - m_mixShownAtMs.value(group, 0) < 1000)
        return;
    m_shownMixes.insert(group, payload);
    m_mixShownAtMs.insert(group, now);
    retain(m_topics.mixState(group), payload);
}

// The controller's newest latched alarm; none: the kept message is taken off the broker.
void MqttPublisher::publishAlarm(quint8 address)
{
    QByteArray payload;
    for (const AlarmRecord &record : m_alarms->latched()) {
        if (record.address == address)
            payload = MqttPayload::alarm(record);
    }
    if (m_shownAlarms.contains(address) && m_shownAlarms.value(address) == payload)
        return;
    m_shownAlarms.insert(address, payload);
    retain(m_topics.alarm(address), payload);
}

void MqttPublisher::publishAlarmCount()
{
    const int count = m_alarms->latchedCount();
    if (count == m_shownAlarmCount)
        return;
    m_shownAlarmCount = count;
    retain(m_topics.alarms(), QByteArray::number(count));
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
    m_shownAlarms.clear();
    m_shownAlarmCount = -1;
    m_shownMixes.clear();
    for (int group = 1; group <= MixDriver::GroupCount; ++group)
        publishMix(group);
    if (m_alarms) {
        publishAlarmCount();
        for (const AlarmRecord &record : m_alarms->latched())
            publishAlarm(record.address);
    }
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
