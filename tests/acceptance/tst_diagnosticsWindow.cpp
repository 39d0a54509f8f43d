// The window "通信诊断" on a bus that misbehaves, played through the real main window, its worker
// thread and a simulated bus on a pseudo-terminal: the health rows count what the bus did, the
// traffic tab lists the frames with their outcomes, and a cycle longer than the query period is
// said in words.

#include "shell/MainWindowFixture.h"

#include "BusHealthWindow.h"
#include "CustomSpimbox.h"
#include "DeviceLine.h"
#include "FileDialogSeam.h"
#include "HealthTableModel.h"
#include "RegisterMap.h"
#include "TrafficModel.h"
#include "deviceWindow.h"
#include "lossWidget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

namespace {

enum Column
{
    Address,
    State,
    Answered,
    Timeouts,
    Unsound,
    Exceptions,
    OutOfStep,
    WriteRetries,
    WriteFailures,
    LatencyMedian,
    LatencyP95,
    LastReading
};

// The health table as the window shows it, found by its object name.
struct HealthTable
{
    BusHealthWindow *window;
    QAbstractItemModel *model() const
    {
        return window->findChild<QTableView *>(QStringLiteral("table_health"))->model();
    }
    int rows() const { return model()->rowCount(); }
    QString cell(int row, int column) const { return model()->index(row, column).data().toString(); }
    int count(int row, int column) const { return cell(row, column).toInt(); }
    QString label(const char *name) const { return window->findChild<QLabel *>(QLatin1String(name))->text(); }
    QPushButton *button(const char *name) const
    {
        return window->findChild<QPushButton *>(QLatin1String(name));
    }
};

QPushButton *onlineButton(mainWnd &w, int row)
{
    return w.devicePage()->row(row)->findChild<QPushButton *>(QStringLiteral("btn_online"));
}

// Opens the port, scans and takes every found controller online by its row.
bool openScanAndGoOnline(MainWindowFixture &f, int controllers)
{
    if (!f.openPort())
        return false;
    menuEntry(*f.window, QStringLiteral("查询设备"))->trigger();
    if (!QTest::qWaitFor([&] { return f.window->foundDeviceIds().size() == controllers; }, 10000))
        return false;
    for (int row = 0; row < controllers; ++row) {
        QTest::mouseClick(onlineButton(*f.window, row), Qt::LeftButton);
        if (!QTest::qWaitFor([&] { return onlineButton(*f.window, row)->text() == QStringLiteral("接连"); },
                             10000))
            return false;
    }
    return true;
}

BusHealthWindow *openHealthWindow(mainWnd &w)
{
    menuEntry(w, QStringLiteral("通信诊断"))->trigger();
    return w.healthWnd;
}

// Counts what the worker reports, on this thread: a signal spy would count on the worker's.
struct WorkerCounts
{
    explicit WorkerCounts(DeviceThread *worker)
    {
        QObject::connect(worker, &DeviceThread::sig_frames, &context,
                         [this](const std::vector<FrameRecord> &) { ++batches; });
        QObject::connect(worker, &DeviceThread::sig_count_loss, &context,
                         [this](int type) { ticks += type == 1 ? 1 : 0; });
    }
    void clear() { batches = ticks = 0; }
    QObject context;
    int batches = 0;
    int ticks = 0;
};

// The traffic rows of one controller with this outcome caption.
int framesOf(const TrafficModel &model, int address, const QString &outcome)
{
    int found = 0;
    for (int row = 0; row < model.rowCount(); ++row) {
        const FrameRecord &frame = model.frameAt(row);
        found += frame.address == address && TrafficModel::outcomeCaption(frame) == outcome;
    }
    return found;
}

} // namespace

class tst_diagnosticsWindow : public QObject
{
    Q_OBJECT
private slots:
    void rowsCountWhatTheBusDid();
    void closedWindowBuildsNoFrame();
    void trafficFiltersPausesAndSaves();
    void writesAndLinkLosses();
    void echoingAdapterIsShown();
    void slowControllerIsNamed();
};

// Controller 2 answers 30 % of its requests with a wrong CRC and controller 3 falls silent after
// the scan. The rows count exactly what the simulator did once the bus is quiet, controller 1 shows
// no error at all, the traffic tab names the CRC errors and timeouts by address, and while a
// controller that answers late stretches the cycle beyond a query period of 100 ms the window says so.
void tst_diagnosticsWindow::rowsCountWhatTheBusDid()
{
    MainWindowFixture f;
    mainWnd &w = *f.window;
    w.show();
    QVERIFY(openScanAndGoOnline(f, 3));

    BusHealthWindow *window = openHealthWindow(w);
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), QStringLiteral("通信诊断"));
    QVERIFY(!window->isModal());
    QVERIFY(window->isWindow());
    HealthTable table{window};
    QCOMPARE(window->healthModel()->headers().size(), 12);
    QTRY_COMPARE(table.rows(), 3);
    for (int row = 0; row < 3; ++row) {
        QCOMPARE(table.cell(row, Address), QString::number(row + 1));
        QTRY_COMPARE(table.cell(row, State), QStringLiteral("在线"));
    }

    // A query period shorter than a cycle in which a controller answers late.
    w.loss_Statistics();
    auto *period = w.lossWnd->findChild<QLineEdit *>(QStringLiteral("lineEdit"));
    period->setText(QStringLiteral("100"));
    QTest::keyClick(period, Qt::Key_Return);
    w.lossWnd->hide();

    QTest::mouseClick(table.button("btn_clear"), Qt::LeftButton);
    f.bus->clearFaultCounts();
    SimFaults corrupt;
    corrupt.corruptFraction = 0.3;
    f.bus->setFaults(2, corrupt);
    SimFaults silent;
    silent.silent = true;
    f.bus->setFaults(3, silent);

    QTRY_COMPARE_WITH_TIMEOUT(table.cell(2, State), QStringLiteral("掉线"), 60000);
    QTRY_VERIFY_WITH_TIMEOUT(table.count(1, Unsound) >= 3, 30000);

    // Taken offline (or dropped by its losses), controller 2 is asked nothing more: the bus falls
    // quiet but for controller 1.
    if (onlineButton(w, 1)->text() == QStringLiteral("接连"))
        QTest::mouseClick(onlineButton(w, 1), Qt::LeftButton);
    QTRY_VERIFY(table.cell(1, State) != QStringLiteral("在线"));
    QVERIFY(f.flushWorker());
    window->refresh();
    const SimBus::FaultCounts corrupted = f.bus->faultCounts(2);
    const SimBus::FaultCounts unanswered = f.bus->faultCounts(3);
    QCOMPARE(table.count(1, Unsound), corrupted.corrupted);
    QCOMPARE(table.count(1, Timeouts), 0);
    QVERIFY(table.count(1, OutOfStep) > 0); // each unsound answer is followed by a check
    QCOMPARE(table.count(2, Timeouts), unanswered.unanswered);
    QCOMPARE(table.count(2, Unsound), 0);
    for (int column : {Timeouts, Unsound, Exceptions, OutOfStep, WriteRetries, WriteFailures})
        QCOMPARE(table.count(0, column), 0);
    QVERIFY(table.count(0, Answered) > 0);
    // The simulated bus answers at once, in tens of microseconds: the median can read 0.0, but it
    // is a figure, not the "-" of a controller without answers.
    bool medianShown = false;
    const double medianMs = table.cell(0, LatencyMedian).toDouble(&medianShown);
    QVERIFY(medianShown);
    QVERIFY(table.cell(0, LatencyP95).toDouble() >= medianMs);
    QVERIFY(QTime::fromString(table.cell(0, LastReading), QStringLiteral("hh:mm:ss")).isValid());

    // Controller 1, polled alone, answering each read 150 ms late makes a cycle longer than the
    // tick: every reading comes late, and the window says what helps. Answering at once again, it
    // makes a short cycle: the sentence goes.
    SimFaults slow;
    slow.lateMs = 150;
    f.bus->setFaults(1, slow);
    QTRY_VERIFY_WITH_TIMEOUT(table.label("label_overrun").contains(QStringLiteral("比读取节拍（50 ms）长")),
                             20000);
    QVERIFY(
        table.label("label_overrun").contains(QStringLiteral("提高波特率、缩短查询间隔或减少在线的控制器")));
    QVERIFY(window->findChild<QLineEdit *>(QStringLiteral("edit_cycle"))
                ->text()
                .endsWith(QStringLiteral("（查询周期 100 ms）")));
    f.bus->setFaults(1, SimFaults());
    QTRY_COMPARE_WITH_TIMEOUT(table.label("label_overrun"), QString(), 20000);

    const TrafficModel &traffic = *window->trafficModel();
    QTRY_VERIFY(traffic.rowCount() > 0);
    QVERIFY(framesOf(traffic, 2, QStringLiteral("校验错误")) > 0);
    QVERIFY(framesOf(traffic, 3, QStringLiteral("超时")) > 0);
    QCOMPARE(framesOf(traffic, 1, QStringLiteral("校验错误")), 0);
    QCOMPARE(framesOf(traffic, 1, QStringLiteral("超时")), 0);

    window->findChild<QCheckBox *>(QStringLiteral("check_errorsOnly"))->setChecked(true);
    QVERIFY(traffic.rowCount() >= framesOf(traffic, 2, QStringLiteral("校验错误")) + 1);
    for (int row = 0; row < traffic.rowCount(); ++row)
        QVERIFY(TrafficModel::isError(traffic.frameAt(row)));
}

// Three controllers polled at a tick of 600 ms, controller 3 answering every read 300 ms late:
// its answers alone make the cycle outrun the tick, and the window names it, not the bus.
void tst_diagnosticsWindow::slowControllerIsNamed()
{
    MainWindowFixture::Setup setup;
    setup.tickMs = 600;
    setup.replyTimeoutMs = 500;
    MainWindowFixture f(setup);
    f.window->show();
    QVERIFY(openScanAndGoOnline(f, 3));
    BusHealthWindow *window = openHealthWindow(*f.window);
    HealthTable table{window};
    SimFaults late;
    late.lateMs = 300;
    f.bus->setFaults(3, late);
    const QRegularExpression named(
        QStringLiteral("^设备3的应答延迟中位 (\\d+) ms，高于其他设备：检查该设备或增大查询等待时间$"));
    QTRY_VERIFY_WITH_TIMEOUT(named.match(table.label("label_overrun")).hasMatch(), 20000);
    const int medianMs = named.match(table.label("label_overrun")).captured(1).toInt();
    QVERIFY2(medianMs >= 300 && medianMs < 450, qPrintable(table.label("label_overrun")));
}

// Hidden, the window leaves the worker's tap off: no frame is built or sent. Shown, the frames
// come; closed again, they stop.
void tst_diagnosticsWindow::closedWindowBuildsNoFrame()
{
    MainWindowFixture f;
    mainWnd &w = *f.window;
    w.show();
    QVERIFY(openScanAndGoOnline(f, 3));
    WorkerCounts counts(w.worker());
    QTRY_VERIFY(counts.ticks >= 10);
    QVERIFY(f.flushWorker());
    QCOMPARE(counts.batches, 0);

    BusHealthWindow *window = openHealthWindow(w);
    QTRY_VERIFY(counts.batches > 0);
    window->close();
    QVERIFY(!window->isVisible());
    QVERIFY(f.flushWorker());
    counts.clear();
    QTRY_VERIFY(counts.ticks >= 10);
    QVERIFY(f.flushWorker());
    QCOMPARE(counts.batches, 0);
}

// The traffic of one controller alone; paused, the list stands still while frames wait; resumed,
// they come in. "保存" writes the frames shown, one line each, into the file the operator names.
void tst_diagnosticsWindow::trafficFiltersPausesAndSaves()
{
    MainWindowFixture f;
    mainWnd &w = *f.window;
    w.show();
    QVERIFY(openScanAndGoOnline(f, 3));
    BusHealthWindow *window = openHealthWindow(w);
    TrafficModel &traffic = *window->trafficModel();
    QTRY_VERIFY_WITH_TIMEOUT(traffic.rowCount() > 30, 10000);

    auto *devices = window->findChild<QComboBox *>(QStringLiteral("combox_device"));
    QTRY_COMPARE(devices->count(), 4);
    QCOMPARE(devices->itemText(0), QStringLiteral("全部"));
    devices->setCurrentIndex(devices->findText(QStringLiteral("2")));
    QVERIFY(traffic.rowCount() > 0);
    for (int row = 0; row < traffic.rowCount(); ++row)
        QCOMPARE(int(traffic.frameAt(row).address), 2);

    HealthTable table{window};
    QTest::mouseClick(table.button("btn_pause"), Qt::LeftButton);
    QCOMPARE(table.button("btn_pause")->text(), QStringLiteral("继续"));
    const int shownWhilePaused = traffic.rowCount();
    WorkerCounts counts(w.worker());
    QTRY_VERIFY(counts.ticks >= 6);
    QTest::qWait(TrafficModel::kBatchMs * 2); // a batch would have been shown by now
    QCOMPARE(traffic.rowCount(), shownWhilePaused);
    QTest::mouseClick(table.button("btn_pause"), Qt::LeftButton);
    QCOMPARE(table.button("btn_pause")->text(), QStringLiteral("暂停"));
    QVERIFY(traffic.rowCount() > shownWhilePaused);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("frames.txt"));
    QList<FileDialogSeam::Request> asked;
    FileDialogSeam::setHandler([&](QWidget *, const FileDialogSeam::Request &request) {
        asked.append(request);
        return path;
    });
    QTest::mouseClick(table.button("btn_pause"), Qt::LeftButton); // a still list, to compare with
    QTest::mouseClick(table.button("btn_save"), Qt::LeftButton);
    FileDialogSeam::reset();
    QCOMPARE(asked.size(), 1);
    QVERIFY(asked[0].directory.endsWith(QStringLiteral(".txt")));
    QCOMPARE(f.boxes.texts().last(), QStringLiteral("提示|报文已保存到") + path);
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly | QIODevice::Text));
    QStringList lines = QString::fromUtf8(saved.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QRegularExpression header(
        QStringLiteral("^# saved \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d; port %1; \\d+ baud; "
                       "reply timeout 250 ms$")
            .arg(QRegularExpression::escape(f.bus->portPath())));
    QVERIFY2(header.match(lines.value(0)).hasMatch(), qPrintable(lines.value(0)));
    lines.removeFirst();
    QCOMPARE(lines, traffic.lines());
    const QRegularExpression frameLine(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} "
                                                      "(TX|RX) 2 03 ([0-9A-F]{2} )+[0-9A-F]{2} answered$"));
    for (const QString &line : lines)
        QVERIFY2(frameLine.match(line).hasMatch(), qPrintable(line));

    // The next save starts in the folder of this one.
    FileDialogSeam::setHandler([&](QWidget *, const FileDialogSeam::Request &request) {
        asked.append(request);
        return QString();
    });
    QTest::mouseClick(table.button("btn_save"), Qt::LeftButton);
    FileDialogSeam::reset();
    QCOMPARE(QFileInfo(asked.last().directory).absolutePath(), QFileInfo(path).absolutePath());

    // Asked for, the table lists every address the scan probed: one that never answered shows the
    // probe that met silence, and the traffic filter offers it.
    window->findChild<QCheckBox *>(QStringLiteral("check_allAddresses"))->setChecked(true);
    QCOMPARE(table.rows(), 15);
    QCOMPARE(table.cell(3, Address) + table.cell(3, State), QStringLiteral("4离线"));
    QCOMPARE(table.count(3, Timeouts), 1);
    QCOMPARE(table.count(3, Answered), 0);
    QCOMPARE(devices->count(), 16);
}

// A setpoint whose writes vanish six times in a row is retried five times and then given up; an
// adapter pulled and put back is one loss and one reopening. Both are counted where they happen,
// and "清零" starts them again.
void tst_diagnosticsWindow::writesAndLinkLosses()
{
    MainWindowFixture f;
    mainWnd &w = *f.window;
    w.show();
    f.bus->setIntRegister(1, RegisterMap::ControlMode, 0); // the instantaneous setpoint applies
    QVERIFY(openScanAndGoOnline(f, 3));
    BusHealthWindow *window = openHealthWindow(w);
    HealthTable table{window};
    auto *bus = window->findChild<QLineEdit *>(QStringLiteral("edit_link"));
    QTRY_COMPARE(table.rows(), 3);
    QCOMPARE(bus->text(), QStringLiteral("链路中断：0 次，自动重连：0 次"));

    SimFaults lostWrites;
    lostWrites.lostWrites = 6;
    f.bus->setFaults(1, lostWrites);
    QLineEdit *setpoint = w.devicePage()
                              ->row(0)
                              ->findChild<CustomSpimbox *>(QStringLiteral("edit_cur"))
                              ->findChild<QLineEdit *>(QStringLiteral("lineEdit"));
    setpoint->setFocus();
    setpoint->selectAll();
    QTest::keyClicks(setpoint, QStringLiteral("50"));
    QTest::keyClick(setpoint, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(table.count(0, WriteFailures), 1, 15000);
    QCOMPARE(table.count(0, WriteRetries), 5);
    QCOMPARE(f.bus->lostFrameCount(), 6);
    for (int row : {1, 2})
        QCOMPARE(table.count(row, WriteRetries) + table.count(row, WriteFailures), 0);

    f.bus->unplug();
    QTRY_COMPARE(bus->text(), QStringLiteral("链路中断：1 次，自动重连：0 次"));
    QTRY_COMPARE(table.cell(0, State), QStringLiteral("掉线"));
    QVERIFY(f.bus->replug());
    QTRY_COMPARE_WITH_TIMEOUT(bus->text(), QStringLiteral("链路中断：1 次，自动重连：1 次"), 10000);
    QTRY_COMPARE(table.cell(0, State), QStringLiteral("在线"));

    QTest::mouseClick(table.button("btn_clear"), Qt::LeftButton);
    QCOMPARE(bus->text(), QStringLiteral("链路中断：0 次，自动重连：0 次"));
    QCOMPARE(table.count(0, WriteRetries), 0);
    QCOMPARE(table.count(0, WriteFailures), 0);
}

// An adapter that hands every request back: found when the port opens, said below the table, and
// each copy listed as the adapter's echo beside the controller's answer.
void tst_diagnosticsWindow::echoingAdapterIsShown()
{
    MainWindowFixture f;
    mainWnd &w = *f.window;
    w.show();
    f.bus->setAdapterEchoes(true);
    QVERIFY(openScanAndGoOnline(f, 3));
    BusHealthWindow *window = openHealthWindow(w);
    QTRY_COMPARE(window->findChild<QLineEdit *>(QStringLiteral("edit_echo"))->text(),
                 QStringLiteral("回显适配器：是"));
    const TrafficModel &traffic = *window->trafficModel();
    QTRY_VERIFY_WITH_TIMEOUT(framesOf(traffic, 2, QStringLiteral("适配器回显")) > 0, 10000);
    QVERIFY(framesOf(traffic, 2, QStringLiteral("应答")) > 0);
    HealthTable table{window};
    for (int row = 0; row < 3; ++row)
        QCOMPARE(table.count(row, Unsound) + table.count(row, Timeouts), 0);
}

#include "TestRunner.h"

QUORIX_TEST_MAIN(tst_diagnosticsWindow)
#include "tst_diagnosticsWindow.moc"
