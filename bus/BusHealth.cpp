#include "BusHealth.h"

#include "ReplyRecognizer.h"
#include "ScanReply.h"

#include <algorithm>
#include <cmath>
#include <vector>

using Lock = std::lock_guard<std::mutex>;

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
    record.cycleLatencies.push_back(exchange.latencyMs());
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
    for (Record &record : m_records) {
        record.answersLastCycle = int(record.cycleLatencies.size());
        record.lastCycleMedianMs = record.cycleLatencies.empty() ? 0 : percentile(record.cycleLatencies, 0.5);
        record.cycleLatencies.clear();
    }
}

void BusHealth::setLinkSettings(const QString &portName, int baudRate, int replyTimeoutMs, int tickMs)
{
    Lock lock(m_mutex);
    m_bus.portName = portName;
    m_bus.baudRate = baudRate;
    m_bus.replyTimeoutMs = replyTimeoutMs;
    m_bus.tickMs = tickMs;
}

void BusHealth::probed(quint8 address, bool answered)
{
    Lock lock(m_mutex);
    Counts &counts = m_records[address].counts;
    if (answered)
        ++counts.answered;
    else
        ++counts.timeouts;
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

BusHealth::Snapshot BusHealth::snapshot(qint64 nowMonotonicMs, bool everyProbedAddress) const
{
    Lock lock(m_mutex);
    Snapshot snapshot;
    snapshot.bus = m_bus;
    QList<quint8> listed;
    for (const auto &controller : m_controllers) {
        snapshot.controllers.append(row(controller.first, controller.second, nowMonotonicMs));
        listed.append(controller.first);
    }
    if (!everyProbedAddress)
        return snapshot;
    for (int address = FirstProbedAddress; address <= LastProbedAddress; ++address) {
        if (!listed.contains(quint8(address)))
            snapshot.controllers.append(row(quint8(address), State::Offline, nowMonotonicMs));
    }
    return snapshot;
}

BusHealth::Controller BusHealth::row(quint8 address, State state, qint64 nowMs) const
{
    Controller row;
    row.address = address;
    row.state = state;
    const auto found = m_records.constFind(address);
    if (found == m_records.constEnd())
        return row;
    row.counts = found->counts;
    row.lastReadingWallMs = found->lastReadingWallMs;
    row.answersLastCycle = found->answersLastCycle;
    row.lastCycleMedianMs = found->lastCycleMedianMs;
    fillLatencies(row, found->latencies, nowMs);
    return row;
}

void BusHealth::prune(std::deque<Latency> &latencies, qint64 nowMs)
{
    while (!latencies.empty() && latencies.front().atMs < nowMs - kLatencyWindowMs)
        latencies.pop_front();
}

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
