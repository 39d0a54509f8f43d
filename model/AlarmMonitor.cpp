#include "AlarmMonitor.h"

#include "BenchModel.h"
#include "MixDriver.h"

#include <QCoreApplication>

namespace {
constexpr int AlarmFlowKind = 1;
constexpr int AlarmCumulativeMode = 1;
} // namespace

QString AlarmRecord::kindName(ControllerAlarms::Kind kind)
{
    switch (kind) {
    case ControllerAlarms::Deviation:
        return QCoreApplication::translate("AlarmRecord", "流量偏差");
    case ControllerAlarms::High:
        return QCoreApplication::translate("AlarmRecord", "流量过高");
    case ControllerAlarms::Low:
        return QCoreApplication::translate("AlarmRecord", "流量过低");
    case ControllerAlarms::Dropped:
        return QCoreApplication::translate("AlarmRecord", "掉线");
    case ControllerAlarms::Temperature:
        return QCoreApplication::translate("AlarmRecord", "温度超限");
    case ControllerAlarms::Pressure:
        return QCoreApplication::translate("AlarmRecord", "压力超限");
    case ControllerAlarms::Composition:
        return QCoreApplication::translate("AlarmRecord", "组成偏差");
    case ControllerAlarms::KindCount:
        break;
    }
    return QString();
}

QString AlarmRecord::kindKey(ControllerAlarms::Kind kind)
{
    static const char *const keys[] = {"deviation", "high", "low", "dropped", "temperature", "pressure", "composition"};
    return kind < ControllerAlarms::KindCount ? QLatin1String(keys[kind]) : QString();
}

QString AlarmRecord::text() const
{
    const QString device = QCoreApplication::translate("AlarmRecord", "设备%1").arg(address);
    switch (kind) {
    case ControllerAlarms::Deviation:
        return QStringLiteral("%1 %2 %3%").arg(device, kindName(kind)).arg(qRound(value));
    case ControllerAlarms::Dropped:
        return QStringLiteral("%1 %2").arg(device, kindName(kind));
    case ControllerAlarms::Composition:
        return QCoreApplication::translate("AlarmRecord", "混合组%1 %2 %3 %4个百分点")
            .arg(mixGroup)
            .arg(kindName(kind), device)
            .arg(QString::number(value, 'f', 1));
    default:
        return QStringLiteral("%1 %2 %3").arg(device, kindName(kind)).arg(value, 0, 'g', 6);
    }
}

AlarmMonitor::AlarmMonitor(BenchModel *model, QObject *parent) : QObject(parent), m_model(model)
{
    connect(model, &BenchModel::readingChanged, this, &AlarmMonitor::takeReading);
    connect(model, &BenchModel::setpointChanged, this, [this](quint8 address, int kind) {
        const ControllerRecord *controller = m_model->record(address);
        const std::optional<float> held = m_model->heldSetpoint(address, AlarmFlowKind);
        if (kind != AlarmFlowKind || !held || !controller || controller->mode == AlarmCumulativeMode)
            return;
        m_alarms[address].setpointHeld(double(*held), m_clock().monotonicMs());
    });
    connect(model, &BenchModel::stateChanged, this, [this](quint8 address, ControllerRecord::State state) {
        if (state == ControllerRecord::State::Dropped)
            apply(address, m_alarms[address].dropped(true, m_clock().monotonicMs()));
    });
}

void AlarmMonitor::setSettings(quint8 address, const AlarmSettings &settings)
{
    m_alarms[address].setSettings(settings);
}

void AlarmMonitor::takeReading(const Reading &reading)
{
    if (!reading.usable)
        return;
    apply(reading.deviceId, m_alarms[reading.deviceId].reading(reading.typeCode(), reading.value,
                                                                m_clock().monotonicMs()));
}

void AlarmMonitor::apply(quint8 address, const QList<ControllerAlarms::Change> &changes)
{
    for (const ControllerAlarms::Change &change : changes) {
        if (change.raised)
            raise(address, change);
        else
            clear(address, change);
    }
}

AlarmRecord *AlarmMonitor::latchedRecord(quint8 address, ControllerAlarms::Kind kind, int mixGroup)
{
    for (int k = m_records.size() - 1; k >= 0; --k) {
        AlarmRecord &record = m_records[k];
        // A group's episode is the group's, whichever member is off the most now.
        const bool same = mixGroup > 0 ? record.mixGroup == mixGroup : record.address == address;
        if (same && record.kind == kind && record.latched())
            return &record;
    }
    return nullptr;
}

void AlarmMonitor::followMixes(MixDriver *mixes)
{
    connect(mixes, &MixDriver::compositionAlarm, this, &AlarmMonitor::mixAlarm);
}

void AlarmMonitor::mixAlarm(int group, bool raised, quint8 address, double points, double limit)
{
    AlarmRecord *record = latchedRecord(address, ControllerAlarms::Composition, group);
    if (!raised) {
        if (!record || !record->active)
            return;
        record->active = false;
        record->cleared = m_clock().wallClock();
        emit alarmChanged(*record);
        return;
    }
    if (record) { // back before it was acknowledged: the same episode
        record->active = true;
        record->cleared = QDateTime();
        record->value = points;
        emit alarmChanged(*record);
        return;
    }
    AlarmRecord added;
    added.id = m_nextId++;
    added.address = address;
    added.kind = ControllerAlarms::Composition;
    added.value = points;
    added.limit = limit;
    added.mixGroup = group;
    added.raised = m_clock().wallClock();
    m_records.append(added);
    if (m_records.size() > KeptRecords)
        m_records.removeFirst();
    emit alarmRaised(added);
}

void AlarmMonitor::raise(quint8 address, const ControllerAlarms::Change &change)
{
    // Back before it was acknowledged: the same episode.
    if (AlarmRecord *record = latchedRecord(address, change.kind)) {
        record->active = true;
        record->cleared = QDateTime();
        record->value = change.value;
        emit alarmChanged(*record);
        return;
    }
    AlarmRecord record;
    record.id = m_nextId++;
    record.address = address;
    record.kind = change.kind;
    record.value = change.value;
    record.limit = change.limit;
    record.raised = m_clock().wallClock();
    m_records.append(record);
    if (m_records.size() > KeptRecords)
        m_records.removeFirst();
    emit alarmRaised(record);
    const bool zero = m_alarms.value(address).settings().zeroOnAlarm && change.kind != ControllerAlarms::Dropped;
    if (zero) // the trail names the alarm that sent the 0
        m_model->setNextOrigin(record.text());
    if (zero && m_model->requestSetpoint(address, AlarmFlowKind, 0.0f, Driver{Driver::Alarm, 0}).isEmpty()) {
        m_records.last().zeroSent = true;
        emit zeroSent(m_records.last());
    }
}

void AlarmMonitor::clear(quint8 address, const ControllerAlarms::Change &change)
{
    AlarmRecord *record = latchedRecord(address, change.kind);
    if (!record || !record->active)
        return;
    record->active = false;
    record->cleared = m_clock().wallClock();
    emit alarmChanged(*record);
}

QList<AlarmRecord> AlarmMonitor::latched() const
{
    QList<AlarmRecord> found;
    for (const AlarmRecord &record : m_records) {
        if (record.latched())
            found.append(record);
    }
    return found;
}

int AlarmMonitor::latchedCount() const
{
    return latched().size();
}

bool AlarmMonitor::acknowledge(int id, Driver by, const QString &origin)
{
    for (AlarmRecord &record : m_records) {
        if (record.id == id && record.acknowledged.isNull()) {
            record.acknowledged = m_clock().wallClock();
            emit alarmChanged(record);
            emit acknowledged(record, by, origin);
            return true;
        }
    }
    return false;
}

int AlarmMonitor::acknowledgeController(quint8 address, Driver by, const QString &origin)
{
    int count = 0;
    for (const AlarmRecord &record : latched()) {
        if (record.address == address && acknowledge(record.id, by, origin))
            ++count;
    }
    return count;
}
