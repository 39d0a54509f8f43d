// The stage page: its buttons' state table and fan-out, the start's flow check, and programme
// files saved and loaded through the page's dialogs.

#include "DataDirectory.h"
#include "FileDialogSeam.h"
#include "Language.h"
#include "MessageBoxSeam.h"
#include "PipeTrap.h"
#include "RegularFile.h"
#include "StageTables.h"
#include "itemStageControl.h"
#include "stageControlWidget.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>
#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

using StageTables::read;

namespace {

// A page whose first widgets carry the given devices. Its fan-out signals, the set-points it
// passes on and its boxes are recorded; every file dialog answers `chosenPath` in `dir`.
struct Page
{
    stageControlWidget page;
    QStringList events, steps, boxes;
    QList<FileDialogSeam::Request> dialogs;
    QTemporaryDir dir;
    QString chosenPath = dir.filePath(QStringLiteral("programme.txt"));

    explicit Page(const QStringList &devices = {}, const QStringList &tables = {})
    {
        for (int k = 0; k < devices.size(); ++k)
            item(k).findChild<QLineEdit *>(QStringLiteral("edit_deviceId"))->setText(devices[k]);
        for (int k = 0; k < tables.size(); ++k)
            StageTables::type(item(k), tables[k]);
        page.setTickInterval(3600 * 1000);
        QObject::connect(&page, &stageControlWidget::sig_stratStep,
                         [this](bool on) { events << QStringLiteral("strat:%1").arg(on); });
        QObject::connect(&page, &stageControlWidget::devicestartStep,
                         [this](int id) { events << QStringLiteral("start:%1").arg(id); });
        QObject::connect(&page, &stageControlWidget::devicePasueStep, [this](int id, int type) {
            events << QStringLiteral("pause:%1,%2").arg(id).arg(type);
        });
        QObject::connect(&page, &stageControlWidget::SetStop, [this] { events << QStringLiteral("stop"); });
        QObject::connect(&page, &stageControlWidget::sig_excuteStep, [this](uchar id, float flow) {
            steps << QStringLiteral("%1,%2").arg(id).arg(double(flow));
        });
        MessageBoxSeam::setHandler([this](QWidget *, const MessageBoxSeam::Box &box) {
            boxes << box.title + QLatin1Char('|') + box.text;
            return QMessageBox::Ok;
        });
        FileDialogSeam::setHandler([this](QWidget *, const FileDialogSeam::Request &request) {
            dialogs << request;
            return chosenPath;
        });
    }
    ~Page()
    {
        MessageBoxSeam::reset();
        FileDialogSeam::reset();
    }
    itemStageControl &item(int k) { return *page.items().at(k); }
    void mode(int k, int mode)
    {
        item(k).findChild<QComboBox *>(QStringLiteral("combox_mode"))->setCurrentIndex(mode);
    }
    void press(const char *name)
    {
        QTest::mouseClick(page.findChild<QPushButton *>(QLatin1String(name)), Qt::LeftButton);
    }
    QStringList tables() { return {read(item(0)), read(item(1)), read(item(2)), read(item(3))}; }
};

const char *const kRunning = "background-color: limegreen; border: 1px solid lightgray;";
const char *const kIdle = "background-color: white; border: 1px solid lightgray;";
const char *const kPaused = "background-color: red;border:1px solid lightgray;";

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// The text as UTF-16, little-endian with its byte order mark, as some editors save it.
QByteArray utf16(const QString &text)
{
    return QByteArray("\xFF\xFE") +
           QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * int(sizeof(char16_t)));
}

bool writeFile(const QString &path, const QByteArray &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

// The English interface for the life of the object.
struct InEnglish
{
    const bool installed = Language::install(qApp, UiLanguage::English);
    ~InEnglish() { Language::install(qApp, UiLanguage::Chinese); }
};

// The buttons' captions of a row of the state table, in the installed language.
QStringList shownCaptions(QStringList buttons)
{
    for (int k : {0, 2})
        buttons[k] = QCoreApplication::translate("stageControlWidget", buttons[k].toUtf8().constData());
    return buttons;
}

} // namespace

class tst_stageControlWidget : public QObject
{
    Q_OBJECT
private slots:
    void quietLoadFillsOnlyTheNamedWidgets();
    void buttonStates_data();
    void buttonStates();
    void buttonStatesInEnglish_data();
    void buttonStatesInEnglish();
    void startRefusesAnUnusableStep_data();
    void startRefusesAnUnusableStep();
    void oneStepSingleRunHoldsItsFlow();
    void runEndingInsideItsStart_data();
    void runEndingInsideItsStart();
    void pageStaysRunningWhileAWidgetRuns_data();
    void pageStaysRunningWhileAWidgetRuns();
    void pauseLeavesWidgetsThatDoNotRunAlone();
    void loadIsRefusedWhileRunning();
    void saveWritesTheValidRowsOfEachTable();
    void loadFillsWidgetsByBlockOrder_data();
    void loadFillsWidgetsByBlockOrder();
    void loadFailuresShowOnlyTheError_data();
    void loadFailuresShowOnlyTheError();
    void failedWriteIsReported_data();
    void failedWriteIsReported();
    void saveRefusesWhatIsNoRegularFile_data();
    void saveRefusesWhatIsNoRegularFile();

private:
    void checkButtonStates();
};

void tst_stageControlWidget::buttonStates_data()
{
    QTest::addColumn<QStringList>("devices");
    QTest::addColumn<QString>("presses");     // S start/stop, P pause/continue, F first widget finishes
    QTest::addColumn<QStringList>("buttons"); // start text, its style, pause text, its style
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QStringList>("steps"); // set-points the page passed on
    const QStringList both{"3", "x", "7"};  // "x" is no device and gets no signal
    const QStringList started{"strat:1", "start:3", "start:7"};
    const QStringList paused = started + QStringList{"pause:3,1", "pause:7,1"};
    const QStringList zeros{"3,0", "7,0"}; // no widget holds a programme: only the stop sends
    QTest::newRow("start") << both << "S" << QStringList{"停止", kRunning, "暂停", ""} << started
                           << QStringList();
    QTest::newRow("no bus address") << QStringList{"257", "0", "7"} << "S"
                                    << QStringList{"停止", kRunning, "暂停", ""}
                                    << QStringList{"strat:1", "start:7"} << QStringList();
    QTest::newRow("first widget without a device")
        << QStringList{"", "7"} << "SP" << QStringList{"开始", "", "暂停", ""} << QStringList()
        << QStringList();
    QTest::newRow("pause while idle")
        << both << "P" << QStringList{"开始", "", "暂停", ""} << QStringList() << QStringList();
    QTest::newRow("pause") << both << "SP" << QStringList{"停止", kRunning, "继续", kPaused} << paused
                           << QStringList();
    QTest::newRow("continue") << both << "SPP"
                              << QStringList{"停止", kRunning, "暂停",
                                             "background-color: white;border:1px solid lightgray;"}
                              << paused + QStringList{"pause:3,2", "pause:7,2"} << QStringList();
    QTest::newRow("pause then stop") << both << "SPS" << QStringList{"开始", kIdle, "暂停", kIdle}
                                     << paused + QStringList{"stop"} << zeros;
    QTest::newRow("a single run ends")
        << both << "SPF" << QStringList{"开始", kIdle, "继续", kPaused} << paused << QStringList();
}

void tst_stageControlWidget::buttonStates()
{
    checkButtonStates();
}

// The buttons' state does not depend on their captions, which are English here.
void tst_stageControlWidget::buttonStatesInEnglish_data()
{
    buttonStates_data();
}

void tst_stageControlWidget::buttonStatesInEnglish()
{
    const InEnglish english;
    QVERIFY(english.installed);
    QCOMPARE(shownCaptions({"停止", "", "继续", ""}), (QStringList{"Stop", "", "Resume", ""}));
    checkButtonStates();
}

void tst_stageControlWidget::checkButtonStates()
{
    QFETCH(QStringList, devices);
    QFETCH(QString, presses);
    QFETCH(QStringList, buttons);
    QFETCH(QStringList, events);
    QFETCH(QStringList, steps);
    Page p(devices);
    for (QChar press : presses) {
        if (press == 'F')
            emit p.item(0).sig_item_finish();
        else
            p.press(press == 'S' ? "btn_start" : "btn_pause");
    }
    QCOMPARE((QStringList{p.page.startButton()->text(), p.page.startButton()->styleSheet(),
                          p.page.pauseButton()->text(), p.page.pauseButton()->styleSheet()}),
             shownCaptions(buttons));
    QCOMPARE(p.events, events);
    QCOMPARE(p.steps, steps);
}

void tst_stageControlWidget::startRefusesAnUnusableStep_data()
{
    QTest::addColumn<QStringList>("tables"); // of devices 3 and 7
    QTest::addColumn<QString>("box");
    const QString flow =
        QStringLiteral("错误提示|第2个分阶控件（设备7）第2行的流量超出0到999999的范围，未启动");
    const QString time =
        QStringLiteral("错误提示|第2个分阶控件（设备7）第2行的时间须为大于0的整数秒，未启动");
    QTest::newRow("negative flow") << QStringList{"10,5", "20,5;-30,5"} << flow;
    QTest::newRow("duration 0") << QStringList{"10,5", "20,5;30,0"} << time;
    QTest::newRow("negative duration") << QStringList{"10,5", "20,5;30,-2"} << time;
    QTest::newRow("empty duration in the count") << QStringList{"10,5", "20,5;30,;40,5"} << time;
    QTest::newRow("the first widget's is named first")
        << QStringList{"10,0", "20,5;30,0"}
        << QStringLiteral("错误提示|第1个分阶控件（设备3）第1行的时间须为大于0的整数秒，未启动");
}

// Nothing is sent and the page stays idle; the box names the widget and the row.
void tst_stageControlWidget::startRefusesAnUnusableStep()
{
    QFETCH(QStringList, tables);
    QFETCH(QString, box);
    Page p({"3", "7"}, tables);
    p.press("btn_start");
    QCOMPARE(p.boxes, QStringList{box});
    QCOMPARE(p.events + p.steps, QStringList());
    QCOMPARE(p.page.startButton()->text(), QStringLiteral("开始"));
}

// The flow reaches the page alone, and the 0 one second later; then the page is idle.
void tst_stageControlWidget::oneStepSingleRunHoldsItsFlow()
{
    Page p({"3"}, {"200,1"});
    p.press("btn_start");
    QCOMPARE(p.steps, QStringList{"3,200"});
    QCOMPARE(p.page.startButton()->text(), QStringLiteral("停止"));
    p.item(0).excuteStep();
    QCOMPARE(p.steps, (QStringList{"3,200", "3,0"}));
    QCOMPARE(p.page.startButton()->text(), QStringLiteral("开始"));
    QCOMPARE(p.page.startButton()->styleSheet(), QString::fromLatin1(kIdle));
}

void tst_stageControlWidget::runEndingInsideItsStart_data()
{
    QTest::addColumn<QStringList>("tables"); // the first widget's run ends as it starts
    QTest::addColumn<QString>("start");
    QTest::newRow("nothing else runs") << QStringList{"7,5"} << "开始";
    QTest::newRow("a later widget runs on") << QStringList{"7,5", "20,5"} << "停止";
}

// A widget that reports the end of its run from inside its start leaves the page as it is after
// that start: idle unless another widget runs.
void tst_stageControlWidget::runEndingInsideItsStart()
{
    QFETCH(QStringList, tables);
    QFETCH(QString, start);
    Page p({"3", "7"}, tables);
    QObject::connect(&p.page, &stageControlWidget::devicestartStep, &p.page, [&p](int device) {
        if (device == 3) {
            p.item(0).stopStep();
            emit p.item(0).sig_item_finish();
        }
    });
    p.press("btn_start");
    QCOMPARE(p.page.startButton()->text(), start);
}

void tst_stageControlWidget::pageStaysRunningWhileAWidgetRuns_data()
{
    QTest::addColumn<QStringList>("tables"); // the first widget runs once, the second repeats
    QTest::addColumn<QString>("start");      // the start button after the single run ended
    QTest::newRow("a repeat run goes on") << QStringList{"7,2", "20,5"} << "停止";
    QTest::newRow("the last run ended") << QStringList{"7,2"} << "开始";
}

void tst_stageControlWidget::pageStaysRunningWhileAWidgetRuns()
{
    QFETCH(QStringList, tables);
    QFETCH(QString, start);
    Page p({"3", "7"}, tables);
    p.mode(1, 1);
    p.press("btn_start");
    p.item(0).excuteStep();
    p.item(0).excuteStep();
    QCOMPARE(p.page.startButton()->text(), start);
}

// A finished single run and a widget without a programme keep their controllers' flows.
void tst_stageControlWidget::pauseLeavesWidgetsThatDoNotRunAlone()
{
    Page p({"3", "7", "9"}, {"7,1", "20,5"});
    p.mode(1, 1);
    p.press("btn_start");
    p.item(0).excuteStep();
    p.press("btn_pause");
    p.press("btn_pause");
    QCOMPARE(p.steps, (QStringList{"3,7", "7,20", "3,0", "7,0", "7,20"}));
}

void tst_stageControlWidget::loadIsRefusedWhileRunning()
{
    Page p({"3"}, {"10,5"});
    QVERIFY(writeFile(p.chosenPath, "[1]\n1,1\n"));
    p.press("btn_start");
    p.press("btn_load");
    QCOMPARE(p.boxes, QStringList{"错误提示|分阶运行中，请先停止再调入配置"});
    QCOMPARE(p.tables(), (QStringList{"10,5", "", "", ""}));
}

// After a stop every cell exists; still only the rows with both cells filled are written.
void tst_stageControlWidget::saveWritesTheValidRowsOfEachTable()
{
    Page p({"3", "7"}, {"5,", "100,30;;0,60"});
    emit p.page.SetStop();
    p.press("btn_save");
    QCOMPARE(readFile(p.chosenPath), QByteArray("[1]\n\n[2]\n100,30\n0,60\n\n[3]\n\n[4]\n\n"));
    QCOMPARE(p.boxes, QStringList{"提示|成功加载文件" + p.chosenPath});
    QCOMPARE(p.dialogs.value(0).caption, QStringLiteral("选择保存路径"));
    QCOMPARE(p.dialogs.value(0).directory, defaultDataDirectory());
    QCOMPARE(p.dialogs.value(0).filter, QStringLiteral("Text Files (*.txt);;All Files (*)"));
}

void tst_stageControlWidget::loadFillsWidgetsByBlockOrder_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<QString>("note"); // after "导入成功"
    const QString none;
    QTest::newRow("an empty block keeps its widget")
        << QByteArray("[1]\n\n[2]\n100,30\n0,60\n\n[3]\n\n[4]\n\n") << QStringList{"1,1", "2,2", "3,3", "4,4"}
        << QStringList{"", "100,30;0,60", "", ""} << none;
    QTest::newRow("a short block replaces the whole table")
        << QByteArray("[1]\n5,1\n6,1\n7,1\n") << QStringList{"1,1;2,2;3,3;4,4;5,5", "9,9"}
        << QStringList{"5,1;6,1;7,1", "9,9", "", ""} << none;
    QTest::newRow("blocks beyond four, CR LF")
        << QByteArray("[1]\r\n1,1\r\n[2]\r\n2,2\r\n[3]\r\n3,3\r\n[4]\r\n4,4\r\n[5]\r\n5,5\r\n")
        << QStringList() << QStringList{"1,1", "2,2", "3,3", "4,4"} << none;
    QTest::newRow("a block of invalid lines keeps its table")
        << QByteArray("[1]\n5,1\n[2]\n5;5\nx\n[3]\n3,3\n") << QStringList{"1,1", "2,2;2,3", "9,9", "4,4"}
        << QStringList{"5,1", "2,2;2,3", "3,3", "4,4"} << "；第2块[2]没有有效的阶，第2个分阶控件未改动";
    QTest::newRow("two such blocks, by their headers")
        << QByteArray("[1]\n5;5\n[7]\n1,2\n[9]\n,\n") << QStringList{"1,1", "2,2", "3,3"}
        << QStringList{"1,1", "1,2", "3,3", ""}
        << "；第1块[1]没有有效的阶，第1个分阶控件未改动；第3块[9]没有有效的阶，第3个分阶控件未改动";
    QTest::newRow("a long header is cut in the notice")
        << "[" + QByteArray(40, '7') + "]\nx\n[2]\n2,2\n"
        << QStringList{"1,1"} << QStringList{"1,1", "2,2", "", ""}
        << "；第1块[" + QString(23, '7') + "…没有有效的阶，第1个分阶控件未改动";
    QByteArray file("[1]\n");
    QStringList hundred;
    for (int k = 0; k < 150; ++k) {
        file += QByteArray::number(k) + ",1\n";
        hundred << QString::number(k) + ",1";
    }
    QTest::newRow("steps beyond 100")
        << file << QStringList() << QStringList{hundred.mid(0, 100).join(';'), "", "", ""} << none;
}

void tst_stageControlWidget::loadFillsWidgetsByBlockOrder()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, before);
    QFETCH(QStringList, after);
    QFETCH(QString, note);
    Page p({}, before);
    QVERIFY(writeFile(p.chosenPath, file));
    p.press("btn_load");
    QCOMPARE(p.boxes, QStringList{"提示|文件" + p.chosenPath + "导入成功" + note});
    QCOMPARE(p.dialogs.value(0).caption, QStringLiteral("导入历史分阶记录"));
    QCOMPARE(p.tables(), after);
    for (int k = 0; k < 4; ++k)
        QCOMPARE(p.item(k).stepCount(), p.item(k).validRowCount());
}

void tst_stageControlWidget::loadFailuresShowOnlyTheError_data()
{
    // What is at the chosen path: "text", "fifo", "zero" (a link to /dev/zero), "folder" or nothing.
    QTest::addColumn<QString>("made");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("name"); // empty: the dialog is cancelled
    QTest::addColumn<QString>("box");  // "title|text", %1 standing for the chosen path; empty: no box
    const QString error = QStringLiteral("提示|文件解析错误");
    const QString refused = QStringLiteral("文件解析错误|文件%1");
    QTest::newRow("no valid step") << "text" << QByteArray("[1]\n\n[2]\n5;5\n") << "p.txt" << error;
    QTest::newRow("no header first") << "text" << QByteArray("5,5\n[1]\n6,6\n") << "p.txt"
                                     << refused + "没有以分阶块标题（如[1]）开头";
    QTest::newRow("empty") << "text" << QByteArray("") << "p.txt"
                           << refused + "没有以分阶块标题（如[1]）开头";
    QTest::newRow("far too large") << "text" << QByteArray("[1]\n1,1\n").leftJustified(2 << 20, '\n')
                                   << "p.txt" << refused + "大于1 MB，不是分阶配置文件";
    QTest::newRow("NUL bytes") << "text" << QByteArray("[1]\n1,1\n\0\n", 11) << "p.txt"
                               << refused + "含有NUL字节，不是文本文件";
    QTest::newRow("UTF-16") << "text" << utf16(QStringLiteral("[1]\n1,1\n")) << "p.txt"
                            << refused + "含有NUL字节，不是文本文件";
    QTest::newRow("not UTF-8") << "text" << QByteArray("[1]\n1,1\n\xC0\xAF\n") << "p.txt"
                               << refused + "不是有效的UTF-8文本";
    QTest::newRow("missing file") << "" << QByteArray() << "p.txt"
                                  << refused + "无法打开（" + qt_error_string(ENOENT) + "）";
    QTest::newRow("a folder") << "folder" << QByteArray() << "p.txt" << refused + "不是普通文件，而是文件夹";
    QTest::newRow("a named pipe") << "fifo" << QByteArray() << "p.txt"
                                  << refused + "不是普通文件，而是命名管道";
    QTest::newRow("a link to /dev/zero")
        << "zero" << QByteArray() << "p.txt" << refused + "不是普通文件，而是字符设备";
    QTest::newRow("cancelled") << "" << QByteArray() << ""
                               << "";
}

// The page refuses the file with the reason, before it opens one that is no regular file, and keeps
// its tables.
void tst_stageControlWidget::loadFailuresShowOnlyTheError()
{
    QFETCH(QString, made);
    QFETCH(QByteArray, file);
    QFETCH(QString, name);
    QFETCH(QString, box);
    Page p({}, {"1,1", "2,2"});
    p.chosenPath = name.isEmpty() ? QString() : p.dir.filePath(name);
    std::unique_ptr<PipeTrap> pipe;
    if (made == QLatin1String("text"))
        QVERIFY(writeFile(p.chosenPath, file));
    else if (made == QLatin1String("fifo"))
        QVERIFY((pipe = std::make_unique<PipeTrap>(p.chosenPath))->made());
    else if (made == QLatin1String("zero"))
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), p.chosenPath));
    else if (made == QLatin1String("folder"))
        QVERIFY(QDir().mkpath(p.chosenPath));
    QElapsedTimer clock;
    clock.start();
    p.press("btn_load");
    QVERIFY2(clock.elapsed() < 2000, "the page was held up");
    QCOMPARE(p.boxes, box.isEmpty() ? QStringList() : QStringList{QString(box).replace("%1", p.chosenPath)});
    QCOMPARE(p.tables(), (QStringList{"1,1", "2,2", "", ""}));
}

void tst_stageControlWidget::failedWriteIsReported_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("diskFull"); // the disk takes only the first 8 bytes
    QTest::newRow("under a regular file") << "old.txt/programme.txt" << false;
#ifdef Q_OS_UNIX
    QTest::newRow("the data never reaches the disk") << "old.txt" << true;
#endif
}

// A save that fails shows "加载失败" and leaves an existing file as it was.
void tst_stageControlWidget::failedWriteIsReported()
{
    QFETCH(QString, target);
    QFETCH(bool, diskFull);
    Page p({"3"}, {"100,30;200,40;300,50;400,60"});
    const QString old = p.dir.filePath(QStringLiteral("old.txt"));
    QVERIFY(writeFile(old, "[1]\n1,1\n"));
    p.chosenPath = p.dir.filePath(target);
#ifdef Q_OS_UNIX
    // A file-size limit holds for root as well; the writes past it fail as on a full disk.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = diskFull ? 8 : saved.rlim_cur;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
#endif
    p.press("btn_save");
#ifdef Q_OS_UNIX
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
#endif
    QCOMPARE(p.boxes, QStringList{"提示|加载失败"});
    QCOMPARE(readFile(old), QByteArray("[1]\n1,1\n"));
}

void tst_stageControlWidget::saveRefusesWhatIsNoRegularFile_data()
{
    QTest::addColumn<QString>("made");
    QTest::addColumn<QString>("reason");
    QTest::newRow("a folder") << "folder" << QStringLiteral("不是普通文件，而是文件夹");
    QTest::newRow("a named pipe") << "fifo" << QStringLiteral("不是普通文件，而是命名管道");
}

// Nothing is written, and the path stays what it was. No link to a device here: a save that wrongly
// went ahead would, for a test run as root, put a file in the device's place.
void tst_stageControlWidget::saveRefusesWhatIsNoRegularFile()
{
    QFETCH(QString, made);
    QFETCH(QString, reason);
    Page p({"3"}, {"100,30"});
    std::unique_ptr<PipeTrap> pipe;
    if (made == QLatin1String("fifo"))
        QVERIFY((pipe = std::make_unique<PipeTrap>(p.chosenPath))->made());
    else
        QVERIFY(QDir().mkpath(p.chosenPath));
    QElapsedTimer clock;
    clock.start();
    p.press("btn_save");
    QVERIFY2(clock.elapsed() < 2000, "the page was held up");
    QCOMPARE(p.boxes, QStringList{"提示|" + p.chosenPath + "无法写入（" + reason + "）"});
    QCOMPARE(regularFileProblem(p.chosenPath), reason);
}

#include "TestRunner.h"

// A load without a dialog (the workspace's): the widgets named take their blocks and say where from,
// the others keep their tables; a file gone is a reason, no notice, and nothing changes.
void tst_stageControlWidget::quietLoadFillsOnlyTheNamedWidgets()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("two.txt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(stageProgrammesText({{{10, 5}}, {{20, 5}}}).toUtf8());
    file.close();
    stageControlWidget page;
    QSignalSpy loaded(&page, &stageControlWidget::programmeFileLoaded);
    QCOMPARE(page.loadProgrammeFile(path, {1}), QString());
    QVERIFY(page.items().at(0)->programme().isEmpty());
    QCOMPARE(page.items().at(1)->programme(), StageProgramme({{20, 5}}));
    QCOMPARE(loaded.size(), 1);
    QCOMPARE(loaded.at(0).at(0).toInt(), 1);
    QCOMPARE(loaded.at(0).at(1).toString(), path);
    QVERIFY(page.loadProgrammeFile(dir.filePath(QStringLiteral("gone.txt")), {0}).contains(QStringLiteral("gone.txt")));
    QVERIFY(page.items().at(0)->programme().isEmpty());
    QCOMPARE(loaded.size(), 1);
}

QUORIX_TEST_MAIN(tst_stageControlWidget)
#include "tst_stageControlWidget.moc"
