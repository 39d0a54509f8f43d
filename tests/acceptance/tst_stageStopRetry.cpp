// A stop whose request to one controller is lost on the line still leaves that controller at 0:
// the worker sends the staged step again. Needs the simulator's lostWrites fault.

#include "stages/StagePageDriver.h"

#include <QtTest>

using namespace StagePageDriver;

class tst_stageStopRetry : public QObject
{
    Q_OBJECT
private slots:
    void lostStopRequestStillStopsTheGas();
};

void tst_stageStopRetry::lostStopRequestStillStopsTheGas()
{
    MainWindowFixture::Setup setup;
    setup.addresses = {1, 3};
    setup.tickMs = 20;
    setup.replyTimeoutMs = 60;
    MainWindowFixture f(setup);
    mainWnd &w = *f.window;
    w.show();
    QVERIFY(f.openPort());
    scanFromMenu(w);
    QTRY_VERIFY(!f.boxes.boxes.isEmpty());

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
    QVERIFY(setpointsReceived(*f.bus, 3).count(0.0f) >= 1);
}

QTEST_MAIN(tst_stageStopRetry)
#include "tst_stageStopRetry.moc"
