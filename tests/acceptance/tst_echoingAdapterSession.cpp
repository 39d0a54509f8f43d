// An operator's session through an adapter that hands every byte sent back to the host, played
// through the real main window against the simulated bus: the scan lists only the controllers,
// readings come in, and a setpoint the controller did not hear is sent again until it has it.

#include "shell/MainWindowFixture.h"

#include "DeviceLine.h"
#include "RegisterMap.h"
#include "deviceWindow.h"

#include <QAction>
#include <QLineEdit>
#include <QtTest>

class tst_echoingAdapterSession : public QObject
{
    Q_OBJECT
private slots:
    void scanReadAndSetThroughAnEchoingAdapter();
};

void tst_echoingAdapterSession::scanReadAndSetThroughAnEchoingAdapter()
{
    MainWindowFixture::Setup setup;
    setup.addresses = {1, 3, 12};
    MainWindowFixture f(setup);
    f.bus->setAdapterEchoes(true);
    mainWnd &w = *f.window;
    w.show();
    QVERIFY(f.openPort());
    QTRY_VERIFY(w.worker()->adapterEchoes());

    // The adapter's copy of every probe is a sound echo; the box names only the controllers.
    menuEntry(w, QStringLiteral("查询设备"))->trigger();
    QTRY_VERIFY(!f.boxes.boxes.isEmpty());
    QCOMPARE(f.boxes.texts(), QStringList{QStringLiteral("提示|查询设备完成，查询到的设备为:1,3,12,")});
    QCOMPARE(w.devicePage()->row(3)->deviceIdText(), QString());

    DeviceLine *row = w.devicePage()->row(0);
    auto *online = row->findChild<QPushButton *>(QStringLiteral("btn_online"));
    QTest::mouseClick(online, Qt::LeftButton);
    QTRY_COMPARE(row->findChild<QPushButton *>(QStringLiteral("btn_mode"))->text(),
                 QStringLiteral("瞬时量控制"));
    f.bus->setFloatRegister(1, RegisterMap::Temperature, 23.46f);
    QTRY_COMPARE(row->findChild<QPushButton *>(QStringLiteral("btn_temp"))->text(), QStringLiteral("23.5"));

    // The first write vanishes before controller 1 hears it: only the adapter's copy comes back,
    // and the write goes out again.
    SimFaults losing;
    losing.lostWrites = 1;
    f.bus->setFaults(1, losing);
    QLineEdit *setpoint = row->findChild<QWidget *>(QStringLiteral("edit_cur"))
                              ->findChild<QLineEdit *>(QStringLiteral("lineEdit"));
    setpoint->setFocus();
    setpoint->selectAll();
    QTest::keyClicks(setpoint, QStringLiteral("50"));
    QTest::keyClick(setpoint, Qt::Key_Return);
    QTRY_COMPARE(f.bus->lostFrameCount(), 1);
    QTRY_COMPARE(f.bus->floatRegister(1, RegisterMap::InstantSetpoint), 50.0f);
    QCOMPARE(online->text(), QStringLiteral("接连"));
}

#include "TestRunner.h"

QUORIX_TEST_MAIN(tst_echoingAdapterSession)
#include "tst_echoingAdapterSession.moc"
