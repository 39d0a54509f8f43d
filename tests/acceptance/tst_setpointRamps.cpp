// Setpoint ramps through the real window and a simulated bus: a rate set in "过程设置" behind the
// administrator password, a typed target reached by rising writes ending exactly at it, a 0 that
// goes out at once mid-ramp, and a programme's step ramped on a controller with a rate.

#include "stages/StagePageDriver.h"

#include "TestRunner.h"

#include "BenchModel.h"
#include "CustomSpimbox.h"
#include "ProcessSettingsWindow.h"
#include "ProcessSettingsWiring.h"
#include "RampDriver.h"
#include "loginWnd.h"

#include <QDoubleSpinBox>
#include <QFile>
#include <QLineEdit>
#include <QStandardPaths>
#include <QtTest>

using namespace StagePageDriver;

namespace {

constexpr int kRampTickMs = 250; // ramps tick four times a second here; each step is still rate × 1 s

QLineEdit *flowField(mainWnd &window)
{
    return window.devicePage()->row(0)->findChild<QWidget *>(QStringLiteral("edit_cur"))
        ->findChild<QLineEdit *>(QStringLiteral("lineEdit"));
}

void typeFlow(mainWnd &window, const QString &text)
{
    QLineEdit *field = flowField(window);
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, text);
    QTest::keyClick(field, Qt::Key_Return);
    field->clearFocus();
}

// Opens "过程设置", enters the rate of the first controller, saves, gives the password.
void setRateThroughTheWindow(MainWindowFixture &f, double rate)
{
    menuEntry(*f.window, QStringLiteral("过程设置"))->trigger();
    ProcessSettingsWindow *window = f.window->processSettings()->window();
    QVERIFY(window->isVisible());
    window->rateField(0)->setValue(rate);
    QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("btn_save")), Qt::LeftButton);
    loginWnd *login = f.window->processSettings()->login();
    QVERIFY(login->isVisible());
    auto *password = login->findChild<QLineEdit *>(QStringLiteral("edit_password"));
    QTest::keyClicks(password, QStringLiteral("guest902731"));
    QTest::mouseClick(login->findChild<QPushButton *>(QStringLiteral("pushButton")), Qt::LeftButton);
    QCOMPARE(f.boxes.texts().last(), QStringLiteral("提示|过程设置已保存"));
}

} // namespace

class tst_setpointRamps : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void typedTargetRampsAndAZeroGoesAtOnce();
    void programmeStepRamps();
};

void tst_setpointRamps::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true); // the settings file is the test's own
    QFile::remove(ProcessSettings::defaultPath());
}

void tst_setpointRamps::typedTargetRampsAndAZeroGoesAtOnce()
{
    MainWindowFixture::Setup setup;
    setup.addresses = {1};
    MainWindowFixture f(setup);
    mainWnd &w = *f.window;
    w.show();
    QVERIFY(f.openPort());
    menuEntry(w, QStringLiteral("查询设备"))->trigger();
    QTRY_COMPARE(w.foundDeviceIds(), QList<quint8>{1});
    f.takeOnline({1});
    QTRY_COMPARE(w.benchModel()->record(1)->mode, 0);
    setRateThroughTheWindow(f, 20);
    QCOMPARE(w.ramps()->rate(1), 20.0);
    ProcessSettings kept;
    QString error;
    QVERIFY(kept.load(ProcessSettings::defaultPath(), &error));
    QCOMPARE(kept.rampRate(1), 20.0);
    QVERIFY(kept.changed(1).isValid());

    w.ramps()->setTickInterval(kRampTickMs);
    f.bus->clearReceivedFrames();
    typeFlow(w, QStringLiteral("100"));
    QTRY_COMPARE(f.window->devicePage()->row(0)->findChild<CustomSpimbox *>(QStringLiteral("edit_cur"))->targetText(),
                 QStringLiteral("→ 100"));
    QTRY_COMPARE_WITH_TIMEOUT(lastSetpoint(*f.bus, 1), 100.0f, 10000);
    QCOMPARE(setpointChanges(*f.bus, 1), (QList<float>{20, 40, 60, 80, 100}));
    QTRY_VERIFY(!w.ramps()->isRamping(1));
    QCOMPARE(f.window->devicePage()->row(0)->findChild<CustomSpimbox *>(QStringLiteral("edit_cur"))->targetText(),
             QString());

    // Down again, and a 0 typed mid-ramp: it goes out at once, the ramp is abandoned.
    typeFlow(w, QStringLiteral("20"));
    QTRY_COMPARE(lastSetpoint(*f.bus, 1), 60.0f);
    typeFlow(w, QStringLiteral("0"));
    QTRY_COMPARE(lastSetpoint(*f.bus, 1), 0.0f);
    QVERIFY(!w.ramps()->isRamping(1));
    QVERIFY(f.flushWorker());
    QCOMPARE(setpointChanges(*f.bus, 1).mid(5), (QList<float>{80, 60, 0}));
}

void tst_setpointRamps::programmeStepRamps()
{
    MainWindowFixture::Setup setup;
    setup.addresses = {1};
    setup.tickMs = 20;
    MainWindowFixture f(setup);
    mainWnd &w = *f.window;
    w.show();
    QVERIFY(f.openPort());
    scanFromMenu(w);
    QTRY_COMPARE(w.foundDeviceIds(), QList<quint8>{1});
    f.takeOnline({1});
    QTRY_COMPARE(w.benchModel()->record(1)->mode, 0);
    w.ramps()->setRate(1, 25);
    w.ramps()->setTickInterval(kRampTickMs);

    stageControlWidget &page = *w.stagePage();
    itemStageControl &first = *page.items().at(0);
    page.setTickInterval(300);
    showStagePage(w);
    QVERIFY(typeProgramme(first, {"100,2", "60,600"}));
    page.refreshRampRates();
    // The first step needs 4 s of ramp and holds 2: allowed, and shown.
    QCOMPARE(first.rowsShorterThanRamp(), QList<int>{0});
    f.bus->clearReceivedFrames();
    QTest::mouseClick(page.startButton(), Qt::LeftButton);
    QCOMPARE(page.startButton()->text(), QStringLiteral("停止"));
    QTRY_COMPARE_WITH_TIMEOUT(lastSetpoint(*f.bus, 1), 60.0f, 10000);
    const QList<float> heard = setpointChanges(*f.bus, 1);
    QCOMPARE(heard.first(), 25.0f);
    QVERIFY2(heard.size() >= 3, qPrintable(QString::number(heard.size())));
    for (float value : heard)
        QVERIFY(value <= 100.0f);
    QCOMPARE(w.benchModel()->driverOf(1), Driver::programme(1));
    QTest::mouseClick(page.startButton(), Qt::LeftButton);
    QTRY_COMPARE(lastSetpoint(*f.bus, 1), 0.0f);
    QVERIFY(!w.ramps()->isRamping(1));
}

QUORIX_TEST_MAIN(tst_setpointRamps)
#include "tst_setpointRamps.moc"
