// How long a setpoint waits for the bus: from the request to the controller's receipt of the write,
// with ten controllers polled by the worker's own 1000 ms tick against the simulated bus with its
// wire time emulated. Setpoints come from a timer of their own, out of step with the tick, so that
// they meet every phase of the polling cycle. The floor is the exchange in flight, the silence and
// the query pause after it, and the write's own time on the wire.

#include "SerialPort.h"
#include "WorkerBench.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace {

constexpr int kDevices = 10;
constexpr int kPause = 10;
constexpr quint16 kInstantSetpoint = 0x303E;

qint64 steadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double percentile(QList<double> values, double share)
{
    std::sort(values.begin(), values.end());
    const int at = qBound(0, int(std::ceil(share * values.size())) - 1, values.size() - 1);
    return values.at(at);
}

struct Request
{
    QByteArray write;
    qint64 requestedNs = 0;
};

// Latencies in ms of `count` setpoints requested every `everyMs`.
QList<double> writeLatencies(PolledBus &polled, int count, int everyMs)
{
    QList<Request> requests;
    QEventLoop loop;
    QTimer requester;
    int value = 0;
    QObject::connect(&requester, &QTimer::timeout, &loop, [&] {
        const quint8 address = quint8(1 + requests.size() % kDevices);
        const float setpoint = float(++value);
        requests.append({SerialPort::buildWriteFloatFrame(address, kInstantSetpoint, setpoint), steadyNs()});
        polled.worker.requestSetpoint(address, 1, setpoint);
        if (requests.size() < count)
            return;
        requester.stop();
        QTimer::singleShot(3000, &loop, &QEventLoop::quit); // the last write's retries
    });
    requester.start(everyMs);
    loop.exec();

    QList<double> latencies;
    const QList<SimBus::Heard> heard = polled.bus->takeHeard();
    for (const Request &request : qAsConst(requests)) {
        const auto found = std::find_if(heard.begin(), heard.end(),
                                        [&](const SimBus::Heard &h) { return h.frame == request.write; });
        if (found != heard.end())
            latencies.append(double(found->heardNs - request.requestedNs) / 1e6);
    }
    return latencies;
}

bool latencyRow(int baud, double goalMs)
{
    const QList<quint8> addresses = firstAddresses(kDevices);
    PolledBus polled(addresses, baud, kPause, 500);
    if (!polled.ready)
        return false;
    polled.pollAll(addresses);
    polled.worker.startMainTimer(1000);
    QEventLoop settle;
    QTimer::singleShot(1500, &settle, &QEventLoop::quit); // the read-backs of taking them online
    settle.exec();
    polled.bus->keepLineLog(true);
    constexpr int kCount = 60;
    const QList<double> latencies = writeLatencies(polled, kCount, 173);
    if (latencies.size() != kCount) {
        std::fprintf(stderr, "bench_write_latency: %d of %d writes reached the bus at %d baud\n",
                     int(latencies.size()), kCount, baud);
        return false;
    }
    const double p95 = percentile(latencies, 0.95);
    printBenchRow(QStringLiteral("setpoint request to the controller's receipt, %1 baud, 10 devices polled").arg(baud),
                  p95, QStringLiteral("ms"),
                  QStringLiteral("95th percentile of %1; median %2 ms, max %3 ms; goal <= %4 ms")
                      .arg(kCount)
                      .arg(percentile(latencies, 0.5), 0, 'f', 1)
                      .arg(percentile(latencies, 1.0), 0, 'f', 1)
                      .arg(goalMs, 0, 'f', 0));
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    muteDebugLog();
    const bool slow = latencyRow(9600, 50);
    const bool fast = latencyRow(115200, 20);
    return slow && fast ? 0 : 1;
}
