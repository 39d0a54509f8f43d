#pragma once

#include "ReplyRecognizer.h"

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QSet>
#include <functional>
#include <optional>

// Decides whether the line is in step with the controllers: which bytes answer the request just
// sent, when an answer counts, which controller must be checked before it is read again, and when
// a late answer can no longer come. It moves no byte and never waits: the link reports what the
// line did (bytes received, a wait that passed in silence, a request sent) and asks how long to
// wait next. Every time it reads comes from the clock it is given, so that its rules can be played
// from a script of bytes and times.
//
// A reply counts only when it is whole and sound and the line then stays silent for 3.5 character
// times (at least 1.75 ms), as an RTU frame ends. After a read of a controller failed, its answer
// may still be on its way; the controller is then out of step until a check proves otherwise.
//
// Many 2-wire adapters hand every byte the host sends back to the host before the controller
// answers. The request just sent, at the start of what comes back, is then the adapter's copy and
// no answer: it is dropped before the reply is judged. A read's answer never begins with the read
// request, so a read whose reply does proves the adapter echoes; a write's echo is the request
// itself, so a write's copy is dropped only once the adapter is known to echo, and the write then
// succeeds only on the controller's echo that follows.
class LineSync
{
public:
    // Nanoseconds on a monotonic clock.
    using Clock = std::function<qint64()>;
    static Clock steadyClock();

    enum class Verdict
    {
        Pending,   // the phase goes on: wait waitMs() for bytes
        Silent,    // the line fell silent; the bytes before the silence are gone
        Busy,      // the line did not fall silent: a peer that does not stop sending
        Answer,    // the expected answer, whole, sound and followed by silence
        Exception, // the controller's exception reply to this request
        NoAnswer,  // nothing came within the reply timeout
        Unsound,   // bytes came, but not one sound answer
        NotSent    // the port failed, or the line was not free: nothing was asked
    };
    // What a check of the line proved.
    enum class Check
    {
        InStep, // the controller answered the check
        GiveUp  // no sound answer within one reply timeout: the controller stays out of step
    };

    // More than any answer and the noise between requests: a peer that does not stop sending.
    static constexpr int kReadBufferBytes = 4096;

    explicit LineSync(Clock clock = steadyClock());

    void setBaudRate(int baud) { m_baud = baud; }
    void setReplyTimeout(int ms) { m_replyTimeout = qMax(0, ms); }
    int replyTimeout() const { return m_replyTimeout; }
    // The silence that ends a frame at the baud rate, in ms.
    double silenceMs() const;
    // What is left of that silence since the line last carried a byte, in whole ms.
    int silenceLeftMs() const;
    // How long the line is held after a reply timeout, so that an answer just past the wait lands
    // there rather than on top of the next request: about five characters, at least 5 ms.
    int graceMs() const;

    // What the link reports.
    void opened(); // the line carried nothing yet: its silence starts now
    // The request just went out; an echoing adapter hands these bytes back first.
    void sent(const QByteArray &request = QByteArray());
    void received(const QByteArray &bytes);
    void quiet(); // a wait of waitMs() passed without a byte
    void portFailed();

    // Stale bytes go: for `settleMs`, and then until the silence that follows them. A controller
    // whose read reply is among them is out of step.
    void beginQuiet(int settleMs = 0);
    // The answer to the request just sent, within the reply timeout. A probe that expects no
    // answer from any controller logs no failure.
    void beginAnswer(const ReplyRecognizer &expected, bool logFailures = true);
    // How long to wait for bytes next; -1 once the phase has its verdict.
    int waitMs() const;
    Verdict verdict() const { return m_verdict; }
    // The answer or the exception reply.
    QByteArray frame() const { return m_frame; }
    // The sound frames of other controllers heard while waiting for the answer: each was counted
    // and set aside, and the wait went on.
    QList<QByteArray> foreignFrames() const { return m_foreign; }

    // Whether the adapter hands the host's own bytes back. Found from the replies; the link also
    // asks at opening (a request no controller answers) and reports what it found.
    bool adapterEchoes() const { return m_adapterEchoes; }
    void adapterEchoFound();
    void forgetAdapter() { m_adapterEchoes = false; }

    bool inStep(quint8 address) const { return !m_outOfStep.contains(address); }
    // A read that got no answer of its own leaves the controller out of step.
    void readDone(quint8 address, Verdict verdict);
    // The check is the controller's discovery echo: no late answer to a read takes its shape, and
    // a controller answers in the order it was asked, so once its echo is in, every earlier answer
    // of it came before. An earlier check's late echo may pass this one; what follows it is then
    // only this check's echo, which no read can take for its answer. An exception reply answers the
    // check all the same.
    Check checkDone(quint8 address, Verdict verdict);

    // What is left of a pause of `pauseMs` after the last exchange, in µs: the silence that ended
    // its answer counts as part of the pause.
    qint64 restLeftUs(int pauseMs);

private:
    enum class Phase
    {
        Idle,
        Quiet,
        Answer,
        Discard
    };

    qint64 now() const { return m_clock(); }
    void dropOwnEcho();
    void judgeAnswer();
    void logFailure(const char *what) const;
    void answerOnSilence();
    bool setAsideForeignFrame();
    void endAnswer(Verdict verdict);
    void endQuiet(Verdict verdict);

    Clock m_clock;
    int m_baud = 9600;
    int m_replyTimeout = 500;
    qint64 m_lastActivity = 0;    // when the line last carried a byte
    QByteArray m_request;         // the last request sent
    bool m_adapterEchoes = false;
    bool m_echoJudged = false; // whether the answer's bytes began with the request was decided
    bool m_logFailures = true;
    bool m_endedOnSilence = false;
    QSet<quint8> m_outOfStep;

    Phase m_phase = Phase::Idle;
    Verdict m_verdict = Verdict::Pending;
    qint64 m_phaseStart = 0;
    qint64 m_deadline = 0; // the answer's timeout, or the end of the settling
    int m_settleMs = 0;
    QByteArray m_bytes;
    QByteArray m_frame;
    QList<QByteArray> m_foreign;
    std::optional<ReplyRecognizer> m_expected;
    ReplyRecognizer::Result m_result;
};

// Replayed line scripts carry verdicts and checks in their rows.
Q_DECLARE_METATYPE(LineSync::Verdict)
Q_DECLARE_METATYPE(LineSync::Check)
