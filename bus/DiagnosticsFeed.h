#pragma once

#include "BusHealth.h"
#include "FrameRecord.h"

#include <QElapsedTimer>
#include <QObject>
#include <atomic>
#include <vector>

class BusLink;
class OnlineList;
class Poller;
class QTimer;
class RequestServer;

// Hands what the worker sees on the line to the diagnostics: every exchange, failed write, good
// reading and cycle into BusHealth, and, only while the tap is on, every frame out as a signal, in
// batches: at most every kBatchMs and at the end of each cycle, so that a busy bus costs the
// receiving thread a few calls a second. With the tap off no frame is built or sent. Lives on the
// worker thread with the parts it watches.
class DiagnosticsFeed : public QObject
{
    Q_OBJECT
public:
    // `tick` starts the cycles: how often a controller is read, whatever the query period says.
    DiagnosticsFeed(BusLink &link, RequestServer &requests, Poller &poller, const OnlineList &devices,
                    const QTimer &tick, BusHealth &health, const std::atomic_bool &tapOn);
    ~DiagnosticsFeed() override;

    static constexpr int kBatchMs = 200;

signals:
    // A standard vector, copied whole for the receiving thread: a shared one would hand over its
    // elements in a way that ThreadSanitizer cannot follow.
    void frames(std::vector<FrameRecord> frames);

private:
    void exchanged(const LinkExchange &exchange);
    void cycleDone(double usagePercent);
    void listControllers();
    void countProbes(const QList<quint8> &answered);
    void sendFrames();

    BusLink &m_link;
    Poller &m_poller;
    const OnlineList &m_devices;
    const QTimer &m_tick;
    BusHealth &m_health;
    const std::atomic_bool &m_tapOn;
    std::vector<FrameRecord> m_waiting;
    QElapsedTimer m_sinceSent;
};
