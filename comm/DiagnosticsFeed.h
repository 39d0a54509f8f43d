#pragma once

#include "BusHealth.h"
#include "FrameRecord.h"

#include <QObject>
#include <atomic>

class BusLink;
class OnlineList;
class Poller;
class RequestServer;

// Hands what the worker sees on the line to the diagnostics: every exchange, failed write, good
// reading and cycle into BusHealth, and, only while the tap is on, every frame out as a signal.
// With the tap off no frame is built or sent. Lives on the worker thread with the parts it watches.
class DiagnosticsFeed : public QObject
{
    Q_OBJECT
public:
    DiagnosticsFeed(BusLink &link, RequestServer &requests, Poller &poller, const OnlineList &devices,
                    BusHealth &health, const std::atomic_bool &tapOn);
    ~DiagnosticsFeed() override;

signals:
    void frame(FrameRecord frame);

private:
    void exchanged(const LinkExchange &exchange);
    void cycleDone(double usagePercent);
    void listControllers();

    BusLink &m_link;
    Poller &m_poller;
    const OnlineList &m_devices;
    BusHealth &m_health;
    const std::atomic_bool &m_tapOn;
};
