// The workspace through the real window and a simulated bus: what the operator set up is kept as
// it is set up; after a restart the window offers it and sends nothing before the click; the click
// opens the port with the kept settings, scans, takes online the controllers that answer, names
// the one that no longer does and loads the programme file into its widget without starting it.

#include "shell/MainWindowFixture.h"

#include "TestRunner.h"

#include "BenchModel.h"
#include "FileDialogSeam.h"
#include "StageProgrammeFile.h"
#include "Workspace.h"
#include "WorkspaceWiring.h"
#include "itemStageControl.h"
#include "lossWidget.h"
#include "stageControlWidget.h"

#include <QFile>
#include <QLineEdit>
#include <QStatusBar>
#include <QtTest>

namespace {

const StageProgramme kSteps{{40, 5}, {80, 5}};

bool scanned(MainWindowFixture &f, int count)
{
    menuEntry(*f.window, QStringLiteral("查询设备"))->trigger();
    return QTest::qWaitFor([&] { return f.window->foundDeviceIds().size() == count; }, 10000);
}

// A new main window on the same bus, as after a restart of the program.
void restart(MainWindowFixture &f)
{
    f.window.reset();
    f.bus->clearReceivedFrames();
    f.window = std::make_unique<mainWnd>(nullptr, 50);
}

Workspace keptOnDisk()
{
    Workspace kept;
    QString error;
    if (!kept.load(Workspace::defaultPath(), &error))
        qWarning("%s", qPrintable(error));
    return kept;
}

} // namespace

class tst_workspace : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void restoresOnTheClickAndNamesTheSilentController();
    void connectTakesEveryAnsweringControllerOnline();

private:
    QTemporaryDir m_dir;
};

// The fixture keeps the workspace file in its own folder, as it keeps the journals.
void tst_workspace::cleanup()
{
    FileDialogSeam::reset();
}

void tst_workspace::restoresOnTheClickAndNamesTheSilentController()
{
    MainWindowFixture::Setup setup;
    setup.addresses = {1, 3, 12};
    MainWindowFixture f(setup);
    QVERIFY(Workspace::defaultPath().startsWith(QDir::tempPath()));
    QVERIFY(f.window->workspace()->offerButton() == nullptr); // nothing kept yet: nothing offered

    // The operator's day: a query period, a programme file, the port, a scan, three controllers.
    auto *period = f.window->lossWnd->findChild<QLineEdit *>(QStringLiteral("lineEdit"));
    period->setText(QStringLiteral("200"));
    QTest::keyClick(period, Qt::Key_Return);
    const QString programme = m_dir.filePath(QStringLiteral("programme.txt"));
    {
        QFile file(programme);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(stageProgrammesText({kSteps}).toUtf8());
    }
    FileDialogSeam::setHandler([&](QWidget *, const FileDialogSeam::Request &) { return programme; });
    f.window->stagePage()->startLoad();
    QVERIFY(f.openPort());
    QVERIFY(scanned(f, 3));
    f.takeOnline({1, 3, 12});
    Workspace kept = keptOnDisk();
    QCOMPARE(kept.port, f.bus->portPath());
    QCOMPARE(kept.online, QList<quint8>({1, 3, 12}));
    QCOMPARE(kept.queryPeriodMs, 200);
    QCOMPARE(kept.programmeFiles.value(0), programme);
    QCOMPARE(kept.programmeFiles.value(1), QString()); // the file had one block only

    // Controller 12 is gone when the program starts again.
    f.bus->removeController(12);
    restart(f);
    WorkspaceWiring *workspace = f.window->workspace();
    QPushButton *offer = workspace->offerButton();
    QVERIFY(offer);
    const QString caption = shown("WorkspaceWiring", "恢复上次连接（%1）")
                                .arg(shown("Workspace", "%1，设备%2"))
                                .arg(f.bus->portPath(), QStringLiteral("1") + shown("Workspace", "、") +
                                                            QStringLiteral("3") + shown("Workspace", "、") +
                                                            QStringLiteral("12"));
    QCOMPARE(offer->text(), caption);
    QVERIFY(f.window->commMenu()->actions().contains(workspace->offerAction()));
    QVERIFY(f.window->statusBar()->isAncestorOf(offer));
    // Without the click the simulator hears nothing, and no table is filled.
    QVERIFY(!QTest::qWaitFor([&] { return !f.bus->takeReceivedFrames().isEmpty(); }, 600));
    QVERIFY(f.window->stagePage()->items().at(0)->programme().isEmpty());

    QSignalSpy finished(workspace, &WorkspaceWiring::finished);
    QTest::mouseClick(offer, Qt::LeftButton);
    QVERIFY(finished.count() == 1 || finished.wait(10000));
    BenchModel *model = f.window->benchModel();
    QVERIFY(model->isOnline(1));
    QVERIFY(model->isOnline(3));
    QVERIFY(!model->isOnline(12));
    QVERIFY(f.boxes.texts().contains(shown("WorkspaceWiring", "提示") + QLatin1Char('|') +
                                     shown("WorkspaceWiring", "设备%1没有应答，未上线").arg(12)));
    QVERIFY(QTest::qWaitFor([&] { return !f.bus->takeReceivedFrames().isEmpty(); }, 5000));
    itemStageControl *item = f.window->stagePage()->items().at(0);
    QCOMPARE(item->programme(), kSteps);
    QVERIFY(!item->isRunning());
    QVERIFY(f.window->stagePage()->drivenDevices().isEmpty());
    // Offered once; what is kept now names the controllers online.
    QVERIFY(workspace->offerButton() == nullptr);
    QTRY_VERIFY(workspace->offerAction() == nullptr);
    QCOMPARE(keptOnDisk().online, QList<quint8>({1, 3}));
    QCOMPARE(keptOnDisk().queryPeriodMs, 200);
}

void tst_workspace::connectTakesEveryAnsweringControllerOnline()
{
    MainWindowFixture::Setup setup;
    setup.addresses = {2, 5};
    MainWindowFixture f(setup);
    QSignalSpy finished(f.window->workspace(), &WorkspaceWiring::finished);
    f.window->workspace()->connectTo(f.bus->portPath(), 9600);
    QVERIFY(finished.wait(10000));
    QCOMPARE(f.window->benchModel()->onlineControllers(), QList<quint8>({2, 5}));
    QCOMPARE(keptOnDisk().port, f.bus->portPath());
    QCOMPARE(keptOnDisk().online, QList<quint8>({2, 5}));

    // A port that cannot be opened is said so, and nothing is kept of it.
    restart(f);
    QSignalSpy failed(f.window->workspace(), &WorkspaceWiring::finished);
    f.window->workspace()->connectTo(m_dir.filePath(QStringLiteral("no-such-port")), 9600);
    QVERIFY(failed.wait(10000));
    QVERIFY(f.boxes.lastText().contains(QStringLiteral("no-such-port")));
    QCOMPARE(keptOnDisk().port, f.bus->portPath());
}

QUORIX_TEST_MAIN(tst_workspace)
#include "tst_workspace.moc"
