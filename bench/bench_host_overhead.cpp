// The worker's own cost per query: the polling cycle at baud 0 and pause 0 against a plain
// blocking QSerialPort request/reply loop on the same simulated bus, in the same run. A reply ends
// only when the line then stays silent for 3.5 characters (at least 1.75 ms); the plain loop waits
// for that same silence after each reply, as any correct reader must.

#include "BenchTable.h"
#include "SimExchange.h"
#include "WorkerBench.h"

#include <algorithm>
#include <cmath>

namespace {

// The silence after a reply at the bench's 115200 baud, waited in whole milliseconds as the port
// allows: until waitForReadyRead finds nothing more.
void waitForSilence(QSerialPort &port, int silenceMs)
{
    while (port.waitForReadyRead(silenceMs))
        port.readAll();
}

// Microseconds per two-register read with nothing but write, waitForBytesWritten, waitForReadyRead
// and the silence after the reply.
double plainLoopMicros(SimBus &bus, int devices, int rounds)
{
    const int silenceMs = int(std::ceil(std::max(1.75, 3.5 * 10 * 1000.0 / 115200)));
    auto port = SimExchange::openPort(bus.portPath());
    if (!port)
        return -1;
    const quint16 registers[] = {0x1000, 0x3046, 0x1004, 0x1008};
    for (int i = 0; i < 50; ++i)
        SimExchange::exchange(*port, SimExchange::readRequest(1, 0x1000), 9);
    QElapsedTimer clock;
    clock.start();
    int queries = 0;
    for (int round = 0; round < rounds; ++round) {
        for (int a = 1; a <= devices; ++a) {
            for (quint16 reg : registers) {
                const QByteArray reply =
                    SimExchange::exchange(*port, SimExchange::readRequest(quint8(a), reg), 9);
                if (!SerialPort::isSoundReadReply(reply, quint8(a)))
                    return -1;
                waitForSilence(*port, silenceMs);
                ++queries;
            }
        }
    }
    return clock.nsecsElapsed() / 1e3 / queries;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    muteDebugLog();
    const int devices = 10;
    const int cycles = 150;
    const QList<quint8> addresses = firstAddresses(devices);

    double plain = 0;
    double worker = 0;
    {
        PolledBus polled(addresses, 0, 0, 500);
        if (!polled.ready) {
            std::fprintf(stderr, "bench_host_overhead: cannot open the simulated bus\n");
            return 1;
        }
        // The port is the worker's while it runs; the plain loop gets the bus first, alone.
        polled.worker.slot_openSer(2, QString(), 0);
        polled.worker.runOnWorker([] {});
        plain = plainLoopMicros(*polled.bus, devices, cycles);
        polled.worker.slot_openSer(1, polled.bus->portPath(), 115200);
        polled.pollAll(addresses);
        double wallMs = 0;
        const QList<double> times = runCycles(polled, cycles, &wallMs);
        if (plain <= 0 || times.size() < cycles) {
            std::fprintf(stderr, "bench_host_overhead: exchanges failed\n");
            return 1;
        }
        worker = wallMs * 1e3 / (double(times.size()) * devices * 4);
    }
    const QString note =
        QStringLiteral("%1 devices x 4 quantities, baud 0, pause 0, silence after each reply").arg(devices);
    printBenchRow(QStringLiteral("plain QSerialPort read, per query"), plain, QStringLiteral("µs"), note);
    printBenchRow(QStringLiteral("worker polling read, per query"), worker, QStringLiteral("µs"), note);
    printRatioRow(QStringLiteral("worker / plain loop, per query"), worker / plain, 3,
                  QStringLiteral("ratio"), note + QStringLiteral("; goal <= 1.2"));
    return 0;
}
