#include "BusLink.h"

#include "RegisterMap.h"
#include "ReplyRecognizer.h"
#include "SerialPort.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QThread>
#include <cmath>

namespace {

// Bits of one character on the wire: start, 8 data, stop.
constexpr double BitsPerCharacter = 10.0;
constexpr double MinSilenceMs = 1.75;
// A peer that never stops sending must not fill the memory between two exchanges.
constexpr qint64 ReadBufferBytes = 4096;
// A line out of step is checked at most this many times before the reading is given up.
constexpr int ResyncAttempts = 3;
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
    m_port->setReadBufferSize(ReadBufferBytes);
    connect(m_port, &QSerialPort::errorOccurred, this, &BusLink::onPortError);
    m_lastActivity.start();
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
    m_lost = false;
    m_lostReason.clear();
    m_lastActivity.restart();
    return true;
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

double BusLink::silenceMs() const
{
    const double characters = m_baud > 0 ? 3.5 * BitsPerCharacter * 1000.0 / m_baud : 0.0;
    return qMax(MinSilenceMs, characters);
}

int BusLink::silenceLeftMs() const
{
    const double left = silenceMs() - double(m_lastActivity.nsecsElapsed()) / 1e6;
    return left <= 0 ? 0 : int(std::ceil(left));
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

// ---- the line -----------------------------------------------------------------------------------

bool BusLink::waitForBytes(int ms, QByteArray &into)
{
    if (!m_port->isOpen() || m_lost) {
        closeLostPort();
        return false;
    }
    if (!m_port->waitForReadyRead(ms)) {
        closeLostPort();
        return false;
    }
    into.append(m_port->readAll());
    heardBytes();
    return true;
}

void BusLink::heardBytes()
{
    m_lastActivity.restart();
    m_lastByteTime = ReadTime::now();
}

// Bytes still in the line belong to no request of ours (a reply that came after its wait ended,
// noise): they go, for `settleMs` and then until the silence that follows them. A controller
// whose whole read reply is among them is out of step.
bool BusLink::quietLine(int settleMs)
{
    QByteArray stale = m_port->readAll();
    if (!stale.isEmpty())
        m_lastActivity.restart();
    const QDeadlineTimer settled(qMax(0, settleMs));
    QElapsedTimer budget;
    budget.start();
    for (;;) {
        const bool settling = !settled.hasExpired();
        const int waitMs = settling ? int(qMax<qint64>(1, settled.remainingTime())) : silenceLeftMs();
        if (!waitForBytes(waitMs, stale)) {
            if (settling && isOpen())
                continue;
            break;
        }
        // More than any answer and noise between requests: a peer that does not stop sending.
        if (stale.size() > ReadBufferBytes || budget.elapsed() > m_replyTimeout + settleMs) {
            qDebug() << "线路不静默，未发送";
            return false;
        }
    }
    if (stale.isEmpty())
        return !m_lost;
    qDebug() << "丢弃线路上的多余字节" << stale.left(64).toHex();
    for (quint8 address : ReplyRecognizer::readReplyAddresses(stale))
        m_outOfStep.insert(address);
    return !m_lost;
}

bool BusLink::send(const QByteArray &frame, int writeTimeoutMs)
{
    if (!isOpen())
        return false;
    m_port->clearError();
    if (m_port->write(frame) != frame.size())
        return false;
    const bool written = m_port->waitForBytesWritten(writeTimeoutMs);
    m_lastActivity.restart();
    // A request still queued would go out during a later exchange and its answer be taken there.
    if (!written && m_port->isOpen())
        m_port->clear(QSerialPort::Output);
    return written && !m_lost;
}

void BusLink::discardUntilSilent(qint64 budgetMs)
{
    QElapsedTimer budget;
    budget.start();
    QByteArray discarded;
    while (budget.elapsed() <= budgetMs && waitForBytes(qMax(1, silenceLeftMs()), discarded))
        discarded.clear();
}

BusLink::Outcome BusLink::collect(const ReplyRecognizer &expected, QByteArray &frame)
{
    using State = ReplyRecognizer::State;
    const QDeadlineTimer deadline(m_replyTimeout);
    m_endedOnSilence = false;
    QByteArray received = m_port->readAll();
    if (!received.isEmpty())
        heardBytes();
    for (;;) {
        const ReplyRecognizer::Result result = expected.recognise(received);
        if (result.state == State::Unsound) {
            qDebug() << "回复无效" << received.left(64).toHex();
            discardUntilSilent(deadline.remainingTime());
            return Outcome::Unsound;
        }
        // Once a whole answer may be in, only the silence after it can end the wait.
        const bool mayBeOver = result.state != State::Incomplete || expected.finishedOnSilence(received);
        if (!mayBeOver && deadline.hasExpired())
            break;
        const int waitMs = mayBeOver ? silenceLeftMs() : int(qMax<qint64>(0, deadline.remainingTime()));
        if (waitForBytes(waitMs, received))
            continue;
        if (m_lost)
            return Outcome::NotSent;
        if (!mayBeOver)
            continue; // the deadline check above ends the wait
        m_endedOnSilence = true;
        frame = result.frame;
        switch (result.state) {
        case State::Answer:
            return Outcome::Answer;
        case State::Exception:
            qDebug() << "设备" << int(quint8(frame[0])) << "返回异常码" << result.exceptionCode;
            return Outcome::Exception;
        default:
            qDebug() << "回复无效" << received.left(64).toHex();
            return Outcome::Unsound;
        }
    }
    m_lastActivity.restart();
    if (received.isEmpty()) {
        qDebug() << "读取返回的数据失败，超时或者数据字节数不够";
        return Outcome::NoAnswer;
    }
    qDebug() << "回复无效" << received.left(64).toHex();
    return Outcome::Unsound;
}

BusLink::Outcome BusLink::exchange(const QByteArray &request, const ReplyRecognizer &expected,
                                   QByteArray &frame)
{
    if (!isOpen() || !quietLine() || !send(request, ReadWriteTimeoutMs))
        return Outcome::NotSent;
    QElapsedTimer sent;
    sent.start();
    const Outcome outcome = collect(expected, frame);
    if (outcome == Outcome::NoAnswer || outcome == Outcome::Unsound)
        m_lastUnanswered = sent;
    return outcome;
}

// ---- exchanges ----------------------------------------------------------------------------------

// The check reads the address register alone: its 7-byte answer has a shape no reading has, so a
// late answer to a check is never taken for a reading, nor a late reading for a check. A controller
// that refuses the single-register read answers with an exception, which is in step as well.
//
// Every check answer looks alike, so a check goes out only once an answer just past its timeout
// (up to a whole timeout late) to the last unanswered request has had its time to come and go:
// else it could pass this check, and the reading after it take that check's own late answer, and
// then another register's. Noise meanwhile does not delay the check.
bool BusLink::resync(quint8 address)
{
    for (int attempt = 0; attempt < ResyncAttempts; ++attempt) {
        const qint64 settleMs =
            m_lastUnanswered.isValid() ? 2 * qint64(m_replyTimeout) - m_lastUnanswered.elapsed() : 0;
        if (settleMs > 0 && !quietLine(int(settleMs)))
            return false;
        QByteArray frame;
        const Outcome outcome = exchange(readRequest(address, RegisterMap::DeviceAddress, 1),
                                         ReplyRecognizer::forRead(address, 1), frame);
        const bool holdsAddress = outcome == Outcome::Answer && bytes_to_uint16(frame, 3) == address;
        if (holdsAddress || outcome == Outcome::Exception) {
            m_outOfStep.remove(address);
            qDebug() << "设备" << int(address) << "线路已同步";
            return true;
        }
        if (outcome == Outcome::NoAnswer || outcome == Outcome::NotSent)
            return false;
        qDebug() << "设备" << int(address) << "的回复与请求不同步，重新校验";
    }
    return false;
}

bool BusLink::readRegisters(quint8 address, quint16 reg, QByteArray &out)
{
    if (!isOpen()) {
        qDebug() << "send error" << errorString();
        return false;
    }
    if (m_outOfStep.contains(address) && !resync(address)) {
        qDebug() << "没有收到数据";
        return false;
    }
    QByteArray frame;
    const Outcome outcome = exchange(readRequest(address, reg), ReplyRecognizer::forRead(address), frame);
    if (outcome == Outcome::Answer) {
        out = frame;
        return true;
    }
    // An exception answers this very request; anything else may leave its answer on the way.
    if (outcome != Outcome::Exception)
        m_outOfStep.insert(address);
    if (outcome == Outcome::NotSent)
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
    if (!isOpen() || !quietLine() || !send(frame, EchoWriteTimeoutMs)) {
        qDebug() << "报文发送失败" << errorString();
        return false;
    }
    if (verbose)
        qDebug() << "修改指令已经发送的报文是"
                 << "\033[31m" << frame.toHex() << "\033[0m";
    QByteArray echo;
    if (collect(ReplyRecognizer::forEcho(frame), echo) != Outcome::Answer)
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
    out.append(m_port->readAll());
    for (;;) {
        const bool enough = out.size() >= expectedBytes;
        if (!enough && deadline.hasExpired())
            break;
        const int waitMs = enough ? silenceLeftMs() : int(qMax<qint64>(0, deadline.remainingTime()));
        if (waitForBytes(waitMs, out))
            continue;
        if (enough)
            return true;
        if (m_lost)
            break;
    }
    qDebug() << "读取返回的数据失败，超时或者数据字节数不够";
    return false;
}

QByteArray BusLink::scan(const std::function<bool()> &stopping)
{
    QByteArray received;
    // Stale bytes go once, before the first probe; within the scan nothing is discarded, since a
    // late echo belongs to the result as much as a timely one.
    if (!quietLine())
        return received;
    for (int address = 1; address <= 15 && !stopping() && isOpen(); ++address) {
        const QByteArray frame = SerialPort::buildEchoFrame(quint8(address));
        qDebug() << "查询设备发送的报文是"
                 << "[" << frame.toHex() << "]";
        m_port->write(frame);
        QByteArray answer;
        waitForBytes(ScanFirstWaitMs, answer);
        waitForBytes(ScanSecondWaitMs, answer);
        qDebug() << "单次查询接受的报文是"
                 << "[" << answer.toHex() << "]";
        received.append(answer);
    }
    return received;
}

void BusLink::restAfterExchange(int pauseMs)
{
    const qint64 spentUs = m_endedOnSilence ? m_lastActivity.nsecsElapsed() / 1000 : 0;
    m_endedOnSilence = false;
    const qint64 leftUs = qint64(pauseMs) * 1000 - spentUs;
    if (leftUs > 0)
        QThread::usleep(ulong(leftUs));
}
