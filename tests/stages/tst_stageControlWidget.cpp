// The stage page: its buttons' state table and fan-out, the start's flow check, and programme
// files saved and loaded through the page's dialogs.

#include "DataDirectory.h"
#include "FileDialogSeam.h"
#include "MessageBoxSeam.h"
#include "StageTables.h"
#include "stageControlWidget.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

namespace {

// A page whose first widgets carry the given devices; its signals, the boxes it shows and the
// dialogs it opens are recorded, and every dialog answers `chosenPath`.
struct Page
{
    stageControlWidget page;
    QStringList events;
    QStringList steps;
    QStringList boxes;
    QList<FileDialogSeam::Request> dialogs;
    QString chosenPath;

    explicit Page(const QStringList &devices = {})
    {
        for (int k = 0; k < devices.size(); ++k)
            field(k)->setText(devices[k]);
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
    QLineEdit *field(int k) { return item(k).findChild<QLineEdit *>(QStringLiteral("edit_deviceId")); }
    itemStageControl &item(int k) { return *page.items().at(k); }
    void press(QPushButton *button) { QTest::mouseClick(button, Qt::LeftButton); }
    void press(const char *name) { press(page.findChild<QPushButton *>(QLatin1String(name))); }
    QStringList tables() { return {read(0), read(1), read(2), read(3)}; }
    QString read(int k) { return StageTables::read(item(k)); }
    void type(const QStringList &tables)
    {
        for (int k = 0; k < tables.size(); ++k)
            StageTables::type(item(k), tables[k]);
    }
};

const char *const kRunning = "background-color: limegreen; border: 1px solid lightgray;";
const char *const kIdle = "background-color: white; border: 1px solid lightgray;";

QByteArray fileText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

bool writeFile(const QString &path, const QByteArray &text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

} // namespace

class tst_stageControlWidget : public QObject
{
    Q_OBJECT
private slots:
    void layout();
    void buttonStates_data();
    void buttonStates();
    void startRefusesAFlowOutOfRange();
    void saveWritesTheValidRowsOfEachTable();
    void loadFillsWidgetsByBlockOrder_data();
    void loadFillsWidgetsByBlockOrder();
    void loadFailuresShowOnlyTheError_data();
    void loadFailuresShowOnlyTheError();
    void failedWriteIsReported_data();
    void failedWriteIsReported();
};

void tst_stageControlWidget::layout()
{
    Page p;
    QCOMPARE(p.page.windowTitle(), QStringLiteral("分阶流量控制"));
    QStringList captions;
    for (const char *name : {"btn_start", "btn_pause", "btn_save", "btn_load"}) {
        auto *button = p.page.findChild<QPushButton *>(QLatin1String(name));
        captions << button->text();
        QCOMPARE(button->maximumHeight(), 40);
        QCOMPARE(button->font().pointSize(), 15);
    }
    QCOMPARE(captions, (QStringList{"开始", "暂停", "保存配置", "调入配置"}));
    auto *table = StageTables::table(p.item(0));
    QCOMPARE(table->rowCount(), 100);
    QCOMPARE(table->horizontalHeaderItem(0)->text(), QStringLiteral("流量/sccm"));
    QCOMPARE(table->horizontalHeaderItem(1)->text(), QStringLiteral("时间/秒"));
    QCOMPARE(p.item(0).size(), QSize(464, 533));
}

void tst_stageControlWidget::buttonStates_data()
{
    QTest::addColumn<QStringList>("devices");
    QTest::addColumn<QString>("presses"); // S start/stop, P pause/continue, F first widget finishes
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("startStyle");
    QTest::addColumn<QString>("pause");
    QTest::addColumn<QString>("pauseStyle");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QStringList>("steps"); // set-points the page passed on
    const QStringList both{"3", "7"};
    const QStringList started{"strat:1", "start:3", "start:7"};
    const QStringList paused = started + QStringList{"pause:3,1", "pause:7,1"};
    const QStringList zeros{"3,0", "7,0"};
    const QString red = QStringLiteral("background-color: red;border:1px solid lightgray;");
    QTest::newRow("start") << both << "S"
                           << "停止" << kRunning << "暂停"
                           << "" << started << QStringList();
    QTest::newRow("first widget without a device") << QStringList{"", "7"} << "SP"
                                                   << "开始"
                                                   << ""
                                                   << "暂停"
                                                   << "" << QStringList() << QStringList();
    QTest::newRow("pause while idle") << both << "P"
                                      << "开始"
                                      << ""
                                      << "暂停"
                                      << "" << QStringList() << QStringList();
    QTest::newRow("a device that is no number is skipped")
        << QStringList{"3", "x", "9"} << "S"
        << "停止" << kRunning << "暂停"
        << "" << QStringList{"strat:1", "start:3", "start:9"} << QStringList();
    QTest::newRow("pause") << both << "SP"
                           << "停止" << kRunning << "继续" << red << paused << zeros;
    QTest::newRow("continue") << both << "SPP"
                              << "停止" << kRunning << "暂停"
                              << "background-color: white;border:1px solid lightgray;"
                              << paused + QStringList{"pause:3,2", "pause:7,2"} << zeros + zeros;
    QTest::newRow("pause then stop") << both << "SPS"
                                     << "开始" << kIdle << "暂停" << kIdle << paused + QStringList{"stop"}
                                     << zeros + zeros;
    QTest::newRow("a single run ends") << both << "SPF"
                                       << "开始" << kIdle << "继续" << red << paused << zeros;
}

void tst_stageControlWidget::buttonStates()
{
    QFETCH(QStringList, devices);
    QFETCH(QString, presses);
    QFETCH(QString, start);
    QFETCH(QString, startStyle);
    QFETCH(QString, pause);
    QFETCH(QString, pauseStyle);
    QFETCH(QStringList, events);
    QFETCH(QStringList, steps);
    Page p(devices);
    for (QChar press : presses) {
        if (press == 'F')
            emit p.item(0).sig_item_finish();
        else
            p.press(press == 'S' ? p.page.startButton() : p.page.pauseButton());
    }
    QCOMPARE(p.page.startButton()->text(), start);
    QCOMPARE(p.page.startButton()->styleSheet(), startStyle);
    QCOMPARE(p.page.pauseButton()->text(), pause);
    QCOMPARE(p.page.pauseButton()->styleSheet(), pauseStyle);
    QCOMPARE(p.events, events);
    QCOMPARE(p.steps, steps);
}

void tst_stageControlWidget::startRefusesAFlowOutOfRange()
{
    Page p({"3", "7"});
    p.type({"10,5", "20,5;-30,5"});
    p.press(p.page.startButton());
    QCOMPARE(p.boxes, QStringList{"错误提示|第2个分阶控件（设备7）第2行的流量超出0到999999的范围，未启动"});
    QVERIFY(p.events.isEmpty());
    QVERIFY(p.steps.isEmpty());
    QCOMPARE(p.page.startButton()->text(), QStringLiteral("开始"));
}

// After a stop every cell exists; still only the rows with both cells filled are written.
void tst_stageControlWidget::saveWritesTheValidRowsOfEachTable()
{
    Page p({"3", "7"});
    p.type({"5,", "100,30;;0,60"});
    emit p.page.SetStop();
    QTemporaryDir dir;
    p.chosenPath = dir.filePath(QStringLiteral("programme.txt"));
    p.press("btn_save");
    QCOMPARE(fileText(p.chosenPath), QByteArray("[1]\n\n[2]\n100,30\n0,60\n\n[3]\n\n[4]\n\n"));
    QCOMPARE(p.boxes, QStringList{"提示|成功加载文件" + p.chosenPath});
    QCOMPARE(p.dialogs.size(), 1);
    QCOMPARE(p.dialogs[0].caption, QStringLiteral("选择保存路径"));
    QCOMPARE(p.dialogs[0].directory, defaultDataDirectory());
    QCOMPARE(p.dialogs[0].filter, QStringLiteral("Text Files (*.txt);;All Files (*)"));
}

void tst_stageControlWidget::loadFillsWidgetsByBlockOrder_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("after");
    QTest::newRow("an empty block keeps its widget")
        << QByteArray("[1]\n\n[2]\n100,30\n0,60\n\n[3]\n\n[4]\n\n") << QStringList{"1,1", "2,2", "3,3", "4,4"}
        << QStringList{"", "100,30;0,60", "", ""};
    QTest::newRow("a short block replaces the whole table")
        << QByteArray("[1]\n5,1\n6,1\n7,1\n") << QStringList{"1,1;2,2;3,3;4,4;5,5", "9,9"}
        << QStringList{"5,1;6,1;7,1", "9,9", "", ""};
    QTest::newRow("blocks beyond four are ignored")
        << QByteArray("[1]\n1,1\n[2]\n2,2\n[3]\n3,3\n[4]\n4,4\n[5]\n5,5\n[6]\n6,6\n") << QStringList()
        << QStringList{"1,1", "2,2", "3,3", "4,4"};
    QTest::newRow("CR LF") << QByteArray("[1]\r\n5,10\r\nx\r\n\r\n") << QStringList()
                           << QStringList{"5,10", "", "", ""};
    QByteArray long_("[1]\n");
    QStringList hundred;
    for (int k = 0; k < 150; ++k) {
        long_ += QByteArray::number(k) + ",1\n";
        if (k < 100)
            hundred << QString::number(k) + ",1";
    }
    QTest::newRow("steps beyond 100 are ignored")
        << long_ << QStringList() << QStringList{hundred.join(';'), "", "", ""};
}

void tst_stageControlWidget::loadFillsWidgetsByBlockOrder()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, before);
    QFETCH(QStringList, after);
    Page p;
    p.type(before);
    QTemporaryDir dir;
    p.chosenPath = dir.filePath(QStringLiteral("programme.txt"));
    QVERIFY(writeFile(p.chosenPath, file));
    p.press("btn_load");
    QCOMPARE(p.boxes, QStringList{"提示|文件" + p.chosenPath + "导入成功"});
    QCOMPARE(p.dialogs.value(0).caption, QStringLiteral("导入历史分阶记录"));
    QCOMPARE(p.tables(), after);
    for (int k = 0; k < 4; ++k)
        QCOMPARE(p.item(k).stepCount(), p.item(k).validRowCount());
}

void tst_stageControlWidget::loadFailuresShowOnlyTheError_data()
{
    QTest::addColumn<QByteArray>("file"); // null: no file at the chosen path
    QTest::addColumn<QString>("name");    // empty: the dialog is cancelled
    QTest::addColumn<QStringList>("boxes");
    const QStringList error{"提示|文件解析错误"};
    QTest::newRow("no valid step") << QByteArray("[1]\n\n[2]\n5;5\n") << "p.txt" << error;
    QTest::newRow("no header first") << QByteArray("5,5\n[1]\n6,6\n") << "p.txt" << error;
    QTest::newRow("missing file") << QByteArray() << "p.txt" << error;
    QTest::newRow("a folder") << QByteArray() << "." << error;
    QTest::newRow("cancelled") << QByteArray() << "" << QStringList();
}

void tst_stageControlWidget::loadFailuresShowOnlyTheError()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, name);
    QFETCH(QStringList, boxes);
    Page p;
    const QStringList tables{"1,1", "2,2", "", ""};
    p.type(tables);
    QTemporaryDir dir;
    p.chosenPath = name.isEmpty() ? QString() : dir.filePath(name);
    if (!file.isNull())
        QVERIFY(writeFile(p.chosenPath, file));
    p.press("btn_load");
    QCOMPARE(p.boxes, boxes);
    QCOMPARE(p.tables(), tables);
}

void tst_stageControlWidget::failedWriteIsReported_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("diskFull"); // the disk takes only the first bytes of the file
    QTest::newRow("a folder as target") << "." << false;
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
    Page p({"3"});
    p.type({"100,30;200,40;300,50;400,60"});
    QTemporaryDir dir;
    const QString old = dir.filePath(QStringLiteral("old.txt"));
    QVERIFY(writeFile(old, "[1]\n1,1\n"));
    p.chosenPath = dir.filePath(target);
#ifdef Q_OS_UNIX
    // A file-size limit holds for root as well: writes past 8 bytes fail as on a full disk.
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    if (diskFull) {
        rlimit small = saved;
        small.rlim_cur = 8;
        setrlimit(RLIMIT_FSIZE, &small);
    }
#endif
    p.press("btn_save");
#ifdef Q_OS_UNIX
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
#endif
    QCOMPARE(p.boxes, QStringList{"提示|加载失败"});
    QCOMPARE(fileText(old), QByteArray("[1]\n1,1\n"));
}

QTEST_MAIN(tst_stageControlWidget)
#include "tst_stageControlWidget.moc"
