// The journal of a running recording: written as the samples arrive, reported once when the disk
// refuses it and written on when it can, and turned into the data file at the end or, after a crash,
// at the next start.

#include "history/RecordingSamples.h"
#include "history/FullDisk.h"

#include "DataDirectory.h"
#include "DataFile.h"
#include "JournalConversion.h"
#include "JournalFiles.h"
#include "JournalSamples.h"
#include "JournalWriter.h"
#include "MessageBoxSeam.h"
#include "PipeTrap.h"
#include "PlotWidget.h"
#include "RecordingFile.h"
#include "RecordingRecovery.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLockFile>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <limits>
#include <memory>
#include <mutex>

using RecordingSamples::contentsOf;
using RecordingSamples::readingAt;

namespace {

struct Boxes
{
    QStringList texts;
    QMessageBox::StandardButton answer = QMessageBox::Yes;
    Boxes()
    {
        MessageBoxSeam::setHandler([this](QWidget *, const MessageBoxSeam::Box &box) {
            texts << box.title + QLatin1Char('|') + box.text;
            return box.kind == MessageBoxSeam::Kind::Question ? answer : QMessageBox::Ok;
        });
    }
    ~Boxes() { MessageBoxSeam::reset(); }
};

// Warnings of the process, kept.
struct Warnings
{
    static QStringList &lines()
    {
        static QStringList kept;
        return kept;
    }
    static std::mutex &lock()
    {
        static std::mutex m;
        return m;
    }
    QtMessageHandler previous;
    Warnings()
    {
        previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
            if (type == QtWarningMsg) {
                const std::lock_guard<std::mutex> hold(lock());
                lines() << text;
            }
        });
    }
    ~Warnings()
    {
        qInstallMessageHandler(previous);
        lines().clear();
    }
    int count(const QString &part) const
    {
        const std::lock_guard<std::mutex> hold(lock());
        return int(lines().filter(part).size());
    }
};

// Samples of all four types, 250 ms apart from the recording's first, each type's values its own.
struct Feed
{
    DataFile::Recording expected;
    int fed = 0;
    void into(PlotWidget &page, int samples)
    {
        for (int n = 0; n < samples; ++n, ++fed) {
            for (int type = 1; type <= 4; ++type) {
                const float value = 10.0f * type + 0.125f * fed;
                page.addReading(readingAt(type, type == 4 ? value * 1000 : value, 5000 + 250 * fed));
                expected[type - 1].append({0.25 * fed, double(value)});
            }
        }
    }
};

// The recording starts as Feed's first sample is read.
void startAtFirstSample(PlotWidget &page)
{
    page.recorder().setClocks([] { return QDateTime::currentDateTime(); }, [] { return qint64(5000) * 1000000; });
}

// What the journal file of a running recording holds, sample lines only.
int samplesInJournal(const QString &path)
{
    if (path.isEmpty())
        return -1;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    JournalSamples samples(&file, QByteArray());
    int count = 0;
    QString error;
    samples.forEach([&](int, const char *, int) { ++count; }, &error);
    return count;
}

QByteArray line(int type, double time, double value)
{
    QByteArray text = QByteArray::number(type) + ',';
    DataFile::appendRecord(text, time, value);
    return text + '\n';
}

JournalHeader headerFor(const QString &target, std::array<bool, 4> selected = {true, false, true, false})
{
    JournalHeader header;
    header.deviceId = 7;
    header.targetFile = target;
    header.selected = selected;
    header.started = QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7));
    return header;
}

} // namespace

class tst_journal : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void linesReachTheFileWithinAFlush();
    void endPrintsEveryValueOfAllFourTypes();
    void diskFullIsReportedOnceAndNothingIsLost();
    void folderRemovedIsReportedAndWrittenAgain();
    void samplesReachTheFileWhenNoJournalCanBeMade();
    void memoryWhileRefusedIsBounded();
    void shortWriteNamesTheSystemsReason();
    void cutJournalIsReadToItsLastWholeSample_data();
    void cutJournalIsReadToItsLastWholeSample();
    void recoveredFileGoesWhereNothingIsLost_data();
    void recoveredFileGoesWhereNothingIsLost();
    void runningJournalIsNotOffered();
    void sampleIsKeptOnlyWhenTheReaderTakesItBack_data();
    void sampleIsKeptOnlyWhenTheReaderTakesItBack();
    void recoveryPassesOverAnythingButRegularFiles();

private:
    QString folder() const { return m_dir->filePath(QStringLiteral("journals")); }
    QString target(const char *name) const { return m_dir->filePath(QLatin1String(name)); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_journal::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    JournalFiles::setFolder(folder());
}

void tst_journal::cleanup()
{
    JournalFiles::setFolder(QString());
    m_dir.reset();
}

void tst_journal::linesReachTheFileWithinAFlush()
{
    const QByteArray sample = line(1, 0.25, 12.5);
    QString path;
    {
        JournalWriter journal(folder(), headerFor(target("a.csv")), {});
        QTRY_VERIFY(!journal.path().isEmpty());
        path = journal.path();
        QCOMPARE(path, QDir(folder()).filePath(QStringLiteral("a-20260304-050607.journal")));
        QVERIFY(QFile::exists(JournalFiles::lockPath(path)));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(journal.append(sample.constData(), sample.size()));
        QTRY_VERIFY_WITH_TIMEOUT(contentsOf(path).endsWith(sample), 5000);
        QVERIFY2(clock.elapsed() <= JournalWriter::FlushIntervalMs + 1000, qPrintable(QString::number(clock.elapsed())));
    }
    // Ended without its data file: the journal stays, unlocked, for the next start.
    QCOMPARE(contentsOf(path), headerFor(target("a.csv")).toText() + sample);
    QVERIFY(!QFile::exists(JournalFiles::lockPath(path)));
}

// The end prints each recorded value after its type's prefix, the unselected types' too, and the
// file holds the selected types only.
void tst_journal::endPrintsEveryValueOfAllFourTypes()
{
    Boxes boxes;
    PlotWidget page;
    startAtFirstSample(page);
    const QString csv = target("printed.csv");
    const QString printedPath = target("stdout.txt");
    QVERIFY(page.scheduleSave(QDateTime::currentDateTime(), 3600, false, true, false, false, csv));
    Feed feed;
    feed.into(page, 2);
    std::fflush(stdout);
    const int savedStdout = dup(STDOUT_FILENO);
    const int printed = open(QFile::encodeName(printedPath).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(printed, STDOUT_FILENO);
    page.onDurationEnd();
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts.size(), 1, 10000);
    std::fflush(stdout);
    dup2(savedStdout, STDOUT_FILENO);
    close(printed);
    close(savedStdout);
    QCOMPARE(contentsOf(printedPath), QByteArray("持续时间结束，执行目标函数\n"
                                                 "111Point:10\n111Point:10.125\n"
                                                 "222Point:20\n222Point:20.125\n"
                                                 "333Point:30\n333Point:30.125\n"
                                                 "444Point:40\n444Point:40.125\n"));
    QCOMPARE(contentsOf(csv), QByteArray("type2\n0,20\n0.25,20.125\n"));
}

void tst_journal::diskFullIsReportedOnceAndNothingIsLost()
{
    DiskJournals journals;
    Boxes boxes;
    Warnings warnings;
    PlotWidget page;
    startAtFirstSample(page);
    QSignalSpy failed(&page, &PlotWidget::recordingWriteFailed);
    QSignalSpy resumed(&page, &PlotWidget::recordingWriteResumed);
    const QString csv = target("full.csv");
    QVERIFY(page.scheduleSave(QDateTime::currentDateTime(), 3600, true, false, true, true, csv));
    Feed feed;
    feed.into(page, 3);
    QTRY_COMPARE_WITH_TIMEOUT(samplesInJournal(page.journalPath()), 12, 5000);

    // The disk fills in the middle of a line: a short write, then refusals.
    journals.disk->room = 7;
    feed.into(page, 3);
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts.size(), 1, 5000);
    const QString expectedStart = QStringLiteral("提示|") + csv + QStringLiteral("的记录写入") + page.journalPath() +
                                  QStringLiteral("失败（No space left on device）");
    QVERIFY2(boxes.texts.first().startsWith(expectedStart), qPrintable(boxes.texts.first()));
    QCOMPARE(failed.size(), 1);
    QCOMPARE(failed.first().first().toString(), boxes.texts.first().mid(3));
    QCOMPARE(warnings.count(QStringLiteral("No space left on device")), 1);

    // Tried again every interval, reported no more; the samples wait.
    feed.into(page, 2);
    QTRY_VERIFY_WITH_TIMEOUT(journals.disk->refusals >= 3, 10000);
    QCOMPARE(boxes.texts.size(), 1);
    QCOMPARE(failed.size(), 1);
    QCOMPARE(warnings.count(QStringLiteral("No space left on device")), 1);

    journals.disk->room = Disk::Unlimited;
    QTRY_COMPARE_WITH_TIMEOUT(resumed.size(), 1, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(samplesInJournal(page.journalPath()), 32, 5000);
    page.onDurationEnd();
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts.size(), 2, 10000);
    QCOMPARE(boxes.texts.last(), QStringLiteral("提示|") + csv + QStringLiteral("保存成功"));
    QCOMPARE(contentsOf(csv), DataFile::write(feed.expected, {true, false, true, true}));
    QCOMPARE(QDir(folder()).entryList(QDir::Files), QStringList()); // journal and lock removed
}

void tst_journal::folderRemovedIsReportedAndWrittenAgain()
{
    Boxes boxes;
    PlotWidget page;
    startAtFirstSample(page);
    QSignalSpy resumed(&page, &PlotWidget::recordingWriteResumed);
    const QString csv = target("removed.csv");
    QVERIFY(page.scheduleSave(QDateTime::currentDateTime(), 3600, false, true, false, false, csv));
    Feed feed;
    feed.into(page, 4);
    QTRY_COMPARE_WITH_TIMEOUT(samplesInJournal(page.journalPath()), 16, 5000);
    const QString journal = page.journalPath();

    QVERIFY(QDir(folder()).removeRecursively());
    feed.into(page, 2);
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts.size(), 1, 5000);
    QVERIFY2(boxes.texts.first().contains(QStringLiteral("失败（No such file or directory）")),
             qPrintable(boxes.texts.first()));
    QTRY_COMPARE_WITH_TIMEOUT(resumed.size(), 1, 5000);
    // Written again at its path with everything before, and locked again.
    QTRY_COMPARE_WITH_TIMEOUT(samplesInJournal(journal), 24, 5000);
    QVERIFY(QFile::exists(JournalFiles::lockPath(journal)));
    QVERIFY(RecordingRecovery::findUnfinished(folder()).isEmpty());

    page.onDurationEnd();
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts.size(), 2, 10000);
    QCOMPARE(contentsOf(csv), DataFile::write(feed.expected, {false, true, false, false}));
}

// No journal can be made at all: reported, and the samples kept in memory still reach the file.
void tst_journal::samplesReachTheFileWhenNoJournalCanBeMade()
{
    Boxes boxes;
    QFile plain(target("plain"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    JournalFiles::setFolder(target("plain") + QStringLiteral("/journals"));
    PlotWidget page;
    startAtFirstSample(page);
    const QString csv = target("unjournaled.csv");
    QVERIFY(page.scheduleSave(QDateTime::currentDateTime(), 3600, true, false, false, false, csv));
    Feed feed;
    feed.into(page, 3);
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts.size(), 1, 5000);
    QVERIFY2(boxes.texts.first().contains(QStringLiteral("失败（Not a directory）")), qPrintable(boxes.texts.first()));
    feed.into(page, 2);
    page.onDurationEnd();
    QTRY_COMPARE_WITH_TIMEOUT(boxes.texts.size(), 2, 10000);
    QCOMPARE(boxes.texts.last(), QStringLiteral("提示|") + csv + QStringLiteral("保存成功"));
    QCOMPARE(contentsOf(csv), DataFile::write(feed.expected, {true, false, false, false}));
}

void tst_journal::memoryWhileRefusedIsBounded()
{
    DiskJournals journals;
    journals.disk->room = 0;
    std::atomic<int> failures{0}, resumes{0};
    std::atomic<qint64> droppedAtResume{-1};
    JournalWriter journal(folder(), headerFor(target("bounded.csv")), [&](const JournalWriter::Event &event) {
        if (event.kind == JournalWriter::Event::Kind::Failed) {
            ++failures;
        } else {
            droppedAtResume = event.droppedLines;
            ++resumes;
        }
    });
    const QByteArray sample = line(3, 86399.999, 1013.25);
    int accepted = 0, refused = 0;
    for (qint64 offered = 0; offered < 2 * JournalWriter::MaxBacklogBytes; offered += sample.size()) {
        if (journal.append(sample.constData(), sample.size()))
            ++accepted;
        else
            ++refused;
    }
    QVERIFY(accepted * sample.size() <= JournalWriter::MaxBacklogBytes);
    QVERIFY(accepted * sample.size() > JournalWriter::MaxBacklogBytes - 4096); // a header's room
    QCOMPARE(journal.droppedLines(), qint64(refused));
    QTRY_COMPARE_WITH_TIMEOUT(failures.load(), 1, 5000);

    journals.disk->room = Disk::Unlimited;
    QTRY_COMPARE_WITH_TIMEOUT(resumes.load(), 1, 5000);
    QCOMPARE(droppedAtResume.load(), qint64(refused));
    journal.finish();
    QCOMPARE(failures.load(), 1);
    QCOMPARE(contentsOf(journal.path()),
             headerFor(target("bounded.csv")).toText() + sample.repeated(accepted));
}

// Before, a data file cut short by a full disk was reported as "Unknown error".
void tst_journal::shortWriteNamesTheSystemsReason()
{
    auto disk = std::make_shared<Disk>();
    disk->room = 10;
    DiskFile file(target("short.csv"), disk);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray text(100, 'x');
    QString error;
    QVERIFY(!RecordingFile::writeAll(file, text.constData(), text.size(), &error));
    QCOMPARE(error, QStringLiteral("No space left on device"));
    QCOMPARE(file.size(), qint64(10));
}

void tst_journal::cutJournalIsReadToItsLastWholeSample_data()
{
    QTest::addColumn<int>("cut");          // bytes taken off the end of the journal
    QTest::addColumn<int>("wholeSamples"); // of the six written
    QTest::newRow("whole") << 0 << 6;
    QTest::newRow("cut in the last value") << 2 << 5;
    QTest::newRow("cut after the type") << int(line(3, 1.25, 1013.25).size()) - 2 << 5;
    QTest::newRow("cut in the line end only") << 1 << 5;
    QTest::newRow("cut into the line before") << int(line(3, 1.25, 1013.25).size()) + 3 << 4;
}

void tst_journal::cutJournalIsReadToItsLastWholeSample()
{
    QFETCH(int, cut);
    QFETCH(int, wholeSamples);
    Boxes boxes;
    const QString csv = target("cut.csv");
    DataFile::Recording written;
    QString path;
    {
        JournalWriter journal(folder(), headerFor(csv), {});
        for (int n = 0; n < 6; ++n) {
            const int type = n % 2 == 0 ? 1 : 3;
            const double value = n % 2 == 0 ? 12.345 + n : 1013.25;
            const QByteArray sample = line(type, 0.25 * n, value);
            QVERIFY(journal.append(sample.constData(), sample.size()));
            if (n < wholeSamples)
                written[type - 1].append({0.25 * n, value});
        }
        journal.finish();
        path = journal.path();
        QVERIFY(journal.file()->resize(journal.file()->size() - cut));
    } // the process is gone: its lock with it

    const QVector<RecordingRecovery::Journal> unfinished = RecordingRecovery::findUnfinished(folder());
    QCOMPARE(unfinished.size(), 1);
    QCOMPARE(unfinished.first().path, path);
    QCOMPARE(unfinished.first().header.deviceId, 7);
    QCOMPARE(unfinished.first().header.targetFile, csv);
    QString saved;
    const RecordingFile::Outcome outcome = JournalConversion::recover(path, QDateTime::currentDateTime(), &saved);
    QCOMPARE(outcome.error, QString());
    QCOMPARE(saved, csv);
    QCOMPARE(contentsOf(csv), DataFile::write(written, {true, false, true, false}));
    QVERIFY(!QFile::exists(path));
}

void tst_journal::recoveredFileGoesWhereNothingIsLost_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("chosenHolds"); // "<missing>", "<folder>" or the file's text
    QTest::addColumn<bool>("toChosen");
    QTest::newRow("chosen file missing") << "chosen.csv" << QByteArray("<missing>") << true;
    QTest::newRow("name of any characters") << "记录 1,%\n2.csv" << QByteArray("<missing>") << true;
    QTest::newRow("chosen file empty, as confirming leaves it") << "chosen.csv" << QByteArray() << true;
    QTest::newRow("chosen file holds another recording")
        << "chosen.csv" << QByteArray("type1\n0,1\n") << false;
    QTest::newRow("chosen path is a folder") << "chosen.csv" << QByteArray("<folder>") << false;
}

void tst_journal::recoveredFileGoesWhereNothingIsLost()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, chosenHolds);
    QFETCH(bool, toChosen);
    Boxes boxes;
    const QString csv = m_dir->filePath(name);
    if (chosenHolds == "<folder>") {
        QVERIFY(QDir().mkpath(csv));
    } else if (chosenHolds != "<missing>") {
        QFile chosen(csv);
        QVERIFY(chosen.open(QIODevice::WriteOnly));
        chosen.write(chosenHolds);
    }
    const QByteArray sample = line(1, 0, 5);
    {
        JournalWriter journal(folder(), headerFor(csv), {});
        journal.append(sample.constData(), sample.size());
    }
    RecordingRecovery recovery(nullptr);
    QSignalSpy finished(&recovery, &RecordingRecovery::finished);
    const QDateTime before = QDateTime::currentDateTime();
    recovery.offer(folder());
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 10000);
    QCOMPARE(recovery.results().size(), 1);
    const QString saved = recovery.results().first().dataFile;
    if (toChosen) {
        QCOMPARE(saved, csv);
    } else {
        QVERIFY2(saved.startsWith(QDir(defaultDataDirectory()).filePath(QStringLiteral("chosen-"))),
                 qPrintable(saved));
        QVERIFY(QFileInfo(saved).lastModified() >= before.addSecs(-1));
        if (chosenHolds != "<folder>")
            QCOMPARE(contentsOf(csv), chosenHolds); // left as it was
    }
    QCOMPARE(contentsOf(saved), QByteArray("type1\n0,5\ntype3\n"));
    QCOMPARE(boxes.texts.size(), 2);
    QVERIFY(boxes.texts.first().startsWith(QStringLiteral("提示|上次有1个记录未正常结束，是否将它们转换为数据文件？\n设备7：") + csv));
    QCOMPARE(boxes.texts.last(), QStringLiteral("提示|") + saved + QStringLiteral("保存成功"));
    QCOMPARE(QDir(folder()).entryList(QDir::Files), QStringList());
    if (!toChosen)
        QFile::remove(saved);
}

void tst_journal::runningJournalIsNotOffered()
{
    JournalWriter running(folder(), headerFor(target("running.csv")), {});
    QTRY_VERIFY(!running.path().isEmpty());
    QFile stray(QDir(folder()).filePath(QStringLiteral("stray.journal")));
    QVERIFY(stray.open(QIODevice::WriteOnly));
    stray.write("QUORIX recording journal 1\ndevice 1\n"); // cut in its header
    stray.close();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^not a recording journal")));
    QVERIFY(RecordingRecovery::findUnfinished(folder()).isEmpty());
    QVERIFY(QFile::exists(stray.fileName()));
}

// A damaged line that the journal kept would land in the data file, whose reader skips it.
void tst_journal::sampleIsKeptOnlyWhenTheReaderTakesItBack_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("kept");
    QTest::newRow("plain") << QByteArray("4,1.25,101.325") << true;
    QTest::newRow("largest float") << QByteArray("1,0,3.4028234e38") << true;
    QTest::newRow("beyond any float") << QByteArray("4,1,10E225") << false;
    QTest::newRow("infinite time") << QByteArray("1,1e400,2") << false;
    QTest::newRow("not a number") << QByteArray("2,nan,2") << false;
    QTest::newRow("third field") << QByteArray("3,1,2,3") << false;
}

void tst_journal::sampleIsKeptOnlyWhenTheReaderTakesItBack()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, kept);
    QCOMPARE(JournalSamples::isSample(line.constData(), line.size()), kept);
    const QString asFile = QStringLiteral("type") + QChar(line.at(0)) + QLatin1Char('\n') + QString::fromLatin1(line.mid(2));
    const DataFile::Content read = DataFile::read(asFile);
    QCOMPARE(read.sections[line.at(0) - '1'].size(), kept ? 1 : 0);
}

// A pipe, or a link to one, named like a journal would hold the window's start up for good.
void tst_journal::recoveryPassesOverAnythingButRegularFiles()
{
    QString path;
    {
        JournalWriter journal(folder(), headerFor(target("real.csv")), {});
        journal.finish();
        path = journal.path();
    }
    const QDir dir(folder());
    PipeTrap pipe(dir.filePath(QStringLiteral("a.journal")));
    PipeTrap otherPipe(dir.filePath(QStringLiteral("pipe")));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("pipe")), dir.filePath(QStringLiteral("b.journal"))));
    PipeTrap lockPipe(JournalFiles::lockPath(dir.filePath(QStringLiteral("c.journal"))));
    QFile(dir.filePath(QStringLiteral("c.journal"))).open(QIODevice::WriteOnly);
    QElapsedTimer clock;
    clock.start();
    const QVector<RecordingRecovery::Journal> unfinished = RecordingRecovery::findUnfinished(folder());
    QVERIFY(clock.elapsed() < 2000); // before the trap lets an opener through
    QCOMPARE(unfinished.size(), 1);
    QCOMPARE(unfinished.first().path, path);
}

#include "TestRunner.h"

QUORIX_TEST_MAIN(tst_journal)
#include "tst_journal.moc"
