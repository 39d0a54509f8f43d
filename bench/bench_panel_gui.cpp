// The device panel under load: ten controllers online on a simulated bus at 115200 baud, polled by
// the real main window and worker once a second. Measures the GUI thread's time per tick spent on
// the worker's results (readings into rows and chart pages), and the largest lateness of a 1 ms
// main-thread timer over the run (default 60 s; QUORIX_BENCH_SECONDS shortens it).

#include "BenchTable.h"
#include "DeviceLine.h"
#include "DeviceThread.h"
#include "MessageBoxSeam.h"
#include "SimBus.h"
#include "TimerLatencyProbe.h"
#include "deviceWindow.h"
#include "mainWnd.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>

namespace {
// Times every queued call the main window receives from the worker.
class TimingApplication : public QApplication
{
public:
    using QApplication::QApplication;
    QObject *watched = nullptr;
    qint64 handlingNs = 0;
    long handled = 0;

    bool notify(QObject *receiver, QEvent *event) override
    {
        if (receiver != watched || event->type() != QEvent::MetaCall)
            return QApplication::notify(receiver, event);
        QElapsedTimer clock;
        clock.start();
        const bool result = QApplication::notify(receiver, event);
        handlingNs += clock.nsecsElapsed();
        ++handled;
        return result;
    }
};

int runSeconds()
{
    const int seconds = qEnvironmentVariableIntValue("QUORIX_BENCH_SECONDS");
    return seconds > 0 ? seconds : 60;
}
} // namespace

int main(int argc, char *argv[])
{
    TimingApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    MessageBoxSeam::setHandler([](QWidget *, const MessageBoxSeam::Box &) { return QMessageBox::Ok; });

    QTemporaryDir dir;
    SimBus::Options options;
    for (quint8 a = 1; a <= 10; ++a)
        options.addresses << a;
    options.baud = 115200;
    options.turnaroundMs = 2;
    options.linkPath = dir.filePath(QStringLiteral("bus"));
    SimBus bus(options);
    if (!bus.start()) {
        std::fprintf(stderr, "bench_panel_gui: cannot start the simulated bus\n");
        return 1;
    }

    mainWnd window;
    window.show();
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    DeviceThread *worker = window.worker();
    long ticks = 0;
    QObject::connect(worker, &DeviceThread::sig_count_loss, &window,
                     [&ticks](int type, float) { ticks += type == 1; });
    bool opened = false;
    QObject::connect(worker, &DeviceThread::signal_ser_status, &window,
                     [&opened](int s) { opened = s == 1; });
    worker->slot_openSer(1, bus.portPath(), 115200);
    if (!QTest::qWaitFor([&] { return opened; }, 5000))
        return 1;
    worker->requestScan();
    if (!QTest::qWaitFor([&] { return window.foundDeviceIds().size() == 10; }, 10000))
        return 1;
    for (int k = 0; k < 10; ++k) // the operator takes every row online
        QTest::mouseClick(window.devicePage()->row(k)->findChild<QPushButton *>(QStringLiteral("btn_online")),
                          Qt::LeftButton);
    QTest::qWait(2500); // the first full cycles

    app.watched = &window;
    app.handlingNs = 0;
    app.handled = 0;
    const long ticksBefore = ticks;
    TimerLatencyProbe probe(qint64(runSeconds()) * 1000);
    probe.start();
    app.exec();

    const long polledTicks = qMax(1L, ticks - ticksBefore);
    const QString note = QStringLiteral("%1 ticks, %2 results handled in %3 s; 10 controllers, 115200 baud")
                             .arg(polledTicks)
                             .arg(app.handled)
                             .arg(runSeconds());
    printBenchRow(QStringLiteral("GUI time per tick handling readings"), app.handlingNs / 1e6 / polledTicks,
                  QStringLiteral("ms"), note);
    printBenchRow(
        QStringLiteral("GUI 1 ms timer, largest lateness with the panel polling"), probe.worstLateMs(),
        QStringLiteral("ms"),
        note + QStringLiteral(", worst at %1 s; goal <= 16 ms").arg(probe.worstAtSeconds(), 0, 'f', 1));
    worker->shutdown();
    bus.stop();
    return 0;
}
