// The interface in English: every window and box an operator can reach reads without a Chinese
// character and without a caption cut short, and an operator's day (scan, online, setpoint, a
// staged run, a recording) goes through as it does in Chinese.

#include "shell/InterfaceWalk.h"
#include "stages/StagePageDriver.h"

#include "DataFile.h"
#include "DeviceLine.h"
#include "Language.h"
#include "MainWindowPlacement.h"
#include "MqttLinkWiring.h"
#include "PlotWidget.h"
#include "deviceWindow.h"
#include "loginWnd.h"
#include "qDebugWidget.h"
#include "setAdminParam.h"
#include "saveFileSetWidget.h"

#include <QApplication>
#include <QStandardPaths>
#include <QtTest>

using namespace StagePageDriver;

namespace {

// Every visible window, each of its tabs shown in turn.
QStringList faultsInVisibleWindows()
{
    QStringList faults;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (!window->isVisible())
            continue;
        faults << InterfaceWalk::faultsIn(window);
        for (QTabWidget *tabs : window->findChildren<QTabWidget *>()) {
            if (!tabs->isVisible())
                continue;
            const int shownTab = tabs->currentIndex();
            for (int tab = 0; tab < tabs->count(); ++tab) {
                tabs->setCurrentIndex(tab);
                QCoreApplication::processEvents();
                faults << InterfaceWalk::faultsIn(tabs->currentWidget());
            }
            tabs->setCurrentIndex(shownTab);
        }
    }
    faults.removeDuplicates();
    return faults;
}

QStringList chineseInBoxes(const BoxRecorder &boxes)
{
    InterfaceWalk::Walker walker;
    for (const MessageBoxSeam::Box &box : boxes.boxes) {
        walker.checkText(QStringLiteral("box title"), box.title);
        walker.checkText(QStringLiteral("box"), box.text);
    }
    return walker.faults;
}

QPushButton *rowButton(mainWnd &w, int row, const char *name)
{
    return w.devicePage()->row(row)->findChild<QPushButton *>(QLatin1String(name));
}

void logIn(MainWindowFixture &f, loginWnd *login, const QString &password)
{
    auto *field = f.child<QLineEdit>(login, "edit_password");
    field->clear();
    QTest::keyClicks(field, password);
    QTest::keyClick(field, Qt::Key_Return);
}

} // namespace

class tst_englishInterface : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void languageFollowsOverrideChoiceAndLocale_data();
    void languageFollowsOverrideChoiceAndLocale();
    void walkFindsCutCaptions();
    void everyWindowReadsInEnglish();
    void operatorDayInEnglish();
};

void tst_englishInterface::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true); // the stored language is the test's own
    QVERIFY2(Language::install(qApp, UiLanguage::English), qPrintable(Language::translationFile()));
}

void tst_englishInterface::cleanupTestCase()
{
    Language::install(qApp, UiLanguage::Chinese);
}

void tst_englishInterface::languageFollowsOverrideChoiceAndLocale_data()
{
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<int>("stored"); // -1 none, else a UiLanguage
    QTest::addColumn<int>("expected");
    const int none = -1, zh = int(UiLanguage::Chinese), en = int(UiLanguage::English);
    QTest::newRow("no locale") << QStringList{} << none << zh;
    QTest::newRow("C locale") << QStringList{"LANG=C"} << none << zh;
    QTest::newRow("POSIX locale") << QStringList{"LC_ALL=POSIX"} << none << zh;
    QTest::newRow("C.UTF-8 locale") << QStringList{"LANG=C.UTF-8"} << none << zh;
    QTest::newRow("Chinese locale") << QStringList{"LANG=zh_CN.UTF-8"} << none << zh;
    QTest::newRow("English locale") << QStringList{"LANG=en_US.UTF-8"} << none << en;
    QTest::newRow("German locale") << QStringList{"LANG=de_DE.UTF-8"} << none << en;
    QTest::newRow("LC_ALL before LANG") << QStringList{"LANG=zh_CN.UTF-8", "LC_ALL=en_GB.UTF-8"} << none
                                        << en;
    QTest::newRow("LC_MESSAGES before LANG")
        << QStringList{"LANG=en_US.UTF-8", "LC_MESSAGES=zh_TW.UTF-8"} << none << zh;
    QTest::newRow("stored choice before locale") << QStringList{"LANG=en_US.UTF-8"} << zh << zh;
    QTest::newRow("override before stored choice") << QStringList{"QUORIX_LANG=en"} << zh << en;
    QTest::newRow("override zh") << QStringList{"QUORIX_LANG=zh", "LANG=en_US.UTF-8"} << en << zh;
    QTest::newRow("unknown override ignored") << QStringList{"QUORIX_LANG=fr"} << en << en;
}

void tst_englishInterface::languageFollowsOverrideChoiceAndLocale()
{
    QFETCH(QStringList, environment);
    QFETCH(int, stored);
    QFETCH(int, expected);
    QProcessEnvironment env;
    for (const QString &entry : environment)
        env.insert(entry.section('=', 0, 0), entry.section('=', 1));
    const std::optional<UiLanguage> choice =
        stored < 0 ? std::nullopt : std::optional<UiLanguage>(UiLanguage(stored));
    QCOMPARE(int(Language::choose(env, choice)), expected);
}

// An elided caption is cut even with its whole text as tooltip; so is a tab past its bar's end.
void tst_englishInterface::walkFindsCutCaptions()
{
    QWidget window;
    auto *elided = new QLabel(QStringLiteral("Pass…"), &window);
    elided->setToolTip(QStringLiteral("Password"));
    auto *fits = new QLabel(QStringLiteral("Password"), &window);
    fits->move(0, 40);
    auto *tabs = new QTabWidget(&window);
    tabs->setGeometry(0, 80, 120, 60);
    for (const char *name : {"Devices", "Stages", "History"})
        tabs->addTab(new QWidget, QLatin1String(name));
    window.resize(300, 200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QString faults = InterfaceWalk::faultsIn(&window).join(QLatin1Char('\n'));
    QVERIFY2(faults.contains(QStringLiteral("Pass…")) && faults.contains(QStringLiteral("History")),
             qPrintable(faults));
    QVERIFY2(!faults.contains(QStringLiteral(": Password")), qPrintable(faults));
}

void tst_englishInterface::everyWindowReadsInEnglish()
{
    MainWindowFixture::Setup setup;
    setup.addresses = {1, 3};
    MainWindowFixture f(setup);
    mainWnd &w = *f.window;
    // As the program places it on the commonest screen; the Chinese interface fits there.
    placeMainWindow(&w, QRect(0, 0, 1920, 1080));
    QVERIFY(f.openPort());
    scanFromMenu(w);
    QTRY_COMPARE(w.foundDeviceIds(), (QList<quint8>{1, 3}));
    QTest::mouseClick(rowButton(w, 0, "btn_online"), Qt::LeftButton);

    // The windows of the menus, the logins and what they open.
    w.set485();
    w.savePlotFile();
    w.setOrdParam();
    w.loss_Statistics();
    w.showBusHealth();
    w.mqttLink()->openSettings();
    menuEntry(w, QStringLiteral("过程设置"))->trigger();
    menuEntry(w, QStringLiteral("报警记录"))->trigger();
    menuEntry(w, QStringLiteral("操作记录"))->trigger();
    menuEntry(w, QStringLiteral("参数备份"))->trigger();
    menuEntry(w, QStringLiteral("混合设置"))->trigger();
    w.setAdmin();
    w.showDevelopAction();
    QStringList faults = faultsInVisibleWindows();
    logIn(f, w.adminLoginWnd, QStringLiteral("wrong"));
    logIn(f, w.adminLoginWnd, QStringLiteral("guest902731"));
    logIn(f, w.developLoginWnd, QStringLiteral("guest4817"));
    QTRY_VERIFY(w.adminParamWnd->isVisible());
    // Each caption of the advanced window names one thing, in the face of its neighbours.
    QCOMPARE(f.child<QLabel>(w.adminParamWnd, "label_3")->font(),
             f.child<QLabel>(w.adminParamWnd, "label_4")->font());
    QVERIFY(f.child<QLabel>(w.adminParamWnd, "label")->text() !=
            f.child<QLabel>(w.adminParamWnd, "label_2")->text());
    QVERIFY(w.debugWnd->isVisible());
    faults << faultsInVisibleWindows();

    // Boxes: version, a missing manual, the language switch, a controller lost.
    w.showVersion();
    w.openinstructionsFile();
    w.switchLanguage();
    QCOMPARE(Language::stored(), std::optional<UiLanguage>(UiLanguage::Chinese));
    SimFaults silent;
    silent.silent = true;
    f.bus->setFaults(1, silent);
    QTRY_VERIFY_WITH_TIMEOUT(rowButton(w, 0, "btn_online")->styleSheet().contains(QStringLiteral("red")), 60000);
    faults << faultsInVisibleWindows() << chineseInBoxes(f.boxes);
    QVERIFY(f.boxes.boxes.size() >= 5);
    faults.removeDuplicates();
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
    w.slot_closeDebug();
}

void tst_englishInterface::operatorDayInEnglish()
{
    MainWindowFixture::Setup setup;
    setup.addresses = {1, 3};
    setup.tickMs = 20;
    MainWindowFixture f(setup);
    mainWnd &w = *f.window;
    w.show();
    QVERIFY(f.openPort());
    scanFromMenu(w);
    QTRY_COMPARE(w.foundDeviceIds(), (QList<quint8>{1, 3}));

    // Online: the row shows its connected caption and its readings.
    QTest::mouseClick(rowButton(w, 0, "btn_online"), Qt::LeftButton);
    QCOMPARE(rowButton(w, 0, "btn_online")->text(), shown("DeviceLine", "接连"));
    QTRY_VERIFY(!rowButton(w, 0, "btn_temp")->text().isEmpty() &&
                rowButton(w, 0, "btn_temp")->text().at(0).isDigit());

    // A setpoint typed into the row reaches the controller.
    QLineEdit *setpoint = w.devicePage()->row(0)->findChild<QWidget *>(QStringLiteral("edit_cur"))
                              ->findChild<QLineEdit *>(QStringLiteral("lineEdit"));
    setpoint->setFocus();
    setpoint->selectAll();
    QTest::keyClicks(setpoint, QStringLiteral("50"));
    QTest::keyClick(setpoint, Qt::Key_Return);
    QTRY_COMPARE(f.bus->floatRegister(1, RegisterMap::InstantSetpoint), 50.0f);

    // A staged run on controller 3: started, its steps written, stopped.
    f.takeOnline({3});
    stageControlWidget &page = *w.stagePage();
    itemStageControl &second = *page.items().at(1);
    page.setTickInterval(200);
    showStagePage(w);
    QVERIFY(typeProgramme(second, {"20,1", "30,1"}));
    QTest::mouseClick(page.startButton(), Qt::LeftButton);
    QCOMPARE(page.startButton()->text(), shown("stageControlWidget", "停止"));
    QTRY_VERIFY_WITH_TIMEOUT(setpointsReceived(*f.bus, 3).contains(30.0f), 20000);
    QTest::mouseClick(page.startButton(), Qt::LeftButton);
    QCOMPARE(page.startButton()->text(), shown("stageControlWidget", "开始"));
    QTRY_COMPARE(f.bus->floatRegister(3, RegisterMap::InstantSetpoint), 0.0f);

    // A 2 s recording of controller 1's flow and temperature.
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("run.csv"));
    emit w.saveWnd->sig_savePlotFile(1, QDateTime::currentDateTime(), 2, true, false, true, false, target);
    QTRY_VERIFY_WITH_TIMEOUT(f.boxes.texts().join('\n').contains(target), 15000);
    QFile file(target);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const DataFile::Content content = DataFile::read(QString::fromLatin1(file.readAll()));
    QCOMPARE(content.skippedLines, 0);
    QVERIFY(content.sections[0].size() >= 5);
    QVERIFY(content.sections[2].size() >= 5);

    const QStringList faults = chineseInBoxes(f.boxes);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
}

#include "TestRunner.h"

QUORIX_TEST_MAIN(tst_englishInterface)
#include "tst_englishInterface.moc"
