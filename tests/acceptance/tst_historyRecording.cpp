// Charts, a recording and the saved file drawn again, played through the real main window, its
// worker thread and a simulated bus on a pseudo-terminal.

#include "shell/MainWindowFixture.h"

#include "history/FullDisk.h"
#include "history/RecordingSamples.h"

#include "DataDirectory.h"
#include "DataFile.h"
#include "DataFileLoader.h"
#include "DeviceLine.h"
#include "FileDialogSeam.h"
#include "PipeTrap.h"
#include "PlotWidget.h"
#include "Reading.h"
#include "RegisterMap.h"
#include "SerialPort.h"
#include "deviceWindow.h"
#include "qDebugWidget.h"
#include "saveFileSetWidget.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStatusBar>
#include <QThread>
#include <QtTest>
#include <algorithm>

namespace {

// Every reading the worker handed to the windows, per type, in the unit the charts use.
struct ServedValues
{
    QObject receiver;
    std::array<QSet<float>, 4> values;
    explicit ServedValues(DeviceThread *worker)
    {
        QObject::connect(worker, &DeviceThread::sig_reading, &receiver, [this](const Reading &reading) {
            values[reading.typeCode() - 1].insert(float(reading.value));
        });
    }
};

struct Answers
{
    QString file;
    QStringList dialogs;
    Answers()
    {
        FileDialogSeam::setHandler([this](QWidget *, const FileDialogSeam::Request &request) {
            dialogs << request.caption;
            return file;
        });
    }
    ~Answers() { FileDialogSeam::reset(); }
};

} // namespace

class tst_historyRecording : public QObject
{
    Q_OBJECT
private slots:
    void recordAndDrawAgain();
    void recordedTimesAreReadTimesThroughAStall();
    void clearingTheChartsLeavesTheFileTimesRising();
    void recordingOfAControllerNotOnlineIsRefused();
    void fullDiskWhileRecordingIsReportedOnce();
    void recordingOfNothingIsRefused_data();
    void recordingOfNothingIsRefused();
    void unreadableFileIsReported_data();
    void unreadableFileIsReported();
    void fileWithoutDataSaysSo_data();
    void fileWithoutDataSaysSo();
    void fileBeyondThePointBoundIsCut();
    void openedFileLogsThePointsItDraws();
};

void tst_historyRecording::recordAndDrawAgain()
{
    MainWindowFixture::Setup setup;
    setup.addresses = {1};
    setup.tickMs = 40;
    MainWindowFixture f(setup);
    mainWnd &w = *f.window;
    w.show();
    Answers answers;
    QTemporaryDir dir;
    ServedValues served(w.worker());

    QVERIFY(f.openPort());
    menuEntry(w, QStringLiteral("查询设备"))->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(w.foundDeviceIds(), QList<quint8>{1}, 20000);
    f.bus->setFloatRegister(1, RegisterMap::Pressure, 101325.0f);
    QTest::mouseClick(w.devicePage()->row(0)->findChild<QPushButton *>(QStringLiteral("btn_online")),
                      Qt::LeftButton);

    // Controller 1's four charts fill with its values.
    PlotWidget *page = w.chartPages().at(0);
    for (int type = 1; type <= 4; ++type)
        QTRY_VERIFY_WITH_TIMEOUT(page->plot(type)->points().size() >= 3, 20000);
    QVERIFY(qAbs(page->plot(4)->points().last().y() - 101.325) <= 0.01); // 101325 Pa in KPa
    QVERIFY(qAbs(page->plot(3)->points().last().y() - f.bus->floatRegister(1, RegisterMap::Temperature)) <
            0.5);

    // A 3 s recording of types 1 and 4, starting now. The form counts whole minutes, so the test
    // sends the form's request itself.
    const QString target = dir.filePath(QStringLiteral("run.csv"));
    emit w.saveWnd->sig_savePlotFile(1, QDateTime::currentDateTime(), 3, true, false, false, true, target);

    // While it records, the form refuses a second recording of controller 1 before its file dialog.
    w.savePlotFile();
    w.saveWnd->findChild<QComboBox *>(QStringLiteral("comboBox"))->setCurrentIndex(1);
    w.saveWnd->findChild<QLineEdit *>(QStringLiteral("lineEdit_4"))->setText(QStringLiteral("1"));
    QTest::mouseClick(w.saveWnd->findChild<QPushButton *>(QStringLiteral("pushButton")), Qt::LeftButton);
    QCOMPARE(f.boxes.lastText(),
             QStringLiteral("设备1正在保存数据到") + target + QStringLiteral("，请等待本次保存结束后再保存"));
    QVERIFY(answers.dialogs.isEmpty());

    QTRY_VERIFY_WITH_TIMEOUT(
        f.boxes.texts().contains(QStringLiteral("提示|") + target + QStringLiteral("保存成功")), 15000);
    QFile file(target);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromLatin1(file.readAll());
    const QStringList sectionLines = text.split(QLatin1Char('\n')).filter(QStringLiteral("type"));
    QCOMPARE(sectionLines, (QStringList{QStringLiteral("type1"), QStringLiteral("type4")}));
    const DataFile::Content content = DataFile::read(text);
    QCOMPARE(content.skippedLines, 0);
    for (int type : {1, 4}) {
        const QVector<QPointF> &section = content.sections[type - 1];
        QVERIFY(section.size() >= 10);
        for (int k = 0; k < section.size(); ++k) {
            QVERIFY(k == 0 || section[k].x() >= section[k - 1].x());
            QVERIFY2(served.values[type - 1].contains(float(section[k].y())),
                     qPrintable(QString::number(section[k].y())));
        }
    }

    // Drawn again on the history tab: exactly the file's points.
    answers.file = target;
    menuEntry(w, QStringLiteral("打开文件"))->trigger();
    bool waitShown = false;
    for (auto *box : w.findChildren<QMessageBox *>())
        waitShown |= box->isVisible() &&
                     box->text() == QStringLiteral("正在打开文件") + target + QStringLiteral("请稍后");
    QVERIFY(waitShown);
    QTRY_COMPARE_WITH_TIMEOUT(f.boxes.lastText(), QStringLiteral("成功打开") + target, 20000);
    for (int type = 1; type <= 4; ++type)
        QCOMPARE(w.historyPage()->plot(type)->points(), content.sections[type - 1]);

    // A target that cannot be written when the recording ends: a box, and the data in a file of
    // its own in the data directory.
    const QString lost = dir.filePath(QStringLiteral("gone.csv"));
    QVERIFY(QDir().mkpath(lost));
    const QStringList before = QDir(defaultDataDirectory()).entryList({QStringLiteral("gone-*.csv")});
    emit w.saveWnd->sig_savePlotFile(1, QDateTime::currentDateTime(), 1, true, false, false, false, lost);
    QTRY_VERIFY_WITH_TIMEOUT(f.boxes.lastText().startsWith(lost + QStringLiteral("保存失败")), 20000);
    QStringList fallback = QDir(defaultDataDirectory()).entryList({QStringLiteral("gone-*.csv")});
    for (const QString &old : before)
        fallback.removeAll(old);
    QCOMPARE(fallback.size(), 1);
    const QString fallbackPath = QDir(defaultDataDirectory()).filePath(fallback.first());
    QVERIFY(f.boxes.lastText().endsWith(fallbackPath));
    const DataFile::Content kept = DataFile::read(QString::fromLatin1([&] {
        QFile saved(fallbackPath);
        return saved.open(QIODevice::ReadOnly) ? saved.readAll() : QByteArray();
    }()));
    QVERIFY(kept.sections[0].size() >= 3);
    QFile::remove(fallbackPath);
}

// The GUI thread is held up for 3 s in the middle of a recording while the worker goes on polling:
// each sample of the file still carries the time it was read, as the controller served it, rather
// than the time it reached the chart. The temperature drifts, so every value names its answer.
void tst_historyRecording::recordedTimesAreReadTimesThroughAStall()
{
    MainWindowFixture::Setup setup;
    setup.addresses = {1};
    setup.tickMs = 100;
    setup.replyTimeoutMs = 250;
    MainWindowFixture f(setup);
    mainWnd &w = *f.window;
    QTemporaryDir dir;
    QVERIFY(f.openPort());
    menuEntry(w, QStringLiteral("查询设备"))->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(w.foundDeviceIds(), QList<quint8>{1}, 20000);
    QTest::mouseClick(w.devicePage()->row(0)->findChild<QPushButton *>(QStringLiteral("btn_online")),
                      Qt::LeftButton);
    PlotWidget *page = w.chartPages().at(0);
    QTRY_VERIFY_WITH_TIMEOUT(page->sampleCount(3) >= 2, 20000);

    const QString target = dir.filePath(QStringLiteral("stalled.csv"));
    emit w.saveWnd->sig_savePlotFile(1, QDateTime::currentDateTime(), 6, false, false, true, false, target);
    QTRY_VERIFY_WITH_TIMEOUT(page->recordedSamples(3) >= 3, 20000);
    const qint64 stallStartNs = ReadTime::monotonicNowNs();
    QThread::msleep(3000); // the stall itself: the GUI thread does nothing meanwhile
    const qint64 stallEndNs = ReadTime::monotonicNowNs();
    QTRY_VERIFY_WITH_TIMEOUT(
        f.boxes.texts().contains(QStringLiteral("提示|") + target + QStringLiteral("保存成功")), 20000);

    QFile file(target);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromLatin1(file.readAll());
    const QRegularExpression timeColumn(QStringLiteral("^\\d+(\\.\\d{1,3})?,"));
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(1);
    for (const QString &line : lines)
        QVERIFY2(timeColumn.match(line).hasMatch(), qPrintable(line));
    const QVector<QPointF> section = DataFile::read(text).sections[2];
    QVERIFY2(section.size() >= 20, qPrintable(QString::number(section.size())));
    const QList<SimBus::Served> served = f.bus->servedWithTimes(1, RegisterMap::Temperature);
    const auto servedNs = [&](double value) {
        qint64 at = -1;
        for (const SimBus::Served &answer : served) {
            if (answer.dataBytes != float_to_bytes(float(value)))
                continue;
            if (at >= 0)
                return qint64(-2); // two answers with one value: the value names neither
            at = answer.servedNs;
        }
        return at;
    };
    // A value the drift happened to serve twice names neither answer; such samples are passed over,
    // and every other one must stand at its own serving time.
    const int ambiguous = int(std::count_if(section.begin(), section.end(),
                                            [&](const QPointF &sample) { return servedNs(sample.y()) == -2; }));
    QVERIFY2(ambiguous <= section.size() / 4, qPrintable(QString::number(ambiguous)));
    qint64 firstNs = -1;
    double firstX = 0;
    int readInStall = 0;
    int offBy50Ms = 0;
    int compared = 0;
    for (const QPointF &sample : section) {
        const qint64 sampleNs = servedNs(sample.y());
        if (sampleNs == -2)
            continue;
        QVERIFY2(sampleNs >= 0, qPrintable(QString::number(sample.y())));
        if (firstNs < 0) {
            firstNs = sampleNs;
            firstX = sample.x();
        }
        const double servedS = (sampleNs - firstNs) / 1e9;
        const double recordedS = sample.x() - firstX;
        // Held in the stall, a sample would stand up to 3 s off. A busy machine (or a sanitizer)
        // wakes the worker late now and then: most samples, not all, must be within 50 ms.
        QVERIFY2(qAbs(recordedS - servedS) <= 0.250,
                 qPrintable(QString("recorded at %1 s, served at %2 s").arg(recordedS).arg(servedS)));
        offBy50Ms += qAbs(recordedS - servedS) > 0.050 ? 1 : 0;
        ++compared;
        readInStall += sampleNs > stallStartNs && sampleNs < stallEndNs ? 1 : 0;
    }
    QVERIFY2(readInStall >= 10, qPrintable(QString::number(readInStall)));
    QVERIFY2(offBy50Ms * 10 <= compared, qPrintable(QString("%1 of %2 samples more than 50 ms off").arg(offBy50Ms).arg(compared)));
}

// The disk fills while controller 1 records: one box, the status bar and the log say so with the
// system's reason; once there is room again, the recording goes on and its file holds every sample.
void tst_historyRecording::fullDiskWhileRecordingIsReportedOnce()
{
    MainWindowFixture::Setup setup;
    setup.addresses = {1};
    setup.tickMs = 100;
    setup.replyTimeoutMs = 250;
    MainWindowFixture f(setup);
    mainWnd &w = *f.window;
    w.show();
    DiskJournals journals;
    QTemporaryDir dir;
    QVERIFY(f.openPort());
    menuEntry(w, QStringLiteral("查询设备"))->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(w.foundDeviceIds(), QList<quint8>{1}, 20000);
    const int boxesBefore = f.boxes.boxes.size();
    const QString target = dir.filePath(QStringLiteral("full.csv"));
    emit w.saveWnd->sig_savePlotFile(1, QDateTime::currentDateTime(), 3600, false, false, true, false, target);
    QTest::mouseClick(w.devicePage()->row(0)->findChild<QPushButton *>(QStringLiteral("btn_online")),
                      Qt::LeftButton);
    PlotWidget *page = w.chartPages().at(0);
    QTRY_VERIFY_WITH_TIMEOUT(page->recordedSamples(3) >= 3, 20000);

    journals.disk->room = 0;
    QTRY_COMPARE_WITH_TIMEOUT(f.boxes.boxes.size(), boxesBefore + 1, 10000);
    const QString report = f.boxes.lastText();
    QVERIFY2(report.startsWith(target + QStringLiteral("的记录写入") + page->journalPath() +
                               QStringLiteral("失败（No space left on device）")),
             qPrintable(report));
    QCOMPARE(w.statusBar()->currentMessage(), report);
    QTRY_VERIFY_WITH_TIMEOUT(journals.disk->refusals >= 3, 10000);
    QCOMPARE(f.boxes.boxes.size(), boxesBefore + 1);

    journals.disk->room = Disk::Unlimited;
    QTRY_VERIFY_WITH_TIMEOUT(w.statusBar()->currentMessage().contains(QStringLiteral("的记录已恢复写入")), 10000);
    const int recorded = page->recordedSamples(3);
    page->onDurationEnd();
    // Armed before its controller was online: the end says so.
    const QString savedBox = QStringLiteral("提示|") + target + QStringLiteral("保存成功\n设备1在记录开始时不在线，共 ");
    QTRY_VERIFY_WITH_TIMEOUT(!f.boxes.texts().filter(savedBox).isEmpty(), 20000);
    QVERIFY(f.boxes.texts().filter(savedBox).first().endsWith(QStringLiteral(" 秒无数据")));
    const QVector<QPointF> saved = DataFile::read(QString::fromLatin1([&] {
                                       QFile file(target);
                                       return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
                                   }()))
                                       .sections[2];
    QVERIFY2(saved.size() >= recorded, qPrintable(QStringLiteral("%1 of %2").arg(saved.size()).arg(recorded)));
    QCOMPARE(saved.size(), page->recordedSamples(3));

    w.debugWnd->show();
    auto *log = w.debugWnd->findChild<QPlainTextEdit *>();
    QTRY_VERIFY(log->toPlainText().contains(report));
    QCOMPARE(log->toPlainText().count(QStringLiteral("No space left on device")), 1);
}

void tst_historyRecording::recordingOfNothingIsRefused_data()
{
    QTest::addColumn<QString>("duration");  // hours and minutes, as typed, separated by ","
    QTest::addColumn<QStringList>("types"); // the check boxes ticked
    QTest::addColumn<QString>("box");
    const QStringList all{"checkbox_current", "checkbox_cumflow", "checkBox_temp", "checkBox_press"};
    const QString noTime = QStringLiteral("错误提示|保存时长不能为0");
    QTest::newRow("no duration") << "," << all << noTime;
    QTest::newRow("zero duration") << "0,0" << all << noTime;
    QTest::newRow("no type") << "0,1" << QStringList() << QStringLiteral("错误提示|请至少选择一种保存数据");
}

// The export window refuses before its file dialog, and the chart page records nothing.
void tst_historyRecording::recordingOfNothingIsRefused()
{
    QFETCH(QString, duration);
    QFETCH(QStringList, types);
    QFETCH(QString, box);
    MainWindowFixture::Setup setup;
    setup.addresses = {1};
    setup.replyTimeoutMs = 250;
    MainWindowFixture f(setup);
    mainWnd &w = *f.window;
    w.show();
    Answers answers;
    QTemporaryDir dir;
    answers.file = dir.filePath(QStringLiteral("nothing.csv"));
    QVERIFY(f.openPort());
    menuEntry(w, QStringLiteral("查询设备"))->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(w.foundDeviceIds(), QList<quint8>{1}, 20000);
    QTest::mouseClick(w.devicePage()->row(0)->findChild<QPushButton *>(QStringLiteral("btn_online")),
                      Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!w.chartPages().at(0)->plot(1)->points().isEmpty(), 20000);

    w.savePlotFile();
    w.saveWnd->findChild<QComboBox *>(QStringLiteral("comboBox"))->setCurrentIndex(1);
    w.saveWnd->findChild<QLineEdit *>(QStringLiteral("lineEdit_3"))->setText(duration.section(',', 0, 0));
    w.saveWnd->findChild<QLineEdit *>(QStringLiteral("lineEdit_4"))->setText(duration.section(',', 1, 1));
    for (const QString &type : types)
        w.saveWnd->findChild<QCheckBox *>(type)->setChecked(true);
    const int boxesBefore = f.boxes.boxes.size();
    QTest::mouseClick(w.saveWnd->findChild<QPushButton *>(QStringLiteral("pushButton")), Qt::LeftButton);
    QCOMPARE(f.boxes.texts().mid(boxesBefore), QStringList{box});
    QVERIFY(answers.dialogs.isEmpty());
    QVERIFY(!QFile::exists(answers.file));
    QVERIFY(w.chartPages().at(0)->pendingExportFile().isEmpty());
    QVERIFY(!w.chartPages().at(0)->isRecording());
}

void tst_historyRecording::unreadableFileIsReported_data()
{
    QTest::addColumn<QString>("made"); // what is at the chosen path
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << "nothing" << QString();
    QTest::newRow("larger than any recording") << "large" << QString();
    QTest::newRow("read fails") << "mem" << QString(); // a file that opens but cannot be read
    QTest::newRow("a named pipe") << "fifo" << QStringLiteral("不是普通文件，而是命名管道");
    QTest::newRow("a link to /dev/zero") << "zero" << QStringLiteral("不是普通文件，而是字符设备");
    QTest::newRow("a folder") << "folder" << QStringLiteral("不是普通文件，而是文件夹");
}

// One box, and no waiting box left up; a pipe or a device is refused with the reason before it is
// opened, so that the window is not held up.
void tst_historyRecording::unreadableFileIsReported()
{
    QFETCH(QString, made);
    QFETCH(QString, reason);
    MainWindowFixture f;
    Answers answers;
    QTemporaryDir dir;
    answers.file = made == QLatin1String("mem") ? QStringLiteral("/proc/self/mem")
                                                : dir.filePath(QStringLiteral("unreadable.csv"));
    std::unique_ptr<PipeTrap> pipe;
    QFile file(answers.file);
    if (made == QLatin1String("large"))
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(DataFileLoader::MaxFileBytes + 1)); // sparse
    else if (made == QLatin1String("fifo"))
        QVERIFY((pipe = std::make_unique<PipeTrap>(answers.file))->made());
    else if (made == QLatin1String("zero"))
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), answers.file));
    else if (made == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(answers.file));
    f.window->historyPage()->plot(2)->appendPoint(1, 2);
    QElapsedTimer clock;
    clock.start();
    menuEntry(*f.window, QStringLiteral("打开文件"))->trigger();
    QVERIFY2(clock.elapsed() < 2000, "the window was held up");
    QCOMPARE(answers.dialogs, QStringList{QStringLiteral("选择CSV文件")});
    QTRY_COMPARE(f.boxes.boxes.size(), 1);
    QCOMPARE(f.boxes.boxes.first().title, QStringLiteral("提示"));
    QVERIFY(f.boxes.lastText().startsWith(QStringLiteral("无法打开文件") + answers.file));
    if (!reason.isEmpty())
        QCOMPARE(f.boxes.lastText(), QStringLiteral("无法打开文件") + answers.file + "（" + reason + "）");
    QVERIFY(f.window->historyPage()->plot(2)->points().isEmpty()); // cleared before the dialog
    for (auto *box : f.window->findChildren<QMessageBox *>())
        QVERIFY(!box->isVisible());
}

void tst_historyRecording::fileWithoutDataSaysSo_data()
{
    QTest::addColumn<QByteArray>("contents");
    const QString text = QStringLiteral("type1\n0,1.5\ntype3\n0,20.1\n");
    QTest::newRow("UTF-16 text") << QByteArray("\xFF\xFE") +
                                        QByteArray(reinterpret_cast<const char *>(text.utf16()),
                                                   text.size() * int(sizeof(char16_t)));
    QByteArray noise(4096, Qt::Uninitialized);
    QRandomGenerator random(5);
    for (char &byte : noise)
        byte = char(random.bounded(256));
    QTest::newRow("random bytes") << noise;
    QTest::newRow("sections without data") << QByteArray("type1\ntype2\n");
    QTest::newRow("values no float holds") << QByteArray("type1\n0,1e39\n1,-1e39\n2,nan\n");
    QTest::newRow("empty") << QByteArray("");
}

// Nothing to draw: the operator is told so rather than that the file opened.
void tst_historyRecording::fileWithoutDataSaysSo()
{
    QFETCH(QByteArray, contents);
    MainWindowFixture f;
    Answers answers;
    QTemporaryDir dir;
    answers.file = dir.filePath(QStringLiteral("nodata.csv"));
    QFile file(answers.file);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size());
    file.close();
    menuEntry(*f.window, QStringLiteral("打开文件"))->trigger();
    QTRY_COMPARE(f.boxes.boxes.size(), 1);
    QCOMPARE(f.boxes.texts(),
             QStringList{QStringLiteral("提示|文件") + answers.file + QStringLiteral("中没有找到数据")});
    for (int type = 1; type <= 4; ++type)
        QVERIFY(f.window->historyPage()->plot(type)->points().isEmpty());
}

void tst_historyRecording::fileBeyondThePointBoundIsCut()
{
    MainWindowFixture f;
    Answers answers;
    QTemporaryDir dir;
    answers.file = dir.filePath(QStringLiteral("many.csv"));
    QFile file(answers.file);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("type1\n" + QByteArray("0,0\n").repeated(DataFileLoader::MaxPointsPerType + 1) +
               "type2\n1,2\n");
    file.close();
    menuEntry(*f.window, QStringLiteral("打开文件"))->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!f.boxes.boxes.isEmpty(), 60000);
    QVERIFY(f.boxes.lastText().startsWith(QStringLiteral("只打开了") + answers.file));
    QCOMPARE(f.window->historyPage()->plot(1)->points().size(), DataFileLoader::MaxPointsPerType);
    QCOMPARE(f.window->historyPage()->plot(2)->points().size(), 1); // read on past the bound
}

// Each point of types 2 to 4 gets a debug line, in type order and before the point is drawn; the
// instantaneous flow gets none. The lines read as the debug stream writes a point.
void tst_historyRecording::openedFileLogsThePointsItDraws()
{
    MainWindowFixture f;
    Answers answers;
    QTemporaryDir dir;
    answers.file = dir.filePath(QStringLiteral("logged.csv"));
    QFile file(answers.file);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("type4\n86399.006,101.325\ntype1\n0,1.5\n1,2.5\ntype3\n0,20.1\n1234565,-0.0001\n"
               "type2\n3 , 4\n1.015625,1e6\n");
    file.close();
    f.window->debugWnd->show(); // shows the lines earlier tests left waiting, then only new ones
    auto *text = f.window->debugWnd->findChild<QPlainTextEdit *>(QStringLiteral("textEdit"));
    QVERIFY(text);
    QCoreApplication::processEvents();
    text->clear();
    menuEntry(*f.window, QStringLiteral("打开文件"))->trigger();
    QTRY_COMPARE(f.boxes.lastText(), QStringLiteral("成功打开") + answers.file);
    const QRegularExpression pointLine(QStringLiteral("^\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d DBG \\(default\\): (\\(.*)$"));
    const auto loggedPoints = [&] {
        QStringList points;
        for (const QString &line : text->toPlainText().split(QLatin1Char('\n'))) {
            const QRegularExpressionMatch match = pointLine.match(line);
            if (match.hasMatch())
                points << match.captured(1);
        }
        return points;
    };
    const QStringList expected{"( 3 , 4 )",         "( 1.01563 , 1e+06 )", "( 0 , 20.1 )",
                               "( 1.23457e+06 , -0.0001 )", "( 86399 , 101.325 )"};
    QTRY_COMPARE(loggedPoints(), expected);
    QCOMPARE(f.window->historyPage()->plot(1)->points().size(), 2);
    f.window->debugWnd->hide();
}

// The operator clears the charts several times during a recording (a minute in the program,
// shortened here with a short tick): the file's times keep rising, its values are the bus's.
void tst_historyRecording::clearingTheChartsLeavesTheFileTimesRising()
{
    MainWindowFixture::Setup setup;
    setup.addresses = {1};
    setup.tickMs = 40;
    MainWindowFixture f(setup);
    mainWnd &w = *f.window;
    QTemporaryDir dir;
    ServedValues served(w.worker());
    QVERIFY(f.openPort());
    menuEntry(w, QStringLiteral("查询设备"))->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(w.foundDeviceIds(), QList<quint8>{1}, 20000);
    f.takeOnline({1});
    PlotWidget *page = w.chartPages().at(0);
    QTRY_VERIFY_WITH_TIMEOUT(page->sampleCount(1) >= 2, 20000);

    const QString target = dir.filePath(QStringLiteral("cleared.csv"));
    emit w.saveWnd->sig_savePlotFile(1, QDateTime::currentDateTime(), 4, true, false, true, false, target);
    for (int clear = 1; clear <= 3; ++clear) {
        QTRY_VERIFY_WITH_TIMEOUT(page->recordedSamples(1) >= 4 * clear, 20000);
        for (int type = 1; type <= 4; ++type)
            page->plot(type)->clearChart();
    }
    QTRY_VERIFY_WITH_TIMEOUT(
        f.boxes.texts().contains(QStringLiteral("提示|") + target + QStringLiteral("保存成功")), 20000);
    const DataFile::Content content = DataFile::read(QString::fromLatin1(RecordingSamples::contentsOf(target)));
    for (int type : {1, 3}) {
        const QVector<QPointF> &section = content.sections[type - 1];
        QVERIFY(section.size() >= 12);
        for (int k = 1; k < section.size(); ++k)
            QVERIFY2(section[k].x() > section[k - 1].x(),
                     qPrintable(QStringLiteral("%1 after %2").arg(section[k].x()).arg(section[k - 1].x())));
        QVERIFY(section.last().x() <= 4.5);
        for (const QPointF &point : section)
            QVERIFY(served.values[type - 1].contains(float(point.y())));
    }
}

// A controller found by the scan but not taken online: the form refuses before its file dialog.
void tst_historyRecording::recordingOfAControllerNotOnlineIsRefused()
{
    MainWindowFixture::Setup setup;
    setup.addresses = {1};
    MainWindowFixture f(setup);
    mainWnd &w = *f.window;
    Answers answers;
    QVERIFY(f.openPort());
    menuEntry(w, QStringLiteral("查询设备"))->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(w.foundDeviceIds(), QList<quint8>{1}, 20000);
    w.savePlotFile();
    w.saveWnd->findChild<QComboBox *>(QStringLiteral("comboBox"))->setCurrentIndex(1);
    w.saveWnd->findChild<QLineEdit *>(QStringLiteral("lineEdit_4"))->setText(QStringLiteral("1"));
    w.saveWnd->findChild<QCheckBox *>(QStringLiteral("checkbox_current"))->setChecked(true);
    auto *confirm = w.saveWnd->findChild<QPushButton *>(QStringLiteral("pushButton"));
    QTest::mouseClick(confirm, Qt::LeftButton);
    QCOMPARE(f.boxes.texts().last(), QStringLiteral("错误提示|设备1不在线，无法记录。请先在设备管理页将其上线"));
    QVERIFY(answers.dialogs.isEmpty());
    QVERIFY(w.chartPages().at(0)->pendingExportFile().isEmpty());

    // Online, the same request reaches the file dialog (answered with nothing: no recording).
    f.takeOnline({1});
    QTest::mouseClick(confirm, Qt::LeftButton);
    QCOMPARE(answers.dialogs.size(), 1);
}

#include "TestRunner.h"

QUORIX_TEST_MAIN(tst_historyRecording)
#include "tst_historyRecording.moc"
