// A long run of the worker against a misbehaving bus: ten controllers at 115200 baud polled as fast
// as the cycle allows, every fault of the simulator mixed in at a few percent, and the adapter
// pulled and put back every two minutes. It checks every reading against the values the simulator
// served, follows every setpoint to the controller, and watches memory and the CPU used while the
// link is lost.
//
//   bench_soak [--minutes N] [--scenario-minutes N] [--only-scenarios] [--seed N] [--only-fault MODE]
//              [--trace]
//     --minutes: 20 by default; fractions allowed (0.5 for a quick try, which still pulls the adapter)
//     --scenario-minutes: then two runs of this length each (0.5 by default; longer shows more of
//       the corrupt controller's spells of three minutes): three controllers at 9600 baud behind an
//       adapter that echoes every byte sent, and three with one of them all corrupt (ScenarioSoak)
//     --only-scenarios: those two runs alone
//     --only-fault: mix in only this fault, to hunt down what a wrong reading came from: 0 silent,
//       1 half the answers dropped, 2 half corrupted, 3 every answer 515 ms late, 4 only the flow
//       read 515 ms late, 5 answers in 3-byte chunks, 6 a byte after the answer, 7 a stray byte
//       before it, 8 a sound frame run into it, 9 an endless stream, 10 two writes lost, 11 the
//       next controller's sound read reply 8 ms ahead of every answer, 12 30 % of the answers
//       corrupted, 13 noise
//     --trace: one line of running figures a second on stderr, and every fault, pull and port status

#include "SerialPort.h"
#include "SimController.h"
#include "ScenarioSoak.h"
#include "SoakLedgers.h"
#include "WorkerBench.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <random>
#include <sys/resource.h>

namespace {

constexpr int kControllers = 10;
constexpr int kBaud = 115200;
// Shorter than any cycle of ten controllers, so each tick starts as soon as the last one ends, yet
// an idle worker (nothing polled) does not spin.
constexpr int kTickMs = 100;
constexpr double kFaultChance = 0.03; // per controller and second
constexpr int kUnplugEveryMs = 120000;
constexpr int kUnplugForMs = 10000;
constexpr int kOwnReopenAfterMs = 5000;
constexpr int kPauseBeforePullMs = 3000;
constexpr int kQuietEndMs = 15000; // the end of a run: no pull, no new setpoint
constexpr int kRetakeOnlineAfterMs = 3000;
constexpr int kSetpointGiveUpMs = 30000;
constexpr int kSetpointEveryMs = 2000;
// Per register: some 8 s of readings, far more than a reading can lag behind its read, and few
// enough that the simulator's record stops growing before the first memory figure.
constexpr int kServedKept = 16;

// The faults the soak mixes in (FaultMixer::faultOf), noise the last of them.
constexpr int kFaultModes = 14;

struct SoakOptions
{
    double minutes = 20.0;
    double scenarioMinutes = 0.5;
    quint32 seed = 1;
    int onlyFault = -1;
    bool trace = false;
    bool onlyScenarios = false;

    bool parse(QStringList arguments)
    {
        trace = arguments.removeAll(QStringLiteral("--trace")) > 0;
        onlyScenarios = arguments.removeAll(QStringLiteral("--only-scenarios")) > 0;
        for (int i = 0; i + 1 < arguments.size(); i += 2) {
            bool ok = false;
            if (arguments[i] == QLatin1String("--minutes"))
                minutes = arguments[i + 1].toDouble(&ok);
            else if (arguments[i] == QLatin1String("--scenario-minutes"))
                scenarioMinutes = arguments[i + 1].toDouble(&ok);
            else if (arguments[i] == QLatin1String("--seed"))
                seed = arguments[i + 1].toUInt(&ok);
            else if (arguments[i] == QLatin1String("--only-fault"))
                onlyFault = arguments[i + 1].toInt(&ok);
            if (!ok || !(minutes > 0.0) || !(scenarioMinutes > 0.0) || onlyFault >= kFaultModes)
                return false;
        }
        return arguments.size() % 2 == 0;
    }
};

// Figures of this process: memory from /proc/self/status, CPU time from getrusage.
qint64 statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field)) + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Every fault of the simulator, one at a time per controller, for one to three seconds.
class FaultMixer
{
public:
    static constexpr int kModes = kFaultModes;

    FaultMixer(SimBus &bus, quint32 seed) : m_bus(bus), m_random(seed) {}

    // Called once a second; returns the controllers that just got lost writes (to write to them).
    QList<quint8> step(qint64 nowMs)
    {
        QList<quint8> losingWrites;
        for (quint8 address = 1; address <= kControllers; ++address) {
            if (m_until.value(address) > nowMs)
                continue;
            m_bus.setFaults(address, {});
            if (chance() >= kFaultChance)
                continue;
            int mode = std::uniform_int_distribution<int>(0, kModes - 1)(m_random);
            if (onlyMode >= 0)
                mode = onlyMode;
            ++m_activations[mode];
            m_until[address] = nowMs + std::uniform_int_distribution<int>(1000, 3000)(m_random);
            if (mode == kModes - 1) {
                m_bus.setNoise(QByteArray::fromHex("FF"), 150);
                m_noiseUntil = m_until[address];
                continue;
            }
            m_bus.setFaults(address, faultOf(mode, address));
            if (trace)
                std::fprintf(stderr, "%5.1f s: controller %d: fault mode %d until %.1f s\n", nowMs / 1000.0,
                             address, mode, m_until[address] / 1000.0);
            if (mode == 10)
                losingWrites << address;
        }
        if (m_noiseUntil > 0 && m_noiseUntil <= nowMs) {
            m_bus.setNoise({}, 0);
            m_noiseUntil = 0;
        }
        return losingWrites;
    }

    bool trace = false;
    int onlyMode = -1;

    int activations() const
    {
        int total = 0;
        for (int count : m_activations)
            total += count;
        return total;
    }

private:
    double chance() { return std::uniform_real_distribution<double>(0.0, 1.0)(m_random); }

    static SimFaults faultOf(int mode, quint8 address)
    {
        SimFaults faults;
        switch (mode) {
        case 0:
            faults.silent = true;
            break;
        case 1:
            faults.dropFraction = 0.5;
            break;
        case 2:
            faults.corruptFraction = 0.5;
            break;
        case 3:
            faults.lateMs = 515; // just after the default reply timeout
            break;
        case 4:
            faults.lateMs = 515;
            faults.lateRegister = SimRegister::Flow;
            break;
        case 5:
            faults.chunkSize = 3;
            faults.chunkGapMs = 1;
            break;
        case 6:
            faults.extraBytes = QByteArray::fromHex("AA");
            break;
        case 7:
            faults.strayBefore = QByteArray::fromHex("00");
            break;
        case 8:
            faults.soundFrameBeforeAnswer = true;
            break;
        case 9:
            faults.endlessStream = true;
            break;
        case 10:
            faults.lostWrites = 2;
            break;
        case 11: // a neighbour's late answer ahead of every answer
            faults.neighbourAddress = quint8(address % kControllers + 1);
            faults.neighbourGapMs = 8;
            break;
        default: // noise that spoils some answers, not the controller
            faults.corruptFraction = 0.3;
            break;
        }
        return faults;
    }

    SimBus &m_bus;
    std::mt19937 m_random;
    QHash<quint8, qint64> m_until;
    qint64 m_noiseUntil = 0;
    int m_activations[kModes] = {};
};

// The adapter pulled and put back; CPU time while it is away, apart for pulls while the worker polls
// and pulls while it only holds the port open; who opened the port again.
class LinkCycler
{
public:
    LinkCycler(SimBus &bus, DeviceThread &worker, const QString &path)
        : m_bus(bus), m_worker(worker), m_path(path)
    {
    }

    bool unplugged() const { return m_unpluggedAt >= 0; }
    qint64 unpluggedFor(qint64 nowMs) const { return unplugged() ? nowMs - m_unpluggedAt : 0; }
    qint64 upSince() const { return m_upSinceMs; }
    bool linkUp() const { return m_portOpen && !unplugged(); }
    void portStatus(int status, qint64 nowMs)
    {
        m_portOpen = status == 1;
        if (status == 1 && m_replugAt >= 0) {
            ++(m_ownOpenAt >= 0 ? m_openedByBench : m_openedByWorker);
            m_replugAt = -1;
            m_ownOpenAt = -1;
        }
        if (status == 1)
            m_upSinceMs = nowMs;
    }

    enum Activity
    {
        Polling,
        Idle
    };

    void unplug(qint64 nowMs, Activity activity)
    {
        if (trace)
            std::fprintf(stderr, "%5.1f s: unplugged (%s)\n", nowMs / 1000.0,
                         activity == Polling ? "polling" : "nothing polled");
        m_bus.unplug();
        m_unpluggedAt = nowMs;
        m_activity = activity;
        m_cpuAtUnplug = cpuSeconds();
        ++m_away[activity].unplugs;
    }

    void replug(qint64 nowMs)
    {
        m_away[m_activity].cpuSeconds += cpuSeconds() - m_cpuAtUnplug;
        m_away[m_activity].ms += nowMs - m_unpluggedAt;
        m_unpluggedAt = -1;
        QString error;
        if (!m_bus.replug(&error))
            std::fprintf(stderr, "bench_soak: replug failed: %s\n", qPrintable(error));
        if (trace)
            std::fprintf(stderr, "%5.1f s: plugged in again\n", nowMs / 1000.0);
        m_replugAt = nowMs;
        m_portOpen = false;
    }

    // The worker is given a few seconds to find the adapter again; then the bench closes and opens
    // the port as an operator would, and keeps trying while it fails.
    void reopenIfNeeded(qint64 nowMs)
    {
        if (m_replugAt < 0 || m_portOpen || nowMs - m_replugAt < kOwnReopenAfterMs)
            return;
        if (m_ownOpenAt >= 0 && nowMs - m_ownOpenAt < 2000)
            return;
        m_ownOpenAt = nowMs;
        if (trace)
            std::fprintf(stderr, "%5.1f s: the bench opens the port again\n", nowMs / 1000.0);
        m_worker.slot_openSer(2, m_path, kBaud);
        m_worker.slot_openSer(1, m_path, kBaud);
    }

    bool trace = false;

    int unplugs(Activity activity) const { return m_away[activity].unplugs; }
    double cpuPercentWhileLost(Activity activity) const
    {
        const Away &away = m_away[activity];
        return away.ms > 0 ? 100.0 * away.cpuSeconds / (away.ms / 1000.0) : 0.0;
    }
    qint64 lostMs(Activity activity) const { return m_away[activity].ms; }
    int openedByWorker() const { return m_openedByWorker; }
    int openedByBench() const { return m_openedByBench; }

private:
    SimBus &m_bus;
    DeviceThread &m_worker;
    QString m_path;
    bool m_portOpen = false;
    qint64 m_unpluggedAt = -1;
    qint64 m_replugAt = -1;
    qint64 m_ownOpenAt = -1;
    qint64 m_upSinceMs = 0;
    struct Away
    {
        int unplugs = 0;
        qint64 ms = 0;
        double cpuSeconds = 0.0;
    };
    Activity m_activity = Polling;
    double m_cpuAtUnplug = 0.0;
    Away m_away[2];
    int m_openedByWorker = 0;
    int m_openedByBench = 0;
};

// Controllers the worker dropped: taken online again as an operator would, unless the worker
// resumes them by itself once the link is back.
class DropWatch
{
public:
    void dropped(int deviceId, qint64 nowMs)
    {
        m_droppedAt.insert(deviceId, nowMs);
        ++m_drops;
    }
    void readingFrom(int deviceId)
    {
        if (m_droppedAt.remove(deviceId))
            ++m_resumedByWorker;
    }
    void retake(DeviceThread &worker, qint64 nowMs, qint64 linkUpSinceMs)
    {
        for (auto it = m_droppedAt.begin(); it != m_droppedAt.end();) {
            if (nowMs - std::max(it.value(), linkUpSinceMs) < kRetakeOnlineAfterMs) {
                ++it;
                continue;
            }
            worker.slot_onlineDevice(2, it.key());
            ++m_retakenByBench;
            it = m_droppedAt.erase(it);
        }
    }
    void forget() { m_droppedAt.clear(); } // the device list was emptied
    int drops() const { return m_drops; }
    int resumedByWorker() const { return m_resumedByWorker; }
    int retakenByBench() const { return m_retakenByBench; }

private:
    QHash<int, qint64> m_droppedAt;
    int m_drops = 0;
    int m_resumedByWorker = 0;
    int m_retakenByBench = 0;
};

// One soak: the bus, the worker and the parts above, driven once a second.
class Soak
{
public:
    explicit Soak(const SoakOptions &options)
        : m_options(options), m_runMs(qint64(options.minutes * 60000.0)),
          // A short try still pulls the adapter twice, once of each kind.
          m_unplugEveryMs(std::min<qint64>(kUnplugEveryMs, m_runMs / 3)),
          m_unplugForMs(std::min<qint64>(kUnplugForMs, m_runMs / 8)),
          m_quietEndMs(std::min<qint64>(kQuietEndMs, m_runMs / 5)),
          m_warmUpMs(std::min<qint64>(30000, m_runMs / 10)), m_nextUnplug(m_unplugEveryMs),
          m_bus(busOptions(options.seed, m_dir.filePath(QStringLiteral("ttySOAK")))), m_readings(m_bus),
          m_setpoints(m_bus, m_worker), m_faults(m_bus, options.seed),
          m_link(m_bus, m_worker, m_dir.filePath(QStringLiteral("ttySOAK"))), m_choose(options.seed ^ 0x5eedu)
    {
        m_readings.traceClock = options.trace ? &m_clock : nullptr;
        m_faults.trace = options.trace;
        m_faults.onlyMode = options.onlyFault;
        m_link.trace = options.trace;
    }

    bool run()
    {
        QString error;
        if (!m_bus.start(&error)) {
            std::fprintf(stderr, "bench_soak: simulated bus: %s\n", qPrintable(error));
            return false;
        }
        m_worker.start();
        m_clock.start();
        connectWorker();
        m_worker.slot_openSer(1, m_bus.portPath(), kBaud);
        m_worker.slot_checkDevices(m_bus.addresses());
        for (quint8 a : m_bus.addresses())
            m_worker.slot_onlineDevice(3, a);
        for (quint8 a : m_bus.addresses())
            m_setpoints.post(a, 1, 0); // every flow moves, so no two quantities read alike
        m_worker.startMainTimer(kTickMs);

        QTimer second;
        QObject::connect(&second, &QTimer::timeout, &m_hub, [this] { everySecond(m_clock.elapsed()); });
        second.start(1000);
        m_loop.exec();
        finish();
        return true;
    }

    void printFigures() const;

private:
    static SimBus::Options busOptions(quint32 seed, const QString &linkPath)
    {
        SimBus::Options options;
        options.addresses = firstAddresses(kControllers);
        options.baud = kBaud;
        options.seed = seed;
        options.linkPath = linkPath;
        options.servedValuesKept = kServedKept;
        return options;
    }

    void connectWorker()
    {
        // m_hub lives on this thread, so the worker's signals arrive queued here.
        QObject::connect(&m_worker, &DeviceThread::sendFreshDeviceInformation, &m_hub,
                         [this](int type, int deviceId, const QByteArray &reply) {
                             m_readings.check(registerOfReading(type), deviceId, reply, "reading", type);
                             m_drops.readingFrom(deviceId);
                         });
        QObject::connect(&m_worker, &DeviceThread::sig_showCurResult, &m_hub,
                         [this](int type, int deviceId, const QByteArray &reply) {
                             m_readings.check(registerOfSetpoint(type), deviceId, reply, "read-back", type);
                         });
        QObject::connect(&m_worker, &DeviceThread::deviceconnectStatus, &m_hub,
                         [this](int deviceId, bool connected) {
                             if (!connected)
                                 m_drops.dropped(deviceId, m_clock.elapsed());
                         });
        QObject::connect(&m_worker, &DeviceThread::signal_ser_status, &m_hub, [this](int status) {
            if (m_options.trace)
                std::fprintf(stderr, "%5.1f s: port status %d\n", m_clock.elapsed() / 1000.0, status);
            m_link.portStatus(status, m_clock.elapsed());
        });
        QObject::connect(&m_worker, &DeviceThread::sig_count_loss, &m_hub, [this](int type, float value) {
            if (type == 1)
                ++m_ticks;
            else
                m_workerLosses = value;
        });
    }

    void everySecond(qint64 now)
    {
        if (m_hwmStart < 0 && now >= m_warmUpMs) {
            m_hwmStart = statusKb("VmHWM:");
            m_rssStart = statusKb("VmRSS:");
        }
        pullAndPlug(now);
        if (m_link.linkUp() && !m_pausedForPull)
            m_drops.retake(m_worker, now, m_link.upSince());
        postSetpoints(now);
        m_setpoints.update(now, kSetpointGiveUpMs);
        m_bus.clearReceivedFrames(); // nothing here needs them: memory is the worker's alone
        if (m_options.trace)
            std::fprintf(stderr, "%5.1f s: %d readings, %d wrong, %d ticks, %.0f lost, link %s, %d drops\n",
                         now / 1000.0, m_readings.checked(), m_readings.wrong(), m_ticks,
                         double(m_workerLosses), m_link.linkUp() ? "up" : "down", m_drops.drops());
        if (now >= m_runMs)
            m_loop.quit();
    }

    // Every second pull finds the worker with the port open and nothing to poll, as before the
    // first scan: the device list is emptied a little before, and filled and taken online again once
    // the port is open again.
    void pullAndPlug(qint64 now)
    {
        const bool idlePull = m_link.unplugs(LinkCycler::Polling) > m_link.unplugs(LinkCycler::Idle);
        // A pull waits for the port to be open again after the last one.
        const bool pullComing = m_nextUnplug < m_runMs - m_quietEndMs && m_link.linkUp();
        if (!m_link.unplugged() && idlePull && !m_pausedForPull && now >= m_nextUnplug - kPauseBeforePullMs &&
            pullComing) {
            m_worker.slot_checkDevices({});
            m_drops.forget();
            m_pausedForPull = true;
            m_pausedAt = now;
        }
        const bool readyToPull = !idlePull || (m_pausedForPull && now - m_pausedAt >= kPauseBeforePullMs);
        if (!m_link.unplugged() && now >= m_nextUnplug && pullComing && readyToPull) {
            m_link.unplug(now, idlePull ? LinkCycler::Idle : LinkCycler::Polling);
            m_nextUnplug = now + m_unplugEveryMs;
            m_setpoints.linkLost();
        } else if (m_link.unpluggedFor(now) >= m_unplugForMs) {
            m_link.replug(now);
        }
        m_link.reopenIfNeeded(now);
        if (m_link.linkUp() && m_pausedForPull && m_link.unplugs(LinkCycler::Idle) == m_idlePullsDone + 1) {
            ++m_idlePullsDone;
            m_worker.slot_checkDevices(m_bus.addresses());
            for (quint8 a : m_bus.addresses())
                m_worker.slot_onlineDevice(3, a);
            m_pausedForPull = false;
        }
    }

    // Not near the end (the last ones may still arrive), and not before a pull with nothing polled:
    // a write would reveal the lost link.
    void postSetpoints(qint64 now)
    {
        const bool posting = m_link.linkUp() && now < m_runMs - m_quietEndMs && !m_pausedForPull;
        for (quint8 a : m_faults.step(now)) {
            if (posting)
                m_setpoints.post(a, 1 + int(m_choose() % 2), now);
        }
        if (posting && now >= m_nextSetpoint) {
            m_setpoints.post(quint8(1 + m_choose() % kControllers), 1 + int(m_choose() % 2), now);
            m_nextSetpoint = now + kSetpointEveryMs;
        }
    }

    void finish()
    {
        if (m_link.unplugged())
            m_link.replug(m_clock.elapsed());
        m_hwmEnd = statusKb("VmHWM:");
        m_rssEnd = statusKb("VmRSS:");
        m_worker.shutdown();
        m_bus.clearFaults();
        m_setpoints.update(m_clock.elapsed(), 0);
        m_bus.stop();
    }

    SoakOptions m_options;
    qint64 m_runMs;
    qint64 m_unplugEveryMs;
    qint64 m_unplugForMs;
    qint64 m_quietEndMs;
    qint64 m_warmUpMs;
    qint64 m_nextUnplug;
    qint64 m_nextSetpoint = kSetpointEveryMs;
    bool m_pausedForPull = false;
    qint64 m_pausedAt = 0;
    int m_idlePullsDone = 0;
    QTemporaryDir m_dir;
    SimBus m_bus;
    DeviceThread m_worker;
    QElapsedTimer m_clock;
    QObject m_hub;
    QEventLoop m_loop;
    ReadingChecker m_readings;
    SetpointLedger m_setpoints;
    FaultMixer m_faults;
    LinkCycler m_link;
    DropWatch m_drops;
    std::mt19937 m_choose;
    int m_ticks = 0;
    float m_workerLosses = 0;
    qint64 m_hwmStart = -1;
    qint64 m_rssStart = -1;
    qint64 m_hwmEnd = -1;
    qint64 m_rssEnd = -1;
};

void Soak::printFigures() const
{
    const QString setting = QStringLiteral("%1 controllers, %2 baud, %3 min, seed %4")
                                .arg(kControllers)
                                .arg(kBaud)
                                .arg(m_options.minutes)
                                .arg(m_options.seed);
    printBenchRow(QStringLiteral("soak: readings checked against the simulator"), m_readings.checked(),
                  QStringLiteral("readings"),
                  QStringLiteral("%1; %2 ticks; %3 fault spells; %4 queries lost by the worker's count")
                      .arg(setting)
                      .arg(m_ticks)
                      .arg(m_faults.activations())
                      .arg(m_workerLosses),
                  0);
    printBenchRow(
        QStringLiteral("soak: wrong readings"), m_readings.wrong(), QStringLiteral("readings"),
        QStringLiteral("goal 0; %1").arg(m_readings.wrong() ? m_readings.examples() : QStringLiteral("none")),
        0);
    printBenchRow(QStringLiteral("soak: setpoints lost"), m_setpoints.lost(), QStringLiteral("setpoints"),
                  QStringLiteral("of %1 posted while the link was up; not in the controller's register "
                                 "within %2 s (%3 of them pending when the adapter was pulled); goal 0")
                      .arg(m_setpoints.posted())
                      .arg(kSetpointGiveUpMs / 1000)
                      .arg(m_setpoints.lostAcrossUnplug()),
                  0);
    printBenchRow(QStringLiteral("soak: peak memory (VmHWM) at start"), double(m_hwmStart),
                  QStringLiteral("kB"), QStringLiteral("after %1 s").arg(m_warmUpMs / 1000.0), 0);
    printBenchRow(QStringLiteral("soak: peak memory (VmHWM) at end"), double(m_hwmEnd), QStringLiteral("kB"),
                  QStringLiteral("growth %1 kB; goal no growth").arg(m_hwmEnd - m_hwmStart), 0);
    printBenchRow(QStringLiteral("soak: resident memory (VmRSS) at start / end"), double(m_rssEnd),
                  QStringLiteral("kB"),
                  QStringLiteral("at start %1 kB; growth %2 kB").arg(m_rssStart).arg(m_rssEnd - m_rssStart),
                  0);
    for (LinkCycler::Activity activity : {LinkCycler::Polling, LinkCycler::Idle}) {
        printBenchRow(QStringLiteral("soak: CPU while the link is lost, %1")
                          .arg(activity == LinkCycler::Polling
                                   ? QStringLiteral("pulled while polling")
                                   : QStringLiteral("pulled with nothing polled")),
                      m_link.cpuPercentWhileLost(activity), QStringLiteral("% of a core"),
                      QStringLiteral("whole process over %1 unplug(s), %2 s in all; goal idle")
                          .arg(m_link.unplugs(activity))
                          .arg(m_link.lostMs(activity) / 1000.0),
                      1);
    }
    printBenchRow(QStringLiteral("soak: port reopened by the worker itself"), m_link.openedByWorker(),
                  QStringLiteral("replugs"),
                  QStringLiteral("%1 reopened by the bench after %2 s without status 1; %3 drops, %4 resumed "
                                 "by the worker, %5 taken online again by the bench")
                      .arg(m_link.openedByBench())
                      .arg(kOwnReopenAfterMs / 1000)
                      .arg(m_drops.drops())
                      .arg(m_drops.resumedByWorker())
                      .arg(m_drops.retakenByBench()),
                  0);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    SoakOptions options;
    if (!options.parse(app.arguments().mid(1))) {
        std::fprintf(stderr, "usage: bench_soak [--minutes N] [--scenario-minutes N] [--only-scenarios] [--seed N] "
                             "[--only-fault MODE] [--trace]\n");
        return 2;
    }
    muteDebugLog();
    if (options.trace) {
        // The worker's lines about its port, to see when it notices a pull and when it reopens.
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &text) {
            if (text.contains(QStringLiteral("串口")))
                std::fprintf(stderr, "worker: %s\n", qPrintable(text));
        });
    }
    if (!options.onlyScenarios) {
        Soak soak(options);
        if (!soak.run())
            return 1;
        soak.printFigures();
    }
    for (auto condition : {ScenarioSoak::Condition::EchoingAdapter, ScenarioSoak::Condition::CorruptController}) {
        ScenarioSoak scenario(condition, options.scenarioMinutes, options.seed);
        if (!scenario.run())
            return 1;
        scenario.printFigures();
    }
    return 0;
}
