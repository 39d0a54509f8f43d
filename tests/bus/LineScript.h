#pragma once

// A line played from a script: the bytes a controller puts on the line and when, and a clock that
// moves only when the line's sync waits. It does what the link does with a port, with no port and
// no real waiting, so that a script replays the same way on any machine.

#include "LineSync.h"
#include "SerialPort.h"

#include <QByteArray>
#include <QList>
#include <algorithm>

class LineScript
{
public:
    static constexpr qint64 NsPerMs = 1000 * 1000;

    LineSync::Clock clock()
    {
        return [this] { return m_nowNs; };
    }
    double nowMs() const { return double(m_nowNs) / NsPerMs; }
    void advance(double ms) { m_nowNs += qint64(ms * NsPerMs); }

    // Bytes that arrive `ms` after now.
    void after(double ms, const QByteArray &bytes)
    {
        const Arrival arrival{m_nowNs + qint64(ms * NsPerMs), bytes};
        const auto later = std::upper_bound(m_arrivals.begin(), m_arrivals.end(), arrival,
                                            [](const Arrival &a, const Arrival &b) { return a.atNs < b.atNs; });
        m_arrivals.insert(later, arrival);
    }
    // Chunks one after another, each `gapMs` after the one before, the first `firstMs` from now.
    void chunks(double firstMs, double gapMs, const QList<QByteArray> &parts)
    {
        double at = firstMs;
        for (const QByteArray &part : parts) {
            after(at, part);
            at += gapMs;
        }
    }
    bool pending() const { return !m_arrivals.isEmpty(); }

    // Runs the sync's phase to its verdict, as the link does: bytes already waiting first, then
    // every wait the sync asks for, ended by the next arrival or passed in silence.
    LineSync::Verdict run(LineSync &sync)
    {
        sync.received(takeArrived());
        for (int ms = sync.waitMs(); ms >= 0; ms = sync.waitMs()) {
            const qint64 until = m_nowNs + qint64(ms) * NsPerMs;
            if (pending() && m_arrivals.first().atNs <= until) {
                m_nowNs = qMax(m_nowNs, m_arrivals.first().atNs);
                sync.received(takeArrived());
            } else {
                m_nowNs = until;
                sync.quiet();
            }
        }
        return sync.verdict();
    }

    // The chunks of an answer: each one `gap` ms after the one before it (the first, after the
    // request).
    using Chunks = QList<QPair<double, QByteArray>>;

    // One request and its answer, as the link asks it: a quiet line first, then the request, and
    // the controller's chunks timed from the request (an echoing adapter's copy among them).
    LineSync::Verdict exchange(LineSync &sync, const ReplyRecognizer &expected, const Chunks &answer = {},
                               const QByteArray &request = QByteArray())
    {
        sync.beginQuiet();
        if (run(sync) != LineSync::Verdict::Silent)
            return LineSync::Verdict::NotSent;
        sync.sent(request);
        m_sentAtMs.append(nowMs());
        double at = 0;
        for (const auto &chunk : answer) {
            at += chunk.first;
            after(at, chunk.second);
        }
        sync.beginAnswer(expected);
        return run(sync);
    }
    // When each request of exchange() went out, in ms.
    const QList<double> &sentAtMs() const { return m_sentAtMs; }

    // A controller's frames.
    static QByteArray readReply(quint8 address, float value)
    {
        QByteArray body;
        body.append(char(address)).append(char(0x03)).append(char(4)).append(float_to_bytes(value));
        return SerialPort::appendCrc(body);
    }
    static QByteArray checkReply(quint8 address, quint16 held)
    {
        QByteArray body;
        body.append(char(address)).append(char(0x03)).append(char(2)).append(uint16_to_bytes(held));
        return SerialPort::appendCrc(body);
    }
    static QByteArray exceptionReply(quint8 address, quint8 function, quint8 code)
    {
        QByteArray body;
        body.append(char(address)).append(char(function | 0x80)).append(char(code));
        return SerialPort::appendCrc(body);
    }

private:
    struct Arrival
    {
        qint64 atNs;
        QByteArray bytes;
    };

    // Everything that has arrived by now, as one read of the port returns it.
    QByteArray takeArrived()
    {
        QByteArray bytes;
        while (pending() && m_arrivals.first().atNs <= m_nowNs)
            bytes.append(m_arrivals.takeFirst().bytes);
        return bytes;
    }

    qint64 m_nowNs = 1000 * NsPerMs;
    QList<Arrival> m_arrivals;
    QList<double> m_sentAtMs;
};
