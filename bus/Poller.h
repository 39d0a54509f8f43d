#pragma once

#include "Reading.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <functional>

class BusLink;
class OnlineList;
struct OnlineDevice;

// The polling cycle: reads every switched-on quantity of every listed controller, counts lost
// queries in windows of about 20 queries per controller, drops a controller that lost more than
// 10 of a window, and reports the cycle's share of the query period and the losses. A lost query
// is one without a correct answer. Noise spoils frames, not controllers: after an unsound answer
// the controller's other quantities are read all the same. After a read that met a silent line,
// the controller's other quantities of the cycle count as lost without being sent, so that a
// silent controller costs the cycle one reply timeout and the others keep their pace; one that
// answered late is alive, and read on.
class Poller : public QObject
{
    Q_OBJECT
public:
    Poller(BusLink &link, OnlineList &devices, std::function<bool()> stopping, QObject *parent = nullptr);

    void setPeriod(int ms) { m_period = ms; }
    int period() const { return m_period; }
    void setPause(int ms) { m_pause = ms; }
    int pause() const { return m_pause; }
    void clearLosses() { m_totalLosses = 0; }
    // Called between two exchanges of the cycle, before each read: the bus is free for whatever
    // waits (the one-off requests).
    void setBetweenExchanges(std::function<void()> slot) { m_betweenExchanges = std::move(slot); }

    // One cycle and its usage report.
    void runCycle();

signals:
    // Each answered query twice: the reply as it came, and its reading, decoded here once.
    void replied(int type, int deviceId, QByteArray reply);
    void reading(Reading reading);
    void deviceLost(int deviceId);
    void lossReport(int type, float value);

private:
    bool pollDevice(int index);
    bool read(int index, int type);
    void rest(bool afterExchange);
    bool closeWindow(int index);
    void countQuery(OnlineDevice &record, bool answered);
    void passOn(OnlineDevice &record, int type, const QByteArray &reply);
    void reportUsage(qint64 cycleMs);

    BusLink &m_link;
    OnlineList &m_devices;
    std::function<bool()> m_stopping;
    std::function<void()> m_betweenExchanges;
    int m_period = 1000;
    int m_pause = 10;
    int m_totalLosses = 0;
};
