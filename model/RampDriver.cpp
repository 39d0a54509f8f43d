#include "RampDriver.h"

#include "BenchModel.h"
#include "BusCodes.h"

#include <QtNumeric>

namespace {
constexpr int InstantKind = 1;
constexpr int CumulativeMode = 1;
} // namespace

RampDriver::RampDriver(BenchModel *model, QObject *parent) : QObject(parent), m_model(model)
{
    m_timer.setInterval(TickMs);
    connect(&m_timer, &QTimer::timeout, this, &RampDriver::tick);
    connect(model, &BenchModel::setpointChanged, this, &RampDriver::checkConfirmed);
    connect(model, &BenchModel::driverStopped, this, [this](quint8 address, Driver driver, const QString &why) {
        const auto found = m_ramps.constFind(address);
        if (found != m_ramps.constEnd() && writerOf(*found) == driver)
            end(address, false, why);
    });
    connect(model, &BenchModel::stateChanged, this, [this](quint8 address, ControllerRecord::State state) {
        if (state != ControllerRecord::State::Online && m_ramps.contains(address))
            end(address, false, tr("设备%1已不在线").arg(address));
    });
}

void RampDriver::setRate(quint8 address, double sccmPerSecond)
{
    m_rates.insert(address, qMax(0.0, sccmPerSecond));
    if (m_ramps.contains(address))
        m_ramps[address].rule.setRate(rate(address));
}

std::optional<float> RampDriver::target(quint8 address) const
{
    const auto found = m_ramps.constFind(address);
    return found == m_ramps.constEnd() ? std::nullopt : std::optional<float>(found->rule.target());
}

std::optional<float> RampDriver::reached(quint8 address) const
{
    const auto found = m_ramps.constFind(address);
    return found == m_ramps.constEnd() ? std::nullopt : std::optional<float>(found->rule.reached());
}

// A programme keeps its own hold; anyone else's ramp holds the controller itself.
// A programme or a mix keeps holding its controller while its step ramps; a single target from
// the operator or a remote command makes the ramp itself the holder.
bool RampDriver::keepsHolding(Driver origin)
{
    return origin.kind == Driver::Programme || origin.kind == Driver::Mix;
}

Driver RampDriver::writerOf(const Ramp &ramp) const
{
    return keepsHolding(ramp.origin) ? ramp.origin : Driver{Driver::Ramp, 0};
}

QString RampDriver::approach(quint8 address, float target, Driver origin, const QString &originText)
{
    if (target == 0.0f && m_ramps.contains(address))
        end(address, false, tr("设备%1的流量被%2设为0").arg(address).arg(origin.name()));
    if (target == 0.0f || rate(address) <= 0) {
        m_model->setNextOrigin(originText);
        return m_model->requestSetpoint(address, InstantKind, target, origin);
    }
    const QString refused = refusal(address, target, origin);
    emit targetAsked(address, target, m_model->heldSetpoint(address, InstantKind).value_or(qQNaN()), origin,
                     originText, refused);
    if (refused.isEmpty())
        start(address, target, origin);
    return refused;
}

QString RampDriver::refusal(quint8 address, float target, Driver origin) const
{
    const ControllerRecord *controller = m_model->record(address);
    if (controller && controller->mode == CumulativeMode)
        return tr("设备%1处于累积量控制模式，不能使用斜坡").arg(address);
    Ramp ramp = m_ramps.value(address);
    if (m_ramps.contains(address) && ramp.origin != origin && !keepsHolding(origin) && keepsHolding(ramp.origin))
        return tr("设备%1正由%2控制").arg(address).arg(ramp.origin.name());
    ramp.origin = origin;
    const Driver writer = writerOf(ramp);
    return writer.kind == Driver::Ramp ? m_model->takeRefusal(address, writer)
                                       : m_model->refusal(address, InstantKind, target, writer);
}

void RampDriver::start(quint8 address, float target, Driver origin)
{
    Ramp ramp = m_ramps.value(address);
    ramp.origin = origin;
    const Driver writer = writerOf(ramp);
    if (writer.kind == Driver::Ramp)
        m_model->take(address, writer);
    const std::optional<float> held = m_model->heldSetpoint(address, InstantKind);
    ramp.rule.setRate(rate(address));
    ramp.rule.aim(target, held.value_or(0.0f));
    ramp.lastWritten = false;
    m_ramps.insert(address, ramp);
    stepOne(address);
    if (!m_timer.isActive())
        m_timer.start();
}

void RampDriver::cancel(quint8 address, const QString &reason)
{
    if (m_ramps.contains(address))
        end(address, false, reason);
}

void RampDriver::tick()
{
    const QList<quint8> running = m_ramps.keys();
    for (quint8 address : running)
        stepOne(address);
    if (m_ramps.isEmpty())
        m_timer.stop();
}

void RampDriver::stepOne(quint8 address)
{
    auto found = m_ramps.find(address);
    if (found == m_ramps.end() || found->lastWritten)
        return;
    const std::optional<float> value = found->rule.step();
    if (!value)
        return;
    found->lastWritten = !found->rule.isRunning();
    const QString refused = m_model->requestSetpoint(address, InstantKind, *value, writerOf(*found));
    if (!refused.isEmpty()) {
        end(address, false, refused);
        return;
    }
    emit rampChanged(address);
}

void RampDriver::checkConfirmed(quint8 address, int kind)
{
    const auto found = m_ramps.constFind(address);
    if (kind != InstantKind || found == m_ramps.constEnd() || !found->lastWritten)
        return;
    const ControllerRecord *controller = m_model->record(address);
    if (!controller)
        return;
    const ControllerRecord::Setpoint &setpoint = controller->setpoint(InstantKind);
    if (setpoint.held && *setpoint.held == found->rule.target())
        end(address, true, QString());
    else if (!setpoint.inFlight)
        end(address, false, tr("设备%1没有确认设定值%2").arg(address).arg(double(found->rule.target())));
}

void RampDriver::end(quint8 address, bool reached, const QString &why)
{
    const Ramp ramp = m_ramps.take(address);
    if (writerOf(ramp).kind == Driver::Ramp)
        m_model->release(address, writerOf(ramp));
    emit rampChanged(address);
    emit rampEnded(address, ramp.rule.target(), reached, why);
}
