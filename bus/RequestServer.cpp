#include "RequestServer.h"

#include "BusCodes.h"
#include "BusLink.h"
#include "OnlineList.h"
#include "RegisterMap.h"
#include "SerialPort.h"

#include <QDebug>

using RegisterMap::Encoding;

RequestServer::RequestServer(BusLink &link, OnlineList &devices, std::function<bool()> stopping,
                             QObject *parent)
    : QObject(parent), m_link(link), m_devices(devices), m_stopping(std::move(stopping))
{
}

void RequestServer::serve()
{
    // While the adapter is away every request waits for it, its attempts uncounted.
    if (m_link.isLost())
        return;
    if (m_scanRequested)
        serveScan();
    if (!m_stopping())
        serveSteps();
    serveBlockRead(Kind::OrdinaryRead);
    forEach(Kind::OrdinaryWrite, &RequestServer::serveOrdinaryWrite);
    serveBlockRead(Kind::AdminRead);
    forEach(Kind::AdminWrite, &RequestServer::serveAdminWrite);
    forEach(Kind::Setpoint, &RequestServer::serveSetpoint);
    forEach(Kind::InstantReadBack, &RequestServer::serveReadBack);
    forEach(Kind::CumulativeReadBack, &RequestServer::serveReadBack);
    forEach(Kind::ModeReadBack, &RequestServer::serveReadBack);
}

void RequestServer::forEach(Kind kind, void (RequestServer::*serveOne)(const PendingRequest &))
{
    for (const PendingRequest &request : m_book.pending(kind)) {
        if (m_stopping())
            return;
        (this->*serveOne)(request);
    }
}

// Counts a failed attempt; true when the request stays for another tick.
bool RequestServer::retryOrGiveUp(const PendingRequest &request)
{
    const bool again = m_book.countFailure(request) < MaxAttempts;
    emit writeFailed(request.address, !again);
    if (!again)
        m_book.finish(request);
    return again;
}

void RequestServer::serveScan()
{
    m_scanRequested = false;
    if (!m_link.isOpen()) {
        qDebug() << "串口未连接";
        return;
    }
    qDebug() << "串口已经连接";
    const ScanResult result = m_link.scan(m_stopping);
    // A scan cut short by a pulled adapter lists only the controllers probed before: the windows
    // would take it for the bus and reset every other row. The lost link is reported instead.
    if (m_link.isLost())
        return;
    emit scanned(result);
}

void RequestServer::serveSteps()
{
    for (const PendingRequest &step : m_book.pending(Kind::Step)) {
        if (m_stopping())
            return;
        // A stop (a staged 0) goes out even after the programme ended: it shuts the gas off.
        if (!m_stepsEnabled && step.value != 0.0f)
            continue;
        const bool ok = m_link.writeFloatRegister(step.address, RegisterMap::InstantSetpoint, step.value);
        qDebug() << "设备" << int(step.address) << "的分阶指令" << step.value
                 << (ok ? "执行成功" : "执行失败");
        if (ok) {
            m_book.finish(step);
            emit stepWritten(step.address, step.value);
        } else if (!retryOrGiveUp(step))
            qDebug() << "设备" << int(step.address) << "的分阶指令" << step.value << "重试" << MaxAttempts
                     << "次后放弃";
    }
    // Served steps end the request; failed ones keep it for their next attempt.
    if (!m_book.has(Kind::Step))
        m_stepsEnabled = false;
}

QList<quint8> RequestServer::stopFlows(const QList<quint8> &addresses, const QDeadlineTimer &deadline)
{
    QList<quint8> unconfirmed = addresses;
    // Every controller gets its first write before any is tried again.
    do {
        unconfirmed = zeroEach(unconfirmed);
    } while (!unconfirmed.isEmpty() && !deadline.hasExpired() && !m_stopping() && m_link.isOpen());
    for (quint8 address : unconfirmed)
        emit writeFailed(address, true);
    return unconfirmed;
}

QList<quint8> RequestServer::zeroEach(const QList<quint8> &addresses)
{
    QList<quint8> unconfirmed;
    for (quint8 address : addresses) {
        if (m_stopping() || !m_link.isOpen()) {
            unconfirmed.append(address);
            continue;
        }
        if (!m_link.writeFloatRegister(address, RegisterMap::InstantSetpoint, 0.0f)) {
            qDebug() << "设备" << int(address) << "的流量设为0失败";
            unconfirmed.append(address);
            continue;
        }
        qDebug() << "设备" << int(address) << "的流量已设为0";
        emit stepWritten(address, 0.0f);
        PendingRequest step;
        step.kind = Kind::Step;
        step.address = address;
        m_book.finish(step);
    }
    return unconfirmed;
}

void RequestServer::serveBlockRead(Kind kind)
{
    const bool admin = kind == Kind::AdminRead;
    const QList<quint16> registers = admin ? RegisterMap::adminReads() : RegisterMap::ordinaryReads();
    for (const PendingRequest &request : m_book.pending(kind)) {
        for (int k = 0; k < registers.size() && !m_stopping(); ++k) {
            QByteArray reply;
            if (!m_link.readRegisters(request.address, registers[k], reply))
                continue;
            const RegisterReply parameter =
                RegisterReply::fromFrame(k + 1, request.address, reply, m_link.lastByteTime());
            if (admin)
                emit adminParameterRead(parameter);
            else
                emit parameterRead(parameter);
        }
        m_book.finish(request);
        if (m_stopping())
            return;
    }
}

namespace {

// Sends one parameter write as the register map says; an unknown type sends nothing and fails.
bool sendParameter(BusLink &link, const PendingRequest &request, const RegisterMap::WriteTarget &target)
{
    switch (target.encoding) {
    case Encoding::Int16:
        return link.writeRegister(request.address, target.reg, request.data1);
    case Encoding::Float:
        return link.writeFloatRegister(request.address, target.reg, request.value);
    case Encoding::Fixed:
        return link.writeRegister(request.address, target.reg, target.fixedValue);
    case Encoding::None:
        break;
    }
    return false;
}

} // namespace

void RequestServer::serveOrdinaryWrite(const PendingRequest &request)
{
    qDebug() << "修改普通参数type:" << request.type;
    if (request.type == 11)
        qDebug() << "写入的ID号是" << request.data1;
    const bool ok = sendParameter(m_link, request, RegisterMap::ordinaryWrite(request.type));
    m_book.finish(request);
    if (!ok)
        emit writeFailed(request.address, true);
    emit parameterWritten(ok, request.type);
    if (ok)
        qDebug() << "修改设备参数成功";
}

void RequestServer::serveAdminWrite(const PendingRequest &request)
{
    qDebug() << "修改管理员参数的type:" << request.type;
    // Every type, commands included, reports what the device actually confirmed.
    const bool ok = sendParameter(m_link, request, RegisterMap::adminWrite(request.type));
    m_book.finish(request);
    if (!ok)
        emit writeFailed(request.address, true);
    emit adminParameterWritten(ok, request.type);
    qDebug() << (ok ? "修改管理员参数成功" : "修改管理员参数失败");
}

void RequestServer::serveSetpoint(const PendingRequest &request)
{
    const bool instant = request.type == Bus::code(Bus::SetpointKind::Instant);
    qDebug() << (instant ? "modify_flow_data" : "modify_flowcum_data") << request.value;
    const quint16 reg = instant ? RegisterMap::InstantSetpoint : RegisterMap::CumulativeSetpoint;
    const bool ok = m_link.writeFloatRegister(request.address, reg, request.value);
    if (ok) {
        qDebug() << (instant ? "修改瞬时量执行成功" : "修改累积量量执行成功");
        m_book.finish(request);
        emit setpointWritten(request.type, request.address, request.value);
        if (request.ticket)
            emit setpointEnded(request.ticket, true);
    }
    if (instant)
        qDebug() << " count_cur";
    if (!ok && !retryOrGiveUp(request)) {
        qDebug() << (instant ? "修改瞬时量错误" : "修改累积量错误");
        emit setpointGivenUp(request.type, request.address);
        if (request.ticket)
            emit setpointEnded(request.ticket, false);
        readBackGivenUpSetpoint(request);
    }
}

// The row showed the value that never arrived; it gets the controller's own one if it answers.
// One read only: a controller that took none of six writes is not waited for tick after tick.
void RequestServer::readBackGivenUpSetpoint(const PendingRequest &request)
{
    if (m_stopping() || m_link.isLost())
        return;
    const bool instant = request.type == Bus::code(Bus::SetpointKind::Instant);
    QByteArray reply;
    if (m_link.readRegisters(request.address,
                             instant ? RegisterMap::InstantSetpoint : RegisterMap::CumulativeSetpoint, reply))
        emit setpointReadBack(RegisterReply::fromFrame(request.type, request.address, reply, m_link.lastByteTime()));
}

void RequestServer::serveReadBack(const PendingRequest &request)
{
    const bool mode = request.kind == Kind::ModeReadBack;
    const bool instant = request.kind == Kind::InstantReadBack;
    if (mode)
        qDebug() << "showModeId" << int(request.address);
    else if (instant)
        qDebug() << "2222我要显示瞬时设定流量";
    else
        qDebug() << "showSetCumId" << int(request.address);
    const quint16 reg = mode      ? RegisterMap::ControlMode
                        : instant ? RegisterMap::InstantSetpoint
                                  : RegisterMap::CumulativeSetpoint;
    QByteArray reply;
    if (!m_link.readRegisters(request.address, reg, reply))
        return;
    m_book.finish(request);
    if (mode)
        emit modeReadBack(request.address, bytes_to_uint16(reply, 3));
    else
        emit setpointReadBack(
            RegisterReply::fromFrame(Bus::code(instant ? Bus::SetpointKind::Instant : Bus::SetpointKind::Cumulative),
                                     request.address, reply, m_link.lastByteTime()));
}
