#include "BusMonitor.h"

#include "BusCodes.h"
#include "BusLink.h"
#include "RegisterMap.h"

#include <QElapsedTimer>
#include <QTextStream>
#include <QThread>

BusMonitor::BusMonitor(BusLink &link, QTextStream &out) : m_link(link), m_out(out)
{
    m_link.setObserver([this](const LinkExchange &exchange) {
        for (const FrameRecord &frame : exchange.frames())
            m_out << frame.line() << '\n';
        m_out.flush();
    });
}

BusMonitor::~BusMonitor()
{
    m_link.setObserver(nullptr);
}

bool BusMonitor::run(const QList<quint8> &addresses, int count, int intervalMs)
{
    QElapsedTimer clock;
    clock.start();
    for (int cycle = 0; count == 0 || cycle < count; ++cycle) {
        if (cycle > 0) {
            // Read once: a negative wait would never end as an unsigned sleep.
            const qint64 wait = qint64(cycle) * intervalMs - clock.elapsed();
            if (wait > 0)
                QThread::msleep(ulong(wait));
        }
        if (m_link.isLost())
            return false;
        pollOnce(addresses);
    }
    return !m_link.isLost();
}

void BusMonitor::pollOnce(const QList<quint8> &addresses)
{
    m_link.beginRound(); // a failing controller is checked again every round
    for (quint8 address : addresses) {
        for (int type = Bus::FirstReadingType; type <= Bus::LastReadingType; ++type) {
            QByteArray reply;
            m_link.readRegisters(address, RegisterMap::readingRegister(type), reply);
            m_tally.count(m_link.lastReadResult());
        }
    }
}
