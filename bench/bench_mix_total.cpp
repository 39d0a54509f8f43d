// How long a mix group's new total takes to be in every member: from MixDriver::setTotal to the bench
// model's confirmation of the last member's share (its echo), with the group's three controllers
// polled by the worker's own 1000 ms tick at 9600 baud against the simulated bus with its wire time
// emulated. The changes come at uneven moments, out of step with the tick, so that they meet every
// phase of the polling cycle. Each share waits only for the exchange in flight: the worker serves the
// three writes between two exchanges of its cycle, back to back.

#include "BenchModel.h"
#include "MixDriver.h"
#include "WorkerBench.h"

#include <QHash>
#include <QRandomGenerator>
#include <algorithm>
#include <chrono>
#include <cmath>

namespace {

constexpr int kMembers = 3;
constexpr int kBaud = 9600;
constexpr int kPause = 10;
constexpr int kChanges = 30;
constexpr int kGoalMs = 150;

qint64 mixBenchNowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double mixBenchPercentile(QList<double> values, double share)
{
    std::sort(values.begin(), values.end());
    const int at = qBound(0, int(std::ceil(share * values.size())) - 1, values.size() - 1);
    return values.at(at);
}

// The latencies in ms of kChanges totals, each asked once the one before was in every member.
QList<double> totalLatencies(BenchModel &model, MixDriver &mixes)
{
    QList<double> latencies;
    QHash<quint8, float> awaited;
    qint64 askedNs = 0;
    int failures = 0;
    QEventLoop loop;
    QTimer next;
    next.setSingleShot(true);
    QRandomGenerator random(4711);
    QObject context;
    const auto ask = [&] {
        const double total = 100.0 + 10.0 * (latencies.size() % 2 == 0 ? latencies.size() : 50 - latencies.size());
        askedNs = mixBenchNowNs();
        if (!mixes.setTotal(1, total).isEmpty()) {
            ++failures;
            loop.quit();
            return;
        }
        const MixGroup group = mixes.group(1);
        const MixPlan plan = mixes.plan(1);
        awaited.clear();
        for (int i = 0; i < group.members.size(); ++i)
            awaited.insert(group.members[i].address, plan.setpoints.value(i));
    };
    QObject::connect(&next, &QTimer::timeout, &context, ask);
    QObject::connect(&model, &BenchModel::setpointConfirmed, &context, [&](quint8 address, int, float value) {
        const auto found = awaited.constFind(address);
        if (found == awaited.constEnd() || *found != value)
            return;
        awaited.remove(address);
        if (!awaited.isEmpty())
            return;
        latencies.append(double(mixBenchNowNs() - askedNs) / 1e6);
        if (latencies.size() >= kChanges) {
            loop.quit();
            return;
        }
        next.start(int(random.bounded(150, 1400))); // somewhere in the next cycle or the one after
    });
    QObject::connect(&model, &BenchModel::setpointGaveUp, &context, [&] { ++failures; });
    next.start(0);
    QTimer::singleShot(kChanges * 5000, &loop, &QEventLoop::quit);
    loop.exec();
    if (failures > 0)
        std::fprintf(stderr, "bench_mix_total: %d writes given up or refused\n", failures);
    return latencies;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    muteDebugLog();
    const QList<quint8> addresses = firstAddresses(kMembers);
    PolledBus polled(addresses, kBaud, kPause, 500);
    if (!polled.ready)
        return 1;
    BenchModel model(&polled.worker);
    model.setScanned(addresses);
    for (quint8 address : addresses) {
        model.noteOnlineRequest(3, address);
        model.setMode(address, 0);
    }
    polled.pollAll(addresses);
    polled.worker.startMainTimer(1000);
    MixDriver mixes(&model, nullptr);
    MixGroup group;
    group.members = {{1, 50, 1000}, {2, 30, 1000}, {3, 20, 1000}};
    if (!mixes.setGroup(1, group).isEmpty() || !mixes.start(1, 50).isEmpty()) {
        std::fprintf(stderr, "bench_mix_total: the group does not start\n");
        return 1;
    }
    QEventLoop settle;
    QTimer::singleShot(1500, &settle, &QEventLoop::quit); // the start's writes and the read-backs
    settle.exec();

    const QList<double> latencies = totalLatencies(model, mixes);
    mixes.stop(1);
    if (latencies.size() != kChanges) {
        std::fprintf(stderr, "bench_mix_total: %d of %d totals reached every member\n", int(latencies.size()),
                     kChanges);
        return 1;
    }
    const double median = mixBenchPercentile(latencies, 0.5);
    printBenchRow(QStringLiteral("mix total to the last member's confirmed share, %1 baud, %2 members polled")
                      .arg(kBaud)
                      .arg(kMembers),
                  median, QStringLiteral("ms"),
                  QStringLiteral("median of %1 changes; 95th percentile %2 ms, max %3 ms; goal <= %4 ms (the "
                                 "exchange in flight and three writes with their echoes)")
                      .arg(kChanges)
                      .arg(mixBenchPercentile(latencies, 0.95), 0, 'f', 1)
                      .arg(mixBenchPercentile(latencies, 1.0), 0, 'f', 1)
                      .arg(kGoalMs));
    return 0;
}
