#include "BenchModel.h"
#include "MainWindowFixture.h"

#include "BusHealthWindow.h"
#include "CustomSpimbox.h"
#include "DeviceLine.h"
#include "Language.h"
#include "MainWindowPlacement.h"
#include "PlotWidget.h"
#include "RegisterMap.h"
#include "SerialPort.h"
#include "deviceWindow.h"
#include "itemStageControl.h"
#include "loginWnd.h"
#include "lossWidget.h"
#include "qDebugWidget.h"
#include "saveFileSetWidget.h"
#include "setAdminParam.h"
#include "setDeviceParamWin.h"
#include "stageControlWidget.h"

#include <QAction>
#include <QDesktopServices>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QtTest>
#include <limits>
#include <mutex>

namespace {
const QString kNotice = QStringLiteral("提示");

QStringList tabCaptions(const mainWnd &window)
{
    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    QStringList captions;
    for (int i = 0; i < tabs->count(); ++i)
        captions << tabs->tabText(i);
    return captions;
}

// Qt adds the title and system-menu hints itself; what matters is minimise and close without maximise.
bool hasToolWindowFlags(const QWidget *window)
{
    const Qt::WindowFlags flags = window->windowFlags();
    return flags.testFlag(Qt::Window) && flags.testFlag(Qt::WindowMinimizeButtonHint) &&
           flags.testFlag(Qt::WindowCloseButtonHint) && !flags.testFlag(Qt::WindowMaximizeButtonHint);
}

QStringList menuTitles(const mainWnd &window)
{
    QStringList titles;
    for (QAction *action : window.menuBar()->actions())
        titles << action->text();
    return titles;
}

QStringList actionCaptions(const mainWnd &window)
{
    QStringList captions;
    for (QAction *menuAction : window.menuBar()->actions())
        for (QAction *action : menuAction->menu()->actions())
            captions << menuAction->text() + QLatin1Char('/') + action->text();
    return captions;
}

// Stands in for the desktop's PDF viewer: takes every file URL the application hands over.
class ViewerStandIn : public QObject
{
    Q_OBJECT
public:
    ViewerStandIn() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open"); }
    ~ViewerStandIn() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened << url; }
};

QByteArray echoes(const QList<quint8> &addresses)
{
    QByteArray reply;
    for (quint8 address : addresses)
        reply += SerialPort::buildEchoFrame(address);
    return reply;
}
} // namespace

class tst_mainWnd : public QObject
{
    Q_OBJECT
private slots:
    void startupShowsTabsMenusAndHiddenWindows();
    void placementFixesSizeOnKnownScreen();
    void windowOpeningSlots_data();
    void windowOpeningSlots();
    void commMenuListsPortsOncePerOpening();
    void versionAndMissingManualBoxes();
    void manualFromHelpMenu_data();
    void manualFromHelpMenu();
    void serialDialogCyclesAgainstTheBus();
    void loginResultsOpenGuardedWindows();
    void scanReplyFillsRowsAndReports_data();
    void scanReplyFillsRowsAndReports();
    void modeReportAsksForSetpointsInOrder();
    void droppedDeviceIsReportedThenMarked();
    void pulledAdapterMarksRowsOnceAndRecovers();
    void englishSessionScansLosesAndRecovers();
    void readingsWithoutRowAreDropped();
    void unusableReadingKeepsRowText_data();
    void unusableReadingKeepsRowText();
    void setpointRequestReachesTheBus();
    void exitWithOpenPortIsOrderly();
};

void tst_mainWnd::startupShowsTabsMenusAndHiddenWindows()
{
    MainWindowFixture f;
    mainWnd &w = *f.window;

    QStringList expectedTabs{QStringLiteral("设备管理"), QStringLiteral("分阶流量"),
                             QStringLiteral("历史数据")};
    for (int address = 1; address <= 15; ++address)
        expectedTabs << QStringLiteral("设备%1").arg(address);
    QCOMPARE(tabCaptions(w), expectedTabs);
    QCOMPARE(w.findChild<QTabWidget *>(QStringLiteral("tabWidget"))->currentIndex(), 0);
    QCOMPARE(w.devicePage()->objectName(), QStringLiteral("tab_3"));
    QCOMPARE(w.stagePage()->objectName(), QStringLiteral("tab_4"));
    QCOMPARE(w.historyPage()->objectName(), QStringLiteral("tab_5"));
    QCOMPARE(w.chartPages().size(), 15);

    QCOMPARE(menuTitles(w), (QStringList{QStringLiteral("通信设置(未连接）(C)"),
                                         QStringLiteral("设备管理(D)"), QStringLiteral("文件(F)"),
                                         QStringLiteral("设备参数设置(P)"), QStringLiteral("帮助（H）")}));
    QCOMPARE(
        actionCaptions(w),
        (QStringList{QStringLiteral("设备管理(D)/查询设备"), QStringLiteral("设备管理(D)/丢包统计"),
                     QStringLiteral("设备管理(D)/通信诊断"), QStringLiteral("设备管理(D)/MQTT 设置"),
                     QStringLiteral("设备管理(D)/过程设置"), QStringLiteral("设备管理(D)/报警记录"),
                     QStringLiteral("设备管理(D)/操作记录"),
                     QStringLiteral("设备管理(D)/参数备份"), QStringLiteral("设备管理(D)/混合设置"),
                     QStringLiteral("文件(F)/打开文件"), QStringLiteral("文件(F)/保存文件"),
                     QStringLiteral("设备参数设置(P)/普通参数设置"),
                     QStringLiteral("设备参数设置(P)/高级参数设置"), QStringLiteral("帮助（H）/软件版本号"),
                     QStringLiteral("帮助（H）/软件说明书"), QStringLiteral("帮助（H）/开发者模式"),
                     QStringLiteral("帮助（H）/语言 / Language")}));

    const QList<QWidget *> secondary{w.saveWnd,       w.ordParamWnd,   w.serialWnd,
                                     w.lossWnd,       w.adminParamWnd, w.developLoginWnd,
                                     w.adminLoginWnd, w.debugWnd,      w.healthWnd};
    for (QWidget *window : secondary)
        QVERIFY2(!window->isVisible(), qPrintable(window->metaObject()->className()));
    QCOMPARE(w.debugWnd->parent(), nullptr);
    QCOMPARE(w.saveWnd->parent(), &w);
    QVERIFY(w.developLoginWnd->isDeveloperMode());
    QVERIFY(!w.adminLoginWnd->isDeveloperMode());
    QVERIFY(w.worker()->isRunning());
}

void tst_mainWnd::placementFixesSizeOnKnownScreen()
{
    MainWindowFixture f;
    placeMainWindow(f.window.get(), QRect(0, 0, 1920, 1080));
    QCOMPARE(f.window->windowTitle(), QStringLiteral("QUORIX_RS485(HALVANE)"));
    QVERIFY(hasToolWindowFlags(f.window.get()));
    QCOMPARE(f.window->minimumSize(), QSize(1820, 980));
    QCOMPARE(f.window->maximumSize(), QSize(1820, 980));
    QCOMPARE(f.window->pos(), QPoint(50, 10));
}

void tst_mainWnd::windowOpeningSlots_data()
{
    QTest::addColumn<QString>("slot");
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("title");
    QTest::newRow("serial port") << "set485"
                                 << "setSerialport"
                                 << "串口通信参数设置";
    QTest::newRow("save settings") << "savePlotFile"
                                   << "saveFileSetWidget"
                                   << "保存设置";
    QTest::newRow("ordinary parameters") << "setOrdParam"
                                         << "setDeviceParamWin"
                                         << "普通参数设置";
    QTest::newRow("administrator login") << "setAdmin"
                                         << "adminLogin"
                                         << "请登录";
    QTest::newRow("developer login") << "showDevelopAction"
                                     << "developLogin"
                                     << "请登录";
    QTest::newRow("loss statistics") << "loss_Statistics"
                                     << "lossWidget"
                                     << "丢包统计";
    QTest::newRow("bus diagnostics") << "showBusHealth"
                                     << "BusHealthWindow"
                                     << "通信诊断";
}

void tst_mainWnd::windowOpeningSlots()
{
    QFETCH(QString, slot);
    QFETCH(QString, window);
    QFETCH(QString, title);
    MainWindowFixture f;
    mainWnd &w = *f.window;
    const QMap<QString, QWidget *> windows{
        {"setSerialport", w.serialWnd},       {"saveFileSetWidget", w.saveWnd},
        {"setDeviceParamWin", w.ordParamWnd}, {"adminLogin", w.adminLoginWnd},
        {"developLogin", w.developLoginWnd},  {"lossWidget", w.lossWnd},
        {"BusHealthWindow", w.healthWnd}};
    QWidget *target = windows.value(window);

    for (int opening = 0; opening < 2; ++opening) // a second opening leaves the one window shown
        QVERIFY(QMetaObject::invokeMethod(&w, slot.toLatin1().constData()));
    QVERIFY(target->isVisible());
    QVERIFY(target->isWindow());
    QCOMPARE(target->windowTitle(), title);
    QCOMPARE(w.findChildren<QWidget *>().count(target), 1);
    if (slot == QLatin1String("setOrdParam"))
        QVERIFY(hasToolWindowFlags(target));
    QVERIFY(f.boxes.boxes.isEmpty());
}

void tst_mainWnd::commMenuListsPortsOncePerOpening()
{
    MainWindowFixture f;
    int listings = 0;
    QObject receiver;
    connect(f.window->worker(), &DeviceThread::sig_refreshSerCombox, &receiver, [&] { ++listings; });

    for (int opening = 1; opening <= 2; ++opening) {
        emit f.window->commMenu()->aboutToShow();
        QVERIFY(f.flushWorker());
        QCOMPARE(listings, opening);
    }
    QVERIFY(f.window->serialWnd->isVisible());
    QCOMPARE(f.window->serialWnd->windowTitle(), QStringLiteral("串口通信参数设置"));
    QVERIFY(f.window->commMenu()->actions().isEmpty());
}

void tst_mainWnd::versionAndMissingManualBoxes()
{
    MainWindowFixture f;
    f.window->showVersion();
    f.window->openinstructionsFile(); // no manual beside the test executable
    QCOMPARE(f.boxes.texts(), (QStringList{kNotice + QStringLiteral("|当前版本号为V2.0.0"),
                                           QStringLiteral("错误提示|说明书文件不存在，请检查文件路径")}));
    QCOMPARE(f.boxes.boxes.last().kind, MessageBoxSeam::Kind::Warning);
}

void tst_mainWnd::manualFromHelpMenu_data()
{
    QTest::addColumn<bool>("viewerInstalled");
    QTest::newRow("a viewer opens it") << true;
    QTest::newRow("no viewer can open it") << false;
}

void tst_mainWnd::manualFromHelpMenu()
{
    QFETCH(bool, viewerInstalled);
    // The offscreen platform offers no viewer at all: QDesktopServices::openUrl answers false there.
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("offscreen"));
    const QString manual = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("QUORIXV1.0.pdf"));
    QFile file(manual);
    QVERIFY2(file.open(QIODevice::NewOnly), qPrintable(manual + QStringLiteral(" is in the way")));
    const auto removeManual = qScopeGuard([&file] { file.remove(); });
    file.write("%PDF-1.4\n");
    file.close();
    std::unique_ptr<ViewerStandIn> viewer(viewerInstalled ? new ViewerStandIn : nullptr);
    MainWindowFixture f;

    menuEntry(*f.window, QStringLiteral("软件说明书"))->trigger();
    if (viewerInstalled) {
        QCOMPARE(viewer->opened, QList<QUrl>{QUrl::fromLocalFile(manual)});
        QCOMPARE(f.boxes.texts(), QStringList());
        return;
    }
    QCOMPARE(f.boxes.texts(), QStringList{kNotice + QStringLiteral("|无法打开说明书，请用PDF阅读器打开文件：\n") +
                                          QDir::toNativeSeparators(manual)});
    QCOMPARE(f.boxes.boxes.last().kind, MessageBoxSeam::Kind::Information);
}

void tst_mainWnd::serialDialogCyclesAgainstTheBus()
{
    MainWindowFixture f;
    QPushButton *button = f.openButton();
    const QString green = QStringLiteral("QPushButton { background-color: limegreen; }");
    const QString red = QStringLiteral("QPushButton { background-color: red; }");

    QVERIFY(f.openPort());
    QCOMPARE(button->styleSheet(), green);
    QCOMPARE(f.window->commMenu()->title(), QStringLiteral("通信设置(已连接)"));

    QTest::mouseClick(button, Qt::LeftButton); // close
    QCOMPARE(button->text(), QStringLiteral("打开"));
    QCOMPARE(button->styleSheet(), red);
    QTRY_COMPARE(button->text(), QStringLiteral("已关闭"));
    QCOMPARE(f.window->commMenu()->title(), QStringLiteral("通信设置(未连接)"));

    QTest::mouseClick(button, Qt::LeftButton); // close again: the worker finds it closed and says nothing
    QVERIFY(f.flushWorker());
    QCOMPARE(button->text(), QStringLiteral("打开"));
    QCOMPARE(button->styleSheet(), red);

    f.clickOpen(QStringLiteral("/dev/does-not-exist-quorix"));
    // The box names the system's reason on its second line.
    QTRY_COMPARE(f.boxes.boxes.size(), 1);
    const QStringList failure = f.boxes.texts().constFirst().split('\n');
    QCOMPARE(failure.constFirst(), kNotice + QStringLiteral("|串口打开失败"));
    QVERIFY2(failure.size() >= 2 && !failure.at(1).isEmpty(), qPrintable(f.boxes.texts().constFirst()));
    QCOMPARE(button->text(), QStringLiteral("打开"));
    QCOMPARE(button->styleSheet(), QString());
    QCOMPARE(f.window->commMenu()->title(), QStringLiteral("通信设置(未连接)"));

    QVERIFY(f.openPort()); // and the port can be opened again
}

void tst_mainWnd::loginResultsOpenGuardedWindows()
{
    MainWindowFixture f;
    mainWnd &w = *f.window;
    auto *adminField = f.child<QLineEdit>(w.adminLoginWnd, "edit_password");
    auto *developField = f.child<QLineEdit>(w.developLoginWnd, "edit_password");

    w.setAdmin();
    QTest::keyClicks(adminField, QStringLiteral("guest4817"));
    QTest::keyClick(adminField, Qt::Key_Return);
    QCOMPARE(f.boxes.texts(), QStringList{kNotice + QStringLiteral("|密码错误")});
    QVERIFY(w.adminLoginWnd->isVisible());
    QCOMPARE(adminField->text(), QStringLiteral("guest4817"));

    adminField->clear();
    w.showDevelopAction();
    QTest::keyClicks(developField, QStringLiteral("typed"));
    QTest::keyClicks(adminField, QStringLiteral("guest902731"));
    QTest::keyClick(adminField, Qt::Key_Enter);
    QVERIFY(w.adminParamWnd->isVisible());
    QCOMPARE(w.adminParamWnd->windowTitle(), QStringLiteral("高级参数修改"));
    QVERIFY(hasToolWindowFlags(w.adminParamWnd));
    QVERIFY(!w.adminLoginWnd->isVisible());
    QVERIFY(adminField->text().isEmpty());
    QVERIFY(developField->text().isEmpty()); // both fields are emptied

    QTest::keyClicks(developField, QStringLiteral("guest4817"));
    QTest::keyClick(developField, Qt::Key_Return);
    QVERIFY(w.debugWnd->isVisible());
    QVERIFY(w.developLoginWnd->isVisible());
    QVERIFY(developField->text().isEmpty());
    w.slot_closeDebug();
    QVERIFY(!w.debugWnd->isVisible());
}

void tst_mainWnd::scanReplyFillsRowsAndReports_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QList<quint8>>("ids");
    QTest::addColumn<QString>("report");
    QTest::newRow("two echoes") << echoes({1, 3}) << QList<quint8>{1, 3}
                                << "查询设备完成，查询到的设备为:1,3,";
    QTest::newRow("out of order") << echoes({3, 1}) << QList<quint8>{1, 3}
                                  << "查询设备完成，查询到的设备为:1,3,";
    QTest::newRow("single byte 0x08") << QByteArray(1, '\x08') << QList<quint8>{} << "没有查询到设备";
    QList<quint8> eleven;
    QString all;
    for (quint8 a = 1; a <= 11; ++a) {
        eleven << a;
        all += QString::number(a) + QLatin1Char(',');
    }
    QTest::newRow("eleven: ten rows, all reported")
        << echoes(eleven) << eleven << QStringLiteral("查询设备完成，查询到的设备为:") + all;
}

void tst_mainWnd::scanReplyFillsRowsAndReports()
{
    QFETCH(QByteArray, reply);
    QFETCH(QList<quint8>, ids);
    QFETCH(QString, report);
    MainWindowFixture f;
    mainWnd &w = *f.window;
    w.devicePage()->row(5)->setDeviceId(QStringLiteral("99")); // left from an earlier scan
    QStringList order;
    connect(&w, &mainWnd::clearCombox, [&] { order << "clear"; });
    connect(&w, &mainWnd::isBeenFindDevice, [&](uchar id) { order << QString::number(id); });
    connect(&w, &mainWnd::sendDeviceCount,
            [&](QList<quint8> list) { order << QStringLiteral("count%1").arg(list.size()); });

    w.slot_CheckDevice(reply);

    QCOMPARE(f.boxes.texts(), QStringList{kNotice + QLatin1Char('|') + report});
    QCOMPARE(w.foundDeviceIds(), ids);
    QStringList expectedOrder{"clear"};
    for (quint8 id : ids)
        expectedOrder << QString::number(id);
    expectedOrder << QStringLiteral("count%1").arg(ids.size());
    QCOMPARE(order, expectedOrder);
    for (int k = 0; k < 10; ++k) {
        const QString shown = k < ids.size() ? QString::number(ids[k]) : QString();
        QCOMPARE(w.devicePage()->row(k)->deviceIdText(), shown);
    }
    for (int k = 0; k < 4; ++k) {
        if (k < ids.size())
            QCOMPARE(w.stagePage()->items().at(k)->deviceId(), int(ids[k]));
    }
    QCOMPARE(w.saveWnd->listedDevices(), ids);
    QCOMPARE(w.ordParamWnd->listedDevices(), ids);
    QCOMPARE(w.adminParamWnd->listedDevices(), ids);
}

void tst_mainWnd::modeReportAsksForSetpointsInOrder()
{
    MainWindowFixture f;
    mainWnd &w = *f.window;
    w.slot_CheckDevice(echoes({1}));
    QList<QPair<int, int>> asked;
    connect(&w, &mainWnd::showsCurCumset, [&](int type, uchar id) { asked.append({type, id}); });

    w.slot_refreshDeviceMode(1, 0);
    w.slot_refreshDeviceMode(1, 1);
    w.slot_refreshDeviceMode(1, 2); // unknown mode: nothing
    w.slot_refreshDeviceMode(9, 0); // no row, yet the read-backs are still asked for
    QCOMPARE(asked, (QList<QPair<int, int>>{{1, 1}, {2, 1}, {2, 1}, {1, 1}, {1, 9}, {2, 9}}));
}

void tst_mainWnd::droppedDeviceIsReportedThenMarked()
{
    MainWindowFixture f;
    mainWnd &w = *f.window;
    w.slot_CheckDevice(echoes({4, 7}));
    f.boxes.boxes.clear();
    bool boxBeforeMark = false;
    connect(&w, &mainWnd::sig_refresdDevicedSta, [&] { boxBeforeMark = f.boxes.boxes.size() == 1; });

    w.slot_deviceISconnectd(7, false);
    QCOMPARE(f.boxes.texts(), QStringList{kNotice + QStringLiteral("|设备:7掉线")});
    QVERIFY(boxBeforeMark);
    QCOMPARE(w.devicePage()->row(1)->onlineCaption(), QStringLiteral("掉线"));
    QVERIFY(w.devicePage()->row(0)->onlineCaption() != QStringLiteral("掉线"));

    w.updateSerStatus(1);
    QCOMPARE(w.commMenu()->title(), QStringLiteral("通信设置(已连接)"));
    w.updateSerStatus(3);
    QCOMPARE(w.commMenu()->title(), QStringLiteral("通信设置(未连接)"));
    w.updateSerStatus(7);
    QCOMPARE(w.commMenu()->title(), QStringLiteral("通信设置(未连接)"));
}

// The adapter is pulled while two rows are online: both rows show "掉线" at once under one notice
// (no box per controller), the menu shows the port closed; when the adapter is back the worker
// reopens it, the rows return online by themselves and show the controller's own setpoint again.
void tst_mainWnd::pulledAdapterMarksRowsOnceAndRecovers()
{
    MainWindowFixture f;
    mainWnd &w = *f.window;
    QVERIFY(f.openPort());
    w.action_checkDevice();
    QTRY_COMPARE(w.foundDeviceIds(), (QList<quint8>{1, 2, 3}));
    DeviceLine *rows[] = {w.devicePage()->row(0), w.devicePage()->row(1)};
    for (DeviceLine *row : rows)
        QTest::mouseClick(f.child<QPushButton>(row, "btn_online"), Qt::LeftButton);
    QTRY_VERIFY(!f.child<QPushButton>(rows[1], "btn_press")->text().isEmpty());
    for (quint8 address : {1, 2})
        QTRY_VERIFY(w.benchModel()->record(address)->readings[3].has_value());
    f.boxes.boxes.clear();

    f.bus->unplug();
    QTRY_COMPARE(f.boxes.texts(), QStringList{kNotice + QStringLiteral("|串口连接中断")});
    const QString pressureBefore = f.child<QPushButton>(rows[1], "btn_press")->text();
    for (DeviceLine *row : rows) {
        QCOMPARE(row->onlineCaption(), QStringLiteral("掉线"));
        // The last readings stay for reference, greyed, with their time: never shown as current.
        QVERIFY(row->readingsStale());
        QVERIFY(f.child<QPushButton>(row, "btn_press")->toolTip().startsWith(QStringLiteral("最后读数：")));
    }
    QCOMPARE(f.child<QPushButton>(rows[1], "btn_press")->text(), pressureBefore);
    QCOMPARE(w.devicePage()->row(2)->onlineCaption(), QStringLiteral("上线"));
    QCOMPARE(w.commMenu()->title(), QStringLiteral("通信设置(未连接)"));
    QCOMPARE(f.openButton()->text(), QStringLiteral("已关闭"));
    QTest::qWait(20 * 50); // far beyond a loss window of 50 ms ticks: no box per controller follows
    QCOMPARE(f.boxes.boxes.size(), 1);

    f.bus->setFloatRegister(1, 0x303E, 30.0f); // the controller's own setpoint meanwhile
    QVERIFY(f.bus->replug());
    QTRY_COMPARE(w.commMenu()->title(), QStringLiteral("通信设置(已连接)"));
    QTRY_COMPARE(f.openButton()->text(), QStringLiteral("已打开"));
    for (DeviceLine *row : rows)
        QTRY_COMPARE(row->onlineCaption(), QStringLiteral("接连"));
    QTRY_COMPARE(f.child<CustomSpimbox>(rows[0], "edit_cur")->valueText(), QStringLiteral("30"));
    for (DeviceLine *row : rows)
        QTRY_VERIFY(!row->readingsStale());
    QCOMPARE(f.boxes.boxes.size(), 1);
}

// The same session in English: the port's state and the rows' states are the program's own, not
// read back from the (now English) captions, so scanning, losing and regaining the adapter work.
void tst_mainWnd::englishSessionScansLosesAndRecovers()
{
    QVERIFY(Language::install(qApp, UiLanguage::English));
    struct BackToChinese
    {
        ~BackToChinese() { Language::install(qApp, UiLanguage::Chinese); }
    } backToChinese;
    MainWindowFixture f;
    mainWnd &w = *f.window;
    const QString notice = QStringLiteral("Notice|");
    QCOMPARE(w.commMenu()->title(), QStringLiteral("&Communication (not connected)"));
    w.set485();
    f.clickOpen(f.bus->portPath());
    QTRY_COMPARE(w.commMenu()->title(), QStringLiteral("&Communication (connected)"));
    menuEntry(w, QStringLiteral("查询设备"))->trigger();
    QTRY_COMPARE(w.foundDeviceIds(), (QList<quint8>{1, 2, 3}));
    QCOMPARE(f.boxes.texts(), QStringList{notice + QStringLiteral("Scan complete. Devices found: 1,2,3,")});
    DeviceLine *rows[] = {w.devicePage()->row(0), w.devicePage()->row(1)};
    for (DeviceLine *row : rows) {
        QTest::mouseClick(f.child<QPushButton>(row, "btn_online"), Qt::LeftButton);
        QCOMPARE(row->onlineCaption(), QStringLiteral("Online"));
    }
    QTRY_VERIFY(!f.child<QPushButton>(rows[1], "btn_press")->text().isEmpty());
    for (quint8 address : {1, 2})
        QTRY_VERIFY(w.benchModel()->record(address)->readings[3].has_value());
    f.boxes.boxes.clear();

    f.bus->unplug();
    QTRY_COMPARE(f.boxes.texts(), QStringList{notice + QStringLiteral("Serial port connection lost")});
    for (DeviceLine *row : rows)
        QCOMPARE(row->onlineCaption(), QStringLiteral("Dropped"));
    QCOMPARE(w.devicePage()->row(2)->onlineCaption(), QStringLiteral("Connect"));
    QCOMPARE(w.commMenu()->title(), QStringLiteral("&Communication (not connected)"));

    QVERIFY(f.bus->replug());
    QTRY_COMPARE(w.commMenu()->title(), QStringLiteral("&Communication (connected)"));
    for (DeviceLine *row : rows)
        QTRY_COMPARE(row->onlineCaption(), QStringLiteral("Online"));
    QCOMPARE(f.boxes.boxes.size(), 1);
}

void tst_mainWnd::readingsWithoutRowAreDropped()
{
    MainWindowFixture f;
    mainWnd &w = *f.window;
    w.slot_CheckDevice(echoes({2}));
    QByteArray reply = SerialPort::appendCrc(QByteArray::fromHex("020304") + float_to_bytes(12.5f));

    w.refreshDeiceInforMation(1, 16, reply); // address without a row: nothing changes, nothing breaks
    w.showDeviceCum(1, 16, reply);
    w.feedDeviceChart(1, 16, reply); // no chart page beyond 15
    for (PlotWidget *page : w.chartPages())
        QCOMPARE(page->sampleCount(1), 0);

    w.feedDeviceChart(1, 2, reply);
    QCOMPARE(w.chartPages().at(1)->sampleCount(1), 1);
}

void tst_mainWnd::unusableReadingKeepsRowText_data()
{
    QTest::addColumn<float>("temperature");
    QTest::newRow("NaN") << std::numeric_limits<float>::quiet_NaN();
    QTest::newRow("infinity") << std::numeric_limits<float>::infinity();
}

// A controller that reports no number for its temperature: the row keeps the temperature it showed
// last, the chart draws no more of it, the worker counts failed reads but no lost query, and the
// other readings go on.
void tst_mainWnd::unusableReadingKeepsRowText()
{
    QFETCH(float, temperature);
    MainWindowFixture::Setup setup;
    setup.addresses = {1};
    setup.replyTimeoutMs = 250;
    MainWindowFixture f(setup);
    mainWnd &w = *f.window;
    PlotWidget *page = w.chartPages().at(0);
    QVERIFY(f.openPort());
    w.action_checkDevice();
    QTRY_COMPARE(w.foundDeviceIds(), QList<quint8>{1});
    // The temperatures the window was handed, in order; received right after the window's own handlers.
    Reading lastShown;
    int usable = 0, unusable = 0, usableAfterUnusable = 0;
    QObject receiver;
    connect(w.worker(), &DeviceThread::sig_reading, &receiver, [&](const Reading &reading) {
        if (reading.type != Bus::ReadingType::Temperature)
            return;
        if (!reading.usable) {
            ++unusable;
            return;
        }
        usableAfterUnusable += unusable > 0 ? 1 : 0;
        lastShown = reading;
        ++usable;
    });
    DeviceLine *row = w.devicePage()->row(0);
    QTest::mouseClick(f.child<QPushButton>(row, "btn_online"), Qt::LeftButton);
    QTRY_VERIFY(usable >= 2);
    QCOMPARE(f.child<QPushButton>(row, "btn_temp")->text(), QString::number(lastShown.value, 'f', 1));

    f.bus->setFloatRegister(1, RegisterMap::Temperature, temperature);
    QTRY_VERIFY(unusable >= 3);
    const int pressuresBefore = page->sampleCount(4);
    QCOMPARE(usableAfterUnusable, 0);
    QCOMPARE(f.child<QPushButton>(row, "btn_temp")->text(), QString::number(lastShown.value, 'f', 1));
    QCOMPARE(page->sampleCount(3), usable);
    QTRY_VERIFY(page->sampleCount(4) > pressuresBefore);
    QCOMPARE(f.child<QPushButton>(row, "btn_temp")->text(), QString::number(lastShown.value, 'f', 1));
    const QList<OnlineDevice> records = w.worker()->devicesSnapshot();
    QCOMPARE(records.size(), 1);
    QVERIFY(records.first().unusableReads >= 3);
    QCOMPARE(records.first().totalLoss, 0);
}

void tst_mainWnd::setpointRequestReachesTheBus()
{
    MainWindowFixture f;
    QVERIFY(f.openPort());
    f.window->action_checkDevice();
    QTRY_COMPARE(f.window->foundDeviceIds(), (QList<quint8>{1, 2, 3}));
    f.takeOnline({2});
    QTRY_COMPARE(f.window->benchModel()->record(2)->mode, 0);
    f.bus->clearReceivedFrames();
    f.window->requestSetpointWrite(2, 1, 12.5f);
    const QByteArray expected = SerialPort::buildWriteFloatFrame(2, 0x303E, 12.5f);
    QTRY_VERIFY(f.bus->receivedFrames().contains(expected));
    QTRY_COMPARE(f.bus->floatRegister(2, 0x303E), 12.5f);
}

void tst_mainWnd::exitWithOpenPortIsOrderly()
{
    QStringList complaints;
    {
        MainWindowFixture f;
        QVERIFY(f.openPort());
        f.window->worker()->slot_checkDevices({1, 2, 3});
        for (int id = 1; id <= 3; ++id)
            f.window->worker()->slot_onlineDevice(3, id);
        int readings = 0;
        QObject receiver;
        connect(f.window->worker(), &DeviceThread::sendFreshDeviceInformation, &receiver,
                [&] { ++readings; });
        QTRY_VERIFY(readings >= 8); // polling is under way
        static std::mutex sinkMutex;
        static QStringList *sink = nullptr;
        {
            std::lock_guard<std::mutex> lock(sinkMutex);
            sink = &complaints;
        }
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
            std::lock_guard<std::mutex> lock(sinkMutex);
            if (type != QtDebugMsg && sink)
                sink->append(text);
        });
        f.window.reset(); // the worker stops and closes its port before the window goes
        qInstallMessageHandler(nullptr);
        std::lock_guard<std::mutex> lock(sinkMutex);
        sink = nullptr;
    }
    QVERIFY2(complaints.isEmpty(), qPrintable(complaints.join('\n')));
}

#include "TestRunner.h"

QUORIX_TEST_MAIN(tst_mainWnd)
#include "tst_mainWnd.moc"
