#include "Poller.h"

#include "BusCodes.h"
#include "BusLink.h"
#include "OnlineList.h"
#include "RegisterMap.h"

#include <QDebug>
#include <QThread>

namespace {

// A window of loss accounting closes after this many queries; a device with more losses in it is lost.
constexpr int WindowQueries = 20;
constexpr int WindowLossLimit = 10;

} // namespace

Poller::Poller(BusLink &link, OnlineList &devices, std::function<bool()> stopping, QObject *parent)
    : QObject(parent), m_link(link), m_devices(devices), m_stopping(std::move(stopping))
{
}

void Poller::runCycle()
{
    // A monotonic clock: a wall clock set back or forward during a cycle would report a usage
    // that never was, and reading it costs a time zone lookup every tick.
    QElapsedTimer cycle;
    cycle.start();
    // While the adapter is away nothing is read and nothing counts as lost: the windows already
    // show every row dropped, and polling resumes as it was when the link comes back.
    int index = 0;
    while (!m_link.isLost() && index < m_devices.records().size() && !m_stopping()) {
        if (pollDevice(index))
            ++index;
    }
    reportUsage(cycle.elapsed());
}

// Polls one record; false when the record was dropped, so the next one now sits at the same index.
// Whether a read that met silence gives the controller up for the cycle is decided only before its
// next read: an answer late past the grace still lands in the pause.
bool Poller::pollDevice(int index)
{
    static const bool OnlineDevice::*const flags[] = {&OnlineDevice::cur, &OnlineDevice::cum,
                                                      &OnlineDevice::temp, &OnlineDevice::press};
    bool metSilence = false;
    bool silent = false;
    for (int type = Bus::FirstReadingType; type <= Bus::LastReadingType; ++type) {
        if (m_stopping() || m_link.isLost())
            return true;
        OnlineDevice &record = m_devices.records()[index];
        const bool polled = record.*flags[type - 1];
        if (polled && metSilence && !silent) {
            silent = !m_link.spokeSinceTimeout();
            if (silent)
                qDebug() << "设备" << int(record.id) << "本周期其余的查询记为丢失";
        }
        if (polled && silent) {
            countQuery(record, false);
            continue;
        }
        if (polled && m_betweenExchanges)
            m_betweenExchanges();
        if (polled && (m_stopping() || m_link.isLost()))
            return true;
        if (polled)
            metSilence = !read(index, type);
        rest(polled);
    }
    return closeWindow(index);
}

void Poller::rest(bool afterExchange)
{
    // A zero pause must cost nothing: even a sleep of 0 ms waits out the kernel's timer slack.
    if (m_pause <= 0)
        return;
    if (afterExchange)
        m_link.restAfterExchange(m_pause);
    else
        QThread::msleep(ulong(m_pause));
}

// Reads one quantity and counts it; false when the read met a silent line.
bool Poller::read(int index, int type)
{
    OnlineDevice &record = m_devices.records()[index];
    QByteArray reply;
    if (m_link.readRegisters(record.id, RegisterMap::readingRegister(type), reply)) {
        countQuery(record, true);
        passOn(record, type, reply);
        return true;
    }
    if (m_link.isLost())
        return true; // the query never reached the line
    countQuery(record, false);
    return !m_link.lastReadMetSilence();
}

void Poller::countQuery(OnlineDevice &record, bool answered)
{
    ++record.queryCount;
    ++record.totalQuery;
    if (answered)
        return;
    ++record.lossCount;
    ++record.totalLoss;
    ++m_totalLosses;
}

void Poller::passOn(OnlineDevice &record, int type, const QByteArray &reply)
{
    const Reading decoded = Reading::fromReply(type, record.id, reply, m_link.lastByteTime());
    if (!decoded.usable) {
        ++record.unusableReads;
        qDebug() << "设备" << int(record.id) << "的读数无效" << type << reply.toHex();
    }
    emit replied(type, decoded.deviceId, reply);
    emit reading(decoded);
}

bool Poller::closeWindow(int index)
{
    OnlineDevice &record = m_devices.records()[index];
    if (record.queryCount <= WindowQueries)
        return true;
    const quint8 id = record.id;
    qDebug() << "设备" << int(id) << "号当20次查询后的丢包次数是" << record.lossCount;
    if (record.lossCount > WindowLossLimit) {
        qDebug() << "设备掉线了";
        emit deviceLost(id);
        m_devices.remove(id);
        return false;
    }
    record.queryCount = 0;
    record.lossCount = 0;
    return true;
}

void Poller::reportUsage(qint64 elapsed)
{
    // A query period of 0 is allowed by the settings window; there is no share of it to report.
    const float usage = m_period != 0 ? float(double(elapsed) * 100.0 / double(m_period)) : 0.0f;
    emit lossReport(Bus::code(Bus::LossReport::BusUsage), usage);
    emit lossReport(Bus::code(Bus::LossReport::LostQueries), float(m_totalLosses));
}
