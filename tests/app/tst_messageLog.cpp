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
    void workerLinesArriveInOrderOnGuiThread();
    void keepsOnlyNewestLines();
    void hiddenWindowShowsWaitingLinesWhenOpened();
    void closeButtonAsksToClose();

private:
    QStringList lines() const;

    qDebugWidget *m_window = nullptr;
    QPlainTextEdit *m_text = nullptr;
    QtMessageHandler m_previous = nullptr;
};

void tst_messageLog::initTestCase()
{
    m_window = new qDebugWidget;
    m_text = m_window->findChild<QPlainTextEdit *>(QStringLiteral("textEdit"));
    QVERIFY(m_text);
    m_window->show();
    m_previous = qInstallMessageHandler(messageHandler);
}

void tst_messageLog::cleanupTestCase()
{
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

QTEST_MAIN(tst_messageLog)
#include "tst_messageLog.moc"
