// Closing the main window as a window manager does, played through the real main window, its
// worker thread and a simulated bus, inside a running event loop as in the program: the program
// ends whatever else is open and the bus falls silent; a running staged programme is stopped
// first, with every controller it drove at 0, when the operator says so; recordings that have
// not started are named and dropped.

#include "stages/StagePageDriver.h"

#include "DeviceLine.h"
#include "PlotWidget.h"
#include "RecordingStatusLabel.h"
#include "SimExchange.h"
#include "deviceWindow.h"
#include "loginWnd.h"
#include "qDebugWidget.h"
#include "saveFileSetWidget.h"
#include "setDeviceParamWin.h"

#include <QElapsedTimer>
#include <QStatusBar>
#include <QWindow>
#include <QtTest>

using namespace StagePageDriver;

namespace {

constexpr int kTickMs = 50;
const QString kQuestion = QStringLiteral("分阶程序正在运行。退出前停止全部程序并将流量设为0？");

MainWindowFixture::Setup busOfOneAndThreeAtTick(int tickMs = kTickMs)
{
    MainWindowFixture::Setup setup;
    setup.addresses = {1, 3};
    setup.tickMs = tickMs;
    setup.replyTimeoutMs = 250;
    return setup;
}

// Sends the window system's close request from inside the application's event loop; returns the
// loop's exit code, or -1 when it was still running 20 s later.
int closeInEventLoop(mainWnd &window)
{
    QTimer giveUp;
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, [] { QCoreApplication::exit(-1); });
    giveUp.start(20000);
    QTimer::singleShot(0, &window, [&window] { window.windowHandle()->close(); });
    return QApplication::exec();
}

// The program has let go of the bus: its worker has ended, the port opens for another user, and
// for several of the worker's ticks the bus hears nothing but that user's frames.
void verifyBusSilent(MainWindowFixture &f, int tickMs = kTickMs)
{
    QTRY_VERIFY(f.window->worker()->isFinished());
    f.bus->clearReceivedFrames();
    const auto port = SimExchange::openPort(f.bus->portPath());
    QVERIFY(port);
    const QByteArray fence = SerialPort::buildEchoFrame(1);
    QElapsedTimer clock;
    clock.start();
    int sent = 0;
    int fencesHeard = 0;
    int othersHeard = 0;
    // The simulator keeps a bounded log of what it heard: it is emptied as it is counted.
    const auto tally = [&] {
        for (const QByteArray &frame : f.bus->receivedFrames())
            ++(frame == fence ? fencesHeard : othersHeard);
        f.bus->clearReceivedFrames();
    };
    while (sent < 3 || clock.elapsed() < 3 * tickMs) {
        QVERIFY(!SimExchange::answerBefore(*port, QByteArray(), 1).isNull());
        if (++sent % 1000 == 0)
            tally();
    }
    tally();
    QCOMPARE(othersHeard, 0);
    QCOMPARE(fencesHeard, sent);
}

void scanOneAndThree(MainWindowFixture &f)
{
    QVERIFY(f.openPort());
    scanFromMenu(*f.window);
    QTRY_COMPARE(f.window->foundDeviceIds(), (QList<quint8>{1, 3}));
}

QString boxLine(const MessageBoxSeam::Box &box)
{
    return box.title + QLatin1Char('|') + box.text;
}

} // namespace

class tst_leavingTheProgram : public QObject
{
    Q_OBJECT
private slots:
    void closeEndsTheProgramWhateverIsOpen();
    void runningProgrammeIsStoppedBeforeTheEnd();
    void waitingRecordingIsNamedAndDropped();
    void unconfirmedControllerIsNamedBeforeTheEnd();
};

void tst_leavingTheProgram::closeEndsTheProgramWhateverIsOpen()
{
    MainWindowFixture f(busOfOneAndThreeAtTick());
    mainWnd &w = *f.window;
    w.show();
    scanOneAndThree(f);
    QTest::mouseClick(w.devicePage()->row(0)->findChild<QPushButton *>(QStringLiteral("btn_online")),
                      Qt::LeftButton);
    f.bus->clearReceivedFrames();
    QTRY_VERIFY(f.bus->receivedFrames().size() >= 8); // controller 1 is polled

    // The serial dialog is open from the port's opening; an ordinary parameter window and, after
    // the developer login, the debug window join it.
    menuEntry(w, QStringLiteral("普通参数设置"))->trigger();
    menuEntry(w, QStringLiteral("开发者模式"))->trigger();
    auto *password = f.child<QLineEdit>(w.developLoginWnd, "edit_password");
    QTest::keyClicks(password, QStringLiteral("guest4817"));
    QTest::keyClick(password, Qt::Key_Return);
    QVERIFY(w.serialWnd->isVisible());
    QVERIFY(w.ordParamWnd->isVisible());
    QVERIFY(w.debugWnd->isVisible());

    QCOMPARE(closeInEventLoop(w), 0);
    QVERIFY(!w.isVisible());
    QVERIFY(f.boxes.boxes.size() == 1); // the scan report, and nothing asked at the close
    verifyBusSilent(f);
    w.debugWnd->hide();
}

void tst_leavingTheProgram::runningProgrammeIsStoppedBeforeTheEnd()
{
    // Ticks of a second, as in the program: the staged stop that a tick would write again is
    // not what sets the controllers to 0 here.
    constexpr int kSlowTickMs = 1000;
    MainWindowFixture f(busOfOneAndThreeAtTick(kSlowTickMs));
    mainWnd &w = *f.window;
    w.show();
    scanOneAndThree(f);
    f.takeOnline({1, 3});
    stageControlWidget &page = *w.stagePage();
    showStagePage(w);
    QVERIFY(typeProgramme(*page.items().at(0), {"10,100"}));
    QVERIFY(typeProgramme(*page.items().at(1), {"40,100"}));
    QTest::mouseClick(page.startButton(), Qt::LeftButton);
    QTRY_COMPARE(f.bus->floatRegister(1, RegisterMap::InstantSetpoint), 10.0f);
    QTRY_COMPARE(f.bus->floatRegister(3, RegisterMap::InstantSetpoint), 40.0f);

    // A recording of controller 1 armed for an hour from now.
    QTemporaryDir dir;
    const QDateTime later = QDateTime::currentDateTime().addSecs(3600);
    emit w.saveWnd->sig_savePlotFile(1, later, 60, true, false, false, false, dir.filePath("later.csv"));
    PlotWidget &chart = *w.chartPages().at(0);
    QVERIFY(chart.recordingWaits());
    const QString question = kQuestion + QStringLiteral("\n尚未开始的记录将被取消：设备1 → later.csv（") +
                             later.toString(QStringLiteral("hh:mm")) + QStringLiteral(" 开始）");

    // "取消": the window stays, the programme runs on, the recording stays armed.
    const int before = f.boxes.boxes.size();
    f.boxes.questionAnswer = QMessageBox::No;
    w.windowHandle()->close();
    QCOMPARE(f.boxes.boxes.size(), before + 1);
    const MessageBoxSeam::Box asked = f.boxes.boxes.last();
    QCOMPARE(asked.kind, MessageBoxSeam::Kind::Question);
    QCOMPARE(boxLine(asked), QStringLiteral("提示|") + question);
    QCOMPARE(asked.buttons, (QStringList{QStringLiteral("停止并退出"), QStringLiteral("取消")}));
    QVERIFY(w.isVisible());
    QCOMPARE(page.startButton()->text(), QStringLiteral("停止"));
    QVERIFY(chart.recordingWaits());
    QVERIFY(f.flushWorker());
    QCOMPARE(f.bus->floatRegister(1, RegisterMap::InstantSetpoint), 10.0f);
    QCOMPARE(f.bus->floatRegister(3, RegisterMap::InstantSetpoint), 40.0f);

    // "停止并退出", and the first 0 for controller 3 is lost on the line: when the program has
    // ended, both controllers are at 0.
    SimFaults lose;
    lose.lostWrites = 1;
    f.bus->setFaults(3, lose);
    f.boxes.questionAnswer = QMessageBox::Yes;
    QCOMPARE(closeInEventLoop(w), 0);
    QCOMPARE(f.bus->floatRegister(1, RegisterMap::InstantSetpoint), 0.0f);
    QCOMPARE(f.bus->floatRegister(3, RegisterMap::InstantSetpoint), 0.0f);
    QCOMPARE(f.bus->lostFrameCount(), 1);
    QCOMPARE(boxLine(f.boxes.boxes.last()), QStringLiteral("提示|") + question);
    QCOMPARE(f.boxes.boxes.size(), before + 2);
    QVERIFY(!w.isVisible());
    QCOMPARE(page.startButton()->text(), QStringLiteral("开始"));
    QVERIFY(!chart.recordingWaits());
    QVERIFY(w.statusBar()->findChild<RecordingStatusLabel *>()->isHidden());
    verifyBusSilent(f, kSlowTickMs);
}

void tst_leavingTheProgram::waitingRecordingIsNamedAndDropped()
{
    MainWindowFixture f(busOfOneAndThreeAtTick());
    mainWnd &w = *f.window;
    w.show();
    QTemporaryDir dir;
    const QDateTime later = QDateTime::currentDateTime().addSecs(600);
    emit w.saveWnd->sig_savePlotFile(3, later, 60, false, true, false, false, dir.filePath("night.csv"));
    QVERIFY(w.chartPages().at(2)->recordingWaits());

    QCOMPARE(closeInEventLoop(w), 0);
    QCOMPARE(f.boxes.texts(),
             QStringList{QStringLiteral("提示|尚未开始的记录已取消：设备3 → night.csv（") +
                         later.toString(QStringLiteral("hh:mm")) + QStringLiteral(" 开始）")});
    QVERIFY(!w.chartPages().at(2)->recordingWaits());
    QVERIFY(w.chartPages().at(2)->pendingExportFile().isEmpty());
    QTRY_VERIFY(w.worker()->isFinished());
}

// Controller 3 loses every write: the stop's box shows controller 1 confirmed and 3 waiting, then
// names 3 as never confirmed, and the program ends only when the operator closes the box.
void tst_leavingTheProgram::unconfirmedControllerIsNamedBeforeTheEnd()
{
    MainWindowFixture f(busOfOneAndThreeAtTick(1000));
    mainWnd &w = *f.window;
    w.show();
    scanOneAndThree(f);
    f.takeOnline({1, 3});
    stageControlWidget &page = *w.stagePage();
    showStagePage(w);
    QVERIFY(typeProgramme(*page.items().at(0), {"10,100"}));
    QVERIFY(typeProgramme(*page.items().at(1), {"40,100"}));
    QTest::mouseClick(page.startButton(), Qt::LeftButton);
    QTRY_COMPARE(f.bus->floatRegister(3, RegisterMap::InstantSetpoint), 40.0f);
    SimFaults lose;
    lose.lostWrites = 1000000;
    f.bus->setFaults(3, lose);
    f.boxes.questionAnswer = QMessageBox::Yes;

    QStringList seen; // the box's texts, in order, each once
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        for (QWidget *top : QApplication::topLevelWidgets()) {
            auto *box = qobject_cast<QMessageBox *>(top);
            if (!box || box->objectName() != QLatin1String("exitStopBox") || !box->isVisible())
                continue;
            if (seen.isEmpty() || seen.last() != box->text())
                seen << box->text();
            QAbstractButton *ok = box->button(QMessageBox::Ok);
            if (ok && ok->isEnabled())
                ok->click();
        }
    });
    watch.start(20);
    QCOMPARE(closeInEventLoop(w), 0);
    QVERIFY(seen.size() >= 2);
    QVERIFY2(seen.contains(QStringLiteral("正在将流量设为0：设备1 ✓，设备3 …")), qPrintable(seen.join('|')));
    QCOMPARE(seen.last(), QStringLiteral("设备3未在5秒内确认流量已设为0，请检查该设备。关闭本窗口后程序退出。"));
    QCOMPARE(f.bus->floatRegister(1, RegisterMap::InstantSetpoint), 0.0f);
    QCOMPARE(f.bus->floatRegister(3, RegisterMap::InstantSetpoint), 40.0f);
    verifyBusSilent(f, 1000);
}

#include "TestRunner.h"

QUORIX_TEST_MAIN(tst_leavingTheProgram)
#include "tst_leavingTheProgram.moc"
