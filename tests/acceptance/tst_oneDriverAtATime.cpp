// One driver at a time, through the real main window and a simulated bus: a programme drives only
// a controller that is polled, its steps show in the row, the operator cannot set a controller a
// programme drives except to 0, which stops the programme, and a controller taken offline pauses
// its programme with 0 sent.

#include "stages/StagePageDriver.h"

#include "TestRunner.h"

#include "BenchModel.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace StagePageDriver;

namespace {

MainWindowFixture::Setup busOfOneAndThree()
{
    MainWindowFixture::Setup setup;
    setup.addresses = {1, 3};
    setup.tickMs = 20;
    return setup;
}

QLineEdit *flowSetpointField(mainWnd &window, int row)
{
    return window.devicePage()->row(row)->findChild<QWidget *>(QStringLiteral("edit_cur"))
        ->findChild<QLineEdit *>(QStringLiteral("lineEdit"));
}

void typeSetpoint(mainWnd &window, int row, const QString &text)
{
    QLineEdit *field = flowSetpointField(window, row);
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, text);
    QTest::keyClick(field, Qt::Key_Return);
    field->clearFocus();
}

} // namespace

class tst_oneDriverAtATime : public QObject
{
    Q_OBJECT
private slots:
    void programmeDrivesItsControllerAlone();
    void controllerTakenOfflinePausesItsProgramme();
};

void tst_oneDriverAtATime::programmeDrivesItsControllerAlone()
{
    MainWindowFixture f(busOfOneAndThree());
    mainWnd &w = *f.window;
    w.show();
    QVERIFY(f.openPort());
    scanFromMenu(w);
    QTRY_COMPARE(w.foundDeviceIds(), (QList<quint8>{1, 3}));
    f.takeOnline({1});
    stageControlWidget &page = *w.stagePage();
    itemStageControl &first = *page.items().at(0);
    itemStageControl &second = *page.items().at(1);
    page.setTickInterval(300);
    showStagePage(w);

    // Controller 3 is not online: its programme is refused, and nothing reaches it.
    QVERIFY(typeProgramme(second, {"50,10"}));
    QTest::mouseClick(page.startButton(), Qt::LeftButton);
    QCOMPARE(f.boxes.texts().last(), QStringLiteral("错误提示|第2个分阶控件（设备3）：设备3未上线，未启动"));
    QCOMPARE(page.startButton()->text(), QStringLiteral("开始"));
    QVERIFY(typeProgramme(second, {","}));

    // Controller 1's programme: its steps show in the row, as the controller confirmed them.
    QStringList shown;
    connect(flowSetpointField(w, 0), &QLineEdit::textChanged, this, [&](const QString &text) { shown << text; });
    QVERIFY(typeProgramme(first, {"25,1", "40,600"}));
    QTest::mouseClick(page.startButton(), Qt::LeftButton);
    QCOMPARE(page.startButton()->text(), QStringLiteral("停止"));
    QTRY_COMPARE(lastSetpoint(*f.bus, 1), 40.0f);
    QTRY_COMPARE(flowSetpointField(w, 0)->text(), QStringLiteral("40"));
    QVERIFY2(shown.contains(QStringLiteral("25")), qPrintable(shown.join(QLatin1Char(' '))));
    QCOMPARE(w.benchModel()->driverOf(1), Driver::programme(1));

    // The operator's setpoint is refused while the programme drives: nothing goes out, the field
    // shows again what the controller holds.
    const int boxesBefore = f.boxes.boxes.size();
    typeSetpoint(w, 0, QStringLiteral("70"));
    QCOMPARE(f.boxes.boxes.size(), boxesBefore + 1);
    QCOMPARE(f.boxes.texts().last(), QStringLiteral("错误提示|设备1正由分阶程序1控制"));
    QCOMPARE(flowSetpointField(w, 0)->text(), QStringLiteral("40"));
    QVERIFY(f.flushWorker());
    QVERIFY(!setpointsReceived(*f.bus, 1).contains(70.0f));

    // A 0 always passes: it reaches the controller and ends the programme, whose page says why.
    typeSetpoint(w, 0, QStringLiteral("0"));
    QTRY_COMPARE(lastSetpoint(*f.bus, 1), 0.0f);
    QTRY_COMPARE(page.startButton()->text(), QStringLiteral("开始"));
    QVERIFY(!first.isRunning());
    QVERIFY(f.boxes.texts().contains(QStringLiteral("提示|设备1的流量被操作员设为0，第1个分阶控件已停止")));
    QCOMPARE(w.benchModel()->driverOf(1), Driver::none());
    QVERIFY(f.flushWorker());
    QCOMPARE(lastSetpoint(*f.bus, 1), 0.0f); // the stopped programme sends no step after it
}

void tst_oneDriverAtATime::controllerTakenOfflinePausesItsProgramme()
{
    MainWindowFixture f(busOfOneAndThree());
    mainWnd &w = *f.window;
    w.show();
    QVERIFY(f.openPort());
    scanFromMenu(w);
    QTRY_COMPARE(w.foundDeviceIds(), (QList<quint8>{1, 3}));
    f.takeOnline({1});
    stageControlWidget &page = *w.stagePage();
    itemStageControl &first = *page.items().at(0);
    page.setTickInterval(300);
    showStagePage(w);
    QVERIFY(typeProgramme(first, {"30,600"}));
    QTest::mouseClick(page.startButton(), Qt::LeftButton);
    QTRY_COMPARE(lastSetpoint(*f.bus, 1), 30.0f);

    // "断开": the programme pauses, its controller gets 0, and a notice says why.
    f.takeOnline({1});
    QTRY_COMPARE(lastSetpoint(*f.bus, 1), 0.0f);
    QVERIFY(f.boxes.texts().contains(QStringLiteral("提示|设备1已下线，第1个分阶控件已暂停，流量已设为0")));
    QVERIFY(first.isRunning()); // paused, not ended: the operator sees where it stood
    QCOMPARE(w.benchModel()->driverOf(1), Driver::none());
}

QUORIX_TEST_MAIN(tst_oneDriverAtATime)
#include "tst_oneDriverAtATime.moc"
