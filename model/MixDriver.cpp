#include "MixDriver.h"

#include "BenchModel.h"
#include "RampDriver.h"
#include "Reading.h"

namespace {
constexpr int MixInstantKind = 1;
constexpr int MixInstantMode = 0;
} // namespace

MixDriver::MixDriver(BenchModel *model, RampDriver *ramps, QObject *parent)
    : QObject(parent), m_model(model), m_ramps(ramps), m_clock([] { return ReadTime::monotonicNowNs() / 1000000; })
{
    connect(model, &BenchModel::readingChanged, this, &MixDriver::measure);
    connect(model, &BenchModel::driverStopped, this,
            [this](quint8 address, Driver driver, const QString &reason, bool) {
                if (driver.kind == Driver::Mix && isRunning(driver.index))
                    trip(driver.index, reason.isEmpty() ? tr("设备%1已停止").arg(address) : reason);
            });
    // A member that leaves while, for any reason, not held still stops its group.
    connect(model, &BenchModel::stateChanged, this, [this](quint8 address, ControllerRecord::State state) {
        if (state == ControllerRecord::State::Online)
            return;
        for (int g = 1; g <= GroupCount; ++g)
            if (isRunning(g) && m_groups[g - 1].definition.addresses().contains(address))
                trip(g, tr("设备%1已不在线").arg(address));
    });
}

QString MixDriver::setGroup(int group, const MixGroup &definition)
{
    if (!valid(group))
        return tr("没有混合组%1").arg(group);
    if (isRunning(group))
        return tr("混合组%1正在运行，请先停止").arg(group);
    m_groups[group - 1].definition = definition;
    emit groupChanged(group);
    return QString();
}

MixGroup MixDriver::group(int group) const
{
    return valid(group) ? m_groups[group - 1].definition : MixGroup();
}

bool MixDriver::isRunning(int group) const
{
    return valid(group) && m_groups[group - 1].running;
}

MixPlan MixDriver::plan(int group) const
{
    return isRunning(group) ? m_groups[group - 1].plan : MixPlan();
}

QList<quint8> MixDriver::runningMembers() const
{
    QList<quint8> members;
    for (const Slot &slot : m_groups)
        if (slot.running)
            members << slot.definition.addresses();
    return members;
}

QString MixDriver::start(int group, double total, const QString &origin)
{
    if (!valid(group))
        return tr("没有混合组%1").arg(group);
    if (isRunning(group))
        return setTotal(group, total, origin);
    Slot &slot = m_groups[group - 1];
    const MixPlan plan = planMix(slot.definition, total);
    if (!plan.error.isEmpty())
        return plan.error;
    const Driver me = driver(group);
    for (quint8 address : slot.definition.addresses()) {
        const QString refused = m_model->takeRefusal(address, me);
        if (!refused.isEmpty())
            return refused;
        const ControllerRecord *record = m_model->record(address);
        if (!record || record->mode != MixInstantMode)
            return tr("设备%1不处于瞬时量控制模式").arg(address);
    }
    m_model->setNextOrigin(origin);
    for (quint8 address : slot.definition.addresses())
        m_model->take(address, me);
    m_model->setNextOrigin(QString());
    slot.running = true;
    slot.definition.total = total;
    slot.watch.setSettings(slot.definition.alarm);
    slot.watch.restart(m_clock());
    const QString failed = write(group, plan, origin);
    if (!failed.isEmpty()) {
        halt(group);
        emit groupChanged(group);
        return failed;
    }
    emit groupChanged(group);
    return QString();
}

QString MixDriver::setTotal(int group, double total, const QString &origin)
{
    if (!valid(group))
        return tr("没有混合组%1").arg(group);
    Slot &slot = m_groups[group - 1];
    if (!slot.running) {
        MixGroup changed = slot.definition;
        changed.total = total;
        const QString invalid = changed.invalidity();
        if (invalid.isEmpty()) {
            slot.definition.total = total;
            emit groupChanged(group);
        }
        return invalid;
    }
    const MixPlan plan = planMix(slot.definition, total);
    if (!plan.error.isEmpty())
        return plan.error;
    slot.definition.total = total;
    slot.watch.restart(m_clock());
    const QString failed = write(group, plan, origin);
    if (!failed.isEmpty()) {
        trip(group, failed);
        return failed;
    }
    emit groupChanged(group);
    return QString();
}

void MixDriver::stop(int group)
{
    if (!isRunning(group))
        return;
    halt(group);
    emit groupChanged(group);
}

void MixDriver::stopAll()
{
    for (int g = 1; g <= GroupCount; ++g)
        stop(g);
}

QString MixDriver::write(int group, const MixPlan &plan, const QString &origin)
{
    Slot &slot = m_groups[group - 1];
    slot.plan = plan;
    for (int i = 0; i < slot.definition.members.size(); ++i) {
        m_model->setNextOrigin(origin);
        const QString refused = send(group, slot.definition.members[i].address, plan.setpoints.value(i));
        m_model->setNextOrigin(QString()); // also when a refusal before the model left it unused
        if (!refused.isEmpty())
            return refused;
    }
    return QString();
}

QString MixDriver::send(int group, quint8 address, float value)
{
    const Driver me = driver(group);
    if (m_ramps && (m_ramps->rate(address) > 0 || m_ramps->isRamping(address)))
        return m_ramps->approach(address, value, me);
    return m_model->requestSetpoint(address, MixInstantKind, value, me);
}

// Every member to 0 at once (never ramped), then let go.
void MixDriver::halt(int group)
{
    Slot &slot = m_groups[group - 1];
    slot.running = false;
    slot.plan = MixPlan();
    report(group, slot.watch.stop());
    const Driver me = driver(group);
    for (quint8 address : slot.definition.addresses()) {
        const Driver holder = m_model->driverOf(address);
        if (!holder.isNone() && holder != me)
            continue; // someone else's now: their 0 already went out
        if (m_ramps && m_ramps->isRamping(address))
            m_ramps->cancel(address, tr("混合组%1已停止").arg(group));
        m_model->requestSetpoint(address, MixInstantKind, 0.0f, me);
    }
    m_model->releaseAll(me);
}

void MixDriver::trip(int group, const QString &why)
{
    if (!isRunning(group))
        return;
    halt(group);
    emit groupChanged(group);
    emit groupTripped(group, tr("混合组%1已停止，所有设备流量设为0：%2").arg(group).arg(why));
}

QList<double> MixDriver::actualComposition(int group) const
{
    QList<double> shares;
    if (!isRunning(group))
        return shares;
    double sum = 0.0;
    for (const MixMember &member : m_groups[group - 1].definition.members) {
        const ControllerRecord *record = m_model->record(member.address);
        if (!record || !record->isOnline() || !record->readings[0] || !record->readings[0]->usable)
            return {};
        shares << record->readings[0]->value;
        sum += record->readings[0]->value;
    }
    if (!(sum > 0.0))
        return {};
    for (double &share : shares)
        share = share * 100.0 / sum;
    return shares;
}

bool MixDriver::compositionAlarmActive(int group) const
{
    return isRunning(group) && m_groups[group - 1].watch.isActive();
}

quint8 MixDriver::compositionAlarmMember(int group) const
{
    if (!compositionAlarmActive(group))
        return 0;
    const Slot &slot = m_groups[group - 1];
    return slot.definition.members.value(slot.watch.worstMember()).address;
}

double MixDriver::compositionAlarmPoints(int group) const
{
    return compositionAlarmActive(group) ? m_groups[group - 1].watch.worstPoints() : 0.0;
}

void MixDriver::measure(const Reading &reading)
{
    if (reading.type != Bus::ReadingType::InstantFlow)
        return;
    for (int g = 1; g <= GroupCount; ++g) {
        Slot &slot = m_groups[g - 1];
        if (!slot.running || !slot.definition.addresses().contains(reading.deviceId))
            continue;
        report(g, slot.watch.observe(slot.plan.composition(), actualComposition(g), m_clock()));
        emit compositionMeasured(g);
    }
}

void MixDriver::report(int group, const std::optional<MixCompositionWatch::Change> &change)
{
    if (!change)
        return;
    const Slot &slot = m_groups[group - 1];
    emit compositionAlarm(group, change->raised, slot.definition.members.value(change->member).address,
                          change->points, change->limit);
}
