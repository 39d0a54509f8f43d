// The polling cycle against the simulated bus with wire-time emulation: measured cycle time over
// the theoretical one (request and reply on the wire at 10 bits a byte, the controllers' 2 ms
// turnaround, and after each of a device's four query slots the larger of the configured pause and
// the silence of 3.5 characters (at least 1.75 ms) that ends a reply, since the two overlap).

#include "WorkerBench.h"

#include <algorithm>
#include <numeric>

namespace {

double meanCycleMs(int baud, int devices, int pause, bool tapOn, int *frames)
{
    const QList<quint8> addresses = firstAddresses(devices);
    PolledBus polled(addresses, baud, pause, 500);
    if (!polled.ready)
        return -1;
    QObject counter;
    QObject::connect(&polled.worker, &DeviceThread::sig_frames, &counter,
                     [frames](const std::vector<FrameRecord> &batch) { *frames += int(batch.size()); });
    polled.worker.setFrameTap(tapOn);
    polled.pollAll(addresses);
    const QList<double> times = runCycles(polled, 8);
    if (times.isEmpty())
        return -1;
    return std::accumulate(times.begin(), times.end(), 0.0) / times.size();
}

// The diagnostics window's frame tap, on while the window is shown, must leave the cycle as it is.
bool tapRow(int pause)
{
    int framesOff = 0;
    int framesOn = 0;
    const double off = meanCycleMs(115200, 10, pause, false, &framesOff);
    const double on = meanCycleMs(115200, 10, pause, true, &framesOn);
    if (off <= 0 || on <= 0 || framesOff != 0 || framesOn == 0) {
        std::fprintf(stderr, "bench_poll_cycle: the frame tap rows failed (%d, %d frames)\n", framesOff,
                     framesOn);
        return false;
    }
    printRatioRow(
        QStringLiteral("poll cycle with the frame tap on / off, 115200 baud, 10 devices"), on / off, 3,
        QStringLiteral("ratio"),
        QStringLiteral("%1 ms on, %2 ms off, mean of 8 cycles; %3 frames sent while on; goal <= 1.02")
            .arg(on, 0, 'f', 1)
            .arg(off, 0, 'f', 1)
            .arg(framesOn));
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    muteDebugLog();
    const int pause = 10;
    const double turnaroundMs = 2.0;
    const int requestBytes = 8;
    const int replyBytes = 9;
    bool ok = true;
    for (int baud : {9600, 115200}) {
        for (int devices : {1, 5, 10}) {
            const QList<quint8> addresses = firstAddresses(devices);
            PolledBus polled(addresses, baud, pause, 500);
            if (!polled.ready) {
                std::fprintf(stderr, "bench_poll_cycle: cannot open the simulated bus\n");
                return 1;
            }
            polled.pollAll(addresses);
            const int cycles = devices == 10 && baud == 9600 ? 4 : 6;
            const QList<double> times = runCycles(polled, cycles);
            if (times.size() < cycles) {
                std::fprintf(stderr, "bench_poll_cycle: %d baud, %d devices: cycles missing\n", baud,
                             devices);
                ok = false;
                continue;
            }
            const double measured = std::accumulate(times.begin(), times.end(), 0.0) / times.size();
            const double wireMs = (requestBytes + replyBytes) * 10 * 1000.0 / baud;
            const double silenceMs = std::max(1.75, 3.5 * 10 * 1000.0 / baud);
            const double theoretical =
                devices * 4 * (wireMs + turnaroundMs + std::max<double>(pause, silenceMs));
            printRatioRow(
                QStringLiteral("poll cycle / theoretical, %1 baud, %2 device(s)").arg(baud).arg(devices),
                measured / theoretical, 3, QStringLiteral("ratio"),
                QStringLiteral(
                    "%1 ms measured, %2 ms theoretical, mean of %3 cycles, pause %4 ms; goal <= 1.05")
                    .arg(measured, 0, 'f', 1)
                    .arg(theoretical, 0, 'f', 1)
                    .arg(times.size())
                    .arg(pause));
        }
    }
    ok = tapRow(pause) && ok;
    return ok ? 0 : 1;
}
