// The status bar's label for recordings: what it says while recordings wait and run, in which
// order, and that it goes when none is left.

#include "MessageBoxSeam.h"
#include "PlotWidget.h"
#include "RecordingStatusLabel.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QDateTime kAt(QDate(2024, 12, 6), QTime(16, 5, 30));

// Answers every box with OK and keeps its text.
struct BoxTexts
{
    QStringList texts;
    BoxTexts()
    {
        MessageBoxSeam::setHandler([this](QWidget *, const MessageBoxSeam::Box &box) {
            texts << box.text;
            return QMessageBox::Ok;
        });
    }
    ~BoxTexts() { MessageBoxSeam::reset(); }
};
} // namespace

class tst_recordingStatusLabel : public QObject
{
    Q_OBJECT
private slots:
    void texts_data();
    void texts();
    void countsDownWhileRecording();
    void followsAChartPage();
};

void tst_recordingStatusLabel::texts_data()
{
    QTest::addColumn<QString>("script"); // entries "w|r|o device file secondsFromNow", by ";"
    QTest::addColumn<QString>("text");
    QTest::newRow("nothing") << QString() << QString();
    QTest::newRow("waiting") << "w 3 /data/run.csv 0"
                             << "等待记录：设备3 → run.csv（16:05 开始）";
    QTest::newRow("recording for 30 hours") << "r 1 /tmp/a.csv 108000"
                                            << "记录中：设备1 → a.csv（剩余 30:00:00）";
    QTest::newRow("several, by address")
        << "r 7 b.csv 61;w 2 a.csv 0"
        << "等待记录：设备2 → a.csv（16:05 开始）；记录中：设备7 → b.csv（剩余 00:01:01）";
    QTest::newRow("waiting, then started") << "w 2 a.csv 0;r 2 a.csv 5"
                                           << "记录中：设备2 → a.csv（剩余 00:00:05）";
    QTest::newRow("written") << "r 2 a.csv 5;w 4 c.csv 0;o 2"
                             << "等待记录：设备4 → c.csv（16:05 开始）";
    QTest::newRow("all over") << "w 4 c.csv 0;o 4" << QString();
    QTest::newRow("end passed") << "r 1 a.csv -3"
                                << "记录中：设备1 → a.csv（剩余 00:00:00）";
}

void tst_recordingStatusLabel::texts()
{
    QFETCH(QString, script);
    QFETCH(QString, text);
    RecordingStatusLabel label;
    const QDateTime now = QDateTime::currentDateTime();
    for (const QString &step : script.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList words = step.split(QLatin1Char(' '));
        const int device = words.at(1).toInt();
        if (words.at(0) == QLatin1String("w"))
            label.showWaiting(device, words.at(2), kAt);
        else if (words.at(0) == QLatin1String("r"))
            // Half a second to spare, so that the whole seconds left are the ones written.
            label.showRecording(device, words.at(2), now.addMSecs(words.at(3).toInt() * 1000 - 500));
        else
            label.showOver(device);
    }
    QCOMPARE(label.text(), text);
    QCOMPARE(label.isHidden(), text.isEmpty());
}

void tst_recordingStatusLabel::countsDownWhileRecording()
{
    RecordingStatusLabel label;
    label.showRecording(1, QStringLiteral("a.csv"), QDateTime::currentDateTime().addSecs(3));
    QCOMPARE(label.text(), QStringLiteral("记录中：设备1 → a.csv（剩余 00:00:03）"));
    const QRegularExpression left(QStringLiteral("^记录中：设备1 → a.csv（剩余 00:00:0([0-2])）$"));
    QTRY_VERIFY_WITH_TIMEOUT(left.match(label.text()).hasMatch(), 10000);
}

// The page's own signals drive it: armed, started, written.
void tst_recordingStatusLabel::followsAChartPage()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("page.csv"));
    BoxTexts boxes;
    PlotWidget page;
    RecordingStatusLabel label;
    label.follow(5, &page);
    const QDateTime start = QDateTime::currentDateTime().addMSecs(1500);
    QVERIFY(page.scheduleSave(start, 1, true, false, false, false, file));
    QCOMPARE(label.text(), QStringLiteral("等待记录：设备5 → page.csv（") +
                               start.toString(QStringLiteral("hh:mm")) + QStringLiteral(" 开始）"));
    QTRY_VERIFY_WITH_TIMEOUT(
        label.text().startsWith(QStringLiteral("记录中：设备5 → page.csv（剩余 00:00:0")), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(label.isHidden(), 10000);
    QTRY_COMPARE(boxes.texts, QStringList{file + QStringLiteral("保存成功")});
    QVERIFY(page.pendingExportFile().isEmpty());

    // Dropped before it starts: the label lets go of it as well.
    QVERIFY(page.scheduleSave(QDateTime::currentDateTime().addSecs(600), 1, true, false, false, false, file));
    QVERIFY(!label.isHidden());
    QVERIFY(page.recordingWaits());
    page.dropScheduledSave();
    QVERIFY(!page.recordingWaits());
    QVERIFY(label.isHidden());
    QVERIFY(page.pendingExportFile().isEmpty());
}

#include "TestRunner.h"

QUORIX_TEST_MAIN(tst_recordingStatusLabel)
#include "tst_recordingStatusLabel.moc"
