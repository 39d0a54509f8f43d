// Round trips of a two-register read between a QSerialPort and the simulated bus at baud 0: the
// floor every later layer (worker, polling) adds its own cost to.
#include "BenchTable.h"
#include "SimController.h"
#include "SimExchange.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    constexpr int kRoundTrips = 10000;
    constexpr qint64 kBudgetMs = 20000;

    SimBus::Options options;
    options.addresses = {1};
    SimBus bus(options);
    QString error;
    if (!bus.start(&error)) {
        std::fprintf(stderr, "bench_sim_roundtrip: %s\n", qPrintable(error));
        return 1;
    }
    auto port = SimExchange::openPort(bus.portPath());
    if (!port) {
        std::fprintf(stderr, "bench_sim_roundtrip: cannot open %s\n", qPrintable(bus.portPath()));
        return 1;
    }
    const QByteArray request = SimExchange::readRequest(1, SimRegister::Flow);
    for (int i = 0; i < 50; ++i) // warm-up
        SimExchange::exchange(*port, request, 9);

    QElapsedTimer clock;
    clock.start();
    int done = 0;
    while (done < kRoundTrips && clock.elapsed() < kBudgetMs) {
        if (!SerialPort::isSoundReadReply(SimExchange::exchange(*port, request, 9), 1)) {
            std::fprintf(stderr, "bench_sim_roundtrip: round trip %d failed\n", done);
            return 1;
        }
        ++done;
    }
    const double seconds = clock.nsecsElapsed() / 1e9;
    const QString note =
        QStringLiteral("%1 reads of 2 registers, QSerialPort to the simulated bus, baud 0").arg(done);
    printBenchRow(QStringLiteral("sim read round trips"), done / seconds, QStringLiteral("1/s"), note);
    printBenchRow(QStringLiteral("sim read round trip, mean"), seconds * 1e6 / done, QStringLiteral("µs"),
                  note);
    return 0;
}
