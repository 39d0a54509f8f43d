// quorix-sim: simulated flow controllers on a pseudo-terminal, for demos and manual testing.
#include "SimBus.h"
#include "SimCommandLine.h"

#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <pthread.h>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    SimCommandLine options;
    QString error;
    if (!options.parse(app.arguments().mid(1), &error)) {
        std::fprintf(stderr, "quorix-sim: %s\n%s", qPrintable(error), qPrintable(SimCommandLine::usage()));
        return 2;
    }
    if (options.helpRequested) {
        std::fputs(qPrintable(SimCommandLine::usage()), stdout);
        return 0;
    }
    if (options.versionRequested) {
        std::printf("%s\n", qPrintable(SimCommandLine::versionLine()));
        return 0;
    }

    // Blocked before the bus thread starts, so that only sigwait below sees the signals.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    SimBus bus(options.bus);
    bus.keepLineLog(options.logFrames);
    for (auto it = options.faults.cbegin(); it != options.faults.cend(); ++it)
        bus.setFaults(it.key(), it.value());
    bus.setNoise(options.noiseBytes, options.noiseIntervalMs);
    if (!bus.start(&error)) {
        std::fprintf(stderr, "quorix-sim: cannot start: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("%s\n%s\n", qPrintable(bus.portPath()), qPrintable(options.summary(bus.terminalPath())));
    std::fflush(stdout);

    if (options.logFrames) {
        // What passed on the line goes out every 50 ms, so that a test driving an application can
        // see its writes arrive.
        const timespec interval{0, 50 * 1000 * 1000};
        while (sigtimedwait(&stopSignals, nullptr, &interval) < 0) {
            for (const QString &line : bus.takeLineLog())
                std::printf("%s\n", qPrintable(line));
            std::fflush(stdout);
        }
    } else {
        int received = 0;
        sigwait(&stopSignals, &received);
    }
    bus.stop();
    return 0;
}
