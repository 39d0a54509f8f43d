// "参数备份" through the real window on a simulated bus: the password asked once per opening, a
// backup file in the data folder, a comparison with the controller, a restore refused while the
// controller holds a setpoint above 0, then written and verified after a confirmation.

#include "stages/StagePageDriver.h"

#include "AuditTrail.h"
#include "BenchModel.h"
#include "FileDialogSeam.h"
#include "ParameterBackupWindow.h"
#include "ParameterBackupWiring.h"
#include "loginWnd.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QtTest>

using namespace StagePageDriver;

class tst_backupWindow : public QObject
{
    Q_OBJECT

private slots:
    void backupCompareRefuseAndRestore();
};

void tst_backupWindow::backupCompareRefuseAndRestore()
{
    MainWindowFixture::Setup setup;
    setup.addresses = {1, 3};
    MainWindowFixture f(setup);
    mainWnd &w = *f.window;
    QTemporaryDir files;
    const QString path = files.filePath("设备1.json");
    QList<FileDialogSeam::Request> dialogs;
    FileDialogSeam::setHandler([&](QWidget *, const FileDialogSeam::Request &request) {
        dialogs.append(request);
        return path;
    });
    f.bus->setFloatRegister(1, 0x303E, 20.0f);
    QVERIFY(f.openPort());
    scanFromMenu(w);
    QTRY_COMPARE(w.foundDeviceIds(), (QList<quint8>{1, 3}));
    f.takeOnline({1});
    QTRY_COMPARE(w.benchModel()->heldSetpoint(1, 1), std::optional<float>(20.0f));

    menuEntry(w, QStringLiteral("参数备份"))->trigger();
    ParameterBackupWindow *window = w.parameterBackup()->window();
    loginWnd *login = w.parameterBackup()->login();
    QVERIFY(window->isVisible() && login->isVisible());
    auto *password = f.child<QLineEdit>(login, "edit_password");
    QTest::keyClicks(password, QStringLiteral("guest902731"));
    QTest::keyClick(password, Qt::Key_Return);
    QVERIFY(window->administrator() && !login->isVisible());

    QTest::mouseClick(f.child<QPushButton>(window, "btn_backup"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path), 20000);
    QCOMPARE(dialogs.size(), 1);
    QVERIFY2(dialogs.first().directory.contains(QRegularExpression("/设备1-\\d{4}-\\d\\d-\\d\\d-\\d{4}\\.json$")),
             qPrintable(dialogs.first().directory));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    QCOMPARE(root.value("administrator").toBool(), true);
    QCOMPARE(root.value("address").toInt(), 1);
    QVERIFY(root.value("program").toString().startsWith("quorix-rs485 "));

    f.bus->setIntRegister(1, 0x3008, 45);
    f.bus->setIntRegister(1, 0x3034, 1);
    QTest::mouseClick(f.child<QPushButton>(window, "btn_compareFile"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!window->ticks().isEmpty(), 20000);
    QCOMPARE(window->ticks(), (QMap<QString, bool>{{"backlight_time", true}, {"active_output", false}}));

    auto *restore = f.child<QPushButton>(window, "btn_restore");
    f.boxes.boxes.clear();
    f.bus->clearReceivedFrames();
    QTest::mouseClick(restore, Qt::LeftButton);
    QCOMPARE(f.boxes.boxes.size(), 1);
    QVERIFY2(f.boxes.lastText().contains(shown("ParameterBackupWindow", "设备%1的设定值为%2，请先设为0").arg(1).arg(20)),
             qPrintable(f.boxes.lastText()));

    QVERIFY(w.benchModel()->requestSetpoint(1, 1, 0.0f, Driver::operatorRow()).isEmpty());
    QTRY_COMPARE(w.benchModel()->heldSetpoint(1, 1), std::optional<float>(0.0f));
    f.boxes.boxes.clear();
    QTest::mouseClick(restore, Qt::LeftButton);
    QCOMPARE(f.boxes.boxes.first().kind, MessageBoxSeam::Kind::Question);
    QVERIFY(f.boxes.boxes.first().text.contains(shown("ParameterBackupWindow", "向设备%1写入%2项参数？").arg(1).arg(1)));
    QTRY_COMPARE_WITH_TIMEOUT(f.boxes.boxes.size(), 2, 20000);
    QCOMPARE(f.boxes.lastText(), shown("ParameterBackupWindow", "设备%1：写入 %2，校验 %3，失败 %4").arg(1).arg(1).arg(1).arg(0));
    QCOMPARE(f.bus->intRegister(1, 0x3008), 30);
    QCOMPARE(f.bus->intRegister(1, 0x3034), 1);
    FileDialogSeam::reset();
    // The trail: the refused restore with its reason, then the one written and read back.
    QList<QJsonObject> restores;
    for (const QJsonObject &line : AuditTrail::readAll(AuditTrail::defaultFolder()))
        if (line.value("what").toString() == "restore")
            restores << line;
    QCOMPARE(restores.size(), 4);
    QCOMPARE(restores[1].value("reason").toString(), shown("ParameterBackupWindow", "设备%1的设定值为%2，请先设为0").arg(1).arg(20));
    QCOMPARE(restores[2].value("before").toDouble(), 45.0);
    QCOMPARE(restores[2].value("after").toDouble(), 30.0);
    QCOMPARE(restores[2].value("source").toObject().value("level").toString(), QStringLiteral("administrator"));
    QCOMPARE(restores[3].value("outcome").toString(), QStringLiteral("confirmed"));
}

#include "TestRunner.h"

QUORIX_TEST_MAIN(tst_backupWindow)
#include "tst_backupWindow.moc"
