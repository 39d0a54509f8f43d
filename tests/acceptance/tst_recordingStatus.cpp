// The status bar tells what is being recorded, played through the real main window, its export
// form, its worker thread and a simulated bus: a recording armed for later, one that waits a
// moment, runs and is written, and the label that goes with the last of them.

#include "shell/MainWindowFixture.h"

#include "DeviceLine.h"
#include "FileDialogSeam.h"
#include "PlotWidget.h"
#include "RecordingStatusLabel.h"
#include "deviceWindow.h"
#include "saveFileSetWidget.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QRegularExpression>
#include <QStatusBar>
#include <QtTest>

class tst_recordingStatus : public QObject
{
    Q_OBJECT
private slots:
    void labelFollowsTheRecordings();
};

void tst_recordingStatus::labelFollowsTheRecordings()
{
    MainWindowFixture::Setup setup;
    setup.addresses = {1, 3};
    setup.replyTimeoutMs = 250;
    MainWindowFixture f(setup);
    mainWnd &w = *f.window;
    w.show();
    QTemporaryDir dir;
    QVERIFY(f.openPort());
    menuEntry(w, QStringLiteral("查询设备"))->trigger();
    QTRY_COMPARE(w.foundDeviceIds(), (QList<quint8>{1, 3}));
    // Both online: a recording of a controller not online is refused.
    f.takeOnline({1, 3});
    auto *label = w.statusBar()->findChild<RecordingStatusLabel *>(QStringLiteral("label_recording"));
    QVERIFY(label);
    QVERIFY(label->isHidden());

    // Through the form: controller 3, in an hour, for one minute.
    const QString later = dir.filePath(QStringLiteral("later.csv"));
    FileDialogSeam::setHandler([&later](QWidget *, const FileDialogSeam::Request &) { return later; });
    menuEntry(w, QStringLiteral("保存文件"))->trigger();
    const QDateTime inAnHour = QDateTime::currentDateTime().addSecs(3600);
    f.child<QComboBox>(w.saveWnd, "comboBox")->setCurrentText(QStringLiteral("3"));
    f.child<QDateTimeEdit>(w.saveWnd, "dateTimeEdit")->setDateTime(inAnHour);
    f.child<QLineEdit>(w.saveWnd, "lineEdit_4")->setText(QStringLiteral("1"));
    f.child<QCheckBox>(w.saveWnd, "checkbox_current")->setChecked(true);
    QTest::mouseClick(f.child<QPushButton>(w.saveWnd, "pushButton"), Qt::LeftButton);
    FileDialogSeam::reset();
    const QString waitingLater = QStringLiteral("等待记录：设备3 → later.csv（") +
                                 inAnHour.toString(QStringLiteral("hh:mm")) + QStringLiteral(" 开始）");
    QCOMPARE(label->text(), waitingLater);
    QVERIFY(!label->isHidden());

    // Controller 1 in a moment, for 3 s (the form counts whole minutes: its request is sent here).
    const QString soon = dir.filePath(QStringLiteral("soon.csv"));
    const QDateTime start = QDateTime::currentDateTime().addMSecs(1500);
    emit w.saveWnd->sig_savePlotFile(1, start, 3, true, false, false, false, soon);
    QCOMPARE(label->text(), QStringLiteral("等待记录：设备1 → soon.csv（") +
                                start.toString(QStringLiteral("hh:mm")) + QStringLiteral(" 开始）；") +
                                waitingLater);

    const QRegularExpression recording(QStringLiteral("^记录中：设备1 → soon.csv（剩余 00:00:0([0-3])）；") +
                                       QRegularExpression::escape(waitingLater) + QLatin1Char('$'));
    QTRY_VERIFY_WITH_TIMEOUT(recording.match(label->text()).hasMatch(), 10000);
    const int first = recording.match(label->text()).captured(1).toInt();
    QTRY_VERIFY_WITH_TIMEOUT(recording.match(label->text()).captured(1).toInt() < first ||
                                 label->text() == waitingLater,
                             10000); // counts down

    // Written: its part goes; the one armed for later stays.
    QTRY_VERIFY_WITH_TIMEOUT(
        f.boxes.texts().contains(QStringLiteral("提示|") + soon + QStringLiteral("保存成功")), 15000);
    QCOMPARE(label->text(), waitingLater);

    // The last one dropped (as the close does): the label goes.
    w.chartPages().at(2)->dropScheduledSave();
    QVERIFY(label->isHidden());
    QVERIFY(label->text().isEmpty());
}

#include "TestRunner.h"

QUORIX_TEST_MAIN(tst_recordingStatus)
#include "tst_recordingStatus.moc"
