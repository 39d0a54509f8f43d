#pragma once

#include <QDeadlineTimer>
#include <QList>
#include <QtGlobal>
#include <mutex>

// One request waiting for the bus: what to do, to which controller, and how often it was tried.
struct PendingRequest
{
    // In the order they are served.
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
    int triedInRound = -1; // the round of the last attempt: one attempt a round
    // Set by a sender that wants to hear how its own setpoint ended; 0 for none.
    quint64 ticket = 0;
    // Given by the book: tells this request from a newer one of the same controller and kind that
    // replaced it while it was being served. 0: any request of that controller and kind.
    quint64 serial = 0;

    // A 0 to the instantaneous setpoint, from a stop or a pause: it shuts the gas off and goes first.
    bool isZeroFlow() const;
};

// Sets the instantaneous setpoint of each controller to 0 at once, until the deadline.
struct FlowStop
{
    QList<quint8> addresses;
    QDeadlineTimer deadline;
};

// The requests the windows posted and the worker has not finished yet. Any thread may post; the
// worker reads the book between two exchanges, so a request waits only for the exchange in
// flight. A request is kept per controller and kind (per parameter type for parameter writes, per
// setpoint kind for setpoints): a newer one replaces the older, and the older requests are served
// first. A request that failed is tried again in a later round (the worker's tick), not at once.
class RequestBook
{
public:
    // Returns the ticket of the waiting request it replaced (0: none, or it had none).
    quint64 post(const PendingRequest &request);
    void requestScan();
    // Also drops the flows still waiting for those controllers; returns the tickets dropped.
    QList<quint64> postFlowStop(const FlowStop &stop);
    // Staged steps are written only while the stage programme says so; a staged 0 always is.
    void setStepsEnabled(bool enabled);
    bool stepsEnabled() const;
    // Once every staged step was served: further ones wait for the programme's next word.
    void disableStepsWhenNoneWait();

    // A new round: every waiting request may be tried once more.
    void beginRound();
    // Whether something waits that may be tried in this round.
    bool hasWork() const;

    // The waiting requests of a kind not yet tried this round, oldest first.
    QList<PendingRequest> pending(PendingRequest::Kind kind) const;
    // The 0s to the instantaneous setpoint not yet tried this round, oldest first.
    QList<PendingRequest> pendingZeros() const;
    bool has(PendingRequest::Kind kind) const;
    bool takeScan();
    QList<FlowStop> takeFlowStops();
    // Tried and left waiting (a read-back not answered): tried again in the next round.
    void markTried(const PendingRequest &request);
    // Finished (served, or given up): the request leaves the book.
    void finish(const PendingRequest &request);
    // Another attempt failed: counts it and returns the number of attempts so far.
    int countFailure(const PendingRequest &request);
    // A dropped controller's read-backs would wait for an answer that may never come, each tick
    // paying a reply timeout; it is read back again when it comes online.
    void dropReadBacks(quint8 address);

private:
    using Lock = std::lock_guard<std::mutex>;
    int indexOf(const PendingRequest &request) const;
    // This very request (by its serial), or with no serial the one of its controller and kind.
    int indexOfSame(const PendingRequest &request) const;
    bool waiting(const PendingRequest &request) const { return request.triedInRound != m_round; }

    mutable std::mutex m_mutex;
    QList<PendingRequest> m_requests;
    QList<FlowStop> m_flowStops;
    bool m_scanRequested = false;
    bool m_stepsEnabled = false;
    int m_round = 0;
    quint64 m_lastSerial = 0;
};
