#pragma once

// A simulated bus and a running worker polling it, for the worker benchmarks.

#include "BenchTable.h"
#include "DeviceThread.h"
#include "SimBus.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <memory>

inline void printRatioRow(const QString &name, double figure, int decimals, const QString &unit,
                          const QString &note)
{
    printBenchRow(name, figure, unit, note, decimals);
}

// The worker's debug log would cost the benchmark its own time; warnings still go to stderr.
inline void muteDebugLog()
{
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (type != QtDebugMsg && type != QtInfoMsg)
            std::fprintf(stderr, "%s\n", qPrintable(text));
    });
}

inline QList<quint8> firstAddresses(int count)
{
    QList<quint8> addresses;
    for (int a = 1; a <= count; ++a)
        addresses.append(quint8(a));
    return addresses;
}

struct PolledBus
{
    PolledBus(const QList<quint8> &addresses, int baud, int pause, int replyTimeout)
    {
        SimBus::Options options;
        options.addresses = addresses;
        options.baud = baud;
        options.turnaroundMs = 2.0;
        bus = std::make_unique<SimBus>(options);
        QString error;
        if (!bus->start(&error)) {
            std::fprintf(stderr, "simulated bus: %s\n", qPrintable(error));
            return;
        }
        worker.start();
        worker.setCommParam(1, 100); // the usage figure then reads as the cycle time in ms
        worker.setCommParam(2, pause);
        worker.setCommParam(3, replyTimeout);
        int status = 0;
        worker.runOnWorker([&] {
            const auto c = QObject::connect(
                &worker, &DeviceThread::signal_ser_status, &worker, [&status](int s) { status = s; },
                Qt::DirectConnection);
            worker.slot_openSer(1, bus->portPath(), baud > 0 ? baud : 115200);
            QObject::disconnect(c);
        });
        ready = status == 1;
    }
    ~PolledBus()
    {
        worker.shutdown();
        bus->stop();
    }

    void pollAll(const QList<quint8> &addresses)
    {
        worker.slot_checkDevices(addresses);
        for (quint8 a : addresses)
            worker.slot_onlineDevice(3, a);
    }

    std::unique_ptr<SimBus> bus;
    DeviceThread worker;
    bool ready = false;
};

// Runs the main loop until `cycles` polling cycles have reported; returns their cycle times in ms
// as the worker measured them, and the wall time from the first report to the last in `wallMs`.
inline QList<double> runCycles(PolledBus &polled, int cycles, double *wallMs = nullptr)
{
    QList<double> times;
    QElapsedTimer wall;
    QEventLoop loop;
    QObject context;
    QObject::connect(&polled.worker, &DeviceThread::sig_count_loss, &context, [&](int type, float value) {
        if (type != 1)
            return;
        if (times.isEmpty() && !wall.isValid()) {
            wall.start(); // the first cycle may have started before the devices were listed
            times.append(-1);
            return;
        }
        times.append(double(value));
        if (times.size() > cycles)
            loop.quit();
    });
    polled.worker.startMainTimer(0);
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    loop.exec();
    if (wallMs)
        *wallMs = wall.nsecsElapsed() / 1e6;
    times.removeFirst();
    return times;
}
