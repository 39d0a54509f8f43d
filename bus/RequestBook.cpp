#include "RequestBook.h"

#include "BusCodes.h"

#include <algorithm>

namespace {

bool sameSlot(const PendingRequest &a, const PendingRequest &b)
{
    return a.kind == b.kind && a.address == b.address && a.type == b.type;
}

} // namespace

bool PendingRequest::isZeroFlow() const
{
    const bool instant = kind == Step || (kind == Setpoint && type == Bus::code(Bus::SetpointKind::Instant));
    return instant && value == 0.0f;
}

int RequestBook::indexOf(const PendingRequest &request) const
{
    for (int i = 0; i < m_requests.size(); ++i) {
        if (sameSlot(m_requests[i], request))
            return i;
    }
    return -1;
}

quint64 RequestBook::post(const PendingRequest &request)
{
    Lock lock(m_mutex);
    const int older = indexOf(request);
    quint64 replaced = 0;
    if (older >= 0)
        replaced = m_requests.takeAt(older).ticket;
    PendingRequest fresh = request;
    fresh.attempts = 0;
    fresh.triedInRound = -1;
    fresh.serial = ++m_lastSerial;
    m_requests.append(fresh);
    // Under the same lock as the step itself: a worker that just found no step waiting must not
    // switch steps off between the two.
    if (request.kind == PendingRequest::Step)
        m_stepsEnabled = true;
    return replaced;
}

void RequestBook::disableStepsWhenNoneWait()
{
    Lock lock(m_mutex);
    const bool stepWaits = std::any_of(m_requests.begin(), m_requests.end(),
                                       [](const PendingRequest &request) { return request.kind == PendingRequest::Step; });
    if (!stepWaits)
        m_stepsEnabled = false;
}

void RequestBook::requestScan()
{
    Lock lock(m_mutex);
    m_scanRequested = true;
}

QList<quint64> RequestBook::postFlowStop(const FlowStop &stop)
{
    Lock lock(m_mutex);
    m_flowStops.append(stop);
    // A flow still waiting to go out would open the valve again after the stop's 0.
    QList<quint64> dropped;
    const auto opensFlow = [&stop](const PendingRequest &request) {
        const bool flow = request.kind == PendingRequest::Step ||
                          (request.kind == PendingRequest::Setpoint && request.type == Bus::code(Bus::SetpointKind::Instant));
        return flow && request.value != 0.0f && stop.addresses.contains(request.address);
    };
    for (const PendingRequest &request : qAsConst(m_requests)) {
        if (opensFlow(request) && request.ticket)
            dropped.append(request.ticket);
    }
    m_requests.erase(std::remove_if(m_requests.begin(), m_requests.end(), opensFlow), m_requests.end());
    return dropped;
}

void RequestBook::setStepsEnabled(bool enabled)
{
    Lock lock(m_mutex);
    m_stepsEnabled = enabled;
}

bool RequestBook::stepsEnabled() const
{
    Lock lock(m_mutex);
    return m_stepsEnabled;
}

void RequestBook::beginRound()
{
    Lock lock(m_mutex);
    ++m_round;
}

bool RequestBook::hasWork() const
{
    Lock lock(m_mutex);
    if (m_scanRequested || !m_flowStops.isEmpty())
        return true;
    // A staged step waits for its programme; only its 0 goes out regardless.
    return std::any_of(m_requests.begin(), m_requests.end(), [this](const PendingRequest &request) {
        return waiting(request) && (request.kind != PendingRequest::Step || m_stepsEnabled || request.isZeroFlow());
    });
}

QList<PendingRequest> RequestBook::pending(PendingRequest::Kind kind) const
{
    Lock lock(m_mutex);
    QList<PendingRequest> found;
    for (const PendingRequest &request : m_requests) {
        if (request.kind == kind && waiting(request))
            found.append(request);
    }
    return found;
}

QList<PendingRequest> RequestBook::pendingZeros() const
{
    Lock lock(m_mutex);
    QList<PendingRequest> found;
    for (const PendingRequest &request : m_requests) {
        if (request.isZeroFlow() && waiting(request))
            found.append(request);
    }
    return found;
}

bool RequestBook::has(PendingRequest::Kind kind) const
{
    Lock lock(m_mutex);
    return std::any_of(m_requests.begin(), m_requests.end(),
                       [kind](const PendingRequest &request) { return request.kind == kind; });
}

bool RequestBook::takeScan()
{
    Lock lock(m_mutex);
    return std::exchange(m_scanRequested, false);
}

QList<FlowStop> RequestBook::takeFlowStops()
{
    Lock lock(m_mutex);
    return std::exchange(m_flowStops, {});
}

int RequestBook::indexOfSame(const PendingRequest &request) const
{
    if (request.serial == 0)
        return indexOf(request);
    for (int i = 0; i < m_requests.size(); ++i) {
        if (m_requests[i].serial == request.serial)
            return i;
    }
    return -1;
}

void RequestBook::markTried(const PendingRequest &request)
{
    Lock lock(m_mutex);
    const int index = indexOfSame(request);
    if (index >= 0)
        m_requests[index].triedInRound = m_round;
}

void RequestBook::finish(const PendingRequest &request)
{
    Lock lock(m_mutex);
    const int index = indexOfSame(request);
    if (index >= 0)
        m_requests.removeAt(index);
}

int RequestBook::countFailure(const PendingRequest &request)
{
    Lock lock(m_mutex);
    const int index = indexOfSame(request);
    if (index < 0)
        return 0;
    m_requests[index].triedInRound = m_round;
    return ++m_requests[index].attempts;
}

void RequestBook::dropReadBacks(quint8 address)
{
    Lock lock(m_mutex);
    const auto isReadBack = [address](const PendingRequest &request) {
        return request.address == address && (request.kind == PendingRequest::InstantReadBack ||
                                              request.kind == PendingRequest::CumulativeReadBack ||
                                              request.kind == PendingRequest::ModeReadBack);
    };
    m_requests.erase(std::remove_if(m_requests.begin(), m_requests.end(), isReadBack), m_requests.end());
}
