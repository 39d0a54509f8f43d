#pragma once

#include <QList>
#include <QtGlobal>

// One request waiting for the tick: what to do, to which controller, and how often it was tried.
struct PendingRequest
{
    // In the order a tick serves them.
    enum Kind
    {
        Step,
        OrdinaryRead,
        OrdinaryWrite,
        AdminRead,
        AdminWrite,
        Setpoint,
        InstantReadBack,
        CumulativeReadBack,
        ModeReadBack
    };

    Kind kind = Step;
    quint8 address = 0;
    int type = 0; // the parameter type of a parameter write, the setpoint kind of a setpoint
    int dataType = 0;
    int data1 = 0;
    float value = 0; // data2 of a parameter write, the setpoint or staged value
    int attempts = 0;
    // Set by a sender that wants to hear how its own setpoint ended; 0 for none.
    quint64 ticket = 0;
};

// The requests the windows posted and the tick has not finished yet. A request is kept per
// controller and kind (per parameter type for parameter writes, per setpoint kind for setpoints):
// a newer one replaces the older, and the older requests are served first.
class RequestBook
{
public:
    // Returns the ticket of the waiting request it replaced (0: none, or it had none).
    quint64 post(const PendingRequest &request);
    // The waiting requests of a kind, oldest first.
    QList<PendingRequest> pending(PendingRequest::Kind kind) const;
    bool has(PendingRequest::Kind kind) const;
    // Finished (served, or given up): the request leaves the book.
    void finish(const PendingRequest &request);
    // Another attempt failed: counts it and returns the number of attempts so far.
    int countFailure(const PendingRequest &request);
    // A dropped controller's read-backs would wait for an answer that may never come, each tick
    // paying a reply timeout; it is read back again when it comes online.
    void dropReadBacks(quint8 address);

private:
    int indexOf(const PendingRequest &request) const;
    QList<PendingRequest> m_requests;
};
