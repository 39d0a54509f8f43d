// Start-up: process start to main window shown, and peak memory, for the application next to an
// empty QMainWindow program built the same way, measured in one run (median of several starts).

#include "BenchTable.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <algorithm>
#include <vector>

namespace {
struct Start
{
    double ms = -1;
    long peakKb = -1;
};

Start startOnce(const QString &program, const QString &mode)
{
    QProcess child;
    QElapsedTimer clock;
    clock.start();
    child.start(program, {mode});
    Start result;
    if (!child.waitForStarted(10000))
        return result;
    while (child.waitForReadyRead(20000)) {
        const QByteArray line = child.readLine().trimmed();
        if (line.startsWith("shown")) {
            result.ms = clock.nsecsElapsed() / 1e6;
            result.peakKb = line.mid(6).toLong();
            break;
        }
    }
    child.waitForFinished(20000);
    return result;
}

Start median(const QString &program, const QString &mode, int runs)
{
    std::vector<Start> starts;
    for (int i = 0; i < runs; ++i)
        starts.push_back(startOnce(program, mode));
    std::sort(starts.begin(), starts.end(), [](const Start &a, const Start &b) { return a.ms < b.ms; });
    return starts[starts.size() / 2];
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString child = QCoreApplication::applicationDirPath() + QStringLiteral("/startup_child");
    const int runs = 7;
    median(child, QStringLiteral("app"), 1); // warm the file cache for both
    median(child, QStringLiteral("empty"), 1);
    const Start empty = median(child, QStringLiteral("empty"), runs);
    const Start full = median(child, QStringLiteral("app"), runs);
    if (empty.ms < 0 || full.ms < 0) {
        std::fprintf(stderr, "bench_startup: a child did not report\n");
        return 1;
    }
    const QString note = QStringLiteral("median of %1 starts, offscreen platform").arg(runs);
    printBenchRow(QStringLiteral("start-up to window shown, empty QMainWindow"), empty.ms,
                  QStringLiteral("ms"), note);
    printBenchRow(QStringLiteral("start-up to window shown, application"), full.ms, QStringLiteral("ms"),
                  note + QStringLiteral("; goal < 1000 ms"));
    printBenchRow(QStringLiteral("peak memory, empty QMainWindow"), empty.peakKb / 1024.0,
                  QStringLiteral("MiB"), note);
    printBenchRow(QStringLiteral("peak memory, application"), full.peakKb / 1024.0, QStringLiteral("MiB"),
                  note);
    return 0;
}
