#include "DiagnosticsFeed.h"

#include "BusCodes.h"
#include "BusLink.h"
#include "OnlineList.h"
#include "Poller.h"
#include "RequestServer.h"
#include "ScanReply.h"

#include <QTimer>

DiagnosticsFeed::DiagnosticsFeed(BusLink &link, RequestServer &requests, Poller &poller,
                                 const OnlineList &devices, const QTimer &tick, BusHealth &health,
                                 const std::atomic_bool &tapOn)
    : m_link(link), m_poller(poller), m_devices(devices), m_tick(tick), m_health(health), m_tapOn(tapOn)
{
    link.setObserver([this](const LinkExchange &exchange) { exchanged(exchange); });
    connect(&link, &BusLink::linkLost, this, [this] { m_health.linkLost(); });
    connect(&link, &BusLink::adapterEcho, this, [this](bool echoes) { m_health.setEchoingAdapter(echoes); });
    connect(&requests, &RequestServer::writeFailed, this,
            [this](int deviceId, bool givenUp) { m_health.writeFailed(quint8(deviceId), givenUp); });
    connect(&requests, &RequestServer::scanned, this,
            [this](const ScanResult &result) { countProbes(result.addresses); });
    connect(&poller, &Poller::reading, this, [this](const Reading &reading) {
        if (reading.usable)
            m_health.readingTaken(reading.deviceId, reading.readTime.wallMs);
    });
    connect(&poller, &Poller::lossReport, this, [this](int type, float value) {
        if (type == Bus::code(Bus::LossReport::BusUsage))
            cycleDone(double(value));
    });
}

DiagnosticsFeed::~DiagnosticsFeed()
{
    m_link.setObserver(nullptr);
}

void DiagnosticsFeed::exchanged(const LinkExchange &exchange)
{
    m_health.record(exchange);
    if (!m_tapOn.load(std::memory_order_relaxed)) {
        m_waiting.clear();
        return;
    }
    for (const FrameRecord &frame : exchange.frames())
        m_waiting.push_back(frame);
    if (!m_sinceSent.isValid() || m_sinceSent.elapsed() >= kBatchMs)
        sendFrames();
}

void DiagnosticsFeed::sendFrames()
{
    if (m_waiting.empty())
        return;
    emit frames(m_waiting);
    m_waiting.clear();
    m_sinceSent.start();
}

void DiagnosticsFeed::cycleDone(double usagePercent)
{
    m_health.cycleDone(usagePercent, m_poller.period());
    m_health.setLinkSettings(m_link.portName(), m_link.baudRate(), m_link.replyTimeout(), m_tick.interval());
    listControllers();
    if (m_tapOn.load(std::memory_order_relaxed))
        sendFrames();
}

// The rows of the last scan first, then any other controller the worker knows; a polled one is
// dropped while the adapter is away, a scanned one that is no longer listed was declared lost.
void DiagnosticsFeed::listControllers()
{
    QVector<QPair<quint8, BusHealth::State>> rows;
    const auto stateOf = [this](quint8 address) {
        const int index = m_devices.indexOf(address);
        if (index < 0)
            return BusHealth::State::Dropped;
        if (!m_devices.records()[index].polled())
            return BusHealth::State::Offline;
        return m_link.isLost() ? BusHealth::State::Dropped : BusHealth::State::Online;
    };
    for (quint8 address : m_devices.lastScan())
        rows.append({address, stateOf(address)});
    for (const OnlineDevice &record : m_devices.records()) {
        if (!m_devices.lastScan().contains(record.id))
            rows.append({record.id, stateOf(record.id)});
    }
    m_health.setControllers(rows);
}

// The scan talks to the line past the link's exchanges: its probes are counted here, so that an
// address that never answers shows its timeouts beside the controllers that do.
void DiagnosticsFeed::countProbes(const QList<quint8> &answered)
{
    for (int address = FirstProbedAddress; address <= LastProbedAddress; ++address)
        m_health.probed(quint8(address), answered.contains(quint8(address)));
}
