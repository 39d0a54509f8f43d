// GUI responsiveness while the worker polls: a 1 ms timer on the main thread, which also receives
// every reading, must never fire much later than due. Ten devices, two of them silent.

#include "TimerLatencyProbe.h"
#include "WorkerBench.h"

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    muteDebugLog();
    const QList<quint8> addresses = firstAddresses(10);
    PolledBus polled(addresses, 9600, 10, 200);
    if (!polled.ready) {
        std::fprintf(stderr, "bench_gui_latency: cannot open the simulated bus\n");
        return 1;
    }
    SimFaults silent;
    silent.silent = true;
    polled.bus->setFaults(4, silent);
    polled.bus->setFaults(8, silent);
    polled.pollAll(addresses);

    int readings = 0;
    QObject context;
    QObject::connect(&polled.worker, &DeviceThread::sendFreshDeviceInformation, &context,
                     [&readings](int, int, QByteArray reply) { readings += reply.size() == 9 ? 1 : 0; });
    polled.worker.startMainTimer(0);

    const int runMs = 5000;
    TimerLatencyProbe probe(runMs);
    probe.start();
    app.exec();
    printRatioRow(QStringLiteral("GUI 1 ms timer, largest lateness while polling"), probe.worstLateMs(), 2,
                  QStringLiteral("ms"),
                  QStringLiteral(
                      "%1 timer ticks and %2 readings in %3 s; 10 devices, 2 silent, 9600 baud; goal <= 5 ms")
                      .arg(probe.ticks())
                      .arg(readings)
                      .arg(runMs / 1000));
    return 0;
}
