// One stage widget on its own: the order and timing of its set-points in each mode, in ticks that
// the test gives by hand (the widget's own timer is set far beyond the test's length).

#include "MessageBoxSeam.h"
#include "StageTables.h"

#include <QComboBox>
#include <QLineEdit>
#include <QtTest>

namespace {

// A widget for device 5 whose emitted set-points are recorded as "flow@tick".
struct Run
{
    itemStageControl item;
    QStringList sent;
    int finishes = 0;

    Run(const QString &rows, int mode)
    {
        item.setDeviceId(5);
        item.setTickInterval(3600 * 1000);
        StageTables::type(item, rows);
        item.findChild<QComboBox *>(QStringLiteral("combox_mode"))->setCurrentIndex(mode);
        QObject::connect(&item, &itemStageControl::sig_item_excStep, [this](uchar device, float flow) {
            sent << QStringLiteral("%1@%2").arg(double(flow)).arg(item.programmeTicks());
            QCOMPARE(int(device), 5);
        });
        QObject::connect(&item, &itemStageControl::sig_item_finish, [this] { ++finishes; });
    }
    QLineEdit *field(const char *name) { return item.findChild<QLineEdit *>(QLatin1String(name)); }
    void tick(int ticks)
    {
        const int mode = item.findChild<QComboBox *>(QStringLiteral("combox_mode"))->currentIndex();
        for (int k = 0; k < ticks; ++k)
            mode == 0 ? item.excuteStep() : mode == 1 ? item.cycleStep() : item.reverseStep();
    }
};

} // namespace

class tst_itemStageControl : public QObject
{
    Q_OBJECT
private slots:
    void orderAndTiming_data();
    void orderAndTiming();
    void restartBeginsAfresh();
    void startIgnoresAStaleCount_data();
    void startIgnoresAStaleCount();
    void enteredCountOutlivesTheRun_data();
    void enteredCountOutlivesTheRun();
    void countLoweredMidRunStillEnds_data();
    void countLoweredMidRunStillEnds();
    void flowEditedOutOfRangeStopsTheRun();
    void renumberedWidgetKeepsItsRunsController();
    void stepCountEntry_data();
    void stepCountEntry();
};

void tst_itemStageControl::orderAndTiming_data()
{
    QTest::addColumn<QString>("rows");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("count"); // entered step count; empty: none entered
    QTest::addColumn<int>("ticks");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<int>("finishes");
    QTest::newRow("single: first step its time, middle one more, last its time")
        << "10,5;20,5;30,5" << 0 << "3" << 25 << QStringList{"10@0", "20@5", "30@11", "0@16"} << 1;
    QTest::newRow("single: one step of 1 s holds its second before the 0")
        << "7,1" << 0 << "1" << 3 << QStringList{"7@0", "0@1"} << 1;
    QTest::newRow("single: one step of 3 s holds three seconds")
        << "7,3" << 0 << "" << 5 << QStringList{"7@0", "0@3"} << 1;
    QTest::newRow("single: an entered count runs its rows only")
        << "10,1;20,1;30,1;40,1;50,1" << 0 << "3" << 8 << QStringList{"10@0", "20@1", "30@3", "0@4"} << 1;
    QTest::newRow("single without a count ends after the valid rows")
        << "10,1;20,1" << 0 << "" << 6 << QStringList{"10@0", "20@1", "0@2"} << 1;
    QTest::newRow("repeat: row 0 again holds one second more")
        << "10,2;20,2" << 1 << "2" << 11 << QStringList{"10@0", "20@2", "10@5", "20@8", "10@11"} << 0;
    QTest::newRow("repeat without a count wraps")
        << "10,1;20,1" << 1 << "" << 5 << QStringList{"10@0", "20@1", "10@3", "20@5"} << 0;
    QTest::newRow("back and forth: rows 0,1,2,2,1,0,0,1")
        << "10,1;20,1;30,1" << 2 << "3" << 13
        << QStringList{"10@0", "20@1", "30@3", "30@5", "20@7", "10@9", "10@11", "20@13"} << 0;
    QTest::newRow("back and forth without a count turns")
        << "10,1;20,1" << 2 << "" << 7 << QStringList{"10@0", "20@1", "20@3", "10@5", "10@7"} << 0;
    QTest::newRow("a gap row inside the programme waits")
        << "10,1;;30,1" << 0 << "" << 6 << QStringList{"10@0"} << 0;
    QTest::newRow("no valid row: no start") << "10,;,5" << 0 << "" << 0 << QStringList() << 0;
    QTest::newRow("negative flow: no start") << "10,1;-1,1" << 0 << "" << 0 << QStringList() << 0;
    QTest::newRow("flow above 999999: no start") << "1000000,1" << 1 << "" << 0 << QStringList() << 0;
    QTest::newRow("flow beyond an integer: no start")
        << "99999999999,1" << 2 << "" << 0 << QStringList() << 0;
    QTest::newRow("0 and 999999 run") << "0,1;999999,1" << 0 << "" << 0 << QStringList{"0@0"} << 0;
    QTest::newRow("duration 0: no start") << "10,1;20,0" << 0 << "" << 0 << QStringList() << 0;
    QTest::newRow("negative duration: no start") << "10,-1" << 1 << "" << 0 << QStringList() << 0;
    QTest::newRow("duration no whole number: no start") << "10,1.5" << 2 << "" << 0 << QStringList() << 0;
    QTest::newRow("duration 0 beyond the count runs")
        << "10,1;20,0" << 0 << "1" << 3 << QStringList{"10@0", "0@1"} << 1;
}

void tst_itemStageControl::orderAndTiming()
{
    QFETCH(QString, rows);
    QFETCH(int, mode);
    QFETCH(QString, count);
    QFETCH(int, ticks);
    QFETCH(QStringList, sent);
    QFETCH(int, finishes);
    Run run(rows, mode);
    if (!count.isEmpty()) {
        run.field("edit_stepCount")->setText(count);
        run.item.refreshStepCount();
    }
    run.item.startStep(5);
    run.tick(ticks);
    QCOMPARE(run.sent, sent);
    QCOMPARE(run.finishes, finishes);
}

// A second start while the first step runs sends row 0 again and gives it its full time.
void tst_itemStageControl::restartBeginsAfresh()
{
    Run run(QStringLiteral("10,3;20,3"), 0);
    run.item.startStep(5);
    run.tick(1);
    run.item.startStep(5);
    run.tick(4);
    QCOMPARE(run.sent, (QStringList{"10@0", "10@0", "20@3"}));
}

void tst_itemStageControl::startIgnoresAStaleCount_data()
{
    QTest::addColumn<QString>("before"); // the table of the first run, stopped at once
    QTest::addColumn<QString>("after");  // the table typed before the second start
    QTest::addColumn<QStringList>("sent");
    QTest::newRow("rows added") << "10,1"
                                << "10,1;20,1" << QStringList{"10@0", "20@1", "0@2"};
    QTest::newRow("rows cleared") << "10,1;20,1;30,1"
                                  << "10,1;20,1;," << QStringList{"10@0", "20@1", "0@2"};
}

// Stop clears the count field; the next start counts the table as it is now.
void tst_itemStageControl::startIgnoresAStaleCount()
{
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(QStringList, sent);
    Run run(before, 0);
    run.item.startStep(5);
    run.item.stopStep();
    StageTables::type(run.item, after);
    run.sent.clear();
    run.item.startStep(5);
    run.tick(6);
    QCOMPARE(run.sent, sent);
}

void tst_itemStageControl::enteredCountOutlivesTheRun_data()
{
    QTest::addColumn<QString>("count");    // entered before the first run
    QTest::addColumn<bool>("stopped");     // the first run is stopped at its second step, or ends
    QTest::addColumn<QString>("after");    // the table typed before the second start
    QTest::addColumn<QStringList>("sent"); // by the second run
    const QString five = QStringLiteral("10,1;20,1;30,1;40,1;50,1");
    const QStringList three{"10@0", "20@1", "30@3", "0@4"};
    QTest::newRow("3 of 5, after the end") << "3" << false << five << three;
    QTest::newRow("3 of 5, after a stop") << "3" << true << five << three;
    QTest::newRow("0 runs every valid row")
        << "0" << false << five << QStringList{"10@0", "20@1", "30@3", "40@5", "50@7", "0@8"};
    QTest::newRow("a count above the rows left runs those rows")
        << "5" << true << "10,1;20,1;30,1;;" << three;
}

// The count the operator entered stays in the field after the run and governs the next one.
void tst_itemStageControl::enteredCountOutlivesTheRun()
{
    QFETCH(QString, count);
    QFETCH(bool, stopped);
    QFETCH(QString, after);
    QFETCH(QStringList, sent);
    Run run(QStringLiteral("10,1;20,1;30,1;40,1;50,1"), 0);
    run.field("edit_stepCount")->setText(count);
    run.item.refreshStepCount();
    run.item.startStep(5);
    run.tick(stopped ? 1 : 12);
    if (stopped)
        run.item.stopStep();
    QCOMPARE(run.finishes, int(!stopped));
    QCOMPARE(run.field("edit_stepCount")->text(), count);
    const int greyFrom = count.toInt() > 0 ? count.toInt() : 5; // the rows the count leaves out
    for (int row = 0; row < 5; ++row) {
        const QColor colour = StageTables::table(run.item)->item(row, 0)->background().color();
        QCOMPARE(colour == QColor(Qt::lightGray), row >= greyFrom);
    }
    StageTables::type(run.item, after);
    run.sent.clear();
    run.item.startStep(5);
    run.tick(12);
    QCOMPARE(run.sent, sent);
    QCOMPARE(run.field("edit_stepCount")->text(), count);
}

void tst_itemStageControl::countLoweredMidRunStillEnds_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("next"); // what follows row 2 when the count drops to 2 there
    QTest::newRow("single ends") << 0 << "0@4";
    QTest::newRow("repeat wraps") << 1 << "10@5";
    QTest::newRow("back and forth turns") << 2 << "20@5";
}

void tst_itemStageControl::countLoweredMidRunStillEnds()
{
    QFETCH(int, mode);
    QFETCH(QString, next);
    Run run(QStringLiteral("10,1;20,1;30,1;40,1"), mode);
    run.item.startStep(5);
    run.tick(3);
    run.field("edit_stepCount")->setText(QStringLiteral("2"));
    run.item.refreshStepCount();
    run.tick(2);
    QCOMPARE(run.sent, (QStringList{"10@0", "20@1", "30@3", next}));
}

// A flow typed out of range during a run is never sent: the run stops with 0 and says why.
void tst_itemStageControl::flowEditedOutOfRangeStopsTheRun()
{
    QStringList shown;
    MessageBoxSeam::setHandler([&shown](QWidget *, const MessageBoxSeam::Box &box) {
        shown << box.title + QLatin1Char('|') + box.text;
        return QMessageBox::Ok;
    });
    Run run(QStringLiteral("10,1;20,1"), 1);
    run.item.startStep(5);
    StageTables::type(run.item, QStringLiteral("10,1;-20,1"));
    run.tick(1);
    MessageBoxSeam::reset();
    QCOMPARE(run.sent, (QStringList{"10@0", "0@1"}));
    QCOMPARE(shown, QStringList{"错误提示|设备5第2行的流量超出0到999999的范围，已停止"});
    QVERIFY(!run.item.isRunning());
}

// A rescan fills the device fields anew; the running programme, its pause and its stop stay with
// device 5 (Run fails on any other device).
void tst_itemStageControl::renumberedWidgetKeepsItsRunsController()
{
    Run run(QStringLiteral("10,1;20,1"), 1);
    run.item.startStep(5);
    run.item.setDeviceId(7);
    run.tick(1);
    run.item.slot_stepPause(7, 1);
    run.item.stopStep();
    QCOMPARE(run.sent, (QStringList{"10@0", "20@1", "0@1", "0@1"}));
}

void tst_itemStageControl::stepCountEntry_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("byReturn"); // committed with Return, or by moving to another field
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<int>("stepCount");
    QTest::addColumn<QString>("shown");
    const QStringList tooMany{"错误提示|输入的阶数不能大于5"};
    QTest::newRow("three of five: rows 3 and 4 grey") << "3" << true << QStringList() << 3 << "3";
    QTest::newRow("all five") << "5" << true << QStringList() << 5 << "5";
    QTest::newRow("left with another field") << "2" << false << QStringList() << 2 << "2";
    QTest::newRow("0 means every valid row") << "0" << true << QStringList() << 5 << "0";
    QTest::newRow("03 shown as 3") << "03" << true << QStringList() << 3 << "3";
    QTest::newRow("03 shown as 3, left") << "03" << false << QStringList() << 3 << "3";
    QTest::newRow("more than valid") << "6" << true << tooMany << 0 << "6";
    QTest::newRow("clamped to 999999") << "1000000" << true << tooMany << 0 << "999999";
    QTest::newRow("not a number") << "2.5" << true << QStringList{"错误提示|请输入有效数字"} << 0 << "2.5";
}

// Typed into the field and committed; leaving the field untouched afterwards asks nothing more.
void tst_itemStageControl::stepCountEntry()
{
    QFETCH(QString, typed);
    QFETCH(bool, byReturn);
    QFETCH(QStringList, boxes);
    QFETCH(int, stepCount);
    QFETCH(QString, shown);
    QStringList shownBoxes;
    MessageBoxSeam::setHandler([&shownBoxes](QWidget *, const MessageBoxSeam::Box &box) {
        shownBoxes << box.title + QLatin1Char('|') + box.text;
        return QMessageBox::Ok;
    });
    Run run(QStringLiteral("1,1;2,1;3,1;4,1;5,1"), 0);
    run.item.show();
    QApplication::setActiveWindow(&run.item);
    QLineEdit *field = run.field("edit_stepCount");
    field->setFocus();
    QTRY_VERIFY(field->hasFocus());
    QTest::keyClicks(field, typed);
    if (byReturn)
        QTest::keyClick(field, Qt::Key_Return);
    run.field("edit_deviceId")->setFocus();
    field->setFocus();
    run.field("edit_deviceId")->setFocus();
    MessageBoxSeam::reset();
    QCOMPARE(shownBoxes, boxes);
    QCOMPARE(run.item.stepCount(), stepCount);
    QCOMPARE(field->text(), shown);
    for (int row = 0; row < 5; ++row) {
        const QColor colour = StageTables::table(run.item)->item(row, 0)->background().color();
        QCOMPARE(colour == QColor(Qt::lightGray), boxes.isEmpty() && row >= stepCount);
    }
}

#include "TestRunner.h"

QUORIX_TEST_MAIN(tst_itemStageControl)
#include "tst_itemStageControl.moc"
