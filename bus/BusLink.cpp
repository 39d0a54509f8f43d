#include "BusLink.h"

#include "RegisterMap.h"
#include "ReplyRecognizer.h"
#include "SerialPort.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QThread>

#include <poll.h>

namespace {

constexpr int ReadWriteTimeoutMs = 2;
constexpr int EchoWriteTimeoutMs = 30;
constexpr int ScanFirstWaitMs = 30;
constexpr int ScanSecondWaitMs = 4;

QByteArray readRequest(quint8 address, quint16 reg, quint16 count = 2)
{
    return SerialPort::appendCrc(SerialPort::buildReadFrame(address, reg, count));
}

} // namespace

BusLink::BusLink(QObject *parent) : QObject(parent), m_port(new QSerialPort(this))
{
    // A peer that never stops sending must not fill the memory between two exchanges.
    m_port->setReadBufferSize(LineSync::kReadBufferBytes);
    connect(m_port, &QSerialPort::errorOccurred, this, &BusLink::onPortError);
}

BusLink::~BusLink()
{
    if (m_port->isOpen())
        m_port->close();
}

bool BusLink::open(const QString &name, int baudRate)
{
    closeLostPort(); // the dead port may still wait for its queued close
    // A working port is left alone: a second open fails and must not change its settings.
    if (m_port->isOpen())
        return false;
    m_port->setPortName(name);
    m_port->setBaudRate(baudRate, QSerialPort::AllDirections);
    m_port->setDataBits(QSerialPort::Data8);
    m_port->setParity(QSerialPort::NoParity);
    m_port->setStopBits(QSerialPort::OneStop);
    m_port->clearError();
    if (!m_port->open(QIODevice::ReadWrite))
        return false;
    m_name = name;
    m_baud = baudRate;
    m_sync.setBaudRate(baudRate);
    m_lost = false;
    m_lostReason.clear();
    m_sync.opened();
    detectAdapterEcho();
    return true;
}

void BusLink::detectAdapterEcho()
{
    m_sync.forgetAdapter();
    m_echoReported = true; // the opening reports its finding once, below
    const QByteArray probe = readRequest(0, RegisterMap::DeviceAddress, 1);
    if (ask(probe, ReadWriteTimeoutMs)) {
        m_sync.beginAnswer(ReplyRecognizer::forEcho(probe), false);
        drive();
        if (m_sync.verdict() == Verdict::Answer)
            m_sync.adapterEchoFound();
    }
    m_echoReported = m_sync.adapterEchoes();
    emit adapterEcho(m_echoReported);
}

void BusLink::reportAdapterEcho()
{
    if (m_echoReported || !m_sync.adapterEchoes())
        return;
    m_echoReported = true;
    emit adapterEcho(true);
}

void BusLink::close()
{
    if (m_port->isOpen())
        m_port->close();
}

bool BusLink::isOpen() const
{
    return m_port->isOpen() && !m_lost;
}

QString BusLink::errorString() const
{
    return m_lost ? m_lostReason : m_port->errorString();
}

// ---- lost link ----------------------------------------------------------------------------------

void BusLink::onPortError(QSerialPort::SerialPortError error)
{
    // A pulled adapter shows as a hang-up: the port stays readable and every read returns nothing
    // or fails. Left open it would wake the event loop without end.
    const bool broken = error == QSerialPort::ResourceError || error == QSerialPort::ReadError ||
                        error == QSerialPort::WriteError || error == QSerialPort::DeviceNotFoundError;
    if (!broken || m_lost || !m_port->isOpen())
        return;
    if (error == QSerialPort::ReadError && !hungUp())
        return; // a wake-up with nothing to read, not a lost adapter
    m_lost = true;
    m_lostReason = m_port->errorString();
    qDebug() << "串口连接中断" << m_lostReason;
    // Closed from the event loop (or by the exchange that noticed), not inside the port's report.
    QMetaObject::invokeMethod(this, &BusLink::closeLostPort, Qt::QueuedConnection);
    emit linkLost(m_lostReason);
}

void BusLink::closeLostPort()
{
    if (m_lost && m_port->isOpen())
        m_port->close();
}

// ---- moving bytes -------------------------------------------------------------------------------

// The bytes that arrive within `ms`; false when none did or the port failed.
bool BusLink::waitForBytes(int ms, QByteArray &into)
{
    // A loaded machine can wake the wait for bytes that the next read then does not find; such a
    // read fails with nothing to tell, and the rest of the wait still counts.
    const QDeadlineTimer deadline(ms);
    while (m_port->isOpen() && !m_lost) {
        if (m_port->waitForReadyRead(int(deadline.remainingTime()))) {
            into.append(readPort());
            return true;
        }
        if (m_port->error() != QSerialPort::ReadError || m_lost || deadline.hasExpired())
            break;
        m_port->clearError();
    }
    closeLostPort();
    return false;
}

// Whether the other end of the line has gone: a pulled adapter or a closed terminal hangs up.
bool BusLink::hungUp() const
{
    pollfd line{int(m_port->handle()), 0, 0};
    return ::poll(&line, 1, 0) != 0 && (line.revents & (POLLHUP | POLLERR | POLLNVAL));
}

// What the port holds; a reading's time is when its last byte arrived.
QByteArray BusLink::readPort()
{
    QByteArray bytes = m_port->readAll();
    if (!bytes.isEmpty())
        m_lastByteTime = ReadTime::now();
    return bytes;
}

// As waitForBytes, outside a phase of the line's sync: the bytes only mark the line as busy.
bool BusLink::takeBytes(int ms, QByteArray &into)
{
    QByteArray bytes;
    if (!waitForBytes(ms, bytes))
        return false;
    m_sync.received(bytes);
    into.append(bytes);
    return true;
}

// Runs the sync's phase to its verdict: waits as long as it asks and tells it what the line did.
void BusLink::drive()
{
    m_heard.clear();
    if (m_port->isOpen() && !m_lost)
        hear(readPort());
    for (int ms = m_sync.waitMs(); ms >= 0; ms = m_sync.waitMs()) {
        QByteArray bytes;
        if (waitForBytes(ms, bytes))
            hear(bytes);
        else if (m_lost || !m_port->isOpen())
            m_sync.portFailed();
        else
            m_sync.quiet();
    }
    reportAdapterEcho();
}

void BusLink::hear(const QByteArray &bytes)
{
    m_sync.received(bytes);
    if (m_observer && m_heard.size() < LineSync::kReadBufferBytes)
        m_heard.append(bytes);
}

void BusLink::observe(const QByteArray &request, Verdict verdict, const QByteArray &frame,
                      const ReadTime &sentAt)
{
    if (m_observer && verdict != Verdict::NotSent)
        m_observer(LinkExchange::of(verdict, request, frame, m_heard, sentAt, m_lastByteTime,
                                    m_sync.adapterEchoes()));
}

bool BusLink::send(const QByteArray &frame, int writeTimeoutMs)
{
    if (!isOpen())
        return false;
    m_port->clearError();
    m_sendStartedAt = ReadTime::now();
    if (m_port->write(frame) != frame.size())
        return false;
    const bool written = m_port->waitForBytesWritten(writeTimeoutMs);
    m_sync.sent(frame);
    // A request still queued would go out during a later exchange and its answer be taken there.
    if (!written && m_port->isOpen())
        m_port->clear(QSerialPort::Output);
    return written && !m_lost;
}

bool BusLink::quietLine(int settleMs)
{
    m_sync.beginQuiet(settleMs);
    drive();
    if (!m_heard.isEmpty())
        observe(QByteArray(), Verdict::Silent, m_heard, ReadTime());
    return m_sync.verdict() == Verdict::Silent;
}

// The line is free and the request went out.
bool BusLink::ask(const QByteArray &request, int writeTimeoutMs)
{
    return isOpen() && quietLine() && send(request, writeTimeoutMs);
}

BusLink::Verdict BusLink::collect(const ReplyRecognizer &expected, QByteArray &frame)
{
    m_sync.beginAnswer(expected);
    drive();
    if (m_observer) {
        for (const QByteArray &foreign : m_sync.foreignFrames())
            m_observer(LinkExchange::of(Verdict::Silent, QByteArray(), foreign, foreign, ReadTime(),
                                        m_lastByteTime, m_sync.adapterEchoes()));
    }
    // A buffer of its own: the frame leaves the worker in signals, and the sync frees its copy at
    // the next exchange, which ThreadSanitizer cannot order after the other thread's last use.
    const QByteArray answer = m_sync.frame();
    frame = QByteArray(answer.constData(), answer.size());
    return m_sync.verdict();
}

BusLink::Verdict BusLink::exchange(const QByteArray &request, const ReplyRecognizer &expected,
                                   QByteArray &frame)
{
    if (!ask(request, ReadWriteTimeoutMs))
        return Verdict::NotSent;
    const Verdict verdict = collect(expected, frame);
    observe(request, verdict, frame, m_sendStartedAt);
    if (verdict == Verdict::NoAnswer)
        holdAfterTimeout();
    return verdict;
}

// An answer just past the wait lands in the grace, heard and dropped, not on the next request.
void BusLink::holdAfterTimeout()
{
    m_metSilence = quietLine(m_sync.graceMs()) && m_heard.isEmpty();
}

bool BusLink::spokeSinceTimeout()
{
    if (!m_metSilence)
        return true;
    quietLine();
    if (m_heard.isEmpty())
        return false;
    m_metSilence = false;
    m_checkFailed.remove(m_readAddress);
    return true;
}

// ---- exchanges ----------------------------------------------------------------------------------

// One check on a silent line a round, one reply timeout at most: the loss rule, not the check,
// decides about the controller. A check spoilt by noise is tried again at the next read.
bool BusLink::resync(quint8 address)
{
    if (m_checkFailed.contains(address)) {
        m_metSilence = true;
        return false;
    }
    const QByteArray check = SerialPort::buildEchoFrame(address);
    QByteArray frame;
    const Verdict verdict = exchange(check, ReplyRecognizer::forEcho(check), frame);
    if (m_sync.checkDone(address, verdict) == LineSync::Check::InStep)
        return true;
    if (m_metSilence)
        m_checkFailed.insert(address);
    return false;
}

BusLink::ReadResult BusLink::readResultOf(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Answer:
        return ReadResult::Answered;
    case Verdict::NoAnswer:
    case Verdict::Silent:
    case Verdict::Pending:
        return ReadResult::Timeout;
    case Verdict::NotSent:
        return ReadResult::NotSent;
    case Verdict::Unsound:
    case Verdict::Exception:
    case Verdict::Busy:
        break;
    }
    return ReadResult::Unsound;
}

bool BusLink::readRegisters(quint8 address, quint16 reg, QByteArray &out)
{
    m_metSilence = false;
    m_readAddress = address;
    m_lastRead = ReadResult::NotSent;
    if (!isOpen()) {
        qDebug() << "send error" << errorString();
        return false;
    }
    if (!m_sync.inStep(address) && !resync(address)) {
        qDebug() << "没有收到数据";
        return false;
    }
    QByteArray frame;
    const Verdict verdict = exchange(readRequest(address, reg), ReplyRecognizer::forRead(address), frame);
    m_sync.readDone(address, verdict);
    m_lastRead = readResultOf(verdict);
    if (verdict == Verdict::Answer) {
        out = frame;
        return true;
    }
    if (verdict == Verdict::NotSent)
        qDebug() << "send error" << errorString();
    qDebug() << "没有收到数据";
    return false;
}

bool BusLink::writeEchoed(quint16 reg, const QByteArray &frame, bool verbose)
{
    if (verbose)
        qDebug() << "Register Address:" << reg;
    if (!m_port->isOpen() && !m_lost) {
        qDebug() << "串口是非打开状态";
        return false;
    }
    if (!ask(frame, EchoWriteTimeoutMs)) {
        qDebug() << "报文发送失败" << errorString();
        return false;
    }
    if (verbose)
        qDebug() << "修改指令已经发送的报文是"
                 << "\033[31m" << frame.toHex() << "\033[0m";
    QByteArray echo;
    const Verdict verdict = collect(ReplyRecognizer::forEcho(frame), echo);
    observe(frame, verdict, echo, m_sendStartedAt);
    if (verdict == Verdict::NoAnswer)
        holdAfterTimeout();
    if (verdict != Verdict::Answer)
        return false;
    if (verbose)
        qDebug() << "写入int收到的的数据是" << echo.toHex();
    return true;
}

bool BusLink::writeRegister(quint8 address, quint16 reg, int value)
{
    return writeEchoed(reg, SerialPort::buildWriteInt16Frame(address, reg, value), true);
}

bool BusLink::writeFloatRegister(quint8 address, quint16 reg, float value)
{
    return writeEchoed(reg, SerialPort::buildWriteFloatFrame(address, reg, value), false);
}

bool BusLink::waitForReply(int expectedBytes, int timeoutMs, QByteArray &out)
{
    const QDeadlineTimer deadline(qMax(0, timeoutMs));
    if (m_port->isOpen()) {
        const QByteArray waiting = readPort();
        m_sync.received(waiting);
        out.append(waiting);
    }
    for (;;) {
        const bool enough = out.size() >= expectedBytes;
        if (!enough && deadline.hasExpired())
            break;
        const int waitMs = enough ? m_sync.silenceLeftMs() : int(qMax<qint64>(0, deadline.remainingTime()));
        if (takeBytes(waitMs, out))
            continue;
        if (enough)
            return true;
        if (m_lost)
            break;
    }
    qDebug() << "读取返回的数据失败，超时或者数据字节数不够";
    return false;
}

ScanResult BusLink::scan(const std::function<bool()> &stopping)
{
    QByteArray received;
    // Stale bytes go once, before the first probe; within the scan nothing is discarded, since a
    // late echo belongs to the result as much as a timely one.
    if (!quietLine())
        return ScanResult::fromReceived(received, adapterEchoes());
    for (int address = 1; address <= 15 && !stopping() && isOpen(); ++address) {
        const QByteArray frame = SerialPort::buildEchoFrame(quint8(address));
        qDebug() << "查询设备发送的报文是"
                 << "[" << frame.toHex() << "]";
        m_port->write(frame);
        QByteArray answer;
        takeBytes(ScanFirstWaitMs, answer);
        // An echoing adapter's copy comes first; the controller's echo follows it, a wait later.
        if (adapterEchoes() && answer == frame)
            takeBytes(ScanFirstWaitMs, answer);
        takeBytes(ScanSecondWaitMs, answer);
        qDebug() << "单次查询接受的报文是"
                 << "[" << answer.toHex() << "]";
        received.append(answer);
    }
    return ScanResult::fromReceived(received, adapterEchoes());
}

void BusLink::restAfterExchange(int pauseMs)
{
    const qint64 leftUs = m_sync.restLeftUs(pauseMs);
    if (leftUs > 0)
        QThread::usleep(ulong(leftUs));
}
