#include "history/RecordingSamples.h"
#include "DataDirectory.h"
#include "FileDialogSeam.h"
#include "MessageBoxSeam.h"
#include "PipeTrap.h"
#include "PlotWidget.h"
#include "saveFileSetWidget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

#include <cmath>
#include <limits>

using RecordingSamples::contentsOf;
using RecordingSamples::readingAt;

namespace {
// Answers every box and file dialog of the code under test, and keeps what they showed.
struct Seams
{
    QStringList boxes;
    QStringList dialogs;
    QString chosenFile;
    Seams()
    {
        MessageBoxSeam::setHandler([this](QWidget *, const MessageBoxSeam::Box &box) {
            boxes << box.title + QLatin1Char('|') + box.text;
            return QMessageBox::Ok;
        });
        FileDialogSeam::setHandler([this](QWidget *, const FileDialogSeam::Request &request) {
            dialogs << request.caption;
            return chosenFile;
        });
    }
    ~Seams()
    {
        MessageBoxSeam::reset();
        FileDialogSeam::reset();
    }
};

// The recording starts at `startMs` of the monotonic clock and at `wall`.
void startClocksAt(PlotWidget &page, qint64 startMs, const QDateTime &wall)
{
    page.recorder().setClocks([wall] { return wall; }, [startMs] { return startMs * 1000000; });
}

// Records types 2 and 3 at once for no time: what arrives before the event loop turns is written.
// The two samples of each type were read 1.25 s apart, the first as the recording started, and
// arrive together.
void recordTwoSamples(PlotWidget &page, const QString &target, float first, qint64 readMs = 1000000,
                      const QDateTime &start = QDateTime::currentDateTime().addSecs(-1))
{
    startClocksAt(page, readMs, start);
    QVERIFY(page.scheduleSave(start, 0, false, true, true, false, target));
    for (int type = 1; type <= 4; ++type)
        page.addReading(readingAt(type, first, readMs));
    for (int type = 1; type <= 4; ++type)
        page.addReading(readingAt(type, first + 1, readMs + 1250));
}
} // namespace

class tst_recording : public QObject
{
    Q_OBJECT
private slots:
    void writesSelectedTypesAndEmptiesAll();
    void closingWhileRecordingKeepsTheData();
    void unusableReadingsAreNeitherDrawnNorRecorded();
    void unwritableTargetKeepsDataInFallback_data();
    void unwritableTargetKeepsDataInFallback();
    void confirmButtonChecks_data();
    void confirmButtonChecks();
    void chosenFileThatIsNoFileIsRefused_data();
    void chosenFileThatIsNoFileIsRefused();

private:
    QTemporaryDir m_dir;
};

void tst_recording::writesSelectedTypesAndEmptiesAll()
{
    Seams seams;
    PlotWidget page;
    const QString target = m_dir.filePath(QStringLiteral("two-three.csv"));
    recordTwoSamples(page, target, 7);
    QVERIFY(page.isRecording());
    QTRY_COMPARE(seams.boxes, QStringList{QStringLiteral("提示|") + target + QStringLiteral("保存成功")});
    QCOMPARE(contentsOf(target), QByteArray("type2\n0,7\n1.25,8\ntype3\n0,7\n1.25,8\n"));
    QVERIFY(!page.isRecording());
    QVERIFY(page.pendingExportFile().isEmpty());
}

void tst_recording::closingWhileRecordingKeepsTheData()
{
    Seams seams;
    const QString target = m_dir.filePath(QStringLiteral("closed.csv"));
    {
        PlotWidget page;
        QVERIFY(page.scheduleSave(QDateTime::currentDateTime(), 3600, true, false, false, false, target));
        page.addSample(1, 1, 5);
    }
    // The sample's time is its read time after the start: a few milliseconds on a loaded machine.
    const QString kept = QString::fromLatin1(contentsOf(target));
    QVERIFY2(QRegularExpression(QStringLiteral("^type1\n0(\\.\\d{1,3})?,5\n$")).match(kept).hasMatch(),
             qPrintable(kept));
}

// NaN and infinity, from the controller or in between: the chart and the file skip them, and the
// time of the next sample is still its own.
void tst_recording::unusableReadingsAreNeitherDrawnNorRecorded()
{
    Seams seams;
    PlotWidget page;
    const QString target = m_dir.filePath(QStringLiteral("unusable.csv"));
    startClocksAt(page, 5500, QDateTime::currentDateTime());
    QVERIFY(
        page.scheduleSave(QDateTime::currentDateTime().addSecs(-1), 0, false, false, false, true, target));
    const float infinity = std::numeric_limits<float>::infinity();
    const float values[] = {250000, std::numeric_limits<float>::quiet_NaN(), infinity, -infinity, 101325};
    qint64 readMs = 5000;
    for (float value : values) {
        if (!std::isfinite(value))
            QTest::ignoreMessage(QtDebugMsg, "刷新图像的reslut无效 \n");
        page.addReading(readingAt(4, value, readMs += 500));
    }
    QCOMPARE(page.sampleCount(4), 2);
    QCOMPARE(page.plot(4)->points(), (QVector<QPointF>{{0, 250}, {2, 101.32}}));
    QTRY_COMPARE(seams.boxes.size(), 1);
    QCOMPARE(contentsOf(target), QByteArray("type4\n0,250\n2,101.325\n"));
}

void tst_recording::unwritableTargetKeepsDataInFallback_data()
{
    QTest::addColumn<QString>("target");
    QDir(m_dir.path()).mkpath(QStringLiteral("folder.csv"));
    QFile plain(m_dir.filePath(QStringLiteral("plain")));
    plain.open(QIODevice::WriteOnly);
    QTest::newRow("directory as target") << m_dir.filePath(QStringLiteral("folder.csv"));
    QTest::newRow("path under a regular file") << m_dir.filePath(QStringLiteral("plain/under.csv"));
}

void tst_recording::unwritableTargetKeepsDataInFallback()
{
    QFETCH(QString, target);
    Seams seams;
    PlotWidget page;
    const QDateTime clock(QDate(2026, 3, 4), QTime(5, 6, 7));
    page.setClock([clock] { return clock; });
    recordTwoSamples(page, target, 7, 1000000, clock);
    QTRY_COMPARE(seams.boxes.size(), 1);
    const QString fallback = QFileInfo(target).completeBaseName() + QStringLiteral("-20260304-050607.csv");
    const QString fallbackPath = QDir(defaultDataDirectory()).filePath(fallback);
    QVERIFY2(seams.boxes.first().startsWith(QStringLiteral("提示|") + target),
             qPrintable(seams.boxes.first()));
    QVERIFY(seams.boxes.first().endsWith(fallbackPath));
    QCOMPARE(contentsOf(fallbackPath), QByteArray("type2\n0,7\n1.25,8\ntype3\n0,7\n1.25,8\n"));
    QFile::remove(fallbackPath);

    // The next recording of the page holds its own samples only, timed from its own start.
    const QString good = m_dir.filePath(QStringLiteral("after-failure.csv"));
    recordTwoSamples(page, good, 20, 1010000, clock);
    QTRY_COMPARE(seams.boxes.size(), 2);
    QCOMPARE(contentsOf(good), QByteArray("type2\n0,20\n1.25,21\ntype3\n0,20\n1.25,21\n"));
}

void tst_recording::confirmButtonChecks_data()
{
    QTest::addColumn<int>("device");
    QTest::addColumn<QString>("duration"); // hours and minutes, as typed, separated by ","
    QTest::addColumn<bool>("pressure");    // the only type checked, or none
    QTest::addColumn<int>("daysAhead");
    QTest::addColumn<QString>("pending"); // of device 3, or of device 7 when it is the chosen file
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("requested");
    const QString none;
    const QString zero = QStringLiteral("错误提示|保存时长不能为0");
    const QString tooLong = QStringLiteral("错误提示|保存时长不能超过596小时31分钟");
    const QString notWhole = QStringLiteral("错误提示|保存时长的小时和分钟须为整数");
    QTest::newRow("accepted") << 1 << "1,1" << true << 0 << none << none << true;
    QTest::newRow("no device") << 0 << "1,1" << true << 0 << none << "提示|请选择要保存的设备编号" << false;
    QTest::newRow("empty duration") << 1 << "," << true << 0 << none << zero << false;
    QTest::newRow("zero duration") << 1 << "0, 0" << true << 0 << none << zero << false;
    QTest::newRow("no type") << 1 << "1,1" << false << 0 << none << "错误提示|请至少选择一种保存数据"
                             << false;
    QTest::newRow("negative duration")
        << 1 << "-1,1" << true << 0 << none << "错误提示|保存时长不能为负数" << false;
    QTest::newRow("beyond a timer") << 1 << "597,1" << true << 0 << none << tooLong << false;
    QTest::newRow("beyond 64 bits") << 1 << "99999999999999999999999,1" << true << 0 << none << tooLong
                                    << false;
    QTest::newRow("not a whole number") << 1 << "1.5,1" << true << 0 << none << notWhole << false;
    QTest::newRow("full-width digit") << 1 << "２,1" << true << 0 << none << notWhole << false;
    QTest::newRow("start too far ahead")
        << 1 << "1,1" << true << 25 << none << "错误提示|开始时间距现在不能超过24.8天" << false;
    QTest::newRow("pending on the device")
        << 1 << "1,1" << true << 0 << "/r/a.csv"
        << "提示|设备3正在保存数据到/r/a.csv，请等待本次保存结束后再保存" << false;
    const QString chosen = m_dir.filePath(QStringLiteral("chosen.csv"));
    QTest::newRow("file of another recording")
        << 1 << "1,1" << true << 0 << chosen << "提示|" + chosen + "正在保存设备7的数据，请选择其他文件"
        << false;
}

void tst_recording::confirmButtonChecks()
{
    QFETCH(int, device);
    QFETCH(QString, duration);
    QFETCH(bool, pressure);
    QFETCH(int, daysAhead);
    QFETCH(QString, pending);
    QFETCH(QString, box);
    QFETCH(bool, requested);
    Seams seams;
    seams.chosenFile = m_dir.filePath(QStringLiteral("chosen.csv"));
    QFile::remove(seams.chosenFile);
    saveFileSetWidget window;
    window.updateDeviceList({3});
    const int pendingDevice = pending == seams.chosenFile ? 7 : 3;
    window.setPendingExportLookup([=](int device) { return device == pendingDevice ? pending : QString(); });
    window.findChild<QComboBox *>(QStringLiteral("comboBox"))->setCurrentIndex(device);
    window.findChild<QLineEdit *>(QStringLiteral("lineEdit_3"))->setText(duration.section(',', 0, 0));
    window.findChild<QLineEdit *>(QStringLiteral("lineEdit_4"))->setText(duration.section(',', 1, 1));
    window.findChild<QDateTimeEdit *>()->setDateTime(QDateTime::currentDateTime().addDays(daysAhead));
    window.findChild<QCheckBox *>(QStringLiteral("checkBox_press"))->setChecked(pressure);
    QSignalSpy requests(&window, &saveFileSetWidget::sig_savePlotFile);
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("pushButton")), Qt::LeftButton);

    QCOMPARE(seams.boxes, box.isEmpty() ? QStringList() : QStringList{box});
    QCOMPARE(seams.dialogs.size(),
             int(requested || pending == seams.chosenFile)); // refused before the dialog
    QCOMPARE(QFile::exists(seams.chosenFile), requested);
    QCOMPARE(requests.size(), int(requested));
    if (requested)
        QCOMPARE(requests.first(), (QList<QVariant>{3, requests.first().at(1), 3660, false, false, false,
                                                    true, seams.chosenFile}));
}

void tst_recording::chosenFileThatIsNoFileIsRefused_data()
{
    QTest::addColumn<QString>("made");
    QTest::addColumn<QString>("reason");
    QTest::newRow("a named pipe") << "fifo" << QStringLiteral("不是普通文件，而是命名管道");
    QTest::newRow("a folder") << "folder" << QStringLiteral("不是普通文件，而是文件夹");
}

// Refused with the reason before the window opens it (a pipe would hold the window until someone
// reads it): no recording is asked for. No link to a device here: a recording that wrongly went
// ahead would, for a test run as root, put its file in the device's place.
void tst_recording::chosenFileThatIsNoFileIsRefused()
{
    QFETCH(QString, made);
    QFETCH(QString, reason);
    Seams seams;
    QTemporaryDir dir;
    seams.chosenFile = dir.filePath(QStringLiteral("chosen.csv"));
    std::unique_ptr<PipeTrap> pipe;
    if (made == QLatin1String("fifo"))
        QVERIFY((pipe = std::make_unique<PipeTrap>(seams.chosenFile))->made());
    else
        QVERIFY(QDir().mkpath(seams.chosenFile));
    saveFileSetWidget window;
    window.updateDeviceList({3});
    window.findChild<QComboBox *>(QStringLiteral("comboBox"))->setCurrentIndex(1);
    window.findChild<QLineEdit *>(QStringLiteral("lineEdit_4"))->setText(QStringLiteral("1"));
    window.findChild<QCheckBox *>(QStringLiteral("checkbox_current"))->setChecked(true);
    QSignalSpy requests(&window, &saveFileSetWidget::sig_savePlotFile);
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("pushButton")), Qt::LeftButton);
    QVERIFY2(clock.elapsed() < 2000, "the window was held up");
    QCOMPARE(seams.boxes, QStringList{"提示|" + seams.chosenFile + "无法写入（" + reason + "）"});
    QCOMPARE(requests.size(), 0);
}

#include "TestRunner.h"

QUORIX_TEST_MAIN(tst_recording)
#include "tst_recording.moc"
