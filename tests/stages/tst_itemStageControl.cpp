// One stage widget on its own: the order and timing of its set-points in each mode, counted in
// ticks that the test gives by hand (the widget's own timer is set far beyond the test's length).

#include "MessageBoxSeam.h"
#include "StageTables.h"
#include "itemStageControl.h"

#include <QComboBox>
#include <QLineEdit>
#include <QtTest>

namespace {

constexpr int kDevice = 5;

// A widget for device 5 whose run the test drives tick by tick; every set-point it emits is
// recorded as "flow@tick".
struct Run
{
    itemStageControl item;
    QStringList sent;
    int finishes = 0;

    Run(const QString &rows, int mode)
    {
        item.setDeviceId(kDevice);
        item.setTickInterval(3600 * 1000);
        StageTables::type(item, rows);
        item.findChild<QComboBox *>(QStringLiteral("combox_mode"))->setCurrentIndex(mode);
        QObject::connect(&item, &itemStageControl::sig_item_excStep, [this](uchar device, float flow) {
            sent << QStringLiteral("%1@%2").arg(double(flow)).arg(item.programmeTicks());
            QCOMPARE(int(device), kDevice);
        });
        QObject::connect(&item, &itemStageControl::sig_item_finish, [this] { ++finishes; });
    }
    QLineEdit *field(const char *name) { return item.findChild<QLineEdit *>(QLatin1String(name)); }
    void enterCount(const QString &count)
    {
        field("edit_stepCount")->setText(count);
        item.refreshStepCount();
    }
    void start() { item.startStep(kDevice); }
    void tick(int ticks = 1)
    {
        const int mode = item.findChild<QComboBox *>(QStringLiteral("combox_mode"))->currentIndex();
        for (int k = 0; k < ticks; ++k)
            mode == 0 ? item.excuteStep() : mode == 1 ? item.cycleStep() : item.reverseStep();
    }
    QColor colour(int row) { return StageTables::table(item)->item(row, 0)->background().color(); }
};

class BoxAnswers
{
public:
    BoxAnswers()
    {
        MessageBoxSeam::setHandler([this](QWidget *, const MessageBoxSeam::Box &box) {
            texts << box.title + QLatin1Char('|') + box.text;
            return QMessageBox::Ok;
        });
    }
    ~BoxAnswers() { MessageBoxSeam::reset(); }
    QStringList texts;
};

} // namespace

class tst_itemStageControl : public QObject
{
    Q_OBJECT
private slots:
    void orderAndTiming_data();
    void orderAndTiming();
    void stepCountEntry_data();
    void stepCountEntry();
    void startWithoutValidRowDoesNotRun();
    void restartBeginsAfresh();
    void pauseHoldsTheStepAndResumeResendsItsFlow();
    void stopResetsAndSendsZeroOnlyToADevice();
    void startRefusesFlowsOutOfRange_data();
    void startRefusesFlowsOutOfRange();
};

void tst_itemStageControl::orderAndTiming_data()
{
    QTest::addColumn<QString>("rows");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("count"); // entered step count; empty: none entered
    QTest::addColumn<int>("ticks");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<int>("finishes");
    const QString three = QStringLiteral("10,5;20,5;30,5");
    QTest::newRow("single: first step holds its time, middle one more, last its time")
        << three << 0 << "3" << 25 << QStringList{"10@0", "20@5", "30@11", "0@16"} << 1;
    QTest::newRow("single: one step of 1 s sends its flow and 0 in one tick")
        << "7,1" << 0 << "1" << 3 << QStringList{"7@0", "0@0"} << 1;
    QTest::newRow("single: an entered count runs its rows only")
        << "10,1;20,1;30,1;40,1;50,1" << 0 << "3" << 8 << QStringList{"10@0", "20@1", "30@3", "0@4"} << 1;
    QTest::newRow("single without a count ends after the valid rows")
        << "10,1;20,1" << 0 << "" << 6 << QStringList{"10@0", "20@1", "0@2"} << 1;
    QTest::newRow("repeat: row 0 again holds one second more")
        << "10,2;20,2" << 1 << "2" << 11 << QStringList{"10@0", "20@2", "10@5", "20@8", "10@11"} << 0;
    QTest::newRow("repeat without a count wraps")
        << "10,1;20,1" << 1 << "" << 5 << QStringList{"10@0", "20@1", "10@3", "20@5"} << 0;
    QTest::newRow("back and forth: 0,1,2,2,1,0,0,1")
        << "10,1;20,1;30,1" << 2 << "3" << 13
        << QStringList{"10@0", "20@1", "30@3", "30@5", "20@7", "10@9", "10@11", "20@13"} << 0;
    QTest::newRow("back and forth without a count turns")
        << "10,1;20,1" << 2 << "" << 7 << QStringList{"10@0", "20@1", "20@3", "10@5", "10@7"} << 0;
    QTest::newRow("a gap row inside the programme waits")
        << "10,1;;30,1" << 0 << "" << 6 << QStringList{"10@0"} << 0;
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
    if (!count.isEmpty())
        run.enterCount(count);
    run.start();
    run.tick(ticks);
    QCOMPARE(run.sent, sent);
    QCOMPARE(run.finishes, finishes);
}

void tst_itemStageControl::stepCountEntry_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("stepCount");
    QTest::addColumn<int>("greyFrom");
    QTest::newRow("three of five") << "3"
                                   << "" << 3 << 3;
    QTest::newRow("all five") << "5"
                              << "" << 5 << 5;
    QTest::newRow("more than valid") << "6"
                                     << "错误提示|输入的阶数不能大于5" << 0 << 5;
    QTest::newRow("not a number") << "2.5"
                                  << "错误提示|请输入有效数字" << 0 << 5;
}

// Typed into the field and committed with Return, as an operator does.
void tst_itemStageControl::stepCountEntry()
{
    QFETCH(QString, typed);
    QFETCH(QString, box);
    QFETCH(int, stepCount);
    QFETCH(int, greyFrom);
    BoxAnswers boxes;
    Run run(QStringLiteral("1,1;2,1;3,1;4,1;5,1"), 0);
    run.item.show();
    QApplication::setActiveWindow(&run.item);
    QLineEdit *field = run.field("edit_stepCount");
    field->setFocus();
    QTRY_VERIFY(field->hasFocus());
    QTest::keyClicks(field, typed);
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(boxes.texts, box.isEmpty() ? QStringList() : QStringList{box});
    QCOMPARE(run.item.stepCount(), stepCount);
    for (int row = 0; row < 5; ++row)
        QCOMPARE(run.colour(row) == QColor(Qt::lightGray), row >= greyFrom);
    run.field("edit_deviceId")->setFocus(); // leaving the field without typing asks nothing more
    QCOMPARE(boxes.texts.size(), box.isEmpty() ? 0 : 1);
}

void tst_itemStageControl::startWithoutValidRowDoesNotRun()
{
    Run run(QStringLiteral("10,;,5"), 0);
    run.start();
    QVERIFY(run.sent.isEmpty());
    QVERIFY(!run.item.isRunning());
}

// A second start while the first step runs sends row 0 again and gives it its full time.
void tst_itemStageControl::restartBeginsAfresh()
{
    Run run(QStringLiteral("10,3;20,3"), 0);
    run.start();
    run.tick(1);
    run.sent.clear();
    run.start();
    run.tick(4);
    QCOMPARE(run.sent, (QStringList{"10@0", "20@3"}));
}

void tst_itemStageControl::pauseHoldsTheStepAndResumeResendsItsFlow()
{
    Run run(QStringLiteral("10,3;20,3"), 0);
    run.start();
    run.item.slot_stepPause(kDevice + 1, 1); // another device's pause
    run.tick(1);
    run.item.slot_stepPause(kDevice, 1);
    run.tick(5);
    QCOMPARE(run.field("edit_currentTime")->text(), QStringLiteral("2"));
    run.item.slot_stepPause(kDevice, 2);
    run.tick(2);
    QCOMPARE(run.sent, (QStringList{"10@0", "0@1", "10@6", "20@8"}));
}

void tst_itemStageControl::stopResetsAndSendsZeroOnlyToADevice()
{
    Run run(QStringLiteral("10,3;20,3"), 1);
    run.start();
    run.tick(2);
    run.item.stopStep();
    QCOMPARE(run.sent, (QStringList{"10@0", "0@2"}));
    QVERIFY(!run.item.isRunning());
    QCOMPARE(run.field("edit_currentStep")->text(), QString());
    run.field("edit_deviceId")->clear();
    run.sent.clear();
    run.item.stopStep();
    QVERIFY(run.sent.isEmpty());
}

void tst_itemStageControl::startRefusesFlowsOutOfRange_data()
{
    QTest::addColumn<QString>("rows");
    QTest::addColumn<int>("badRow");
    QTest::newRow("negative") << "10,1;-1,1" << 1;
    QTest::newRow("above 999999") << "1000000,1" << 0;
    QTest::newRow("beyond an integer") << "10,1;10,1;99999999999,1" << 2;
    QTest::newRow("limits are fine") << "0,1;999999,1" << -1;
}

void tst_itemStageControl::startRefusesFlowsOutOfRange()
{
    QFETCH(QString, rows);
    QFETCH(int, badRow);
    Run run(rows, 0);
    QCOMPARE(run.item.firstOutOfRangeRow(), badRow);
    run.start();
    QCOMPARE(run.sent.isEmpty(), badRow >= 0);
}

QTEST_MAIN(tst_itemStageControl)
#include "tst_itemStageControl.moc"
