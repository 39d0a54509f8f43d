#include "BusHealth.h"

#include "ReplyRecognizer.h"

#include <algorithm>
#include <cmath>
#include <vector>

using Lock = std::lock_guard<std::mutex>;

void BusHealth::record(const LinkExchange &exchange)
{
    Lock lock(m_mutex);
    if (exchange.outcome == FrameOutcome::Late) {
        // Only a whole answer names its controller; noise names none.
        for (quint8 address : ReplyRecognizer::readReplyAddresses(exchange.reply))
            ++m_records[address].counts.outOfStep;
        return;
    }
    Record &record = m_records[exchange.address()];
    Counts &counts = record.counts;
    if (exchange.isStepCheck())
        ++counts.outOfStep;
    switch (exchange.outcome) {
    case FrameOutcome::Answered:
        ++counts.answered;
        break;
    case FrameOutcome::Timeout:
        ++counts.timeouts;
        return;
    case FrameOutcome::CrcError:
        ++counts.unsound;
        return;
    case FrameOutcome::Exception:
        ++counts.exceptions;
        break;
    default:
        return;
    }
    const qint64 nowMs = exchange.heardAt.monotonicMs();
    record.latencies.push_back({nowMs, exchange.latencyMs()});
    prune(record.latencies, nowMs);
}

void BusHealth::writeFailed(quint8 address, bool givenUp)
{
    Lock lock(m_mutex);
    Counts &counts = m_records[address].counts;
    if (givenUp)
        ++counts.writeFailures;
    else
        ++counts.writeRetries;
}

void BusHealth::readingTaken(quint8 address, qint64 wallMs)
{
    Lock lock(m_mutex);
    m_records[address].lastReadingWallMs = wallMs;
}

void BusHealth::setControllers(const QVector<QPair<quint8, State>> &controllers)
{
    Lock lock(m_mutex);
    m_controllers = controllers;
}

void BusHealth::cycleDone(double usagePercent, int periodMs)
{
    Lock lock(m_mutex);
    m_bus.usagePercent = usagePercent;
    m_bus.periodMs = periodMs;
    // The usage is the cycle's share of the period; with no period there is no share to go by.
    m_bus.cycleMs = periodMs > 0 ? qint64(std::llround(usagePercent * periodMs / 100.0)) : -1;
}

void BusHealth::portOpened()
{
    Lock lock(m_mutex);
    clearCounts();
}

void BusHealth::linkLost()
{
    Lock lock(m_mutex);
    ++m_bus.linkLosses;
}

void BusHealth::linkReopened()
{
    Lock lock(m_mutex);
    ++m_bus.reopenings;
}

void BusHealth::setEchoingAdapter(bool found)
{
    Lock lock(m_mutex);
    m_bus.echoingAdapter = found;
}

void BusHealth::clear()
{
    Lock lock(m_mutex);
    clearCounts();
}

void BusHealth::clearCounts()
{
    for (Record &record : m_records) {
        record.counts = Counts();
        record.latencies.clear();
    }
    m_bus.linkLosses = 0;
    m_bus.reopenings = 0;
}

BusHealth::Snapshot BusHealth::snapshot(qint64 nowMonotonicMs) const
{
    Lock lock(m_mutex);
    Snapshot snapshot;
    snapshot.bus = m_bus;
    snapshot.controllers.reserve(m_controllers.size());
    for (const auto &listed : m_controllers) {
        Controller row;
        row.address = listed.first;
        row.state = listed.second;
        const auto found = m_records.constFind(listed.first);
        if (found != m_records.constEnd()) {
            row.counts = found->counts;
            row.lastReadingWallMs = found->lastReadingWallMs;
            fillLatencies(row, found->latencies, nowMonotonicMs);
        }
        snapshot.controllers.append(row);
    }
    return snapshot;
}

void BusHealth::prune(std::deque<Latency> &latencies, qint64 nowMs)
{
    while (!latencies.empty() && latencies.front().atMs < nowMs - kLatencyWindowMs)
        latencies.pop_front();
}

namespace {

// The value below which `share` of the sorted values lie (nearest rank).
double percentile(std::vector<double> &values, double share)
{
    const size_t rank = size_t(std::ceil(share * double(values.size())));
    const size_t at = rank == 0 ? 0 : rank - 1;
    std::nth_element(values.begin(), values.begin() + long(at), values.end());
    return values[at];
}

} // namespace

void BusHealth::fillLatencies(Controller &row, const std::deque<Latency> &latencies, qint64 nowMs)
{
    std::vector<double> values;
    values.reserve(latencies.size());
    for (const Latency &latency : latencies) {
        if (latency.atMs >= nowMs - kLatencyWindowMs)
            values.push_back(latency.ms);
    }
    row.latencies = int(values.size());
    if (values.empty())
        return;
    row.latencyMedianMs = percentile(values, 0.5);
    row.latencyP95Ms = percentile(values, 0.95);
}
