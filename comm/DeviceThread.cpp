#include "DeviceThread.h"

#include "RegisterMap.h"
#include "SerialPort.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDebug>
#include <QMetaObject>
#include <QSerialPort>
#include <QTimer>
#include <future>

using RegisterMap::Encoding;

namespace {

void registerMetaTypes()
{
    static const bool once = [] {
        qRegisterMetaType<QList<quint8>>("QList<quint8>");
        qRegisterMetaType<QList<QSerialPortInfo>>("QList<QSerialPortInfo>");
        qRegisterMetaType<OnlineDevice>("OnlineDevice");
        return true;
    }();
    Q_UNUSED(once);
}

// The device answers a read of two registers with 9 bytes, a write with its 8- or 10-byte echo.
constexpr int ReadReplySize = 9;
constexpr int Int16EchoSize = 8;
constexpr int FloatEchoSize = 10;
// A window of loss accounting closes after this many queries; a device with more losses in it is lost.
constexpr int WindowQueries = 20;
constexpr int WindowLossLimit = 10;
constexpr int SetpointAttempts = 5;

} // namespace

// Called off the worker thread, a slot posts itself to the worker's queue and returns.
#define QUORIX_ON_WORKER(call)                                                                               \
    do {                                                                                                     \
        if (!onWorkerThread()) {                                                                             \
            post([=] { call; });                                                                             \
            return;                                                                                          \
        }                                                                                                    \
    } while (false)

DeviceThread::DeviceThread(QObject *ignored) : QThread(nullptr)
{
    Q_UNUSED(ignored);
    registerMetaTypes();
    moveToThread(this);
    // Publishes the members to the thread about to start (run() takes the same lock first).
    std::lock_guard<std::mutex> published(m_jobsMutex);
}

DeviceThread::~DeviceThread()
{
    if (isRunning())
        shutdown();
    // Everything the finished thread wrote is ours from here (run() released this lock last).
    std::lock_guard<std::mutex> joined(m_jobsMutex);
}

namespace {
const QEvent::Type JobEvent = QEvent::Type(QEvent::registerEventType());
}

void DeviceThread::post(std::function<void()> job)
{
    // One wake-up per job keeps the jobs in order with the queued signal calls around them.
    auto *wakeUp = new QEvent(JobEvent);
    {
        std::lock_guard<std::mutex> lock(m_jobsMutex);
        m_jobs.push_back(std::move(job));
    }
    QCoreApplication::postEvent(this, wakeUp);
}

bool DeviceThread::event(QEvent *event)
{
    std::function<void()> job;
    {
        // Taken before the event is looked at: the wake-up was allocated by the posting thread.
        std::lock_guard<std::mutex> lock(m_jobsMutex);
        if (event->type() == JobEvent && !m_jobs.empty()) {
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
    }
    if (event->type() != JobEvent)
        return QThread::event(event);
    if (job)
        job();
    return true;
}

void DeviceThread::run()
{
    {
        std::lock_guard<std::mutex> published(m_jobsMutex);
    }
    m_serial = new QSerialPort;
    m_mainTimer = new QTimer;
    connect(m_mainTimer, &QTimer::timeout, this, &DeviceThread::onMainTimer);
    connect(m_serial, &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError error) { onPortError(int(error)); });
    exec();
    m_mainTimer->stop();
    if (portOpen()) {
        m_serial->close();
        qDebug() << "线程的串口关闭);";
    }
    delete m_mainTimer;
    m_mainTimer = nullptr;
    delete m_serial;
    m_serial = nullptr;
    std::lock_guard<std::mutex> finished(m_jobsMutex);
}

bool DeviceThread::onWorkerThread() const
{
    return QThread::currentThread() == this;
}

void DeviceThread::shutdown()
{
    Q_ASSERT(!onWorkerThread());
    if (!isRunning())
        return;
    requestInterruption();
    quit();
    wait();
    std::lock_guard<std::mutex> joined(m_jobsMutex);
}

bool DeviceThread::runOnWorker(const std::function<void()> &job)
{
    Q_ASSERT(!onWorkerThread());
    if (!isRunning() || isInterruptionRequested())
        return false;
    std::promise<void> done;
    std::future<void> finished = done.get_future();
    post([&job, &done] {
        job();
        done.set_value();
    });
    // A thread that ends before it reaches the job never runs it.
    while (finished.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        if (isFinished())
            return false;
    }
    return true;
}

QList<OnlineDevice> DeviceThread::devicesSnapshot()
{
    Q_ASSERT(!onWorkerThread());
    if (!isRunning())
        return online_devices;
    // Element by element: a list that shared its nodes with the worker's would be read here
    // while the next tick writes them.
    QList<OnlineDevice> copy;
    runOnWorker([&] {
        for (const OnlineDevice &record : qAsConst(online_devices))
            copy.append(record);
    });
    return copy;
}

// ---- requests -------------------------------------------------------------------------------

void DeviceThread::requestScan()
{
    post([this] { m_scanRequested = true; });
}

void DeviceThread::requestOrdinaryRead(quint8 deviceId)
{
    post([this, deviceId] {
        m_ordReadId = deviceId;
        m_ordReadPending = true;
    });
}

void DeviceThread::requestOrdinaryWrite(quint8 deviceId, int type, int dataType, int data1, float data2)
{
    post([=] {
        m_ordWriteId = deviceId;
        m_ordWriteType = type;
        m_ordWriteDataType = dataType;
        m_ordWriteData1 = data1;
        m_ordWriteData2 = data2;
        m_ordWritePending = true;
    });
}

void DeviceThread::requestAdminRead(quint8 deviceId)
{
    post([this, deviceId] {
        m_adminId = deviceId;
        m_adminReadPending = true;
    });
}

void DeviceThread::requestAdminWrite(quint8 deviceId, int type, int dataType, int data1, float data2)
{
    post([=] {
        m_adminId = deviceId;
        m_adminWriteType = type;
        m_adminWriteDataType = dataType;
        m_adminWriteData1 = data1;
        m_adminWriteData2 = data2;
        m_adminWritePending = true;
    });
}

void DeviceThread::requestSetpoint(quint8 deviceId, int kind, float value)
{
    post([=] {
        m_setpointId = deviceId;
        if (kind == 1 || kind == 2) // an unknown kind keeps the one already asked for
            m_setpointKind = kind;
        m_setpointValue = value;
        m_setpointPending = true;
    });
}

// ---- slots ----------------------------------------------------------------------------------

void DeviceThread::slot_openSer(int type, QString name, int baudRate)
{
    QUORIX_ON_WORKER(slot_openSer(type, name, baudRate));
    if (type != 1) {
        if (portOpen()) {
            m_serial->close();
            m_linkLost = false;
            emit signal_ser_status(2);
        }
        return;
    }
    // A port whose adapter was pulled out is reopened afresh.
    if (m_linkLost) {
        m_serial->close();
        m_linkLost = false;
    }
    // A working port is left alone: a second open fails and must not change its settings.
    bool opened = false;
    if (!m_serial->isOpen()) {
        m_serial->setPortName(name);
        m_serial->setBaudRate(baudRate, QSerialPort::AllDirections);
        m_serial->setDataBits(QSerialPort::Data8);
        m_serial->setParity(QSerialPort::NoParity);
        m_serial->setStopBits(QSerialPort::OneStop);
        m_serial->clearError();
        opened = m_serial->open(QIODevice::ReadWrite);
    }
    if (opened) {
        qDebug() << "串口打开成功";
        emit signal_ser_status(1);
    } else {
        qDebug() << "打开失败";
        emit signal_ser_status(3);
    }
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
    switch (type) {
    case 1:
        m_period = result;
        break;
    case 2:
        m_queryPause = result;
        break;
    case 3:
        m_replyTimeout = result;
        break;
    default:
        break;
    }
}

void DeviceThread::slot_getCommara(int type)
{
    QUORIX_ON_WORKER(slot_getCommara(type));
    qDebug() << "type" << type;
    switch (type) {
    case 1:
        emit sig_CommParam(type, m_period);
        break;
    case 2:
        emit sig_CommParam(type, m_queryPause);
        break;
    case 3:
        emit sig_CommParam(type, m_replyTimeout);
        break;
    default:
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

void DeviceThread::slot_checkDevices(QList<quint8> devices)
{
    QUORIX_ON_WORKER(slot_checkDevices(devices));
    online_devices.clear();
    for (quint8 id : devices) {
        OnlineDevice record;
        record.id = id;
        online_devices.append(record);
    }
}

void DeviceThread::slot_onlineDevice(int online_type, int deviceId)
{
    QUORIX_ON_WORKER(slot_onlineDevice(online_type, deviceId));
    for (const OnlineDevice &record : qAsConst(online_devices))
        qDebug() << "Device ID:" << int(record.id);
    if (online_type == 3)
        qDebug() << "上线的类型是3";

    // An address above 255 never matches a record; a record made for it keeps the low 8 bits.
    int index = -1;
    for (int i = 0; i < online_devices.size() && index < 0; ++i) {
        if (deviceId == int(online_devices[i].id))
            index = i;
    }
    auto setPolled = [](OnlineDevice &record, bool on) {
        record.cur = record.cum = record.temp = record.press = on;
    };

    if (online_type == 3) {
        if (index >= 0) {
            setPolled(online_devices[index], true);
        } else {
            OnlineDevice record;
            record.id = quint8(deviceId);
            online_devices.append(record);
        }
    } else if (online_type == 1) {
        if (index >= 0) {
            qDebug() << "要下线 找到设备:" << deviceId;
            setPolled(online_devices[index], false);
        }
    } else if (online_type == 2) {
        if (index >= 0) {
            OnlineDevice &record = online_devices[index];
            qDebug() << "Found device with id:" << deviceId;
            record.cum = true;
            qDebug() << "online_devices[i].cum=true";
            record.cur = record.temp = record.press = true;
        } else {
            OnlineDevice record;
            record.id = quint8(deviceId);
            setPolled(record, true);
            online_devices.append(record);
        }
    }
}

void DeviceThread::slot_showFlowResult(int type, int deviceId)
{
    QUORIX_ON_WORKER(slot_showFlowResult(type, deviceId));
    if (type == 1) {
        m_showCurPending = true;
        m_showCurId = deviceId;
    } else if (type == 2) {
        m_showCumPending = true;
        m_showCumId = deviceId;
    }
}

void DeviceThread::slot_responseShowMode(uchar deviceId)
{
    QUORIX_ON_WORKER(slot_responseShowMode(deviceId));
    m_showModePending = true;
    m_showModeId = deviceId;
}

void DeviceThread::slot_clearLoss()
{
    QUORIX_ON_WORKER(slot_clearLoss());
    m_totalLosses = 0;
}

void DeviceThread::slot_excuteStep(uchar deviceId, float data)
{
    QUORIX_ON_WORKER(slot_excuteStep(deviceId, data));
    const int index = indexOfDevice(deviceId);
    if (index < 0)
        return;
    qDebug() << "\033[31m"
             << "找到设备" << int(deviceId) << "流量是" << data << "\033[0m";
    online_devices[index].stepValue = data;
    online_devices[index].stepPending = true;
    m_stepRequested = true;
}

void DeviceThread::slot_startStep(bool isStep)
{
    QUORIX_ON_WORKER(slot_startStep(isStep));
    m_stepRequested = isStep;
}

// ---- primitives -----------------------------------------------------------------------------

int DeviceThread::replyTimeout() const
{
    return qMax(0, m_replyTimeout);
}

bool DeviceThread::portOpen() const
{
    return m_serial->isOpen() || m_linkLost;
}

// A pulled adapter: exchanges fail at once instead of waiting for replies that cannot come.
bool DeviceThread::linkBroken() const
{
    return m_linkLost;
}

void DeviceThread::onPortError(int error)
{
    if (m_linkLost || !m_serial->isOpen())
        return;
    if (error != QSerialPort::ResourceError && error != QSerialPort::DeviceNotFoundError &&
        error != QSerialPort::PermissionError)
        return;
    m_linkLost = true;
    m_linkError = m_serial->errorString();
    qDebug() << "串口连接中断" << m_linkError;
    // Closed from the event loop, not from inside the port's own error report.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_linkLost)
                m_serial->close();
        },
        Qt::QueuedConnection);
}

// Bytes still in the line belong to an earlier exchange (a reply that came after its wait ended,
// noise); read as the start of this reply they would shift every value that follows.
void DeviceThread::discardInput()
{
    m_serial->clear(QSerialPort::Input);
    m_serial->readAll();
}

bool DeviceThread::sendFrame(const QByteArray &frame, int writeTimeoutMs)
{
    if (!linkBroken())
        m_serial->clearError();
    discardInput();
    if (m_serial->write(frame) != frame.size())
        return false;
    return m_serial->waitForBytesWritten(writeTimeoutMs);
}

bool DeviceThread::waitForReply(int expectedBytes, int timeoutMs, QByteArray &out)
{
    Q_ASSERT(onWorkerThread());
    const QDeadlineTimer deadline(qMax(0, timeoutMs));
    out.append(m_serial->readAll());
    // Only the exact count ends the wait early: a reply that overshoots it waits out the timeout.
    while (out.size() != expectedBytes && !deadline.hasExpired() && m_serial->isOpen() && !linkBroken()) {
        if (m_serial->waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            out.append(m_serial->readAll());
        else if (m_serial->error() != QSerialPort::TimeoutError && m_serial->error() != QSerialPort::NoError)
            break;
    }
    if (out.size() >= expectedBytes)
        return true;
    qDebug() << "读取返回的数据失败，超时或者数据字节数不够";
    return false;
}

bool DeviceThread::readRegisters(quint8 address, quint16 reg, QByteArray &out)
{
    Q_ASSERT(onWorkerThread());
    const QByteArray request = SerialPort::appendCrc(SerialPort::buildReadFrame(address, reg, 2));
    if (!portOpen() || linkBroken() || !sendFrame(request, 2)) {
        qDebug() << "send error" << (linkBroken() ? m_linkError : m_serial->errorString());
        return false;
    }
    QByteArray reply;
    if (!waitForReply(ReadReplySize, replyTimeout(), reply)) {
        qDebug() << "没有收到数据";
        return false;
    }
    // Only the whole reply of the device asked, with a correct CRC, carries a value.
    if (!SerialPort::isSoundReadReply(reply, address)) {
        qDebug() << "回复无效" << reply.toHex();
        return false;
    }
    out = reply;
    return true;
}

bool DeviceThread::writeEchoed(quint8 address, quint16 reg, const QByteArray &frame, bool verbose)
{
    Q_UNUSED(address);
    if (verbose)
        qDebug() << "Register Address:" << reg;
    if (!portOpen()) {
        qDebug() << "串口是非打开状态";
        return false;
    }
    if (linkBroken() || !sendFrame(frame, 30)) {
        qDebug() << "报文发送失败" << (linkBroken() ? m_linkError : m_serial->errorString());
        return false;
    }
    if (verbose)
        qDebug() << "修改指令已经发送的报文是"
                 << "\033[31m" << frame.toHex() << "\033[0m";
    QByteArray reply;
    if (!waitForReply(frame.size(), replyTimeout(), reply))
        return false;
    if (verbose)
        qDebug() << "写入int收到的的数据是" << reply.toHex();
    return reply == frame;
}

bool DeviceThread::writeRegister(quint8 address, quint16 reg, int value)
{
    Q_ASSERT(onWorkerThread());
    return writeEchoed(address, reg, SerialPort::buildWriteInt16Frame(address, reg, value), true);
}

bool DeviceThread::writeFloatRegister(quint8 address, quint16 reg, float value)
{
    Q_ASSERT(onWorkerThread());
    return writeEchoed(address, reg, SerialPort::buildWriteFloatFrame(address, reg, value), false);
}

// ---- the tick -------------------------------------------------------------------------------

bool DeviceThread::stopping() const
{
    return isInterruptionRequested();
}

void DeviceThread::onMainTimer()
{
    using Step = void (DeviceThread::*)();
    const std::pair<const bool *, Step> requests[] = {
        {&m_scanRequested, &DeviceThread::serveScan},
        {&m_stepRequested, &DeviceThread::serveSteps},
        {&m_ordReadPending, &DeviceThread::serveOrdinaryRead},
        {&m_ordWritePending, &DeviceThread::serveOrdinaryWrite},
        {&m_adminReadPending, &DeviceThread::serveAdminRead},
        {&m_adminWritePending, &DeviceThread::serveAdminWrite},
        {&m_setpointPending, &DeviceThread::serveSetpoint},
    };
    for (const auto &request : requests) {
        if (stopping())
            return;
        if (*request.first)
            (this->*request.second)();
    }
    if (stopping())
        return;
    serveSetpointReadBacks();
    if (stopping())
        return;
    pollDevices();
    if (stopping())
        return;
    reportUsage();
}

void DeviceThread::serveScan()
{
    m_scanRequested = false;
    if (!portOpen()) {
        qDebug() << "串口未连接";
        return;
    }
    qDebug() << "串口已经连接";
    m_scanResult = scanBus();
    emit sig_CheckDevice(m_scanResult);
}

QByteArray DeviceThread::scanBus()
{
    Q_ASSERT(onWorkerThread());
    m_scanBuffer.clear();
    // Stale bytes go once, before the first probe; within the scan nothing is discarded, since a
    // late echo belongs to the result as much as a timely one.
    discardInput();
    for (int address = 1; address <= 15 && !stopping() && !linkBroken(); ++address) {
        const QByteArray frame = SerialPort::buildEchoFrame(quint8(address));
        qDebug() << "查询设备发送的报文是"
                 << "[" << frame.toHex() << "]";
        m_serial->write(frame);
        m_serial->waitForReadyRead(30);
        QByteArray received = m_serial->readAll();
        m_serial->waitForReadyRead(4);
        received.append(m_serial->readAll());
        qDebug() << "单次查询接受的报文是"
                 << "[" << received.toHex() << "]";
        m_scanBuffer.append(received);
    }
    const QByteArray result = m_scanBuffer;
    m_scanBuffer.clear();
    return result;
}

void DeviceThread::serveSteps()
{
    for (int i = 0; i < online_devices.size() && !stopping(); ++i) {
        if (!online_devices[i].stepPending)
            continue;
        const quint8 id = online_devices[i].id;
        const float value = float(online_devices[i].stepValue);
        const bool ok = writeFloatRegister(id, RegisterMap::InstantSetpoint, value);
        qDebug() << "设备" << int(id) << "的分阶指令" << value << (ok ? "执行成功" : "执行失败");
        online_devices[i].stepPending = false;
    }
    m_stepRequested = false;
}

void DeviceThread::blockRead(quint8 address, const QList<quint16> &registers, bool admin)
{
    for (int k = 0; k < registers.size() && !stopping(); ++k) {
        QByteArray reply;
        if (!readRegisters(address, registers[k], reply))
            continue;
        if (admin)
            emit sig_show_Admin_param_result(k + 1, address, reply);
        else
            emit sig_param_result(k + 1, address, reply);
    }
}

void DeviceThread::serveOrdinaryRead()
{
    blockRead(m_ordReadId, RegisterMap::ordinaryReads(), false);
    m_ordReadPending = false;
}

void DeviceThread::serveAdminRead()
{
    blockRead(m_adminId, RegisterMap::adminReads(), true);
    m_adminReadPending = false;
}

namespace {

// Sends one parameter write as the register map says; an unknown type sends nothing and fails.
template <typename Worker>
bool sendParameter(Worker *worker, quint8 address, const RegisterMap::WriteTarget &target, int data1,
                   float data2)
{
    switch (target.encoding) {
    case Encoding::Int16:
        return worker->writeRegister(address, target.reg, data1);
    case Encoding::Float:
        return worker->writeFloatRegister(address, target.reg, data2);
    case Encoding::Fixed:
        return worker->writeRegister(address, target.reg, target.fixedValue);
    case Encoding::None:
        break;
    }
    return false;
}

} // namespace

void DeviceThread::serveOrdinaryWrite()
{
    qDebug() << "修改普通参数type:" << m_ordWriteType;
    if (m_ordWriteType == 11)
        qDebug() << "写入的ID号是" << m_ordWriteData1;
    const bool ok = sendParameter(this, m_ordWriteId, RegisterMap::ordinaryWrite(m_ordWriteType),
                                  m_ordWriteData1, m_ordWriteData2);
    emit sig_modifyParamStatus(ok, m_ordWriteType);
    m_ordWritePending = false;
    m_ordWriteId = 0;
    m_ordWriteType = m_ordWriteDataType = m_ordWriteData1 = 0;
    m_ordWriteData2 = 0;
    if (ok)
        qDebug() << "修改设备参数成功";
}

void DeviceThread::serveAdminWrite()
{
    qDebug() << "修改管理员参数的type:" << m_adminWriteType;
    // Every type, commands included, reports what the device actually confirmed.
    const bool ok = sendParameter(this, m_adminId, RegisterMap::adminWrite(m_adminWriteType),
                                  m_adminWriteData1, m_adminWriteData2);
    emit sig_modifyAdminStatus(ok, m_adminWriteType);
    m_adminWritePending = false;
    m_adminId = 0;
    m_adminWriteType = m_adminWriteDataType = m_adminWriteData1 = 0;
    m_adminWriteData2 = 0;
    qDebug() << (ok ? "修改管理员参数成功" : "修改管理员参数失败");
}

void DeviceThread::serveSetpoint()
{
    const bool instant = m_setpointKind == 1;
    if (!instant && m_setpointKind != 2)
        return;
    qDebug() << (instant ? "modify_flow_data" : "modify_flowcum_data") << m_setpointValue;
    const quint16 reg = instant ? RegisterMap::InstantSetpoint : RegisterMap::CumulativeSetpoint;
    if (writeFloatRegister(m_setpointId, reg, m_setpointValue)) {
        qDebug() << (instant ? "修改瞬时量执行成功" : "修改累积量量执行成功");
        m_setpointPending = false;
        m_setpointRetries = 0;
    } else {
        ++m_setpointRetries;
    }
    if (instant)
        qDebug() << " count_cur";
    if (m_setpointRetries > SetpointAttempts) {
        qDebug() << (instant ? "修改瞬时量错误" : "修改累积量错误");
        m_setpointPending = false;
        m_setpointRetries = 0;
    }
}

void DeviceThread::serveSetpointReadBacks()
{
    QByteArray reply;
    if (m_showCurPending) {
        qDebug() << "2222我要显示瞬时设定流量";
        if (readRegisters(quint8(m_showCurId), RegisterMap::InstantSetpoint, reply)) {
            emit sig_showCurResult(1, m_showCurId, reply);
            m_showCurPending = false;
        }
    }
    if (stopping())
        return;
    if (m_showCumPending) {
        qDebug() << "showSetCumId" << m_showCumId;
        if (readRegisters(quint8(m_showCumId), RegisterMap::CumulativeSetpoint, reply)) {
            emit sig_showCurResult(2, m_showCumId, reply);
            m_showCumPending = false;
        }
    }
    if (stopping())
        return;
    if (m_showModePending) {
        qDebug() << "showModeId" << int(m_showModeId);
        if (readRegisters(m_showModeId, RegisterMap::ControlMode, reply)) {
            emit refreshDeviceMode(m_showModeId, bytes_to_uint16(reply, 3));
            m_showModePending = false;
            m_showModeId = 0;
        }
    }
}

void DeviceThread::pollDevices()
{
    m_cycleStart = QDateTime::currentDateTime();
    int index = 0;
    while (index < online_devices.size() && !stopping()) {
        if (pollDevice(index))
            ++index;
    }
    m_cycleEnd = QDateTime::currentDateTime();
}

// Polls one record; false when the record was dropped, so the next one now sits at the same index.
bool DeviceThread::pollDevice(int index)
{
    static const bool OnlineDevice::*const flags[] = {&OnlineDevice::cur, &OnlineDevice::cum,
                                                      &OnlineDevice::temp, &OnlineDevice::press};
    const quint8 id = online_devices[index].id;
    for (int type = 1; type <= 4; ++type) {
        if (stopping())
            return true;
        OnlineDevice &record = online_devices[index];
        if (record.*flags[type - 1]) {
            ++record.queryCount;
            ++record.totalQuery;
            QByteArray reply;
            if (readRegisters(id, RegisterMap::readingRegister(type), reply)) {
                emit sendFreshDeviceInformation(type, id, reply);
            } else {
                ++online_devices[index].lossCount;
                ++online_devices[index].totalLoss;
                ++m_totalLosses;
            }
        }
        // A zero pause must cost nothing: even a sleep of 0 ms waits out the kernel's timer slack.
        if (m_queryPause > 0)
            QThread::msleep(ulong(m_queryPause));
    }
    OnlineDevice &record = online_devices[index];
    if (record.queryCount <= WindowQueries)
        return true;
    qDebug() << "设备" << int(id) << "号当20次查询后的丢包次数是" << record.lossCount;
    if (record.lossCount > WindowLossLimit) {
        qDebug() << "设备掉线了";
        emit deviceconnectStatus(id, false);
        removeDevice(id);
        return false;
    }
    record.queryCount = 0;
    record.lossCount = 0;
    return true;
}

void DeviceThread::reportUsage()
{
    const qint64 elapsed = m_cycleStart.msecsTo(m_cycleEnd);
    // A query period of 0 is allowed by the settings window; there is no share of it to report.
    const float usage = m_period != 0 ? float(double(elapsed) * 100.0 / double(m_period)) : 0.0f;
    emit sig_count_loss(1, usage);
    emit sig_count_loss(2, float(m_totalLosses));
}

int DeviceThread::indexOfDevice(quint8 address) const
{
    for (int i = 0; i < online_devices.size(); ++i) {
        if (online_devices[i].id == address)
            return i;
    }
    return -1;
}

bool DeviceThread::removeDevice(quint8 address)
{
    const int index = indexOfDevice(address);
    if (index < 0)
        return false;
    online_devices.removeAt(index);
    return true;
}
