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

void RequestBook::post(const PendingRequest &request)
{
    Lock lock(m_mutex);
    const int older = indexOf(request);
    if (older >= 0)
        m_requests.removeAt(older);
    PendingRequest fresh = request;
    fresh.attempts = 0;
    fresh.triedInRound = -1;
    m_requests.append(fresh);
}

void RequestBook::requestScan()
{
    Lock lock(m_mutex);
    m_scanRequested = true;
}

void RequestBook::postFlowStop(const FlowStop &stop)
{
    Lock lock(m_mutex);
    m_flowStops.append(stop);
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

void RequestBook::markTried(const PendingRequest &request)
{
    Lock lock(m_mutex);
    const int index = indexOf(request);
    if (index >= 0)
        m_requests[index].triedInRound = m_round;
}

void RequestBook::finish(const PendingRequest &request)
{
    Lock lock(m_mutex);
    const int index = indexOf(request);
    if (index >= 0)
        m_requests.removeAt(index);
}

int RequestBook::countFailure(const PendingRequest &request)
{
    Lock lock(m_mutex);
    const int index = indexOf(request);
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
