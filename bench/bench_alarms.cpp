// What alarm evaluation costs the GUI thread: one tick's readings of fifteen controllers (four
// quantities each, every alarm switched on, setpoints moving as under ramps) through the bench
// model and the alarm monitor, as the window has them. Goal: under 0.1 ms a tick.

#include "AlarmMonitor.h"
#include "BenchModel.h"
#include "BenchTable.h"

#include <QCoreApplication>
#include <QElapsedTimer>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    constexpr int Controllers = 15;
    constexpr int Ticks = 20000;
    BenchModel model(nullptr);
    QList<quint8> addresses;
    for (int address = 1; address <= Controllers; ++address)
        addresses.append(quint8(address));
    model.setScanned(addresses);
    AlarmMonitor alarms(&model);
    qint64 clockMs = 0;
    alarms.setClock([&clockMs] { return ReadTime{clockMs * 1000000, clockMs}; });
    AlarmSettings everything;
    everything.high = {true, 900};
    everything.low = {true, 1};
    everything.temperature = {true, 0, 50};
    everything.pressure = {true, 0, 500};
    for (quint8 address : addresses) {
        model.noteOnlineRequest(3, address);
        model.setMode(address, 0);
        alarms.setSettings(address, everything);
    }
    QElapsedTimer timer;
    timer.start();
    for (int tick = 0; tick < Ticks; ++tick) {
        clockMs += 1000;
        for (quint8 address : addresses) {
            // A ramp's step every tick: the setpoint history is never empty.
            model.confirm(address, 1, float(100 + tick % 50));
            for (int type = 1; type <= 4; ++type)
                model.takeReading(Reading::fromDeviceValue(type, address, type == 1 ? 99.0f + float(tick % 50) : 20.0f,
                                                           ReadTime{clockMs * 1000000, clockMs}));
        }
    }
    const double msPerTick = double(timer.nsecsElapsed()) / 1e6 / Ticks;
    printBenchRow(QStringLiteral("alarm evaluation, 15 controllers, one tick"), msPerTick, QStringLiteral("ms"),
                  QStringLiteral("goal < 0.1 (model and monitor on the GUI thread)"), 4);
    return 0;
}
