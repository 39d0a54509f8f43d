#pragma once

// A soak of one bench condition that the mixed soak's short fault spells cannot show: three
// controllers at 9600 baud with the worker's own settings (1000 ms tick, 10 ms pause, 500 ms reply
// timeout), either behind an adapter that echoes every byte sent, with 2 % of the answers dropped,
// or with one controller whose answers are all corrupt for minutes at a time. Every reading is
// checked against what the simulator served, setpoints go to the healthy controllers every second
// and are followed to their registers, and the healthy controllers' reading rate is measured.

#include "BenchTable.h"
#include "SoakLedgers.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <random>

class ScenarioSoak
{
public:
    enum class Condition
    {
        EchoingAdapter,
        CorruptController
    };

    ScenarioSoak(Condition condition, double minutes, quint32 seed)
        : m_condition(condition), m_runMs(qint64(minutes * 60000.0)), m_bus(busOptions(condition, seed)),
          m_readings(m_bus), m_setpoints(m_bus, m_worker), m_choose(seed)
    {
    }

    bool run()
    {
        QString error;
        if (!m_bus.start(&error)) {
            std::fprintf(stderr, "bench_soak: simulated bus: %s\n", qPrintable(error));
            return false;
        }
        if (m_condition == Condition::EchoingAdapter)
            setDropping();
        m_worker.start();
        connectWorker();
        m_worker.slot_openSer(1, m_bus.portPath(), kBaud);
        m_worker.slot_checkDevices(m_addresses);
        for (quint8 a : m_addresses)
            m_worker.slot_onlineDevice(3, a);
        m_clock.start();
        m_worker.startMainTimer(kTickMs);
        QTimer second;
        QObject::connect(&second, &QTimer::timeout, &m_hub, [this] { everySecond(m_clock.elapsed()); });
        second.start(1000);
        m_loop.exec();
        m_worker.shutdown();
        m_setpoints.update(m_clock.elapsed(), 0);
        m_bus.stop();
        return true;
    }

    void printFigures() const
    {
        const bool echo = m_condition == Condition::EchoingAdapter;
        const QString name = echo ? QStringLiteral("soak, echoing adapter")
                                  : QStringLiteral("soak, one controller all corrupt");
        const QString setting =
            QStringLiteral("3 controllers, %1 baud, %2 min%3")
                .arg(kBaud)
                .arg(m_runMs / 60000.0)
                .arg(echo ? QStringLiteral(", 2 % of the answers dropped; adapter found: %1")
                                .arg(m_worker.adapterEchoes() ? QStringLiteral("yes") : QStringLiteral("no"))
                          : QStringLiteral(", controller %1 corrupt for %2 s, dropped %3 times")
                                .arg(kBad)
                                .arg(m_corruptMs / 1000)
                                .arg(m_badDrops));
        printBenchRow(name + QStringLiteral(": wrong readings"), m_readings.wrong(),
                      QStringLiteral("readings"),
                      QStringLiteral("of %1 checked; goal 0; %2; %3")
                          .arg(m_readings.checked())
                          .arg(m_readings.wrong() ? m_readings.examples() : QStringLiteral("none"))
                          .arg(setting),
                      0);
        printBenchRow(
            name + QStringLiteral(": setpoints lost"), m_setpoints.lost(), QStringLiteral("setpoints"),
            QStringLiteral("of %1 posted to healthy controllers; goal 0").arg(m_setpoints.posted()), 0);
        printBenchRow(name + QStringLiteral(": healthy controllers' reading rate"), healthyRate(),
                      QStringLiteral("readings/s"),
                      QStringLiteral("per controller; four a tick when nothing fails; goal at least half"),
                      2);
    }

private:
    static constexpr int kBaud = 9600;
    static constexpr int kTickMs = 1000;
    static constexpr quint8 kBad = 2;
    static constexpr int kRetakeAfterMs = 10000;  // an operator takes the dropped controller online again
    static constexpr int kHealthyBreakMs = 20000; // in a long run, the corrupt spells end now and then
    static constexpr int kCorruptSpellMs = 180000;
    static constexpr int kWarmUpMs = 3000;
    const QList<quint8> m_addresses{1, 2, 3};

    static SimBus::Options busOptions(Condition condition, quint32 seed)
    {
        SimBus::Options options;
        options.addresses = {1, 2, 3};
        options.baud = kBaud;
        options.seed = seed;
        options.servedValuesKept = 16;
        options.adapterEchoes = condition == Condition::EchoingAdapter;
        return options;
    }

    bool healthy(int deviceId) const { return m_condition == Condition::EchoingAdapter || deviceId != kBad; }

    double healthyRate() const
    {
        const double seconds = (m_clock.isValid() ? double(m_measuredMs) : 0.0) / 1000.0;
        int readings = 0;
        int controllers = 0;
        for (quint8 a : m_addresses) {
            if (healthy(a)) {
                readings += m_healthyReadings.value(a);
                ++controllers;
            }
        }
        return seconds > 0 && controllers > 0 ? readings / seconds / controllers : 0.0;
    }

    void connectWorker()
    {
        QObject::connect(&m_worker, &DeviceThread::sendFreshDeviceInformation, &m_hub,
                         [this](int type, int deviceId, const QByteArray &reply) {
                             m_readings.check(registerOfReading(type), deviceId, reply, "reading", type);
                             if (m_clock.elapsed() >= kWarmUpMs && m_clock.elapsed() < m_runMs)
                                 ++m_healthyReadings[deviceId];
                         });
        QObject::connect(&m_worker, &DeviceThread::sig_showCurResult, &m_hub,
                         [this](int type, int deviceId, const QByteArray &reply) {
                             m_readings.check(registerOfSetpoint(type), deviceId, reply, "read-back", type);
                         });
        QObject::connect(&m_worker, &DeviceThread::deviceconnectStatus, &m_hub,
                         [this](int deviceId, bool on) {
                             if (on)
                                 return;
                             m_droppedAt.insert(deviceId, m_clock.elapsed());
                             m_badDrops += deviceId == kBad ? 1 : 0;
                         });
    }

    void everySecond(qint64 now)
    {
        if (m_condition == Condition::CorruptController)
            switchCorruption(now);
        for (auto it = m_droppedAt.begin(); it != m_droppedAt.end();) {
            if (now - it.value() < kRetakeAfterMs) {
                ++it;
                continue;
            }
            m_worker.slot_onlineDevice(2, it.key());
            it = m_droppedAt.erase(it);
        }
        if (now >= kWarmUpMs && now < m_runMs - kTickMs * 5) {
            quint8 target = 0;
            do
                target = m_addresses.at(int(m_choose() % m_addresses.size()));
            while (!healthy(target));
            m_setpoints.post(target, 1, now);
        }
        m_setpoints.update(now, 30000);
        m_bus.clearReceivedFrames();
        m_measuredMs = qMin(now, m_runMs) - kWarmUpMs;
        if (now >= m_runMs + 5 * kTickMs) // the last setpoints arrive
            m_loop.quit();
    }

    // Corrupt from the warm-up on, in spells of minutes with short healthy breaks.
    void switchCorruption(qint64 now)
    {
        const qint64 intoCycle = (now - kWarmUpMs) % (kCorruptSpellMs + kHealthyBreakMs);
        const bool corrupt = now >= kWarmUpMs && intoCycle < kCorruptSpellMs;
        if (corrupt != m_corrupt) {
            SimFaults faults;
            faults.corruptFraction = corrupt ? 1.0 : 0.0;
            m_bus.setFaults(kBad, faults);
            m_corrupt = corrupt;
        }
        if (corrupt && now <= m_runMs)
            m_corruptMs += 1000;
    }

    void setDropping()
    {
        SimFaults dropping;
        dropping.dropFraction = 0.02;
        for (quint8 a : m_addresses)
            m_bus.setFaults(a, dropping);
    }

    Condition m_condition;
    qint64 m_runMs;
    SimBus m_bus;
    DeviceThread m_worker;
    ReadingChecker m_readings;
    SetpointLedger m_setpoints;
    std::mt19937 m_choose;
    QElapsedTimer m_clock;
    QObject m_hub;
    QEventLoop m_loop;
    QHash<int, int> m_healthyReadings;
    QHash<int, qint64> m_droppedAt;
    qint64 m_measuredMs = 0;
    qint64 m_corruptMs = 0;
    bool m_corrupt = false;
    int m_badDrops = 0;
};
