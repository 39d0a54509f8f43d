// What stands between the close button and the end of the program: a running staged programme
// is stopped only when the operator says so, a worker that never answers does not keep the
// window open beyond the bound, and recordings that have not started are named and dropped. The
// box with its own captions is checked as the operator sees it.

#include "DeviceThread.h"
#include "ExitSequence.h"
#include "MessageBoxSeam.h"
#include "PlotWidget.h"
#include "itemStageControl.h"
#include "stageControlWidget.h"
#include "stages/StageTables.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include <mutex>

namespace {
// The exit stop's box, a window of its own while shown.
QWidget *stopBox()
{
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (top->objectName() == QLatin1String("exitStopBox") && top->isVisible())
            return top;
    }
    return nullptr;
}

const QString kQuestion = QStringLiteral("分阶程序正在运行。退出前停止全部程序并将流量设为0？");

struct Answers
{
    QList<MessageBoxSeam::Box> boxes;
    QMessageBox::StandardButton question = QMessageBox::No;
    Answers()
    {
        MessageBoxSeam::setHandler([this](QWidget *, const MessageBoxSeam::Box &box) {
            boxes << box;
            return box.kind == MessageBoxSeam::Kind::Question ? question : QMessageBox::Ok;
        });
    }
    ~Answers() { MessageBoxSeam::reset(); }
};

// The warnings about the exit logged while it lives.
struct Warnings
{
    static std::mutex &mutex()
    {
        static std::mutex m;
        return m;
    }
    static QStringList &lines()
    {
        static QStringList l;
        return l;
    }
    Warnings()
    {
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
            std::lock_guard<std::mutex> lock(mutex());
            if (type == QtWarningMsg && text.startsWith(QStringLiteral("退出前")))
                lines() << text;
        });
    }
    ~Warnings()
    {
        qInstallMessageHandler(nullptr);
        std::lock_guard<std::mutex> lock(mutex());
        lines().clear();
    }
    QStringList taken() const
    {
        std::lock_guard<std::mutex> lock(mutex());
        return lines();
    }
};

// A main window's parts, with a worker whose thread never runs: it answers no request.
struct Parts
{
    QWidget window;
    stageControlWidget stages;
    DeviceThread worker;
    QVector<PlotWidget *> pages;
    std::unique_ptr<ExitSequence> exit;
    Parts()
    {
        for (int k = 0; k < 3; ++k)
            pages << new PlotWidget(&window);
        exit = std::make_unique<ExitSequence>(&window, &stages, &worker, pages);
    }
    ~Parts() { exit.reset(); }
    // Controller 5 runs a programme in the first widget.
    void runProgramme()
    {
        itemStageControl *item = stages.items().at(0);
        item->setDeviceId(5);
        StageTables::type(*item, QStringLiteral("10,100"));
        stages.startStep();
    }
};

} // namespace

class tst_exitSequence : public QObject
{
    Q_OBJECT
private slots:
    void withoutProgramme_data();
    void withoutProgramme();
    void programmeIsStoppedOnlyWhenChosen();
    void captionedQuestionAsShown_data();
    void captionedQuestionAsShown();
};

void tst_exitSequence::withoutProgramme_data()
{
    QTest::addColumn<int>("waitingOnPage"); // 0: none
    QTest::addColumn<QStringList>("boxes");
    QTest::newRow("nothing pending") << 0 << QStringList();
    QTest::newRow("a recording waits on controller 2")
        << 2 << QStringList{QStringLiteral("提示|尚未开始的记录已取消：设备2 → later.csv（%1 开始）")};
}

void tst_exitSequence::withoutProgramme()
{
    QFETCH(int, waitingOnPage);
    QFETCH(QStringList, boxes);
    Answers answers;
    Parts parts;
    const QDateTime start = QDateTime::currentDateTime().addSecs(3600);
    if (waitingOnPage > 0)
        QVERIFY(parts.pages[waitingOnPage - 1]->scheduleSave(start, 60, true, false, false, false,
                                                             QStringLiteral("/data/later.csv")));
    QVERIFY(parts.exit->allowsClose());
    QStringList shown;
    for (const MessageBoxSeam::Box &box : answers.boxes)
        shown << box.title + QLatin1Char('|') + box.text;
    QCOMPARE(shown, boxes.replaceInStrings(QStringLiteral("%1"), start.toString(QStringLiteral("hh:mm"))));
    for (PlotWidget *page : qAsConst(parts.pages))
        QVERIFY(!page->recordingWaits());
    QVERIFY(parts.exit->allowsClose()); // asked again, it does not ask again
    QCOMPARE(answers.boxes.size(), boxes.size());
}

void tst_exitSequence::programmeIsStoppedOnlyWhenChosen()
{
    Answers answers;
    Warnings warnings;
    Parts parts;
    parts.runProgramme();
    QCOMPARE(parts.stages.drivenDevices(), QList<quint8>{5});

    // "取消": the programme runs on and the window stays.
    QVERIFY(!parts.exit->allowsClose());
    QCOMPARE(answers.boxes.size(), 1);
    const MessageBoxSeam::Box asked = answers.boxes.first();
    QCOMPARE(asked.kind, MessageBoxSeam::Kind::Question);
    QCOMPARE(asked.title, QStringLiteral("提示"));
    QCOMPARE(asked.text, kQuestion);
    QCOMPARE(asked.buttons, (QStringList{QStringLiteral("停止并退出"), QStringLiteral("取消")}));
    QCOMPARE(parts.stages.startButton()->text(), QStringLiteral("停止"));
    QVERIFY(parts.window.isEnabled());

    // "停止并退出": stopped at once, and the window waits for the worker, which never answers,
    // no longer than the bound.
    answers.question = QMessageBox::Yes;
    QSignalSpy ready(parts.exit.get(), &ExitSequence::readyToClose);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!parts.exit->allowsClose());
    QCOMPARE(parts.stages.startButton()->text(), QStringLiteral("开始"));
    QVERIFY(parts.stages.drivenDevices().isEmpty());
    QVERIFY(!parts.window.isEnabled());  // nothing is started again meanwhile
    QVERIFY(!parts.exit->allowsClose()); // a second close while it waits asks nothing
    QCOMPARE(answers.boxes.size(), 2);
    // Past the bound, the box names the controller, and the window closes once it is closed.
    QMessageBox *box = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((box = qobject_cast<QMessageBox *>(stopBox())) && box->button(QMessageBox::Ok) &&
                                 box->button(QMessageBox::Ok)->isEnabled(),
                             ExitSequence::StopBudgetMs + ExitSequence::GraceMs + 10000);
    QVERIFY(clock.elapsed() >= ExitSequence::StopBudgetMs);
    QCOMPARE(box->text(), QStringLiteral("设备5未在5秒内确认流量已设为0，请检查该设备。关闭本窗口后程序退出。"));
    QCOMPARE(warnings.taken(), QStringList{QStringLiteral("退出前未能确认设备 5 的流量已设为0")});
    QCOMPARE(ready.count(), 0);
    box->button(QMessageBox::Ok)->click();
    QCOMPARE(ready.count(), 1);
    QVERIFY(parts.exit->allowsClose());
}

void tst_exitSequence::captionedQuestionAsShown_data()
{
    QTest::addColumn<QString>("press"); // a caption, or "Escape"
    QTest::addColumn<int>("answer");
    QTest::newRow("停止并退出") << QStringLiteral("停止并退出") << int(QMessageBox::Yes);
    QTest::newRow("取消") << QStringLiteral("取消") << int(QMessageBox::No);
    QTest::newRow("Escape") << QStringLiteral("Escape") << int(QMessageBox::No);
}

// No handler: the real box opens, with the title, the text and the two captions.
void tst_exitSequence::captionedQuestionAsShown()
{
    QFETCH(QString, press);
    QFETCH(int, answer);
    QWidget parent;
    QString title, text;
    QStringList captions;
    QTimer answering;
    answering.start(10);
    connect(&answering, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        answering.stop();
        title = box->windowTitle();
        text = box->text();
        for (QAbstractButton *button : box->buttons()) {
            captions << button->text();
            if (button->text() == press)
                button->click();
        }
        if (press == QLatin1String("Escape"))
            QTest::keyClick(box, Qt::Key_Escape);
    });
    const auto chosen = MessageBoxSeam::question(&parent, QStringLiteral("提示"), kQuestion,
                                                 QStringLiteral("停止并退出"), QStringLiteral("取消"));
    QCOMPARE(int(chosen), answer);
    QCOMPARE(title, QStringLiteral("提示"));
    QCOMPARE(text, kQuestion);
    QCOMPARE(captions.size(), 2);
    QVERIFY(captions.contains(QStringLiteral("停止并退出")));
    QVERIFY(captions.contains(QStringLiteral("取消")));
}

#include "TestRunner.h"

QUORIX_TEST_MAIN(tst_exitSequence)
#include "tst_exitSequence.moc"
