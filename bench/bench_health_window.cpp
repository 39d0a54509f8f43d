// The diagnostics window's cost to the GUI thread: fifteen controllers on a simulated bus at 115200
// baud, polled by the real main window and worker once a second, the window "通信诊断" shown on its
// health tab and then on its traffic tab. Every event the window and its parts handle is timed
// (refreshes, frames arriving, batches shown, layout and paint), outermost only, and reported per
// second of the run (default 20 s a tab; QUORIX_BENCH_SECONDS changes it). Closed, the window
// handles nothing at all.

#include "BenchTable.h"
#include "BusHealthWindow.h"
#include "DeviceLine.h"
#include "DeviceThread.h"
#include "MessageBoxSeam.h"
#include "SimBus.h"
#include "deviceWindow.h"
#include "mainWnd.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPaintEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

namespace {

constexpr int kControllers = 15;

// Times every event delivered to the watched object or one of its descendants.
class TimingApplication : public QApplication
{
public:
    using QApplication::QApplication;
    QObject *watched = nullptr;
    qint64 handlingNs = 0;
    long handled = 0;
    // QUORIX_BENCH_DETAIL lists every event timed, with the phase of the run, on standard error.
    const bool detail = qEnvironmentVariableIsSet("QUORIX_BENCH_DETAIL");
    int phase = 0;

    bool notify(QObject *receiver, QEvent *event) override
    {
        if (m_inside && detail && event->type() == QEvent::Paint) {
            const QRect r = static_cast<QPaintEvent *>(event)->rect();
            std::fprintf(stderr, "%d paint %s %s %dx%d\n", phase, receiver->metaObject()->className(),
                         qPrintable(receiver->objectName()), r.width(), r.height());
        }
        if (m_inside || !watched || !isWatched(receiver))
            return QApplication::notify(receiver, event);
        m_inside = true;
        const QString what = detail ? QStringLiteral("%1 %2 %3")
                                          .arg(QString::fromLatin1(receiver->metaObject()->className()),
                                               receiver->objectName())
                                          .arg(int(event->type()))
                                    : QString();
        QElapsedTimer clock;
        clock.start();
        const bool result = QApplication::notify(receiver, event);
        const qint64 spent = clock.nsecsElapsed();
        handlingNs += spent;
        ++handled;
        if (detail)
            std::fprintf(stderr, "%d %s %.3f\n", phase, qPrintable(what), spent / 1e6);
        m_inside = false;
        return result;
    }

private:
    bool isWatched(QObject *object) const
    {
        for (; object; object = object->parent())
            if (object == watched)
                return true;
        return false;
    }
    bool m_inside = false;
};

int runSeconds()
{
    const int seconds = qEnvironmentVariableIntValue("QUORIX_BENCH_SECONDS");
    return seconds > 0 ? seconds : 20;
}

// The GUI thread's time on the window per second of a run of `seconds`.
double measure(TimingApplication &app, int seconds, long *events)
{
    app.handlingNs = 0;
    app.handled = 0;
    ++app.phase;
    QTest::qWait(seconds * 1000);
    *events = app.handled;
    return app.handlingNs / 1e6 / seconds;
}

} // namespace

int main(int argc, char *argv[])
{
    TimingApplication app(argc, argv);
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    MessageBoxSeam::setHandler([](QWidget *, const MessageBoxSeam::Box &) { return QMessageBox::Ok; });

    QTemporaryDir dir;
    SimBus::Options options;
    for (quint8 a = 1; a <= kControllers; ++a)
        options.addresses << a;
    options.baud = 115200;
    options.turnaroundMs = 2;
    options.linkPath = dir.filePath(QStringLiteral("bus"));
    SimBus bus(options);
    if (!bus.start()) {
        std::fprintf(stderr, "bench_health_window: cannot start the simulated bus\n");
        return 1;
    }

    mainWnd window;
    window.show();
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    DeviceThread *worker = window.worker();
    bool opened = false;
    QObject::connect(worker, &DeviceThread::signal_ser_status, &window,
                     [&opened](int s) { opened = s == 1; });
    worker->slot_openSer(1, bus.portPath(), 115200);
    if (!QTest::qWaitFor([&] { return opened; }, 5000))
        return 1;
    worker->requestScan();
    if (!QTest::qWaitFor([&] { return window.foundDeviceIds().size() == kControllers; }, 10000))
        return 1;
    // The operator takes every row online; the page has ten, the worker polls the others too.
    const int rows = window.devicePage()->rowCount();
    for (int k = 0; k < rows; ++k)
        QTest::mouseClick(window.devicePage()->row(k)->findChild<QPushButton *>(QStringLiteral("btn_online")),
                          Qt::LeftButton);
    for (int address = rows + 1; address <= kControllers; ++address)
        worker->slot_onlineDevice(3, address);
    QTest::qWait(2500); // the first full cycles

    BusHealthWindow *health = window.healthWnd;
    app.watched = health;
    long closedEvents = 0;
    const double closedMs = measure(app, 3, &closedEvents);

    const int seconds = runSeconds();
    window.showBusHealth();
    QTest::qWait(1500); // laid out and painted once
    long healthEvents = 0;
    const double healthMs = measure(app, seconds, &healthEvents);
    health->findChild<QTabWidget *>(QStringLiteral("tabWidget"))->setCurrentIndex(1);
    QTest::qWait(1500);
    long trafficEvents = 0;
    const double trafficMs = measure(app, seconds, &trafficEvents);

    const auto note = [seconds](long events, const QString &goal) {
        return QStringLiteral("%1 events in %2 s; %3 controllers polled at 115200 baud; %4")
            .arg(events)
            .arg(seconds)
            .arg(kControllers)
            .arg(goal);
    };
    printBenchRow(QStringLiteral("diagnostics window GUI time, health tab"), healthMs, QStringLiteral("ms/s"),
                  note(healthEvents, QStringLiteral("changed cells once a second; goal < 2 ms/s")), 2);
    printBenchRow(QStringLiteral("diagnostics window GUI time, traffic tab"), trafficMs,
                  QStringLiteral("ms/s"),
                  note(trafficEvents, QStringLiteral("the visible list repainted once a second")), 2);
    printBenchRow(QStringLiteral("diagnostics window GUI time, closed"), closedMs, QStringLiteral("ms/s"),
                  QStringLiteral("%1 events in 3 s; goal 0").arg(closedEvents), 2);
    app.watched = nullptr;
    worker->shutdown();
    bus.stop();
    return 0;
}
