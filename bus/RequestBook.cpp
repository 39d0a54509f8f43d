#include "RequestBook.h"

#include <algorithm>

namespace {

bool sameSlot(const PendingRequest &a, const PendingRequest &b)
{
    return a.kind == b.kind && a.address == b.address && a.type == b.type;
}

} // namespace

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
    const int older = indexOf(request);
    quint64 replaced = 0;
    if (older >= 0)
        replaced = m_requests.takeAt(older).ticket;
    PendingRequest fresh = request;
    fresh.attempts = 0;
    m_requests.append(fresh);
    return replaced;
}

QList<PendingRequest> RequestBook::pending(PendingRequest::Kind kind) const
{
    QList<PendingRequest> found;
    for (const PendingRequest &request : m_requests) {
        if (request.kind == kind)
            found.append(request);
    }
    return found;
}

bool RequestBook::has(PendingRequest::Kind kind) const
{
    for (const PendingRequest &request : m_requests) {
        if (request.kind == kind)
            return true;
    }
    return false;
}

void RequestBook::finish(const PendingRequest &request)
{
    const int index = indexOf(request);
    if (index >= 0)
        m_requests.removeAt(index);
}

int RequestBook::countFailure(const PendingRequest &request)
{
    const int index = indexOf(request);
    if (index < 0)
        return 0;
    return ++m_requests[index].attempts;
}

void RequestBook::dropReadBacks(quint8 address)
{
    const auto isReadBack = [address](const PendingRequest &request) {
        return request.address == address && (request.kind == PendingRequest::InstantReadBack ||
                                              request.kind == PendingRequest::CumulativeReadBack ||
                                              request.kind == PendingRequest::ModeReadBack);
    };
    m_requests.erase(std::remove_if(m_requests.begin(), m_requests.end(), isReadBack), m_requests.end());
}
