#pragma once

#include "DataFile.h"

#include <QPair>
#include <QPointF>
#include <QVector>
#include <QWidget>

namespace QtCharts {
class QChart;
class QChartView;
class QLineSeries;
class QValueAxis;
} // namespace QtCharts
class QMenu;

// One chart of a chart page: the readings of one type drawn against elapsed seconds.
//
// The chart's own state (points, axis ranges) is kept here and handed to the chart objects only
// while the chart can be seen: a hidden page costs a few additions per sample, and showing it
// draws the newest state in one go. Points are joined by straight lines: a curve through them would
// show values never measured (an overshoot past a step). A chart paints all its points: so a live chart keeps the newest MaxLivePoints points
// (four hours at 1 Hz: the X range widens by a second every eleven samples until it spans them, and
// the operator may zoom out), and its series holds only those the X range can show, thinned to
// MaxDrawnLivePoints when the range is wide. A chart filled in batches is thinned to MaxDrawnPoints,
// over the X range alone when its points are in time order, so that zooming in shows every point.
class Plot : public QWidget
{
    Q_OBJECT

public:
    using Range = QPair<double, double>;

    static constexpr int MaxLivePoints = 14400;
    // A chart whose X range shows more points draws one point of each run (live) or its lowest and
    // highest point (filled in batches).
    static constexpr int MaxDrawnLivePoints = 150;
    static constexpr int MaxDrawnPoints = 1000;
    // A chart filled in batches that draws more points than this hides the point markers.
    static constexpr int MaxMarkedPoints = 500;

    explicit Plot(int type, QWidget *parent = nullptr);
    ~Plot() override;

    int type() const { return m_type; }

    // One live sample and the time it was read, in milliseconds of a monotonic clock: it is drawn
    // at the seconds passed since the chart's first sample was read, which timePos() then gives.
    void appendValue(float value, qint64 readMs);
    void appendPoint(double x, double y);
    // The same end state as appendPoint for each point in turn, drawn at once.
    void appendPoints(const QVector<QPointF> &points);
    void clearChart();
    // Removes the points only: axis ranges, smallest x and time position stay.
    void clearPoints();
    void rescaleY();

    // The chart's state: its points before any thinning, and its ranges.
    const QVector<QPointF> &points() const { return m_points; }
    Range xRange() const { return m_xRange; }
    Range yRange() const { return m_yRange; }
    double minX() const { return m_minX; }
    double timePos() const { return m_timePos; }
    // The chart objects, brought up to date first.
    QtCharts::QChart *chart();
    QtCharts::QLineSeries *series();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setupChart();
    void addToYBounds(double y);
    void findYBounds();
    void trimLivePoints();
    struct Span
    {
        int from; // index of the first point
        int to;   // index after the last
    };
    Span visibleSpan() const;
    int bucketBudget() const;
    bool drawsNow() const;
    bool seriesCoversRange() const;
    int bucketOf(int index) const;
    void appendBucket(QVector<QPointF> &drawn, int from, int to) const;
    void drawAppended();
    // Brings the axes up to date; false when the series was drawn afresh instead (or will be, once
    // the chart is shown), so that it needs no further change.
    bool drawRanges();
    // force: also when hidden, for callers that look at the chart objects themselves.
    void redraw(bool force = false);
    void setAxisRanges();

    int m_type;
    QtCharts::QChart *m_chart = nullptr;
    QtCharts::QChartView *m_view = nullptr;
    QtCharts::QLineSeries *m_series = nullptr;
    QtCharts::QValueAxis *m_axisX = nullptr;
    QtCharts::QValueAxis *m_axisY = nullptr;
    QMenu *m_menu = nullptr;

    QVector<QPointF> m_points;
    Range m_xRange{0, 40};
    Range m_yRange{0, 100};
    double m_lowY = 0, m_highY = 0; // over m_points, when not empty
    double m_timePos = 0;
    qint64 m_lastSampleMs = 0; // read time of the newest live sample...
    bool m_sampled = false;    // ...once there was one
    double m_minX;
    bool m_inTimeOrder = true; // x never decreases
    bool m_live = true;        // only live samples since the last clear
    int m_seriesFrom = 0;      // index in m_points of the series' first point
    int m_seriesTo = 0;        // index after the point the series ends with
    int m_bucketSize = 1;      // the series holds the lowest and highest point of each bucket from
                               // there, then the newest
    bool m_viewStale = false;  // the chart objects lag behind the state above
};
