// Staged programmes played through the real main window, its worker thread and a simulated bus:
// two controllers run a single and a repeating programme, are paused, resumed and stopped, and
// a programme file is saved and loaded back.

#include "stages/StagePageDriver.h"

#include "FileDialogSeam.h"

#include <QPushButton>
#include <QtTest>

using namespace StagePageDriver;

namespace {

constexpr int kStageTickMs = 400;        // one programme second; the worker's tick is far shorter
constexpr int kHandTickMs = 3600 * 1000; // the test gives the ticks itself

QList<float> floats(std::initializer_list<float> values)
{
    return QList<float>(values);
}

} // namespace

namespace {
// Controllers 1 and 3, with a worker tick well under the stage tick.
MainWindowFixture::Setup busOfOneAndThree(int replyTimeoutMs = 250)
{
    MainWindowFixture::Setup setup;
    setup.addresses = {1, 3};
    setup.tickMs = 20;
    setup.replyTimeoutMs = replyTimeoutMs;
    return setup;
}

// The same bus for tests that wait on what it carried rather than on a lost frame.
MainWindowFixture::Setup patientBusOfOneAndThree()
{
    return busOfOneAndThree(250);
}
} // namespace

class tst_stagedProgramme : public QObject
{
    Q_OBJECT
private slots:
    void runPauseResumeStopAndKeepInAFile();
    void lostStopRequestStillStopsTheGas();
    void oneStepRunAndAKeptStepCount();
    void unusableStepsAndBlocksAreRefused();
};

void tst_stagedProgramme::runPauseResumeStopAndKeepInAFile()
{
    MainWindowFixture f(busOfOneAndThree());
    mainWnd &w = *f.window;
    w.show();
    QVERIFY(f.openPort());
    scanFromMenu(w);
    QTRY_COMPARE(f.boxes.texts(), QStringList{QStringLiteral("提示|查询设备完成，查询到的设备为:1,3,")});
    f.takeOnline({1, 3});

    stageControlWidget &page = *w.stagePage();
    itemStageControl &first = *page.items().at(0);
    itemStageControl &second = *page.items().at(1);
    QCOMPARE(first.deviceIdText(), QStringLiteral("1"));
    QCOMPARE(second.deviceIdText(), QStringLiteral("3"));
    // The steps are ticked by hand, each once its controller has heard the flow before: on a
    // loaded machine a real tick could come before the worker served the write, and a newer
    // setpoint rightly replaces a waiting one.
    page.setTickInterval(kHandTickMs);
    showStagePage(w);
    QVERIFY(typeProgramme(first, {"10,2", "20,1", "30,6"}));
    QVERIFY(typeProgramme(second, {"40,1", "50,2"}));
    chooseMode(first, 0);
    chooseMode(second, 1);
    QMap<int, QStringList> sent; // per controller, "flow@programme second"
    QMap<int, float> lastFlow;
    for (itemStageControl *item : {&first, &second})
        connect(item, &itemStageControl::sig_item_excStep, this, [&, item](uchar id, float flow) {
            sent[id] << QStringLiteral("%1@%2").arg(double(flow)).arg(item->programmeTicks());
            lastFlow[id] = flow;
        });

    // Single run on 1, repeat on 3: each step at its tick, 0 when the single run ends.
    QTest::mouseClick(page.startButton(), Qt::LeftButton);
    QCOMPARE(page.startButton()->text(), QStringLiteral("停止"));
    for (int tick = 1; tick <= 10; ++tick) {
        QTRY_COMPARE(lastSetpoint(*f.bus, 1), lastFlow.value(1));
        QTRY_COMPARE(lastSetpoint(*f.bus, 3), lastFlow.value(3));
        first.excuteStep();
        second.cycleStep();
    }
    QCOMPARE(sent[1], (QStringList{"10@0", "20@2", "30@4", "0@10"}));
    QCOMPARE(page.startButton()->text(), QStringLiteral("停止")); // the repeat run goes on
    QCOMPARE(sent[3].mid(0, 5), (QStringList{"40@0", "50@1", "40@4", "50@6", "40@9"}));
    QTRY_COMPARE(setpointChanges(*f.bus, 1), floats({10, 20, 30, 0}));
    QTRY_COMPARE(setpointChanges(*f.bus, 3).mid(0, 5), floats({40, 50, 40, 50, 40}));
    page.setTickInterval(kStageTickMs);

    // Stop and start again, pause: 0 at both and the step's time stands; continue: the step's
    // flow again.
    QTest::mouseClick(page.startButton(), Qt::LeftButton);
    QTest::mouseClick(page.startButton(), Qt::LeftButton);
    QCOMPARE(sent[1].last(), QStringLiteral("10@0"));
    QTRY_COMPARE(f.bus->floatRegister(1, RegisterMap::InstantSetpoint), 10.0f);
    QTRY_COMPARE(f.bus->floatRegister(3, RegisterMap::InstantSetpoint), 40.0f);
    QTest::mouseClick(page.pauseButton(), Qt::LeftButton);
    QCOMPARE(page.pauseButton()->text(), QStringLiteral("继续"));
    const float resumedFirst = sent[1].at(sent[1].size() - 2).section('@', 0, 0).toFloat();
    const float resumedSecond = sent[3].at(sent[3].size() - 2).section('@', 0, 0).toFloat();
    QTRY_COMPARE(f.bus->floatRegister(1, RegisterMap::InstantSetpoint), 0.0f);
    QTRY_COMPARE(f.bus->floatRegister(3, RegisterMap::InstantSetpoint), 0.0f);
    const QString heldTime = first.findChild<QLineEdit *>(QStringLiteral("edit_currentTime"))->text();
    const int pausedAt = first.programmeTicks();
    QTRY_VERIFY(first.programmeTicks() >= pausedAt + 2);
    QCOMPARE(first.findChild<QLineEdit *>(QStringLiteral("edit_currentTime"))->text(), heldTime);
    QTest::mouseClick(page.pauseButton(), Qt::LeftButton);
    QTRY_COMPARE(f.bus->floatRegister(1, RegisterMap::InstantSetpoint), resumedFirst);
    QTRY_COMPARE(f.bus->floatRegister(3, RegisterMap::InstantSetpoint), resumedSecond);
    QStringList paused; // the trail: the pause and the resume on each controller, with the programme
    for (const QJsonObject &line : AuditTrail::readAll(AuditTrail::defaultFolder()))
        if (line.value("what").toString().startsWith("programme_p") || line.value("what").toString().startsWith("programme_r"))
            paused << QStringLiteral("%1 %2 %3").arg(line.value("what").toString()).arg(line.value("controller").toInt())
                          .arg(line.value("source").toObject().value("index").toInt());
    QCOMPARE(paused, (QStringList{"programme_pause 1 1", "programme_pause 3 2", "programme_resume 1 1",
                                  "programme_resume 3 2"}));

    // Stop: 0 at both, and the page is idle.
    QTest::mouseClick(page.startButton(), Qt::LeftButton);
    QCOMPARE(page.startButton()->text(), QStringLiteral("开始"));
    QTRY_COMPARE(f.bus->floatRegister(1, RegisterMap::InstantSetpoint), 0.0f);
    QTRY_COMPARE(f.bus->floatRegister(3, RegisterMap::InstantSetpoint), 0.0f);
    QTRY_COMPARE(setpointsReceived(*f.bus, 1).last(), 0.0f);
    QTRY_COMPARE(setpointsReceived(*f.bus, 3).last(), 0.0f);

    // Save with only the second widget filled, change the tables, load: the programme is back in
    // the second widget and nowhere else.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("programme.txt"));
    FileDialogSeam::setHandler([&path](QWidget *, const FileDialogSeam::Request &) { return path; });
    QVERIFY(typeProgramme(first, {"", "", ""}));
    QTest::mouseClick(page.findChild<QPushButton *>(QStringLiteral("btn_save")), Qt::LeftButton);
    QCOMPARE(f.boxes.texts().last(), QStringLiteral("提示|成功加载文件") + path);
    QVERIFY(typeProgramme(first, {"77,7"}));
    QVERIFY(typeProgramme(second, {"", ""}));
    QTest::mouseClick(page.findChild<QPushButton *>(QStringLiteral("btn_load")), Qt::LeftButton);
    FileDialogSeam::reset();
    QCOMPARE(f.boxes.texts().last(), QStringLiteral("提示|文件") + path + QStringLiteral("导入成功"));
    QCOMPARE(first.programme(), StageProgramme());
    QCOMPARE(second.programme(), (StageProgramme{{40, 1}, {50, 2}}));
    QCOMPARE(second.findChild<QLineEdit *>(QStringLiteral("edit_stepCount"))->text(), QStringLiteral("2"));
    QCOMPARE(page.items().at(2)->validRowCount(), 0);
}

// A stop whose request to one controller is lost on the line still leaves that controller at 0:
// the worker sends the staged step again.
void tst_stagedProgramme::lostStopRequestStillStopsTheGas()
{
    MainWindowFixture f(busOfOneAndThree());
    mainWnd &w = *f.window;
    w.show();
    QVERIFY(f.openPort());
    scanFromMenu(w);
    QTRY_VERIFY(!f.boxes.boxes.isEmpty());
    f.takeOnline({1, 3});

    stageControlWidget &page = *w.stagePage();
    page.setTickInterval(400);
    showStagePage(w);
    QVERIFY(typeProgramme(*page.items().at(0), {"10,100"}));
    QVERIFY(typeProgramme(*page.items().at(1), {"40,100"}));
    QTest::mouseClick(page.startButton(), Qt::LeftButton);
    QTRY_COMPARE(f.bus->floatRegister(1, RegisterMap::InstantSetpoint), 10.0f);
    QTRY_COMPARE(f.bus->floatRegister(3, RegisterMap::InstantSetpoint), 40.0f);

    SimFaults lose;
    lose.lostWrites = 1; // the stop's own request to 3 vanishes before it is applied
    f.bus->setFaults(3, lose);
    QTest::mouseClick(page.startButton(), Qt::LeftButton);
    QCOMPARE(page.startButton()->text(), QStringLiteral("开始"));
    QTRY_COMPARE(f.bus->floatRegister(1, RegisterMap::InstantSetpoint), 0.0f);
    QTRY_COMPARE(f.bus->floatRegister(3, RegisterMap::InstantSetpoint), 0.0f);
    QCOMPARE(f.bus->lostFrameCount(), 1); // the fault did take the first stop frame
    QVERIFY(setpointsReceived(*f.bus, 3).count(0.0f) >= 1);
}

// A one-step programme reaches the controller as its flow and, one programme second later, as 0.
// A step count typed as an operator does it ("03") limits both of two runs to three rows. The test
// gives the widget its ticks itself, each once the bus has carried what the last one sent.
void tst_stagedProgramme::oneStepRunAndAKeptStepCount()
{
    MainWindowFixture f(patientBusOfOneAndThree());
    mainWnd &w = *f.window;
    w.show();
    QVERIFY(f.openPort());
    scanFromMenu(w);
    QTRY_VERIFY(!f.boxes.boxes.isEmpty());
    f.takeOnline({1, 3});

    stageControlWidget &page = *w.stagePage();
    itemStageControl &first = *page.items().at(0);
    page.setTickInterval(kHandTickMs);
    showStagePage(w);
    QStringList sent;
    float lastFlow = -1;
    int finishes = 0;
    connect(&first, &itemStageControl::sig_item_excStep, this, [&](uchar, float flow) {
        sent << QStringLiteral("%1@%2").arg(double(flow)).arg(first.programmeTicks());
        lastFlow = flow;
    });
    connect(&first, &itemStageControl::sig_item_finish, this, [&finishes] { ++finishes; });
    const auto tickWhenCarried = [&] {
        QTRY_COMPARE(lastSetpoint(*f.bus, 1), lastFlow);
        first.excuteStep();
    };

    QVERIFY(typeProgramme(first, {"200,1"}));
    QTest::mouseClick(page.startButton(), Qt::LeftButton);
    QCOMPARE(page.startButton()->text(), QStringLiteral("停止"));
    tickWhenCarried();
    QCOMPARE(sent, (QStringList{"200@0", "0@1"}));
    QCOMPARE(finishes, 1);
    QCOMPARE(page.startButton()->text(), QStringLiteral("开始"));
    QTRY_COMPARE(setpointChanges(*f.bus, 1), floats({200, 0}));

    QVERIFY(typeProgramme(first, {"10,1", "20,1", "30,1", "40,1", "50,1"}));
    auto *count = first.findChild<QLineEdit *>(QStringLiteral("edit_stepCount"));
    count->setFocus();
    QTRY_VERIFY(count->hasFocus());
    QTest::keyClicks(count, QStringLiteral("03"));
    QTest::keyClick(count, Qt::Key_Return);
    QCOMPARE(first.stepCount(), 3);
    for (int run = 2; run <= 3; ++run) {
        QTest::mouseClick(page.startButton(), Qt::LeftButton);
        for (int tick = 0; tick < 20 && finishes < run; ++tick)
            tickWhenCarried();
        QCOMPARE(finishes, run);
        QCOMPARE(count->text(), QStringLiteral("3"));
        QCOMPARE(page.startButton()->text(), QStringLiteral("开始"));
        QTRY_COMPARE(lastSetpoint(*f.bus, 1), 0.0f);
    }
    QTRY_COMPARE(setpointChanges(*f.bus, 1), floats({200, 0, 10, 20, 30, 0, 10, 20, 30, 0}));
    QVERIFY(setpointsReceived(*f.bus, 3).isEmpty());
}

// A step of no time within the count stops the start before anything is sent; a file block of
// invalid lines leaves its widget's table as it was and the notice says so.
void tst_stagedProgramme::unusableStepsAndBlocksAreRefused()
{
    MainWindowFixture f(patientBusOfOneAndThree());
    mainWnd &w = *f.window;
    w.show();
    QVERIFY(f.openPort());
    scanFromMenu(w);
    QTRY_VERIFY(!f.boxes.boxes.isEmpty());
    f.takeOnline({1, 3});

    stageControlWidget &page = *w.stagePage();
    itemStageControl &first = *page.items().at(0);
    itemStageControl &second = *page.items().at(1);
    page.setTickInterval(kHandTickMs);
    showStagePage(w);
    QVERIFY(typeProgramme(first, {"10,5"}));
    QVERIFY(typeProgramme(second, {"40,5", "50,0"}));
    QTest::mouseClick(page.startButton(), Qt::LeftButton);
    QCOMPARE(f.boxes.texts().last(),
             QStringLiteral("错误提示|第2个分阶控件（设备3）第2行的时间须为大于0的整数秒，未启动"));
    QCOMPARE(page.startButton()->text(), QStringLiteral("开始"));
    QVERIFY(!first.isRunning() && !second.isRunning());

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("programme.txt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("[1]\n60,2\n[2]\n50;1\n") > 0);
    file.close();
    FileDialogSeam::setHandler([&path](QWidget *, const FileDialogSeam::Request &) { return path; });
    QTest::mouseClick(page.findChild<QPushButton *>(QStringLiteral("btn_load")), Qt::LeftButton);
    FileDialogSeam::reset();
    QCOMPARE(f.boxes.texts().last(),
             QStringLiteral("提示|文件") + path +
                 QStringLiteral("导入成功；第2块[2]没有有效的阶，第2个分阶控件未改动"));
    QCOMPARE(first.programme(), (StageProgramme{{60, 2}}));
    QCOMPARE(second.programme(), (StageProgramme{{40, 5}, {50, 0}}));

    // Mended, the second programme runs too; nothing reached the controllers before.
    QVERIFY(typeProgramme(second, {"40,5", "50,1"}));
    QTest::mouseClick(page.startButton(), Qt::LeftButton);
    QCOMPARE(page.startButton()->text(), QStringLiteral("停止"));
    QTRY_COMPARE(setpointChanges(*f.bus, 1), floats({60}));
    QTRY_COMPARE(setpointChanges(*f.bus, 3), floats({40}));
    QTest::mouseClick(page.startButton(), Qt::LeftButton);
    QTRY_COMPARE(setpointChanges(*f.bus, 1), floats({60, 0}));
    QTRY_COMPARE(setpointChanges(*f.bus, 3), floats({40, 0}));
}

#include "TestRunner.h"

QUORIX_TEST_MAIN(tst_stagedProgramme)
#include "tst_stagedProgramme.moc"
