#include "DeviceThread.h"

#include "BusCodes.h"
#include "BusLink.h"
#include "DiagnosticsFeed.h"
#include "LinkWatch.h"
#include "Poller.h"
#include "RequestServer.h"

#include <QDateTime>
#include <QDebug>
#include <QTimer>

using Bus::CommSetting;
using Bus::PortStatus;
using Kind = PendingRequest::Kind;

namespace {

void registerMetaTypes()
{
    static const bool once = [] {
        qRegisterMetaType<QList<quint8>>("QList<quint8>");
        qRegisterMetaType<QList<QSerialPortInfo>>("QList<QSerialPortInfo>");
        qRegisterMetaType<OnlineDevice>("OnlineDevice");
        qRegisterMetaType<Reading>("Reading");
        qRegisterMetaType<RegisterReply>("RegisterReply");
        qRegisterMetaType<ScanResult>("ScanResult");
        // A standard vector: its copy for the queued signal is deep, made by the metatype's helper.
        qRegisterMetaType<std::vector<FrameRecord>>("std::vector<FrameRecord>");
        return true;
    }();
    Q_UNUSED(once);
}

} // namespace

DeviceThread::DeviceThread(QObject *ignored)
{
    Q_UNUSED(ignored);
    registerMetaTypes();
    handOver(); // the members, to the thread about to start
}

DeviceThread::~DeviceThread()
{
    if (isRunning())
        shutdown();
    handOver(); // everything the finished thread wrote is ours from here
}

// ---- the thread ---------------------------------------------------------------------------------

void DeviceThread::run()
{
    handOver();
    createParts();
    connectParts();
    exec();
    m_mainTimer->stop();
    m_watch->stop();
    if (m_link->isOpen()) {
        m_link->close();
        qDebug() << "线程的串口关闭);";
    }
    m_mainTimer.reset();
    m_watch.reset();
    m_diagnostics.reset();
    m_poller.reset();
    m_requests.reset();
    m_link.reset();
    handOver();
}

void DeviceThread::createParts()
{
    const auto stop = [this] { return stopping(); };
    m_link = std::make_unique<BusLink>();
    m_requests = std::make_unique<RequestServer>(*m_link, m_devices, m_book, stop);
    m_poller = std::make_unique<Poller>(*m_link, m_devices, stop);
    m_poller->setBetweenExchanges([this] {
        if (m_book.hasWork())
            m_requests->serve();
    });
    m_watch = std::make_unique<LinkWatch>([this] { return reopenLostLink(); });
    m_mainTimer = std::make_unique<QTimer>();
    m_diagnostics =
        std::make_unique<DiagnosticsFeed>(*m_link, *m_requests, *m_poller, m_devices, *m_mainTimer, m_health,
                                          m_tapOn);
}

void DeviceThread::connectParts()
{
    connect(m_mainTimer.get(), &QTimer::timeout, this, &DeviceThread::onMainTimer);
    connect(m_link.get(), &BusLink::linkLost, this, &DeviceThread::onLinkLost);
    connect(m_diagnostics.get(), &DiagnosticsFeed::frames, this, &DeviceThread::sig_frames);
    connect(m_link.get(), &BusLink::adapterEcho, this, [this](bool echoes) {
        m_adapterEchoes = echoes;
        emit sig_adapterEcho(echoes);
    });

    RequestServer *requests = m_requests.get();
    connect(requests, &RequestServer::scanned, this, [this](const ScanResult &result) {
        emit sig_CheckDevice(result.received);
        emit sig_scanResult(result);
    });
    connect(requests, &RequestServer::parameterRead, this, [this](const RegisterReply &reply) {
        emit sig_param_result(reply.code, reply.deviceId, reply.frame);
        emit sig_parameterRead(reply);
    });
    connect(requests, &RequestServer::adminParameterRead, this, [this](const RegisterReply &reply) {
        emit sig_show_Admin_param_result(reply.code, reply.deviceId, reply.frame);
        emit sig_adminParameterRead(reply);
    });
    connect(requests, &RequestServer::parameterWritten, this, &DeviceThread::sig_modifyParamStatus);
    connect(requests, &RequestServer::adminParameterWritten, this, &DeviceThread::sig_modifyAdminStatus);
    connect(requests, &RequestServer::setpointReadBack, this, [this](const RegisterReply &reply) {
        emit sig_showCurResult(reply.code, reply.deviceId, reply.frame);
        emit sig_setpointRead(reply);
    });
    connect(requests, &RequestServer::modeReadBack, this, &DeviceThread::refreshDeviceMode);
    connect(requests, &RequestServer::setpointWritten, this, &DeviceThread::sig_setpointWritten);
    connect(requests, &RequestServer::setpointGivenUp, this, &DeviceThread::sig_setpointGivenUp);
    connect(requests, &RequestServer::setpointEnded, this, &DeviceThread::sig_setpointEnded);
    connect(requests, &RequestServer::flowsStopped, this, &DeviceThread::sig_flowsStopped);
    connect(requests, &RequestServer::stepWritten, this, &DeviceThread::sig_stepWritten);

    Poller *poller = m_poller.get();
    connect(poller, &Poller::replied, this, &DeviceThread::sendFreshDeviceInformation);
    connect(poller, &Poller::reading, this, &DeviceThread::sig_reading);
    connect(poller, &Poller::lossReport, this, &DeviceThread::sig_count_loss);
    connect(poller, &Poller::deviceLost, this, [this](int id) {
        m_book.dropReadBacks(quint8(id));
        emit deviceconnectStatus(id, false);
    });
}

void DeviceThread::requestStop()
{
    requestInterruption();
    quit();
}

QList<OnlineDevice> DeviceThread::devicesSnapshot()
{
    Q_ASSERT(!onWorkerThread());
    if (!isRunning())
        return m_devices.records();
    // Element by element: a list that shared its nodes with the worker's would be read here
    // while the next tick writes them.
    QList<OnlineDevice> copy;
    runOnWorker([&] {
        for (const OnlineDevice &record : m_devices.records())
            copy.append(record);
    });
    return copy;
}

// ---- requests -----------------------------------------------------------------------------------

void DeviceThread::postRequest(int kind, quint8 deviceId, int type, int dataType, int data1, float value,
                               quint64 ticket)
{
    PendingRequest request;
    request.kind = Kind(kind);
    request.address = deviceId;
    request.type = type;
    request.dataType = dataType;
    request.data1 = data1;
    request.value = value;
    request.ticket = ticket;
    const quint64 replaced = m_book.post(request);
    if (replaced)
        emit sig_setpointReplaced(replaced);
    wake();
}

// An idle bus serves a request at once; a busy one, between its next two exchanges.
void DeviceThread::wake()
{
    post([this] { serveAtOnce(); });
}

void DeviceThread::serveAtOnce()
{
    if (stopping())
        return;
    m_requests->serveFlowStops();
    // Without its timer the worker is driven tick by tick, and serves its requests only there.
    if (m_mainTimer->isActive() && m_book.hasWork())
        m_requests->serve();
}

void DeviceThread::requestScan()
{
    m_book.requestScan();
    wake();
}

void DeviceThread::requestOrdinaryRead(quint8 deviceId)
{
    postRequest(Kind::OrdinaryRead, deviceId);
}

void DeviceThread::requestOrdinaryWrite(quint8 deviceId, int type, int dataType, int data1, float data2)
{
    postRequest(Kind::OrdinaryWrite, deviceId, type, dataType, data1, data2);
}

void DeviceThread::requestAdminRead(quint8 deviceId)
{
    postRequest(Kind::AdminRead, deviceId);
}

void DeviceThread::requestAdminWrite(quint8 deviceId, int type, int dataType, int data1, float data2)
{
    postRequest(Kind::AdminWrite, deviceId, type, dataType, data1, data2);
}

void DeviceThread::requestSetpoint(quint8 deviceId, int kind, float value, quint64 ticket)
{
    if (kind != Bus::code(Bus::SetpointKind::Instant) && kind != Bus::code(Bus::SetpointKind::Cumulative)) {
        qDebug() << "未知的设定类型" << kind;
        return;
    }
    postRequest(Kind::Setpoint, deviceId, kind, 0, 0, value, ticket);
}

void DeviceThread::requestFlowStop(QList<quint8> deviceIds, QDeadlineTimer deadline)
{
    for (quint64 ticket : m_book.postFlowStop({deviceIds, deadline}))
        emit sig_setpointReplaced(ticket);
    wake();
}

// A controller that comes online shows its own mode and setpoints, not what its row showed before.
void DeviceThread::readBackOnline(quint8 deviceId)
{
    postRequest(Kind::ModeReadBack, deviceId);
}

// ---- the port -----------------------------------------------------------------------------------

void DeviceThread::slot_openSer(int type, QString name, int baudRate)
{
    QUORIX_ON_WORKER(slot_openSer(type, name, baudRate));
    // The operator's own open or close ends the wait for a lost adapter.
    const bool waitingForAdapter = m_watch->isWatching();
    m_watch->stop();
    if (type != Bus::code(Bus::PortRequest::Open)) {
        if (m_link->isOpen() || waitingForAdapter)
            closeByOperator();
        return;
    }
    if (m_link->open(name, baudRate)) {
        qDebug() << "串口打开成功";
        m_health.portOpened();
        emit signal_ser_status(Bus::code(PortStatus::Opened));
        return;
    }
    qDebug() << "打开失败";
    emit sig_openFailed(m_link->isOpen() ? QString::fromUtf8(kAlreadyOpen) : m_link->errorString());
    emit signal_ser_status(Bus::code(PortStatus::OpenFailed));
}

// Polling a closed port would only count losses until every controller is declared lost.
void DeviceThread::closeByOperator()
{
    const bool wasOpen = m_link->isOpen();
    m_link->close();
    for (OnlineDevice &record : m_devices.records()) {
        record.setPolled(false);
        m_book.dropReadBacks(record.id);
    }
    emit sig_portClosed();
    if (wasOpen)
        emit signal_ser_status(Bus::code(PortStatus::Closed));
}

void DeviceThread::onLinkLost(const QString &reason)
{
    emit signal_ser_status(Bus::code(PortStatus::Closed)); // the menu says so before the notice shows
    emit sig_linkLost(reason);
    m_watch->start();
}

bool DeviceThread::reopenLostLink()
{
    if (!m_link->open(m_link->portName(), m_link->baudRate()))
        return false;
    qDebug() << "串口连接恢复" << m_link->portName();
    m_health.linkReopened();
    emit signal_ser_status(Bus::code(PortStatus::Opened));
    for (const OnlineDevice &record : m_devices.records()) {
        if (record.polled())
            readBackOnline(record.id);
    }
    return true;
}

void DeviceThread::slot_refresdhSer()
{
    QUORIX_ON_WORKER(slot_refresdhSer());
    qDebug() << "线程类接受slot_refresdhSer的时间是"
             << QDateTime::currentDateTime().toString("yyyy-MM-dd HH:mm:ss");
    emit sig_refreshSerCombox(QSerialPortInfo::availablePorts());
}

void DeviceThread::setCommParam(int type, int result)
{
    QUORIX_ON_WORKER(setCommParam(type, result));
    switch (CommSetting(type)) {
    case CommSetting::QueryPeriod:
        m_poller->setPeriod(result);
        break;
    case CommSetting::QueryPause:
        m_poller->setPause(result);
        break;
    case CommSetting::ReplyTimeout:
        m_link->setReplyTimeout(result);
        break;
    }
}

void DeviceThread::slot_getCommara(int type)
{
    QUORIX_ON_WORKER(slot_getCommara(type));
    qDebug() << "type" << type;
    switch (CommSetting(type)) {
    case CommSetting::QueryPeriod:
        emit sig_CommParam(type, m_poller->period());
        break;
    case CommSetting::QueryPause:
        emit sig_CommParam(type, m_poller->pause());
        break;
    case CommSetting::ReplyTimeout:
        emit sig_CommParam(type, m_link->replyTimeout());
        break;
    }
}

void DeviceThread::startMainTimer(int interval)
{
    QUORIX_ON_WORKER(startMainTimer(interval));
    if (m_mainTimer->isActive())
        return;
    m_mainTimer->start(interval);
    qDebug() << "Main timer started with interval:" << interval;
}

// ---- the controllers ----------------------------------------------------------------------------

void DeviceThread::slot_checkDevices(QList<quint8> devices)
{
    QUORIX_ON_WORKER(slot_checkDevices(devices));
    m_devices.replace(devices);
}

void DeviceThread::slot_onlineDevice(int online_type, int deviceId)
{
    QUORIX_ON_WORKER(slot_onlineDevice(online_type, deviceId));
    if (m_devices.apply(online_type, deviceId))
        readBackOnline(quint8(deviceId));
}

void DeviceThread::slot_showFlowResult(int type, int deviceId)
{
    QUORIX_ON_WORKER(slot_showFlowResult(type, deviceId));
    if (type == Bus::code(Bus::SetpointKind::Instant))
        postRequest(Kind::InstantReadBack, quint8(deviceId));
    else if (type == Bus::code(Bus::SetpointKind::Cumulative))
        postRequest(Kind::CumulativeReadBack, quint8(deviceId));
}

void DeviceThread::slot_responseShowMode(uchar deviceId)
{
    QUORIX_ON_WORKER(slot_responseShowMode(deviceId));
    postRequest(Kind::ModeReadBack, deviceId);
}

void DeviceThread::slot_clearLoss()
{
    QUORIX_ON_WORKER(slot_clearLoss());
    m_poller->clearLosses();
}

// Whether the controller is one the step may reach is decided where it is served.
void DeviceThread::slot_excuteStep(uchar deviceId, float data)
{
    // Posting a step also lets steps go out.
    postRequest(Kind::Step, deviceId, 0, 0, 0, data);
}

void DeviceThread::slot_startStep(bool isStep)
{
    m_book.setStepsEnabled(isStep);
}

// ---- primitives ---------------------------------------------------------------------------------

bool DeviceThread::waitForReply(int expectedBytes, int timeoutMs, QByteArray &out)
{
    Q_ASSERT(onWorkerThread());
    return m_link->waitForReply(expectedBytes, timeoutMs, out);
}

bool DeviceThread::readRegisters(quint8 address, quint16 reg, QByteArray &out)
{
    Q_ASSERT(onWorkerThread());
    m_link->beginRound();
    return m_link->readRegisters(address, reg, out);
}

bool DeviceThread::writeRegister(quint8 address, quint16 reg, int value)
{
    Q_ASSERT(onWorkerThread());
    return m_link->writeRegister(address, reg, value);
}

bool DeviceThread::writeFloatRegister(quint8 address, quint16 reg, float value)
{
    Q_ASSERT(onWorkerThread());
    return m_link->writeFloatRegister(address, reg, value);
}

// ---- the tick -----------------------------------------------------------------------------------

void DeviceThread::onMainTimer()
{
    if (stopping())
        return;
    m_book.beginRound();
    m_link->beginRound();
    m_requests->serve();
    if (stopping())
        return;
    m_poller->runCycle();
}
