#pragma once

#include "RegisterReply.h"
#include "RequestBook.h"
#include "ScanReply.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QList>
#include <QObject>
#include <functional>

class BusLink;
class OnlineList;

// Serves the one-off requests of a tick through the link, in the tick's fixed order: discovery
// scan, staged steps, ordinary read and write, administrator read and write, setpoint writes,
// then the setpoint and mode read-backs. Setpoints and staged steps are tried once a tick until
// they succeed or fail for the sixth time; read-backs until they are answered; scans, parameter
// reads and parameter writes exactly once. While the adapter is away nothing is served: the
// requests wait for it without spending their attempts.
class RequestServer : public QObject
{
    Q_OBJECT
public:
    RequestServer(BusLink &link, OnlineList &devices, std::function<bool()> stopping,
                  QObject *parent = nullptr);

    RequestBook &book() { return m_book; }
    void requestScan() { m_scanRequested = true; }
    // Staged steps are written only while the stage programme says so; a staged 0 always is.
    void setStepsEnabled(bool enabled) { m_stepsEnabled = enabled; }

    void serve();
    // Sets the instantaneous setpoint of each controller to 0 at once: one write to each in turn,
    // then again back to back to those that did not confirm it, until the deadline has passed (no
    // write starts after it), the link is closed or the worker stops. A confirmed 0 also ends the
    // controller's waiting staged step. Returns the controllers that did not confirm, in order.
    QList<quint8> stopFlows(const QList<quint8> &addresses, const QDeadlineTimer &deadline);

    static constexpr int MaxAttempts = 6;

signals:
    void scanned(ScanResult result);
    void parameterRead(RegisterReply reply);
    void adminParameterRead(RegisterReply reply);
    void parameterWritten(bool success, int type);
    void adminParameterWritten(bool success, int type);
    void setpointReadBack(RegisterReply reply);
    // A setpoint write ended: echoed by the controller, or given up after its last attempt. A
    // given-up write is followed, in the same tick, by one read of the controller's own setpoint
    // (setpointReadBack when it is answered).
    void setpointWritten(int kind, int deviceId, float value);
    void setpointGivenUp(int kind, int deviceId);
    // The same end of a write that carried a ticket, right after it.
    void setpointEnded(quint64 ticket, bool written);
    // A staged step, or the 0 of a stop, was echoed by the controller.
    void stepWritten(int deviceId, float value);
    void modeReadBack(int deviceId, int mode);
    // A write was not confirmed: it is tried again (givenUp false), or not any more.
    void writeFailed(int deviceId, bool givenUp);

private:
    using Kind = PendingRequest::Kind;
    void serveScan();
    void serveSteps();
    void serveBlockRead(Kind kind);
    void serveOrdinaryWrite(const PendingRequest &request);
    void serveAdminWrite(const PendingRequest &request);
    void serveSetpoint(const PendingRequest &request);
    void serveReadBack(const PendingRequest &request);
    void readBackGivenUpSetpoint(const PendingRequest &request);
    bool retryOrGiveUp(const PendingRequest &request);
    QList<quint8> zeroEach(const QList<quint8> &addresses);
    void forEach(Kind kind, void (RequestServer::*serveOne)(const PendingRequest &));

    BusLink &m_link;
    OnlineList &m_devices;
    std::function<bool()> m_stopping;
    RequestBook m_book;
    bool m_scanRequested = false;
    bool m_stepsEnabled = false;
};
