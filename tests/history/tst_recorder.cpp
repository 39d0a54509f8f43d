// The recorder on its own, on clocks of the test's: a sample's time is its read time from the
// recording's start, whatever the charts do, and the time its controller was away is counted.

#include "history/RecordingSamples.h"

#include "JournalFiles.h"
#include "MessageBoxSeam.h"
#include "PlotWidget.h"
#include "Recorder.h"

#include <QtTest>

using RecordingSamples::contentsOf;
using RecordingSamples::readingAt;

namespace {
constexpr qint64 kMsNs = 1000000;

// A monotonic clock the test moves by hand, starting at 100 s.
struct ManualClock
{
    qint64 nowMs = 100000;
    Recorder::MonotonicClock monotonic()
    {
        return [this] { return nowMs * kMsNs; };
    }
};

struct SavedRecording
{
    bool done = false;
    RecordingFile::Outcome outcome;
    Recorder::Gaps gaps;
    explicit SavedRecording(Recorder &recorder)
    {
        QObject::connect(&recorder, &Recorder::saved, &recorder,
                         [this](const QString &, const RecordingFile::Outcome &o, const Recorder::Gaps &g) {
                             done = true;
                             outcome = o;
                             gaps = g;
                         });
    }
};
} // namespace

class tst_recorder : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void timesAreReadTimesFromTheStart();
    void clearingTheChartLeavesTheRecordingAlone();
    void gapsOfTheControllerAreCounted();
    void gapsReachTheEndBox();

private:
    QString target(const char *name) const { return m_dir->filePath(QLatin1String(name)); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_recorder::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    JournalFiles::setFolder(m_dir->filePath(QStringLiteral("journals")));
}

void tst_recorder::cleanup()
{
    JournalFiles::setFolder(QString());
}

// Readings read before the start but delivered after it are not the recording's; the others keep
// the spacing of their read times, not of their arrival.
void tst_recorder::timesAreReadTimesFromTheStart()
{
    ManualClock clock;
    Recorder recorder(1);
    recorder.setClocks([] { return QDateTime::currentDateTime(); }, clock.monotonic());
    SavedRecording saved(recorder);
    const QString file = target("times.csv");
    QVERIFY(recorder.schedule(QDateTime::currentDateTime(), 60, {true, false, false, false}, file));
    clock.nowMs += 5000;
    recorder.take(readingAt(1, 1, 99990));
    recorder.take(readingAt(1, 2, 100250));
    recorder.take(readingAt(1, 3, 101750));
    recorder.take(readingAt(2, 9, 101800)); // journalled, not selected
    QCOMPARE(recorder.recordedSamples(1), 2);
    QCOMPARE(recorder.recordedSamples(2), 1);
    recorder.end();
    QTRY_VERIFY(saved.done);
    QCOMPARE(saved.outcome.error, QString());
    QVERIFY(!saved.gaps.any());
    QCOMPARE(contentsOf(file), QByteArray("type1\n0.25,2\n1.75,3\n"));
}

void tst_recorder::clearingTheChartLeavesTheRecordingAlone()
{
    MessageBoxSeam::setHandler([](QWidget *, const MessageBoxSeam::Box &) { return QMessageBox::Ok; });
    ManualClock clock;
    PlotWidget page;
    page.recorder().setClocks([] { return QDateTime::currentDateTime(); }, clock.monotonic());
    const QString file = target("cleared.csv");
    QVERIFY(page.scheduleSave(QDateTime::currentDateTime(), 60, true, false, false, false, file));
    for (int n = 0; n < 6; ++n) {
        page.addReading(readingAt(1, float(n), clock.nowMs + 250 * n));
        if (n % 2 == 1)
            page.plot(1)->clearChart();
    }
    page.onDurationEnd();
    QTRY_VERIFY(page.pendingExportFile().isEmpty());
    MessageBoxSeam::reset();
    QCOMPARE(contentsOf(file), QByteArray("type1\n0,0\n0.25,1\n0.5,2\n0.75,3\n1,4\n1.25,5\n"));
}

void tst_recorder::gapsOfTheControllerAreCounted()
{
    ManualClock clock;
    Recorder recorder(3);
    recorder.setClocks([] { return QDateTime::currentDateTime(); }, clock.monotonic());
    SavedRecording saved(recorder);
    recorder.setOnline(false);
    QVERIFY(recorder.schedule(QDateTime::currentDateTime(), 600, {true, false, false, false}, target("g.csv")));
    clock.nowMs += 4000;
    recorder.setOnline(true); // 4 s before it came
    clock.nowMs += 10000;
    recorder.setOnline(false); // first drop, 20 s
    clock.nowMs += 20000;
    recorder.setOnline(true);
    recorder.setOnline(true); // told again: no change
    clock.nowMs += 1000;
    recorder.setOnline(false); // second drop, until the end: 11 s
    clock.nowMs += 11000;
    recorder.end();
    recorder.setOnline(true); // after the end: not counted
    QTRY_VERIFY(saved.done);
    QVERIFY(saved.gaps.offlineAtStart);
    QCOMPARE(saved.gaps.drops, 2);
    QCOMPARE(saved.gaps.silentMs, qint64(35000));
}

void tst_recorder::gapsReachTheEndBox()
{
    QStringList boxes;
    MessageBoxSeam::setHandler([&boxes](QWidget *, const MessageBoxSeam::Box &box) {
        boxes << box.text;
        return QMessageBox::Ok;
    });
    ManualClock clock;
    PlotWidget page;
    page.setDeviceId(1);
    page.recorder().setClocks([] { return QDateTime::currentDateTime(); }, clock.monotonic());
    const QString file = target("night.csv");
    QVERIFY(page.scheduleSave(QDateTime::currentDateTime(), 600, true, false, false, false, file));
    for (int drop = 0; drop < 2; ++drop) {
        page.recorder().setOnline(false);
        clock.nowMs += 17500;
        page.recorder().setOnline(true);
    }
    page.onDurationEnd();
    QTRY_COMPARE(boxes.size(), 1);
    MessageBoxSeam::reset();
    QCOMPARE(boxes.first(), file + QStringLiteral("保存成功\n设备1在记录期间掉线 2 次，共 35 秒无数据"));
}

#include "TestRunner.h"

QUORIX_TEST_MAIN(tst_recorder)
#include "tst_recorder.moc"
