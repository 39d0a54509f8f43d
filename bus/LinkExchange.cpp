#include "LinkExchange.h"

namespace {

constexpr quint8 WriteFunction = 0x06;
constexpr quint8 EchoFunction = 0x08;
constexpr quint8 WriteManyFunction = 0x10;

} // namespace

LinkExchange LinkExchange::of(LineSync::Verdict verdict, const QByteArray &request, const QByteArray &frame,
                              const QByteArray &heard, const ReadTime &sentAt, const ReadTime &heardAt,
                              bool adapterEchoes)
{
    using Verdict = LineSync::Verdict;
    LinkExchange exchange;
    exchange.request = request;
    exchange.sentAt = sentAt;
    exchange.heardAt = heardAt;
    exchange.reply = heard;
    // A discovery echo looks like the adapter's copy: only an adapter known to echo made one.
    exchange.adapterCopy = adapterEchoes && !request.isEmpty() && heard.startsWith(request);
    if (exchange.adapterCopy)
        exchange.reply = heard.mid(request.size());
    if (request.isEmpty()) {
        exchange.outcome = FrameOutcome::Late;
        return exchange;
    }
    switch (verdict) {
    case Verdict::Answer:
        exchange.reply = frame;
        break;
    case Verdict::Exception:
        exchange.reply = frame;
        exchange.outcome = FrameOutcome::Exception;
        break;
    case Verdict::NoAnswer:
        exchange.reply.clear();
        exchange.outcome = FrameOutcome::Timeout;
        break;
    default: // unsound: the bytes came, but not one sound answer
        exchange.outcome = FrameOutcome::CrcError;
        break;
    }
    return exchange;
}

quint8 LinkExchange::address() const
{
    const QByteArray &first = request.isEmpty() ? reply : request;
    return first.isEmpty() ? 0 : quint8(first[0]);
}

quint8 LinkExchange::function() const
{
    const QByteArray &first = request.isEmpty() ? reply : request;
    return first.size() < 2 ? 0 : quint8(first[1]);
}

int LinkExchange::exceptionCode() const
{
    return outcome == FrameOutcome::Exception && reply.size() >= 3 ? quint8(reply[2]) : -1;
}

bool LinkExchange::isStepCheck() const
{
    return request.size() >= 2 && quint8(request[1]) == EchoFunction;
}

bool LinkExchange::isWrite() const
{
    const quint8 code = request.size() >= 2 ? quint8(request[1]) : 0;
    return code == WriteFunction || code == WriteManyFunction;
}

double LinkExchange::latencyMs() const
{
    return double(heardAt.monotonicNs - sentAt.monotonicNs) / 1e6;
}

QVector<FrameRecord> LinkExchange::frames() const
{
    QVector<FrameRecord> frames;
    if (!request.isEmpty()) {
        FrameRecord sent;
        sent.wallMs = sentAt.wallMs;
        sent.direction = FrameRecord::Direction::Sent;
        sent.address = address();
        sent.function = function();
        sent.bytes = request;
        sent.outcome = outcome;
        sent.exceptionCode = exceptionCode();
        sent.decoded = FrameValue::ofRequest(request);
        frames.append(sent);
    }
    if (adapterCopy) {
        FrameRecord copy = frames.last();
        copy.direction = FrameRecord::Direction::Received;
        copy.outcome = FrameOutcome::AdapterEcho;
        copy.exceptionCode = -1;
        frames.append(copy);
    }
    if (!reply.isEmpty()) {
        FrameRecord received;
        received.wallMs = heardAt.wallMs;
        received.direction = FrameRecord::Direction::Received;
        received.address = quint8(reply[0]);
        received.function = reply.size() >= 2 ? quint8(reply[1]) : 0;
        received.bytes = reply;
        received.outcome = outcome;
        received.exceptionCode = exceptionCode();
        if (outcome == FrameOutcome::Answered)
            received.decoded = FrameValue::ofReply(request, reply);
        frames.append(received);
    }
    return frames;
}
