#include "Plot.h"

#include <QChartView>
#include <QMenu>
#include <QRandomGenerator>
#include <QLineSeries>
#include <QValueAxis>
#include <QtTest>

using Points = QVector<QPointF>;
using Range = Plot::Range;

namespace {
// A chart fed samples read the given milliseconds apart.
struct Feeder
{
    Plot plot{1};
    qint64 readMs = 86400000;
    void sampleAfter(qint64 ms, float value)
    {
        readMs += ms;
        plot.appendValue(value, readMs);
    }
};

// One notch of the mouse wheel over the chart: positive zooms in.
void turnWheel(Plot &plot, int delta)
{
    QWidget *viewport = plot.findChild<QtCharts::QChartView *>()->viewport();
    const QPoint centre = viewport->rect().center();
    QWheelEvent wheel(centre, viewport->mapToGlobal(centre), {}, {0, delta}, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewport, &wheel);
}

int countInRange(const Points &points, Range range)
{
    return int(std::count_if(points.begin(), points.end(),
                             [range](QPointF p) { return p.x() >= range.first && p.x() <= range.second; }));
}

QList<qreal> xsOf(const Points &points)
{
    QList<qreal> xs;
    for (const QPointF &p : points)
        xs << p.x();
    return xs;
}
} // namespace

class tst_plot : public QObject
{
    Q_OBJECT
private slots:
    void timePositions_data();
    void timePositions();
    void xRangeSlidesRight();
    void yRangeFollowsPointsAndValuesAreRounded();
    void liveChartStaysBoundedWithExactYRange();
    void shownChartDrawsNewestWithinBudget();
    void appendPointRanges_data();
    void appendPointRanges();
    void batchEndsLikePointByPoint();
    void zoomedInDrawsEveryPointInRange();
    void wheelZoomsAndMenuClears();
};

void tst_plot::timePositions_data()
{
    QTest::addColumn<QList<int>>("gapsMs"); // -1 clears the chart
    QTest::addColumn<QList<qreal>>("xs");
    QTest::newRow("one second apart") << QList<int>{0, 1000, 1000, 1000} << QList<qreal>{0, 1, 2, 3};
    QTest::newRow("each at its own read time") << QList<int>{0, 1010, 2500} << QList<qreal>{0, 1.01, 3.51};
    QTest::newRow("after a clear the gap counts")
        << QList<int>{0, 1000, -1, 5000, 1000} << QList<qreal>{5, 6};
    QTest::newRow("read before the sample drawn last")
        << QList<int>{0, 1000, -3600000, 1000} << QList<qreal>{0, 1, 1, 2};
}

void tst_plot::timePositions()
{
    QFETCH(QList<int>, gapsMs);
    QFETCH(QList<qreal>, xs);
    Feeder f;
    for (int gap : gapsMs)
        gap == -1 ? f.plot.clearChart() : f.sampleAfter(gap, 1.0f);
    QCOMPARE(xsOf(f.plot.points()), xs);
}

void tst_plot::xRangeSlidesRight()
{
    Feeder f;
    f.sampleAfter(0, 1);
    for (int k = 0; k < 40; ++k)
        f.sampleAfter(1000, 1);
    QCOMPARE(f.plot.xRange(), Range(0, 40)); // last point at x = 40
    f.sampleAfter(1000, 1);
    QCOMPARE(f.plot.xRange(), Range(10, 51));
    // Two days on, the range stays within the points kept (one a second) rather than widening on.
    for (int k = 0; k < 12 * Plot::MaxLivePoints; ++k)
        f.sampleAfter(1000, 1);
    QVERIFY(f.plot.xRange().second - f.plot.xRange().first <= Plot::MaxLivePoints + 20);
    f.plot.clearChart();
    QCOMPARE(f.plot.xRange(), Range(0, 40));
}

void tst_plot::yRangeFollowsPointsAndValuesAreRounded()
{
    Feeder f;
    f.sampleAfter(0, 20.5f);
    f.sampleAfter(1000, 22.0f);
    QCOMPARE(f.plot.yRange(), Range(10.5, 32));
    f.sampleAfter(1000, 12.345f);
    QCOMPARE(f.plot.points().last().y(), 12.35);
    QCOMPARE(f.plot.yRange(), Range(12.35 - 10, 32));
}

// A chart polled for days keeps the newest points only, and its Y range is what a full search of
// the kept points gives.
void tst_plot::liveChartStaysBoundedWithExactYRange()
{
    Feeder f;
    QRandomGenerator random(3);
    f.sampleAfter(0, 1000.0f); // a spike that will be dropped
    for (int k = 0; k < 3 * Plot::MaxLivePoints; ++k) {
        f.sampleAfter(1000, float(random.bounded(100.0)));
        QVERIFY(f.plot.points().size() <= Plot::MaxLivePoints * 5 / 4);
    }
    const Range incremental = f.plot.yRange();
    f.plot.rescaleY();
    QCOMPARE(incremental, f.plot.yRange());
    QVERIFY(incremental.second < 120);
}

void tst_plot::shownChartDrawsNewestWithinBudget()
{
    Feeder f;
    f.plot.show();
    for (int k = 0; k < 30; ++k)
        f.sampleAfter(1000, float(k));
    QCOMPARE(f.plot.series()->pointsVector(), f.plot.points()); // a young chart draws every point
    for (int k = 0; k < 5000; ++k)
        f.sampleAfter(1000, float(k % 50));
    const Points drawn = f.plot.series()->pointsVector();
    QVERIFY(drawn.size() <= Plot::MaxDrawnLivePoints + 60);
    QCOMPARE(drawn.last(), f.plot.points().last());
    QVERIFY(std::is_sorted(drawn.begin(), drawn.end(), [](QPointF a, QPointF b) { return a.x() < b.x(); }));
}

void tst_plot::appendPointRanges_data()
{
    QTest::addColumn<QList<qreal>>("xs");
    QTest::addColumn<Range>("xRange");
    QTest::newRow("0 50 100") << QList<qreal>{0, 50, 100} << Range(0, 100);
    QTest::newRow("5 20") << QList<qreal>{5, 20} << Range(5, 40);
    QTest::newRow("negative first") << QList<qreal>{-3, 2} << Range(-3, 40);
    QTest::newRow("one point past 40") << QList<qreal>{100} << Range(100, 100);
}

void tst_plot::appendPointRanges()
{
    QFETCH(QList<qreal>, xs);
    QFETCH(Range, xRange);
    Plot plot(2);
    for (qreal x : xs)
        plot.appendPoint(x, 1);
    QCOMPARE(plot.xRange(), xRange);
    QCOMPARE(plot.minX(), xs.first());
    const auto *axis = static_cast<QtCharts::QValueAxis *>(plot.chart()->axes(Qt::Horizontal).first());
    QVERIFY(axis->min() < axis->max()); // a range of no width draws nothing
}

void tst_plot::batchEndsLikePointByPoint()
{
    QRandomGenerator random(5);
    Points points;
    for (int k = 0; k < 20000; ++k)
        points << QPointF(random.bounded(1000.0) - 100, random.bounded(50.0));
    Plot single(3), batch(3);
    batch.show();
    for (const QPointF &p : points)
        single.appendPoint(p.x(), p.y());
    batch.appendPoints(points);
    QCOMPARE(batch.points(), single.points());
    QCOMPARE(batch.xRange(), single.xRange());
    QCOMPARE(batch.yRange(), single.yRange());
    QCOMPARE(batch.minX(), single.minX());
    QVERIFY(batch.series()->count() <= Plot::MaxDrawnPoints);
    QVERIFY(!batch.series()->pointsVisible());
}

// Zoomed in on a day's file, or on a live chart's past, the chart draws every point of the range
// rather than the few that stood for the whole of it.
void tst_plot::zoomedInDrawsEveryPointInRange()
{
    Feeder f;
    Plot file(3);
    Points day;
    for (int k = 0; k < 86400; ++k)
        day << QPointF(k, k % 3);
    file.appendPoints(day);
    for (int k = 0; k < 2 * Plot::MaxLivePoints; ++k)
        f.sampleAfter(1000, float(k % 3));
    for (Plot *plot : {&file, &f.plot}) {
        plot->resize(400, 300);
        plot->show();
        while (plot->xRange().second - plot->xRange().first > 100)
            turnWheel(*plot, 120);
        const int inRange = countInRange(plot->points(), plot->xRange());
        QVERIFY(inRange > 10 && inRange < 500);
        QCOMPARE(countInRange(plot->series()->pointsVector(), plot->xRange()), inRange);
    }
}

void tst_plot::wheelZoomsAndMenuClears()
{
    Feeder f;
    f.plot.resize(400, 300);
    f.plot.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.plot));
    f.sampleAfter(0, 5);
    QWidget *viewport = f.plot.findChild<QtCharts::QChartView *>()->viewport();
    const QPoint centre = viewport->rect().center();
    turnWheel(f.plot, 120);
    QCOMPARE(f.plot.xRange(), Range(4, 36));
    turnWheel(f.plot, -120);
    QVERIFY(qFuzzyCompare(f.plot.xRange().first, 0.8) && qFuzzyCompare(f.plot.xRange().second, 39.2));

    QTest::mouseClick(viewport, Qt::LeftButton, {}, centre);
    auto *menu = f.plot.findChild<QMenu *>();
    QVERIFY(!menu->isVisible());
    QTest::mouseClick(viewport, Qt::RightButton, {}, centre);
    QTRY_VERIFY(menu->isVisible());
    QCOMPARE(menu->actions().size(), 1);
    QCOMPARE(menu->actions().first()->text(), QStringLiteral("清除图像"));
    menu->actions().first()->trigger();
    QVERIFY(f.plot.points().isEmpty());
    QCOMPARE(f.plot.xRange(), Range(0, 40));
    QCOMPARE(f.plot.series()->count(), 0);
}

#include "TestRunner.h"

QUORIX_TEST_MAIN(tst_plot)
#include "tst_plot.moc"
