// The chart pages under a long run: one live sample on a chart after a day at 1 Hz against one on a
// young chart; the GUI time of one tick with 15 controllers and all 60 live charts fed; opening a
// day's data file of all four types on the history page (and the first switch to it when it was
// opened from another tab); the end of a day's recording; memory after a simulated day. Readings carry
// read times of a clock that the bench advances, so a day passes in seconds.

#include "BenchTable.h"
#include "DataFile.h"
#include "DeviceThread.h"
#include "FileDialogSeam.h"
#include "JournalFiles.h"
#include "MessageBoxSeam.h"
#include "MessageLog.h"
#include "Plot.h"
#include "PlotWidget.h"
#include "Reading.h"
#include "TimerLatencyProbe.h"
#include "mainWnd.h"
#include <QLineSeries>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <vector>

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

namespace {

constexpr int DaySeconds = 24 * 3600;

struct FakeClock
{
    QDateTime now = QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC);
    qint64 readMs = 1000;
    void advance()
    {
        now = now.addSecs(1);
        readMs += 1000;
    }
    PlotWidget::Clock source()
    {
        return [this] { return now; };
    }
    ReadTime readTime() const { return {readMs * 1000000, now.toMSecsSinceEpoch()}; }
};

long memoryKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const auto match = QRegularExpression(QStringLiteral("%1:\\s+(\\d+)").arg(QLatin1String(field)))
                           .match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? match.captured(1).toLong() : -1;
}

float reading(int type, long second)
{
    const double base[] = {50, 1000, 23, 101325};
    return float(base[type - 1] * (1 + 0.01 * std::sin(second / 60.0)));
}

struct Figures
{
    double median = 0;
    double mean = 0;
};

// Time of one sample, appended and painted, on a shown chart.
Figures liveSampleMs(Plot &plot, FakeClock &clock, long &second, int samples)
{
    std::vector<double> times;
    for (int i = 0; i < samples; ++i) {
        clock.advance();
        QElapsedTimer timer;
        timer.start();
        plot.appendValue(reading(1, ++second), clock.readMs);
        plot.repaint();
        QCoreApplication::processEvents();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    double sum = 0;
    for (double t : times)
        sum += t;
    return {times[times.size() / 2], sum / times.size()};
}

void benchLiveSample()
{
    FakeClock clock;
    Plot plot(1);
    plot.resize(800, 500);
    plot.show();
    long second = 0;
    liveSampleMs(plot, clock, second, 100);
    const Figures young = liveSampleMs(plot, clock, second, 50);
    plot.hide(); // a hidden chart keeps its state without drawing: the day passes quickly
    for (; second < DaySeconds; clock.advance())
        plot.appendValue(reading(1, ++second), clock.readMs);
    plot.show();
    const Figures day = liveSampleMs(plot, clock, second, 600);
    printBenchRow(QStringLiteral("live sample on a shown chart after 100 samples"), young.median,
                  QStringLiteral("ms"),
                  QStringLiteral("append and paint, median of samples 101 to 150; mean %1 ms")
                      .arg(young.mean, 0, 'f', 3),
                  3);
    printBenchRow(QStringLiteral("live sample on a shown chart after 24 h at 1 Hz"), day.median,
                  QStringLiteral("ms"),
                  QStringLiteral("append and paint, median of 600; mean %1 ms; %2 points kept, %3 drawn")
                      .arg(day.mean, 0, 'f', 3)
                      .arg(plot.points().size())
                      .arg(plot.series()->count()),
                  3);
    printBenchRow(QStringLiteral("ratio day / young"), day.median / young.median, QStringLiteral("x"),
                  QStringLiteral("medians; means %1x; goal <= 2").arg(day.mean / young.mean, 0, 'f', 2), 2);
}

// One tick's readings of 15 controllers into the 60 live charts, then the paint they cause.
double tickMs(mainWnd &window, FakeClock &clock, long second, bool paint = true)
{
    clock.advance();
    QElapsedTimer timer;
    timer.start();
    for (int device = 1; device <= 15; ++device)
        for (int type = 1; type <= 4; ++type)
            window.plotReading(
                Reading::fromDeviceValue(type, quint8(device), reading(type, second), clock.readTime()));
    if (paint)
        QCoreApplication::processEvents();
    return timer.nsecsElapsed() / 1e6;
}

double medianTickMs(mainWnd &window, FakeClock &clock, long &second, int ticks)
{
    std::vector<double> times;
    for (int i = 0; i < ticks; ++i)
        times.push_back(tickMs(window, clock, ++second));
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void benchDay(mainWnd &window, QTabWidget *tabs, long startKb)
{
    FakeClock clock;
    tabs->setCurrentIndex(3); // the operator watches controller 1
    long second = 0;
    const double young = medianTickMs(window, clock, second, 100);
    tabs->setCurrentIndex(2);
    QElapsedTimer fill;
    fill.start();
    while (second < DaySeconds)
        tickMs(window, clock, ++second, false);
    const double fillS = fill.elapsed() / 1000.0;
    tabs->setCurrentIndex(3);
    QCoreApplication::processEvents();
    const double day = medianTickMs(window, clock, second, 200);
    printBenchRow(QStringLiteral("GUI time per tick, 15 controllers, 60 charts, young"), young,
                  QStringLiteral("ms"), QStringLiteral("controller 1's page shown; median of 100 ticks"), 2);
    printBenchRow(QStringLiteral("GUI time per tick, 15 controllers, 60 charts, after 24 h"), day,
                  QStringLiteral("ms"),
                  QStringLiteral("controller 1's page shown; median of 200 ticks; goal < 4 ms"), 2);
    printBenchRow(QStringLiteral("a simulated day of 60 charts fed, history tab shown"), fillS,
                  QStringLiteral("s"), QStringLiteral("86,400 ticks, without painting"), 1);
    printBenchRow(QStringLiteral("resident memory with the main window, before the day"), startKb / 1024.0,
                  QStringLiteral("MiB"), QString());
    printBenchRow(QStringLiteral("resident memory after the simulated day"), memoryKb("VmRSS") / 1024.0,
                  QStringLiteral("MiB"),
                  QStringLiteral("peak %1 MiB").arg(memoryKb("VmHWM") / 1024.0, 0, 'f', 1));
}

QString writeDayFile(const QString &path)
{
    DataFile::Recording records;
    for (int type = 1; type <= 4; ++type)
        for (long second = 0; second < DaySeconds; ++second)
            records[type - 1].append(
                {second + 0.001 * (second % 7), reading(type, second) / (type == 4 ? 1000 : 1)});
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(DataFile::write(records, {true, true, true, true}));
    return path;
}

double processCpuMs()
{
    timespec spent{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &spent);
    return spent.tv_sec * 1e3 + spent.tv_nsec / 1e6;
}

// shownWhileOpening false: the operator opens the file from another tab, then switches to the
// history tab; the switch draws the four charts' newest state in one go. The processor times in the
// notes tell the work apart from the waits of a loaded machine.
void benchOpenFile(mainWnd &window, QTabWidget *tabs, const QString &path, const QString &logNote,
                   bool shownWhileOpening = true)
{
    tabs->setCurrentIndex(shownWhileOpening ? 2 : 3);
    QCoreApplication::processEvents();
    // The first paint of a chart in the process sets up its fonts (about 90 ms here); in a full run
    // the live bench has paid for that already.
    window.historyPage()->grab();
    FileDialogSeam::setHandler([&](QWidget *, const FileDialogSeam::Request &) { return path; });
    QElapsedTimer clock;
    double openedMs = -1, drawnMs = -1, switchMs = -1;
    double cpuStartMs = 0, openedCpuMs = -1, drawnCpuMs = -1;
    MessageBoxSeam::setHandler([&](QWidget *, const MessageBoxSeam::Box &box) {
        if (box.text.startsWith(QStringLiteral("成功打开"))) {
            openedMs = clock.nsecsElapsed() / 1e6;
            openedCpuMs = processCpuMs() - cpuStartMs;
            QElapsedTimer switchClock;
            switchClock.start();
            tabs->setCurrentIndex(2);
            window.historyPage()->grab(); // a full paint of the four charts
            drawnMs = clock.nsecsElapsed() / 1e6;
            drawnCpuMs = processCpuMs() - cpuStartMs;
            switchMs = switchClock.nsecsElapsed() / 1e6;
            QTimer::singleShot(50, [] { QCoreApplication::quit(); });
        }
        return QMessageBox::Ok;
    });
    TimerLatencyProbe probe(600000);
    probe.start();
    clock.start();
    cpuStartMs = processCpuMs();
    QTimer::singleShot(0, &window, &mainWnd::openPlotFile);
    QApplication::exec();
    int points = 0;
    for (int type = 1; type <= 4; ++type)
        points += window.historyPage()->plot(type)->points().size();
    const QString note = QStringLiteral("%1 points; %2").arg(points).arg(logNote);
    if (!shownWhileOpening) {
        printBenchRow(
            QStringLiteral("first switch to the history tab after opening a 24 h file from another"),
            switchMs, QStringLiteral("ms"),
            note + QStringLiteral("; switch and full paint of four charts; goal < 100 ms"));
        return;
    }
    const auto cpu = [](double ms) { return QStringLiteral("; processor time %1 ms").arg(ms, 0, 'f', 0); };
    printBenchRow(QStringLiteral("open a 24 h file of four types, to 成功打开"), openedMs,
                  QStringLiteral("ms"), note + cpu(openedCpuMs) + QStringLiteral("; goal <= 500 ms"));
    printBenchRow(QStringLiteral("open a 24 h file of four types, drawn and painted"), drawnMs,
                  QStringLiteral("ms"), note + cpu(drawnCpuMs));
    printBenchRow(QStringLiteral("largest GUI stall while opening (1 ms timer lateness)"),
                  probe.worstLateMs(), QStringLiteral("ms"),
                  note + QStringLiteral("; includes the final paint and any wait for a processor; at %1 s")
                             .arg(probe.worstAtSeconds(), 0, 'f', 2));
    printBenchRow(QStringLiteral("largest GUI stall while opening (GUI thread's work between two firings)"),
                  probe.worstBusyMs(), QStringLiteral("ms"),
                  note + QStringLiteral("; processor time, includes the final paint; at %1 s; goal < 50 ms")
                             .arg(probe.worstBusyAtSeconds(), 0, 'f', 2));
}

// The end of a day's recording of four types on one page: the journal finished and read back, the
// records printed, the file saved (on a thread of its own), to the "保存成功" box. The printed lines
// go to /dev/null so that the table stays clean.
void benchRecordingEnd(mainWnd &window, const QString &path)
{
    PlotWidget *page = window.chartPages().first();
    FakeClock clock;
    page->setClock(clock.source());
    JournalFiles::setFolder(QFileInfo(path).absolutePath());
    page->scheduleSave(clock.now, DaySeconds + 60, true, true, true, true, path);
    for (long second = 0; second < DaySeconds; ++second) {
        clock.advance();
        for (int type = 1; type <= 4; ++type)
            page->addReading(Reading::fromDeviceValue(type, 1, reading(type, second), clock.readTime()));
    }
    QElapsedTimer timer;
    double savedMs = -1;
    MessageBoxSeam::setHandler([&](QWidget *, const MessageBoxSeam::Box &) {
        savedMs = timer.nsecsElapsed() / 1e6;
        QTimer::singleShot(50, [] { QCoreApplication::quit(); });
        return QMessageBox::Ok;
    });
    std::fflush(stdout);
    const int savedStdout = dup(STDOUT_FILENO);
    const int devNull = open("/dev/null", O_WRONLY);
    dup2(devNull, STDOUT_FILENO);
    TimerLatencyProbe probe(600000);
    probe.start();
    timer.start();
    page->onDurationEnd();
    const double endMs = timer.nsecsElapsed() / 1e6;
    QApplication::exec();
    std::fflush(stdout);
    dup2(savedStdout, STDOUT_FILENO);
    close(devNull);
    close(savedStdout);
    JournalFiles::setFolder(QString());
    const QString note = QStringLiteral("345,600 records read back from the journal, printed and saved (%1 MB)")
                             .arg(QFileInfo(path).size() / 1e6, 0, 'f', 1);
    printBenchRow(QStringLiteral("end of a 24 h recording of four types, GUI time of the end"), endMs,
                  QStringLiteral("ms"), note);
    printBenchRow(QStringLiteral("end of a 24 h recording of four types, to 保存成功"), savedMs,
                  QStringLiteral("ms"), note);
    printBenchRow(QStringLiteral("largest GUI stall while saving (1 ms timer lateness)"), probe.worstLateMs(),
                  QStringLiteral("ms"), note + QStringLiteral("; goal < 100 ms"));
}

// Feeds the 60 charts through `days` simulated days; returns the seconds it took. Every 600
// simulated seconds the events are served and the resident memory looked at.
double feedDays(mainWnd &window, FakeClock &clock, long &second, int days, long *peakKb)
{
    QElapsedTimer fill;
    fill.start();
    for (const long end = second + long(days) * DaySeconds; second < end;) {
        tickMs(window, clock, ++second, false);
        if (second % 600 == 0) {
            QCoreApplication::processEvents();
            *peakKb = std::max(*peakKb, memoryKb("VmRSS"));
        }
    }
    return fill.elapsed() / 1000.0;
}

// Fifteen controllers recording all four types through a simulated day: each sample goes to the
// page's journal on disk, none stays in memory. A day without recording first fills the charts to
// their own bound, so that what grows afterwards is the recordings'. Then the fifteen recordings
// end at once, each turned into its data file on a thread of its own.
void benchRecordingDay(mainWnd &window, QTabWidget *tabs)
{
    QTemporaryDir dir;
    JournalFiles::setFolder(dir.filePath(QStringLiteral("journals")));
    FakeClock clock;
    const QVector<PlotWidget *> &pages = window.chartPages();
    for (PlotWidget *page : pages)
        page->setClock(clock.source());
    tabs->setCurrentIndex(2);
    long second = 0, unused = 0;
    const double plainS = feedDays(window, clock, second, 1, &unused);
    QCoreApplication::processEvents();
    const long boundKb = memoryKb("VmRSS");

    for (int k = 0; k < pages.size(); ++k)
        pages[k]->scheduleSave(clock.now, DaySeconds + 60, true, true, true, true,
                               dir.filePath(QStringLiteral("device%1.csv").arg(k + 1)));
    long peakKb = boundKb;
    const double recordingS = feedDays(window, clock, second, 1, &peakKb);
    QCoreApplication::processEvents();
    const long dayKb = memoryKb("VmRSS");
    qint64 journalBytes = 0;
    for (const QFileInfo &journal : QDir(JournalFiles::folder()).entryInfoList({QStringLiteral("*.journal")}))
        journalBytes += journal.size();

    int saved = 0;
    QElapsedTimer timer;
    double savedMs = -1;
    MessageBoxSeam::setHandler([&](QWidget *, const MessageBoxSeam::Box &box) {
        if (box.text.endsWith(QStringLiteral("保存成功")) && ++saved == pages.size()) {
            savedMs = timer.nsecsElapsed() / 1e6;
            QTimer::singleShot(50, [] { QCoreApplication::quit(); });
        }
        return QMessageBox::Ok;
    });
    std::fflush(stdout);
    const int savedStdout = dup(STDOUT_FILENO);
    const int devNull = open("/dev/null", O_WRONLY);
    dup2(devNull, STDOUT_FILENO);
    TimerLatencyProbe probe(600000);
    probe.start();
    long endPeakKb = dayKb;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] { endPeakKb = std::max(endPeakKb, memoryKb("VmRSS")); });
    watch.start(20);
    timer.start();
    for (PlotWidget *page : pages)
        page->onDurationEnd();
    const double endMs = timer.nsecsElapsed() / 1e6;
    QApplication::exec();
    watch.stop();
    std::fflush(stdout);
    dup2(savedStdout, STDOUT_FILENO);
    close(devNull);
    close(savedStdout);
    qint64 dataBytes = 0;
    for (const QFileInfo &file : QDir(dir.path()).entryInfoList({QStringLiteral("*.csv")}))
        dataBytes += file.size();
    JournalFiles::setFolder(QString());
    MessageBoxSeam::setHandler([](QWidget *, const MessageBoxSeam::Box &) { return QMessageBox::Ok; });

    const QString day = QStringLiteral("15 controllers, 4 types, 5,184,000 samples");
    printBenchRow(QStringLiteral("resident memory, 60 charts at their bound, no recording"), boundKb / 1024.0,
                  QStringLiteral("MiB"), QStringLiteral("after a simulated day fed without recording"));
    printBenchRow(QStringLiteral("memory growth during a simulated 24 h recording"), (peakKb - boundKb) / 1024.0,
                  QStringLiteral("MiB"),
                  day + QStringLiteral("; largest resident size, looked at every 10 simulated minutes, less "
                                       "the above; goal <= 8 MiB; held as records in memory before: "
                                       "5,184,000 x 16 B = 79 MiB"));
    printBenchRow(QStringLiteral("memory growth at the end of the simulated day"), (dayKb - boundKb) / 1024.0,
                  QStringLiteral("MiB"),
                  day + QStringLiteral("; journals %1 MB on disk").arg(journalBytes / 1e6, 0, 'f', 1));
    printBenchRow(QStringLiteral("a simulated day of 60 charts fed, without / with 15 recordings"),
                  recordingS, QStringLiteral("s"),
                  QStringLiteral("with recordings; without: %1 s; 86,400 ticks, without painting")
                      .arg(plainS, 0, 'f', 1));
    printBenchRow(QStringLiteral("15 recordings of 24 h ending at once, GUI time of the ends"), endMs,
                  QStringLiteral("ms"), day);
    printBenchRow(QStringLiteral("15 recordings of 24 h ending at once, to the 15th 保存成功"), savedMs,
                  QStringLiteral("ms"),
                  day + QStringLiteral("; journals read back into %1 MB of data files; peak resident %2 MiB "
                                       "(%3 MiB above the charts' bound)")
                            .arg(dataBytes / 1e6, 0, 'f', 1)
                            .arg(endPeakKb / 1024.0, 0, 'f', 1)
                            .arg((endPeakKb - boundKb) / 1024.0, 0, 'f', 1));
    printBenchRow(QStringLiteral("largest GUI stall while the 15 ends are saved (1 ms timer lateness)"),
                  probe.worstLateMs(), QStringLiteral("ms"), day + QStringLiteral("; goal < 100 ms"));
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString only = argc > 1 ? QString::fromLatin1(argv[1]) : QString();
    MessageBoxSeam::setHandler([](QWidget *, const MessageBoxSeam::Box &) { return QMessageBox::Ok; });
    if (only.isEmpty() || only == QLatin1String("sample"))
        benchLiveSample();

    mainWnd window;
    window.resize(1280, 800);
    window.show();
    QCoreApplication::processEvents();
    auto *tabs = window.findChild<QTabWidget *>();
    if (only.isEmpty() || only == QLatin1String("day")) {
        // The live bench keeps the log out of its figures.
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
        benchDay(window, tabs, memoryKb("VmRSS"));
        qInstallMessageHandler(messageHandler);
    }
    if (only.isEmpty() || only == QLatin1String("open")) {
        QTemporaryDir dir;
        const QString day = writeDayFile(dir.filePath(QStringLiteral("day.csv")));
        benchOpenFile(window, tabs, day, QStringLiteral("259,200 debug lines into the debug window"));
        // The same with each debug line formatted as the log does, but not shown: what the debug
        // window's text area adds.
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &context, const QString &text) {
            static LogTimeStamp timeStamp;
            formatLogLine(type, context, text, timeStamp.text(QDateTime::currentMSecsSinceEpoch()));
        });
        benchOpenFile(window, tabs, day, QStringLiteral("debug lines formatted, not shown"));
        benchOpenFile(window, tabs, day, QStringLiteral("debug lines formatted, not shown"), false);
    }
    if (only.isEmpty() || only == QLatin1String("record")) {
        QTemporaryDir dir;
        benchRecordingEnd(window, dir.filePath(QStringLiteral("recorded.csv")));
    }
    if (only.isEmpty() || only == QLatin1String("recordday")) {
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
        benchRecordingDay(window, tabs);
        qInstallMessageHandler(messageHandler);
    }
    window.worker()->shutdown();
    return 0;
}
