#include "MessageLog.h"
#include "qDebugWidget.h"

#include <QLoggingCategory>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QThread>

#include <atomic>
#include <cstdlib>
#include <ctime>

class tst_messageLog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void formatsLine_data();
    void formatsLine();
    void handlerAppendsLine_data();
    void handlerAppendsLine();
    void timeStampFollowsTheClock_data();
    void timeStampFollowsTheClock();
    void timeStampIsMadeOncePerSecond();
    void handlerStampsEachLineToTheSecond();
    void workerLinesAreStampedToo();
    void workerLinesArriveInOrderOnGuiThread();
    void keepsOnlyNewestLines();
    void hiddenWindowShowsWaitingLinesWhenOpened();
    void closeButtonAsksToClose();

private:
    QStringList lines() const;
    static void setTimeZone(const char *zone);
    static qint64 fakeNow() { return fakeClockMs.load(); }
    static std::atomic<qint64> fakeClockMs;

    qDebugWidget *m_window = nullptr;
    QPlainTextEdit *m_text = nullptr;
    QtMessageHandler m_previous = nullptr;
};

std::atomic<qint64> tst_messageLog::fakeClockMs{0};

// Zones given by rule rather than by name, so that the test needs no time zone database.
void tst_messageLog::setTimeZone(const char *zone)
{
    qputenv("TZ", zone);
    tzset();
}

void tst_messageLog::initTestCase()
{
    setTimeZone("CST-8");
    m_window = new qDebugWidget;
    m_text = m_window->findChild<QPlainTextEdit *>(QStringLiteral("textEdit"));
    QVERIFY(m_text);
    m_window->show();
    m_previous = qInstallMessageHandler(messageHandler);
}

void tst_messageLog::cleanupTestCase()
{
    setLogClock(nullptr);
    qInstallMessageHandler(m_previous);
    delete m_window;
}

void tst_messageLog::init()
{
    QCoreApplication::processEvents();
    m_text->clear();
}

QStringList tst_messageLog::lines() const
{
    QStringList result;
    for (QTextBlock block = m_text->document()->begin(); block.isValid(); block = block.next())
        result.append(block.text());
    return result;
}

void tst_messageLog::formatsLine_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("category");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("line");

    const QByteArray plain("default");
    QTest::newRow("debug") << int(QtDebugMsg) << plain << "x"
                           << "12-06 16:01:54 DBG (default): x";
    QTest::newRow("info") << int(QtInfoMsg) << plain << "x"
                          << "12-06 16:01:54 INF (default): x";
    QTest::newRow("warning") << int(QtWarningMsg) << plain << "x"
                             << "12-06 16:01:54 WRN (default): x";
    QTest::newRow("critical") << int(QtCriticalMsg) << plain << "x"
                              << "12-06 16:01:54 CRT (default): x";
    QTest::newRow("fatal") << int(QtFatalMsg) << plain << "x"
                           << "12-06 16:01:54 FTL (default): x";
    QTest::newRow("unknown type") << 17 << plain << "x"
                                  << "12-06 16:01:54 (default): x";
    QTest::newRow("own category") << int(QtDebugMsg) << QByteArray("quorix.comm") << "x"
                                  << "12-06 16:01:54 DBG (quorix.comm): x";
    QTest::newRow("no category") << int(QtWarningMsg) << QByteArray() << "x"
                                 << "12-06 16:01:54 WRN (): x";
    QTest::newRow("utf-8 category") << int(QtDebugMsg) << QStringLiteral("总线").toUtf8() << "x"
                                    << "12-06 16:01:54 DBG (总线): x";
    QTest::newRow("ansi colour") << int(QtDebugMsg) << plain << "\033[31m超时\033[0m"
                                 << "12-06 16:01:54 DBG (default): \033[31m超时\033[0m";
}

void tst_messageLog::formatsLine()
{
    QFETCH(int, type);
    QFETCH(QByteArray, category);
    QFETCH(QString, text);
    QFETCH(QString, line);
    const QMessageLogContext context("file.cpp", 1, "function",
                                     category.isNull() ? nullptr : category.constData());
    const QDateTime when(QDate(2024, 12, 6), QTime(16, 1, 54, 789));
    QCOMPARE(formatLogLine(QtMsgType(type), context, text, when), line);
}

void tst_messageLog::handlerAppendsLine_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("category");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("tail");

    QTest::newRow("debug") << int(QtDebugMsg) << QByteArray("default") << "打开设备 5 的参数"
                           << " DBG (default): 打开设备 5 的参数";
    QTest::newRow("info") << int(QtInfoMsg) << QByteArray("quorix.comm") << "x"
                          << " INF (quorix.comm): x";
    QTest::newRow("warning") << int(QtWarningMsg) << QByteArray("qt.core") << "x"
                             << " WRN (qt.core): x";
    QTest::newRow("critical") << int(QtCriticalMsg) << QByteArray("default") << "x"
                              << " CRT (default): x";
    QTest::newRow("markup stays text")
        << int(QtDebugMsg) << QByteArray("default") << "<b>QList<int></b> &amp;"
        << " DBG (default): <b>QList<int></b> &amp;";
    QTest::newRow("ansi stays") << int(QtDebugMsg) << QByteArray("default") << "\033[32m在线\033[0m"
                                << " DBG (default): \033[32m在线\033[0m";
}

void tst_messageLog::handlerAppendsLine()
{
    QFETCH(int, type);
    QFETCH(QByteArray, category);
    QFETCH(QString, text);
    QFETCH(QString, tail);
    const QByteArray utf8 = text.toUtf8();
    QMessageLogger logger(__FILE__, __LINE__, Q_FUNC_INFO, category.constData());
    switch (type) {
    case QtDebugMsg:
        logger.debug("%s", utf8.constData());
        break;
    case QtInfoMsg:
        logger.info("%s", utf8.constData());
        break;
    case QtWarningMsg:
        logger.warning("%s", utf8.constData());
        break;
    default:
        logger.critical("%s", utf8.constData());
        break;
    }
    QTRY_VERIFY(!m_text->document()->isEmpty());
    QCOMPARE(lines().size(), 1);
    const QString line = lines().constFirst();
    QVERIFY2(QRegularExpression(QStringLiteral("^\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$"))
                 .match(line.left(14))
                 .hasMatch(),
             qPrintable(line));
    QCOMPARE(line.mid(14), tail);
}

namespace {
qint64 utcMs(int year, int month, int day, int hour, int minute, int second, int ms = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second, ms), Qt::UTC).toMSecsSinceEpoch();
}
} // namespace

void tst_messageLog::timeStampFollowsTheClock_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<QList<qint64>>("clock");
    QTest::addColumn<QStringList>("texts");

    const qint64 noon = utcMs(2024, 12, 6, 8, 1, 54);
    QTest::newRow("within one second")
        << QByteArray("CST-8") << QList<qint64>{noon, noon + 500, noon + 999}
        << QStringList{"12-06 16:01:54", "12-06 16:01:54", "12-06 16:01:54"};
    QTest::newRow("the next second")
        << QByteArray("CST-8") << QList<qint64>{noon + 999, noon + 1000, noon + 61000}
        << QStringList{"12-06 16:01:54", "12-06 16:01:55", "12-06 16:02:55"};
    QTest::newRow("wall clock set back")
        << QByteArray("CST-8") << QList<qint64>{noon, noon - 3600 * 1000, noon - 1}
        << QStringList{"12-06 16:01:54", "12-06 15:01:54", "12-06 16:01:53"};
    QTest::newRow("new year") << QByteArray("CST-8")
                              << QList<qint64>{utcMs(2024, 12, 31, 15, 59, 59, 999), utcMs(2024, 12, 31, 16, 0, 0)}
                              << QStringList{"12-31 23:59:59", "01-01 00:00:00"};
    // The clocks go back from 03:00 summer time to 02:00: the hour after 02:00 is written twice.
    const qint64 autumn = utcMs(2024, 10, 27, 0, 59, 59);
    QTest::newRow("summer time ends")
        << QByteArray("CET-1CEST,M3.5.0,M10.5.0/3") << QList<qint64>{autumn, autumn + 1000, autumn + 3601000}
        << QStringList{"10-27 02:59:59", "10-27 02:00:00", "10-27 03:00:00"};
    QTest::newRow("before 1970") << QByteArray("UTC0") << QList<qint64>{-1, -1000, -1001}
                                 << QStringList{"12-31 23:59:59", "12-31 23:59:59", "12-31 23:59:58"};
}

void tst_messageLog::timeStampFollowsTheClock()
{
    QFETCH(QByteArray, zone);
    QFETCH(QList<qint64>, clock);
    QFETCH(QStringList, texts);
    setTimeZone(zone.constData());
    LogTimeStamp stamp;
    QStringList made;
    for (qint64 now : clock)
        made << stamp.text(now).toString();
    setTimeZone("CST-8");
    QCOMPARE(made, texts);
}

void tst_messageLog::timeStampIsMadeOncePerSecond()
{
    LogTimeStamp stamp;
    const qint64 start = utcMs(2024, 12, 6, 8, 1, 54);
    for (qint64 now = start; now < start + 3000; ++now)
        stamp.text(now);
    QCOMPARE(stamp.conversions(), 3);
}

void tst_messageLog::handlerStampsEachLineToTheSecond()
{
    const qint64 start = utcMs(2024, 12, 6, 8, 1, 54);
    setLogClock(&tst_messageLog::fakeNow);
    for (qint64 offset : {0, 999, 1000, 1999, 60000}) {
        fakeClockMs = start + offset;
        qDebug("x");
    }
    setLogClock(nullptr);
    QTRY_COMPARE(lines().size(), 5);
    QCOMPARE(lines(), (QStringList{"12-06 16:01:54 DBG (default): x", "12-06 16:01:54 DBG (default): x",
                                   "12-06 16:01:55 DBG (default): x", "12-06 16:01:55 DBG (default): x",
                                   "12-06 16:02:54 DBG (default): x"}));
}

// Each thread keeps its own time text: a worker's line is not stamped with the GUI thread's second.
void tst_messageLog::workerLinesAreStampedToo()
{
    const qint64 start = utcMs(2024, 12, 6, 8, 1, 54);
    setLogClock(&tst_messageLog::fakeNow);
    fakeClockMs = start;
    qDebug("gui");
    fakeClockMs = start + 2000;
    QScopedPointer<QThread> worker(QThread::create([] { qDebug("worker"); }));
    worker->start();
    QVERIFY(worker->wait(60000));
    fakeClockMs = start + 5000;
    qDebug("gui");
    setLogClock(nullptr);
    QTRY_COMPARE(lines().size(), 3);
    QCOMPARE(lines(), (QStringList{"12-06 16:01:54 DBG (default): gui", "12-06 16:01:56 DBG (default): worker",
                                   "12-06 16:01:59 DBG (default): gui"}));
}

void tst_messageLog::workerLinesArriveInOrderOnGuiThread()
{
    QThread *const gui = QThread::currentThread();
    int offThreadEdits = 0;
    const auto watch = connect(m_text->document(), &QTextDocument::contentsChanged, this, [&] {
        if (QThread::currentThread() != gui)
            ++offThreadEdits;
    });
    const int count = 3000;
    qDebug("before");
    QScopedPointer<QThread> worker(QThread::create([] {
        for (int i = 0; i < count; ++i)
            qDebug("worker %d", i);
    }));
    worker->start();
    QVERIFY(worker->wait(60000));
    // Logged after every worker line, so it must not overtake them.
    qDebug("after");

    QTRY_COMPARE(lines().size(), count + 2);
    disconnect(watch);
    const QStringList all = lines();
    QVERIFY(all.first().endsWith(QLatin1String("): before")));
    for (int i = 0; i < count; ++i)
        QVERIFY2(all.at(i + 1).endsWith(QStringLiteral("): worker %1").arg(i)), qPrintable(all.at(i + 1)));
    QVERIFY(all.last().endsWith(QLatin1String("): after")));
    QCOMPARE(offThreadEdits, 0);
}

void tst_messageLog::hiddenWindowShowsWaitingLinesWhenOpened()
{
    m_window->hide();
    qDebug("while hidden");
    QCoreApplication::processEvents();
    QVERIFY(m_text->document()->isEmpty());
    m_window->show();
    QCOMPARE(lines().size(), 1);
    QVERIFY(lines().constFirst().endsWith(QLatin1String("): while hidden")));
}

void tst_messageLog::keepsOnlyNewestLines()
{
    QTextDocument *document = m_text->document();
    // Exactly the newest lines, without a gap.
    const auto checkNewestKept = [document](int total) {
        const int kept = document->blockCount();
        QCOMPARE(kept, LogSink::maxLines);
        QCOMPARE(document->lastBlock().text(), QString::number(total - 1));
        QCOMPARE(document->firstBlock().text(), QString::number(total - kept));
        QCOMPARE(document->findBlockByNumber(kept / 2).text(), QString::number(total - kept + kept / 2));
    };
    int total = 0;
    const auto post = [&total](int count) {
        for (int i = 0; i < count; ++i)
            LogSink::instance().post(QString::number(total++));
    };

    // A burst larger than the bound keeps its newest lines.
    post(LogSink::maxLines + 250);
    QTRY_COMPARE(document->lastBlock().text(), QString::number(total - 1));
    checkNewestKept(total);

    // A few lines per tick at a full text area.
    for (int tick = 0; tick < 3; ++tick) {
        post(5);
        QTRY_COMPARE(document->lastBlock().text(), QString::number(total - 1));
        checkNewestKept(total);
    }
    QVERIFY(!document->isUndoAvailable());
}

void tst_messageLog::closeButtonAsksToClose()
{
    QSignalSpy closeSpy(m_window, &qDebugWidget::sig_closeDebug);
    auto *button = m_window->findChild<QPushButton *>(QStringLiteral("pushButton"));
    QVERIFY(button);
    QCOMPARE(button->text(), QStringLiteral("关闭"));
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(closeSpy.count(), 1);
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Form"));
}

#include "TestRunner.h"

QUORIX_TEST_MAIN(tst_messageLog)
#include "tst_messageLog.moc"
