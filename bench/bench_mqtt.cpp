// The MQTT link's cost, against a real mosquitto broker on 127.0.0.1, polling fifteen simulated
// controllers: the GUI thread's time per polling cycle that publishing adds, the worker's polling
// cycle with publishing on over the cycle without, the worker thread's time per reading published,
// and the CPU share of quorix-cli's headless bridge polling once a second.

#include "WorkerBench.h"
#include "mqtt/MqttBroker.h"

#include "BenchModel.h"
#include "BusCodes.h"
#include "MqttBridge.h"
#include "MqttSettings.h"

#include <QFile>
#include <QProcess>
#include <algorithm>
#include <numeric>
#include <ctime>
#include <unistd.h>

namespace {

constexpr int Controllers = 15;

MqttSettings brokerSettings(int port)
{
    MqttSettings settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = port;
    settings.prefix = QStringLiteral("bench/mqtt");
    settings.publish = true;
    return settings;
}

bool waitFor(const std::function<bool()> &done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.hasExpired(ms))
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? -1 : values[values.size() / 2];
}

// Microseconds the thread that emits the readings spends per reading published: the worker's
// thread in the application (the median over `ticks` ticks of `Controllers` x 4 readings).
double microsPerReading(DeviceThread &worker, int ticks)
{
    QList<double> perTick;
    worker.runOnWorker([&] {
        Reading reading;
        reading.usable = true;
        for (int tick = 0; tick < ticks; ++tick) {
            QElapsedTimer clock;
            clock.start();
            for (int id = 1; id <= Controllers; ++id) {
                for (int type = 1; type <= 4; ++type) {
                    reading.deviceId = quint8(id);
                    reading.type = Bus::ReadingType(type);
                    reading.value = 100.0 + tick * 0.125 + type;
                    reading.readTime = ReadTime::now();
                    emit worker.sig_reading(reading);
                }
            }
            perTick.append(clock.nsecsElapsed() / 1e3 / (Controllers * 4));
        }
    });
    return median(perTick);
}

bool workerTimePerReading(int port)
{
    PolledBus idle({}, 0, 0, 500);
    BenchModel model(&idle.worker);
    MqttBridge bridge(&idle.worker, &model);
    bridge.apply(brokerSettings(port));
    if (!waitFor([&] { return bridge.isConnected(); }, 10000)) {
        std::fprintf(stderr, "bench_mqtt: no connection to the broker\n");
        return false;
    }
    const double micros = microsPerReading(idle.worker, 400);
    printBenchRow(QStringLiteral("MQTT: worker thread time per reading published"), micros, QStringLiteral("us"),
                  QStringLiteral("formatting and hand-over to the client's queue, median of 400 ticks of %1 readings")
                      .arg(Controllers * 4),
                  2);
    return true;
}

double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

struct CycleFigures
{
    double cycleMs = -1;    // the worker's mean polling cycle
    double guiMsPerCycle = -1; // CPU time of the main (GUI) thread per cycle
};

CycleFigures pollWith(bool publishing, int port)
{
    const QList<quint8> addresses = firstAddresses(Controllers);
    PolledBus polled(addresses, 115200, 10, 500);
    if (!polled.ready)
        return {};
    BenchModel model(&polled.worker);
    MqttBridge bridge(&polled.worker, &model);
    if (publishing) {
        model.setScanned(addresses);
        for (quint8 id : addresses)
            model.noteOnlineRequest(Bus::code(Bus::OnlineRequest::TakeOnline), id);
        bridge.apply(brokerSettings(port));
        if (!waitFor([&] { return bridge.isConnected(); }, 10000))
            return {};
    }
    polled.pollAll(addresses);
    const int cycles = 8;
    const double cpuBefore = threadCpuMs();
    const QList<double> times = runCycles(polled, cycles);
    const double cpu = threadCpuMs() - cpuBefore;
    if (times.size() < cycles)
        return {};
    return {std::accumulate(times.begin(), times.end(), 0.0) / times.size(), cpu / (cycles + 1)};
}

bool pollingWithPublishing(int port)
{
    const CycleFigures without = pollWith(false, port);
    const CycleFigures with = pollWith(true, port);
    if (without.cycleMs <= 0 || with.cycleMs <= 0) {
        std::fprintf(stderr, "bench_mqtt: polling cycles missing\n");
        return false;
    }
    printBenchRow(QStringLiteral("MQTT: GUI time per tick added by publishing"), with.guiMsPerCycle - without.guiMsPerCycle,
                  QStringLiteral("ms"),
                  QStringLiteral("GUI thread CPU per polling cycle of %1 controllers, %2 ms with publishing, %3 ms "
                                 "without; goal < 0.2 ms")
                      .arg(Controllers)
                      .arg(with.guiMsPerCycle, 0, 'f', 3)
                      .arg(without.guiMsPerCycle, 0, 'f', 3),
                  3);
    printRatioRow(QStringLiteral("MQTT: poll cycle with publishing / without"), with.cycleMs / without.cycleMs, 3,
                  QStringLiteral("ratio"),
                  QStringLiteral("%1 controllers, 115200 baud, pause 10 ms: %2 ms / %3 ms; goal <= 1.05")
                      .arg(Controllers)
                      .arg(with.cycleMs, 0, 'f', 1)
                      .arg(without.cycleMs, 0, 'f', 1));
    return true;
}

// utime + stime of a process, in clock ticks.
qint64 cpuTicks(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 12 ? fields[11].toLongLong() + fields[12].toLongLong() : -1;
}

bool bridgeCpuShare(int port)
{
    SimBus::Options options;
    options.addresses = firstAddresses(Controllers);
    options.baud = 9600;
    SimBus bus(options);
    if (!bus.start())
        return false;
    QProcess bridge;
    bridge.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    bridge.start(QStringLiteral(QUORIX_CLI_PATH),
                 {"--port", bus.portPath(), "bridge", "--mqtt", QStringLiteral("127.0.0.1:%1").arg(port), "--prefix",
                  "bench/cli", "--period", "1000"});
    if (!bridge.waitForStarted(5000))
        return false;
    // The scan and the first cycles are start-up; the share is that of the steady polling.
    QElapsedTimer settle;
    settle.start();
    waitFor([&] { return settle.hasExpired(4000); }, 6000);
    const qint64 before = cpuTicks(bridge.processId());
    QElapsedTimer clock;
    clock.start();
    const int runMs = 20000;
    waitFor([&] { return clock.hasExpired(runMs); }, runMs + 2000);
    const qint64 after = cpuTicks(bridge.processId());
    const double seconds = clock.nsecsElapsed() / 1e9;
    bridge.terminate();
    bridge.waitForFinished(10000);
    bus.stop();
    if (before < 0 || after < 0)
        return false;
    const double share = 100.0 * double(after - before) / double(sysconf(_SC_CLK_TCK)) / seconds;
    printBenchRow(QStringLiteral("MQTT: headless bridge CPU share"), share, QStringLiteral("% of a core"),
                  QStringLiteral("quorix-cli bridge, %1 controllers at 9600 baud, period 1000 ms, %2 s; goal < 2 %")
                      .arg(Controllers)
                      .arg(seconds, 0, 'f', 0),
                  2);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    muteDebugLog();
    MqttBroker broker;
    if (!broker.start()) {
        std::fprintf(stderr, "bench_mqtt: cannot start mosquitto (scripts/setup.sh installs it)\n");
        return 1;
    }
    bool ok = pollingWithPublishing(broker.port());
    ok = workerTimePerReading(broker.port()) && ok;
    ok = bridgeCpuShare(broker.port()) && ok;
    return ok ? 0 : 1;
}
