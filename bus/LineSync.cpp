#include "LineSync.h"

#include <QDebug>
#include <chrono>
#include <cmath>

namespace {

// Bits of one character on the wire: start, 8 data, stop.
constexpr double BitsPerCharacter = 10.0;
constexpr double MinSilenceMs = 1.75;
constexpr qint64 NsPerMs = 1000 * 1000;

// Waits are whole milliseconds, rounded up so that a wait never ends before its time.
int ceilMs(qint64 ns)
{
    return ns <= 0 ? 0 : int((ns + NsPerMs - 1) / NsPerMs);
}

} // namespace

LineSync::Clock LineSync::steadyClock()
{
    return [] {
        const auto since = std::chrono::steady_clock::now().time_since_epoch();
        return qint64(std::chrono::duration_cast<std::chrono::nanoseconds>(since).count());
    };
}

LineSync::LineSync(Clock clock) : m_clock(std::move(clock))
{
    m_lastActivity = now();
}

double LineSync::silenceMs() const
{
    const double characters = m_baud > 0 ? 3.5 * BitsPerCharacter * 1000.0 / m_baud : 0.0;
    return qMax(MinSilenceMs, characters);
}

int LineSync::graceMs() const
{
    constexpr int MinGraceMs = 5;
    const double characters = m_baud > 0 ? 5 * BitsPerCharacter * 1000.0 / m_baud : 0.0;
    return qMax(MinGraceMs, int(std::ceil(characters)));
}

int LineSync::silenceLeftMs() const
{
    const double left = silenceMs() - double(now() - m_lastActivity) / double(NsPerMs);
    return left <= 0 ? 0 : int(std::ceil(left));
}

// ---- what the line did --------------------------------------------------------------------------

void LineSync::opened()
{
    m_lastActivity = now();
}

void LineSync::sent(const QByteArray &request)
{
    m_request = request;
    m_lastActivity = now();
}

void LineSync::received(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    const qint64 at = now();
    m_lastActivity = at;
    switch (m_phase) {
    case Phase::Idle:
        break;
    case Phase::Quiet:
        m_bytes.append(bytes);
        if (m_bytes.size() > kReadBufferBytes || at - m_phaseStart > qint64(m_replyTimeout + m_settleMs) * NsPerMs) {
            qDebug() << "线路不静默，未发送";
            endQuiet(Verdict::Busy);
        }
        break;
    case Phase::Answer:
        m_bytes.append(bytes);
        dropOwnEcho();
        judgeAnswer();
        break;
    case Phase::Discard:
        if (at > m_deadline)
            endAnswer(Verdict::Unsound);
        break;
    }
}

void LineSync::quiet()
{
    switch (m_phase) {
    case Phase::Idle:
        break;
    case Phase::Quiet:
        // Settled, and the silence after the last byte is whole.
        if (now() >= m_deadline && silenceLeftMs() == 0)
            endQuiet(Verdict::Silent);
        break;
    case Phase::Answer:
        answerOnSilence();
        break;
    case Phase::Discard:
        endAnswer(Verdict::Unsound);
        break;
    }
}

void LineSync::portFailed()
{
    if (m_phase == Phase::Quiet)
        endQuiet(Verdict::NotSent);
    else if (m_phase != Phase::Idle)
        endAnswer(Verdict::NotSent);
}

int LineSync::waitMs() const
{
    switch (m_phase) {
    case Phase::Idle:
        return -1;
    case Phase::Quiet: {
        const qint64 settling = m_deadline - now();
        return settling > 0 ? qMax(1, ceilMs(settling)) : silenceLeftMs();
    }
    case Phase::Answer: {
        // Once a whole answer may be in, only the silence after it can end the wait.
        const bool mayBeOver =
            m_result.state != ReplyRecognizer::State::Incomplete || m_expected->finishedOnSilence(m_bytes);
        return mayBeOver ? silenceLeftMs() : ceilMs(m_deadline - now());
    }
    case Phase::Discard:
        return qMax(1, silenceLeftMs());
    }
    return -1;
}

// ---- the quiet line before a request ------------------------------------------------------------

void LineSync::beginQuiet(int settleMs)
{
    m_phase = Phase::Quiet;
    m_verdict = Verdict::Pending;
    m_bytes.clear();
    m_settleMs = qMax(0, settleMs);
    m_phaseStart = now();
    m_deadline = m_phaseStart + qint64(m_settleMs) * NsPerMs;
}

void LineSync::endQuiet(Verdict verdict)
{
    m_phase = Phase::Idle;
    m_verdict = verdict;
    if (m_bytes.isEmpty() || verdict == Verdict::Busy)
        return;
    qDebug() << "丢弃线路上的多余字节" << m_bytes.left(64).toHex();
    for (quint8 address : ReplyRecognizer::readReplyAddresses(m_bytes))
        m_outOfStep.insert(address);
    m_bytes.clear();
}

// ---- the answer ---------------------------------------------------------------------------------

void LineSync::beginAnswer(const ReplyRecognizer &expected, bool logFailures)
{
    m_logFailures = logFailures;
    m_phase = Phase::Answer;
    m_verdict = Verdict::Pending;
    m_expected = expected;
    m_bytes.clear();
    m_frame.clear();
    m_foreign.clear();
    m_result = ReplyRecognizer::Result();
    m_endedOnSilence = false;
    m_echoJudged = false;
    m_phaseStart = now();
    m_deadline = m_phaseStart + qint64(m_replyTimeout) * NsPerMs;
}

// The adapter's copy of the request, whole at the start of the bytes, goes before the reply is
// judged; a part of it is judged as the start of an answer still incomplete.
void LineSync::dropOwnEcho()
{
    if (m_echoJudged || m_request.isEmpty() || !(m_adapterEchoes || m_expected->isRead()))
        return;
    if (m_bytes.size() < m_request.size() && m_request.startsWith(m_bytes))
        return;
    m_echoJudged = true;
    if (!m_bytes.startsWith(m_request))
        return;
    m_bytes.remove(0, m_request.size());
    adapterEchoFound();
}

void LineSync::adapterEchoFound()
{
    if (m_adapterEchoes)
        return;
    m_adapterEchoes = true;
    qDebug() << "串口适配器回送发送的报文，回送的字节不作为回复";
}

void LineSync::judgeAnswer()
{
    m_result = m_expected->recognise(m_bytes);
    if (m_result.state == ReplyRecognizer::State::Unsound) {
        // What follows until the line falls silent belongs to no request.
        logFailure("回复无效");
        m_phase = Phase::Discard;
        m_bytes.clear();
        return;
    }
    const bool mayBeOver = m_result.state != ReplyRecognizer::State::Incomplete ||
                           m_expected->finishedOnSilence(m_bytes);
    if (mayBeOver || now() < m_deadline)
        return;
    m_lastActivity = now();
    logFailure(m_bytes.isEmpty() ? "读取返回的数据失败，超时或者数据字节数不够" : "回复无效");
    endAnswer(m_bytes.isEmpty() ? Verdict::NoAnswer : Verdict::Unsound);
}

void LineSync::logFailure(const char *what) const
{
    if (!m_logFailures)
        return;
    if (m_bytes.isEmpty())
        qDebug() << what;
    else
        qDebug() << what << m_bytes.left(64).toHex();
}

void LineSync::answerOnSilence()
{
    const bool mayBeOver = m_result.state != ReplyRecognizer::State::Incomplete ||
                           m_expected->finishedOnSilence(m_bytes);
    if (!mayBeOver) {
        judgeAnswer(); // the deadline decides
        return;
    }
    if (setAsideForeignFrame())
        return;
    m_endedOnSilence = true;
    m_frame = m_result.frame;
    switch (m_result.state) {
    case ReplyRecognizer::State::Answer:
        endAnswer(Verdict::Answer);
        return;
    case ReplyRecognizer::State::Exception:
        qDebug() << "设备" << int(quint8(m_frame[0])) << "返回异常码" << m_result.exceptionCode;
        endAnswer(Verdict::Exception);
        return;
    default:
        logFailure("回复无效");
        endAnswer(Verdict::Unsound);
        return;
    }
}

// A neighbour's late answer on the line says nothing of this request: the answer may still come
// within the reply timeout, and a request sent now would run into it.
bool LineSync::setAsideForeignFrame()
{
    if (m_result.state != ReplyRecognizer::State::Incomplete || !m_expected->isForeignFrame(m_bytes))
        return false;
    qDebug() << "等待应答时收到其他设备的报文" << m_bytes.toHex();
    for (quint8 address : ReplyRecognizer::readReplyAddresses(m_bytes))
        m_outOfStep.insert(address);
    m_foreign.append(m_bytes);
    m_bytes.clear();
    return true;
}

void LineSync::endAnswer(Verdict verdict)
{
    m_phase = Phase::Idle;
    m_verdict = verdict;
    m_bytes.clear();
    if (verdict != Verdict::Answer && verdict != Verdict::Exception)
        m_frame.clear();
}

// ---- the rules of step --------------------------------------------------------------------------

void LineSync::readDone(quint8 address, Verdict verdict)
{
    if (verdict != Verdict::Answer && verdict != Verdict::Exception)
        m_outOfStep.insert(address);
}

LineSync::Check LineSync::checkDone(quint8 address, Verdict verdict)
{
    if (verdict != Verdict::Answer && verdict != Verdict::Exception) {
        qDebug() << "设备" << int(address) << "的线路校验失败";
        return Check::GiveUp;
    }
    m_outOfStep.remove(address);
    qDebug() << "设备" << int(address) << "线路已同步";
    return Check::InStep;
}

qint64 LineSync::restLeftUs(int pauseMs)
{
    const qint64 spentUs = m_endedOnSilence ? (now() - m_lastActivity) / 1000 : 0;
    m_endedOnSilence = false;
    return qint64(pauseMs) * 1000 - spentUs;
}
