#include "BenchModel.h"

#include "BusCodes.h"
#include "DeviceThread.h"

#include <QtNumeric>


BenchModel::BenchModel(DeviceThread *worker, QObject *parent) : QObject(parent), m_worker(worker)
{
    qRegisterMetaType<Driver>("Driver");
    qRegisterMetaType<ControllerRecord::State>("ControllerRecord::State");
    if (worker)
        connectWorker(worker);
}

void BenchModel::connectWorker(DeviceThread *worker)
{
    connect(worker, &DeviceThread::sig_reading, this, &BenchModel::takeReading);
    connect(worker, &DeviceThread::sig_setpointWritten, this,
            [this](int kind, int deviceId, float value) { confirm(quint8(deviceId), kind, value); });
    connect(worker, &DeviceThread::sig_stepWritten, this, [this](int deviceId, float value) {
        confirm(quint8(deviceId), Bus::code(Bus::SetpointKind::Instant), value);
    });
    connect(worker, &DeviceThread::sig_setpointGivenUp, this,
            [this](int kind, int deviceId) { giveUp(quint8(deviceId), kind); });
    connect(worker, &DeviceThread::sig_setpointRead, this, &BenchModel::readBack);
    connect(worker, &DeviceThread::refreshDeviceMode, this,
            [this](int deviceId, int mode) { setMode(quint8(deviceId), mode); });
    connect(worker, &DeviceThread::deviceconnectStatus, this, [this](int deviceId, bool connected) {
        setState(quint8(deviceId), connected ? State::Online : State::Dropped,
                 tr("设备%1掉线").arg(deviceId));
    });
    connect(worker, &DeviceThread::sig_linkLost, this,
            [this] { markAll(State::Online, State::Dropped, tr("串口连接中断")); });
    connect(worker, &DeviceThread::sig_portClosed, this, [this] {
        markAll(State::Online, State::NotOnline, tr("串口已关闭"));
        markAll(State::Dropped, State::NotOnline, tr("串口已关闭"));
    });
}

const ControllerRecord *BenchModel::record(quint8 address) const
{
    const auto found = m_records.constFind(address);
    return found == m_records.constEnd() ? nullptr : &found.value();
}

ControllerRecord &BenchModel::recordOf(quint8 address)
{
    ControllerRecord &record = m_records[address];
    record.address = address;
    return record;
}

QList<quint8> BenchModel::onlineControllers() const
{
    QList<quint8> online;
    for (const ControllerRecord &record : m_records) {
        if (record.isOnline())
            online.append(record.address);
    }
    std::sort(online.begin(), online.end());
    return online;
}

bool BenchModel::isOnline(quint8 address) const
{
    const ControllerRecord *found = record(address);
    return found && found->isOnline();
}

Driver BenchModel::driverOf(quint8 address) const
{
    const ControllerRecord *found = record(address);
    return found ? found->driver : Driver::none();
}

std::optional<float> BenchModel::heldSetpoint(quint8 address, int kind) const
{
    const ControllerRecord *found = record(address);
    return found ? found->setpoint(kind).held : std::nullopt;
}

void BenchModel::setScanned(const QList<quint8> &addresses)
{
    m_scanned = addresses;
    const QList<quint8> known = m_records.keys();
    for (quint8 address : known) {
        if (!addresses.contains(address) && m_records[address].driver.isNone())
            m_records.remove(address);
    }
    for (quint8 address : addresses)
        setState(address, State::NotOnline, tr("设备%1已重新查询").arg(address));
    emit scanChanged();
}

void BenchModel::noteOnlineRequest(int onlineType, int address)
{
    using Bus::OnlineRequest;
    if (onlineType == Bus::code(OnlineRequest::TakeOffline))
        setState(quint8(address), State::NotOnline, tr("设备%1已下线").arg(address));
    else if (onlineType == Bus::code(OnlineRequest::TakeOnline) ||
             onlineType == Bus::code(OnlineRequest::TakeOnlineAgain))
        setState(quint8(address), State::Online, QString());
}

QString BenchModel::refusal(quint8 address, int kind, float value, Driver from) const
{
    if (value == 0.0f)
        return QString();
    if (!isOnline(address))
        return tr("设备%1未上线").arg(address);
    const ControllerRecord &controller = *record(address);
    if (!controller.driver.isNone() && controller.driver != from)
        return tr("设备%1正由%2控制").arg(address).arg(controller.driver.name());
    const int cumulativeMode = 1;
    if (controller.mode >= 0 && (controller.mode == cumulativeMode) != (kind == Bus::code(Bus::SetpointKind::Cumulative)))
        return controller.mode == cumulativeMode ? tr("设备%1处于累积量控制模式，不能设定瞬时流量").arg(address)
                                                 : tr("设备%1处于瞬时量控制模式，不能设定累积流量").arg(address);
    return QString();
}

QString BenchModel::requestSetpoint(quint8 address, int kind, float value, Driver from, quint64 ticket)
{
    const QString refused = refusal(address, kind, value, from);
    const QString origin = m_nextOrigin;
    m_nextOrigin.clear();
    emit setpointRequested(address, kind, value, from, origin, heldSetpoint(address, kind).value_or(qQNaN()),
                           refused);
    if (!refused.isEmpty())
        return refused;
    const Driver holder = driverOf(address);
    if (value == 0.0f && !holder.isNone() && holder != from)
        endHold(address, tr("设备%1的流量被%2设为0").arg(address).arg(from.name()), false);
    noteSent(address, kind, value, from);
    if (m_worker)
        m_worker->requestSetpoint(address, kind, value, ticket);
    return QString();
}

QString BenchModel::takeRefusal(quint8 address, Driver driver) const
{
    if (!isOnline(address))
        return tr("设备%1未上线").arg(address);
    const Driver holder = driverOf(address);
    if (!holder.isNone() && holder != driver)
        return tr("设备%1正由%2控制").arg(address).arg(holder.name());
    return QString();
}

QString BenchModel::take(quint8 address, Driver driver)
{
    const QString refused = takeRefusal(address, driver);
    if (!refused.isEmpty())
        return refused;
    ControllerRecord &controller = recordOf(address);
    if (controller.driver != driver) {
        controller.driver = driver;
        emit driverChanged(address, driver);
    }
    return QString();
}

void BenchModel::release(quint8 address, Driver driver)
{
    auto found = m_records.find(address);
    if (found == m_records.end() || found->driver != driver)
        return;
    found->driver = Driver::none();
    emit driverChanged(address, Driver::none());
}

void BenchModel::releaseAll(Driver driver, quint8 keep)
{
    const QList<quint8> known = m_records.keys();
    for (quint8 address : known) {
        if (address != keep)
            release(address, driver);
    }
}

void BenchModel::noteSent(quint8 address, int kind, float value, Driver from)
{
    ControllerRecord::Setpoint &setpoint = recordOf(address).setpoint(kind);
    setpoint.inFlight = value;
    setpoint.inFlightFrom = from;
    emit setpointChanged(address, kind);
}

void BenchModel::announceStep(quint8 address, float value, Driver from, const QString &origin)
{
    const int kind = Bus::code(Bus::SetpointKind::Instant);
    emit setpointRequested(address, kind, value, from, origin, heldSetpoint(address, kind).value_or(qQNaN()),
                           QString());
}

void BenchModel::announceRefusal(quint8 address, int kind, float value, Driver from, const QString &origin,
                                 const QString &reason)
{
    emit setpointRequested(address, kind, value, from, origin, heldSetpoint(address, kind).value_or(qQNaN()), reason);
}

void BenchModel::setState(quint8 address, State state, const QString &leaveReason)
{
    ControllerRecord &controller = recordOf(address);
    if (controller.state == state)
        return;
    controller.state = state;
    if (state != State::Online)
        endHold(address, leaveReason, true);
    emit stateChanged(address, state);
}

void BenchModel::endHold(quint8 address, const QString &reason, bool controllerLeft)
{
    ControllerRecord &controller = recordOf(address);
    const Driver holder = controller.driver;
    if (holder.isNone())
        return;
    controller.driver = Driver::none();
    emit driverChanged(address, Driver::none());
    emit driverStopped(address, holder, reason, controllerLeft);
}

void BenchModel::markAll(State from, State to, const QString &leaveReason)
{
    const QList<quint8> known = m_records.keys();
    for (quint8 address : known) {
        if (m_records[address].state == from)
            setState(address, to, leaveReason);
    }
}

void BenchModel::takeReading(const Reading &reading)
{
    const int index = reading.typeCode() - Bus::FirstReadingType;
    if (index < 0 || index >= 4)
        return;
    ControllerRecord &controller = recordOf(reading.deviceId);
    controller.readings[size_t(index)] = reading;
    // Readings come only from a polled controller: a dropped one that answers again is back.
    if (controller.state == State::Dropped)
        setState(reading.deviceId, State::Online, QString());
    emit readingChanged(reading);
}

void BenchModel::confirm(quint8 address, int kind, float value)
{
    ControllerRecord &controller = recordOf(address);
    ControllerRecord::Setpoint &setpoint = controller.setpoint(kind);
    if (setpoint.inFlight && *setpoint.inFlight == value) {
        setpoint.heldFrom = setpoint.inFlightFrom;
        setpoint.inFlight.reset();
    } else {
        // A step or a stop's 0, which their owners send to the worker themselves.
        setpoint.heldFrom = controller.driver;
    }
    setpoint.held = value;
    emit setpointConfirmed(address, kind, value);
    emit setpointChanged(address, kind);
}

void BenchModel::giveUp(quint8 address, int kind)
{
    ControllerRecord::Setpoint &setpoint = recordOf(address).setpoint(kind);
    setpoint.inFlight.reset();
    emit setpointGaveUp(address, kind);
    emit setpointChanged(address, kind);
}

void BenchModel::readBack(const RegisterReply &reply)
{
    if (!reply.isValid())
        return;
    ControllerRecord::Setpoint &setpoint = recordOf(reply.deviceId).setpoint(reply.code);
    setpoint.held = reply.asFloat;
    emit setpointChanged(reply.deviceId, reply.code);
}

void BenchModel::setMode(quint8 address, int mode)
{
    if (mode != 0 && mode != 1)
        return;
    ControllerRecord &controller = recordOf(address);
    if (controller.mode == mode)
        return;
    controller.mode = mode;
    emit modeChanged(address, mode);
}
