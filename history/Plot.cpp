#include "Plot.h"

#include <QChart>
#include <QChartView>
#include <QMenu>
#include <QMouseEvent>
#include <QLineSeries>
#include <QVBoxLayout>
#include <QValueAxis>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace QtCharts;

namespace {

constexpr double AxisMargin = 10.0;
constexpr double ZoomStep = 0.1;
// Trimming drops this many of the oldest points at once, so that the Y range is searched again once
// per this many samples rather than once per sample.
constexpr int TrimBatch = Plot::MaxLivePoints / 4;
// Points left of the X range that the series may keep before it is cut back to what can be seen.
constexpr int DrawSlack = 60;

struct TypeLook
{
    const char *title;
    const char *unit;
};

TypeLook lookOf(int type)
{
    switch (type) {
    case 1:
        return {QT_TRANSLATE_NOOP("Plot", "瞬时流量"), "sccm"};
    case 2:
        return {QT_TRANSLATE_NOOP("Plot", "累计流量"), "L"};
    case 3:
        return {QT_TRANSLATE_NOOP("Plot", "温度"), "℃"};
    case 4:
        return {QT_TRANSLATE_NOOP("Plot", "压力"), QT_TRANSLATE_NOOP("Plot", "KPa")};
    }
    return {"", ""};
}

double toTwoDecimals(float value)
{
    return std::round(double(value) * 100.0) / 100.0;
}

} // namespace

Plot::Plot(int type, QWidget *parent)
    : QWidget(parent), m_type(type), m_minX(std::numeric_limits<double>::max())
{
    setupChart();
    m_menu = new QMenu(tr("Context menu"), this);
    connect(m_menu->addAction(tr("清除图像")), &QAction::triggered, this, &Plot::clearChart);
}

Plot::~Plot() = default;

void Plot::setupChart()
{
    const TypeLook look = lookOf(m_type);
    m_series = new QLineSeries;
    m_series->setColor(Qt::darkBlue);
    m_series->setPen(QPen(Qt::red, 1));
    m_series->setPointsVisible(true);

    m_chart = new QChart;
    m_chart->addSeries(m_series);
    m_chart->legend()->hide();
    m_chart->setTitle(*look.title ? tr(look.title) : QString());

    m_axisX = new QValueAxis;
    m_axisX->setRange(m_xRange.first, m_xRange.second);
    m_axisX->setTitleText(tr("时间（秒）"));
    m_axisY = new QValueAxis;
    m_axisY->setRange(m_yRange.first, m_yRange.second);
    m_axisY->setTitleText(tr(look.unit));
    QFont titleFont = m_axisY->titleFont();
    titleFont.setPointSize(8);
    m_axisY->setTitleFont(titleFont);
    m_chart->addAxis(m_axisX, Qt::AlignBottom);
    m_chart->addAxis(m_axisY, Qt::AlignLeft);
    m_series->attachAxis(m_axisX);
    m_series->attachAxis(m_axisY);

    m_view = new QChartView(m_chart, this);
    // The chart's items would take the presses and wheel turns that belong to the context menu and
    // the zoom; the view hands them here.
    m_view->viewport()->installEventFilter(this);
    auto *box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->addWidget(m_view);
}

void Plot::appendValue(float value, qint64 readMs)
{
    // A sample read before the one drawn last counts as read at the same time: positions going
    // backwards would put the chart and a recording out of order.
    const qint64 elapsedMs = m_sampled ? qMax<qint64>(0, readMs - m_lastSampleMs) : 0;
    m_lastSampleMs = readMs;
    m_sampled = true;
    // Whole milliseconds, as the time was read: a recording's times keep three decimals at most.
    m_timePos += elapsedMs / 1000.0;
    const double y = toTwoDecimals(value);

    if (!m_points.isEmpty() && m_timePos < m_points.last().x())
        m_inTimeOrder = false; // after a file's points
    m_points.append(QPointF(m_timePos, y));
    addToYBounds(y);
    if (m_timePos > m_xRange.second) {
        m_xRange = {m_xRange.first + AxisMargin, m_timePos + AxisMargin};
        // Each slide widens the range a little; after a day or two it would reach past the points
        // kept and show an empty stretch on its left as if the controller had only just started.
        if (m_points.size() >= MaxLivePoints)
            m_xRange.first = qMax(m_xRange.first, m_points[m_points.size() - MaxLivePoints].x());
    }

    if (m_points.size() > MaxLivePoints + TrimBatch)
        trimLivePoints();
    // The point just added always lies in the Y range fitted here, so fitting alone decides it.
    m_yRange = {m_lowY - AxisMargin, m_highY + AxisMargin};
    drawAppended();
}

void Plot::appendPoint(double x, double y)
{
    appendPoints({QPointF(x, y)});
}

void Plot::appendPoints(const QVector<QPointF> &points)
{
    if (points.isEmpty())
        return;
    m_live = false;
    if (m_points.isEmpty())
        m_lowY = m_highY = points.first().y();
    else
        m_inTimeOrder = m_inTimeOrder && points.first().x() >= m_points.last().x();
    m_inTimeOrder = m_inTimeOrder && std::is_sorted(points.begin(), points.end(),
                                                    [](QPointF a, QPointF b) { return a.x() < b.x(); });
    // A chart cleared for a file shares the reader's points rather than copying them.
    m_points += points;
    for (const QPointF &point : points) {
        m_lowY = qMin(m_lowY, point.y());
        m_highY = qMax(m_highY, point.y());
        if (point.x() < m_minX) {
            m_minX = point.x();
            m_xRange.first = m_minX;
        }
        if (point.x() > m_xRange.second)
            m_xRange.second = point.x();
    }
    m_yRange = {m_lowY - AxisMargin, m_highY + AxisMargin};
    if (points.size() == 1)
        drawAppended();
    else
        redraw();
}

void Plot::clearChart()
{
    m_timePos = 0;
    m_xRange = {0, 40};
    clearPoints();
}

void Plot::clearPoints()
{
    m_points.clear();
    m_inTimeOrder = true;
    m_live = true;
    redraw();
}

void Plot::rescaleY()
{
    if (m_points.isEmpty())
        return;
    findYBounds();
    m_yRange = {m_lowY - AxisMargin, m_highY + AxisMargin};
    drawRanges();
}

QChart *Plot::chart()
{
    if (m_viewStale)
        redraw(true);
    return m_chart;
}

QLineSeries *Plot::series()
{
    if (m_viewStale)
        redraw(true);
    return m_series;
}

void Plot::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton)
        m_menu->popup(event->globalPos());
}

void Plot::wheelEvent(QWheelEvent *event)
{
    const double step = (m_xRange.second - m_xRange.first) * ZoomStep;
    if (event->angleDelta().y() > 0)
        m_xRange = {m_xRange.first + step, m_xRange.second - step};
    else
        m_xRange = {m_xRange.first - step, m_xRange.second + step};
    drawRanges();
    QWidget::wheelEvent(event);
}

bool Plot::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view->viewport()) {
        if (event->type() == QEvent::MouseButtonPress) {
            mousePressEvent(static_cast<QMouseEvent *>(event));
            return true;
        }
        if (event->type() == QEvent::Wheel) {
            wheelEvent(static_cast<QWheelEvent *>(event));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Plot::showEvent(QShowEvent *event)
{
    if (m_viewStale)
        redraw();
    QWidget::showEvent(event);
}

void Plot::addToYBounds(double y)
{
    if (m_points.size() == 1) {
        m_lowY = m_highY = y;
        return;
    }
    m_lowY = qMin(m_lowY, y);
    m_highY = qMax(m_highY, y);
}

void Plot::findYBounds()
{
    m_lowY = m_highY = m_points.first().y();
    for (const QPointF &point : qAsConst(m_points)) {
        m_lowY = qMin(m_lowY, point.y());
        m_highY = qMax(m_highY, point.y());
    }
}

void Plot::trimLivePoints()
{
    const int removed = m_points.size() - MaxLivePoints;
    m_points.remove(0, removed);
    m_seriesFrom -= removed;
    m_seriesTo -= removed;
    findYBounds();
}

// In time order, the series needs the points of the X range and one on either side (so that the
// curve runs in from the edges); points further out cannot be seen.
Plot::Span Plot::visibleSpan() const
{
    if (!m_inTimeOrder)
        return {0, m_points.size()};
    const auto byX = [](const QPointF &point, double x) { return point.x() < x; };
    const auto first = std::lower_bound(m_points.begin(), m_points.end(), m_xRange.first, byX);
    const auto last = std::upper_bound(m_points.begin(), m_points.end(), m_xRange.second,
                                       [](double x, const QPointF &point) { return x < point.x(); });
    return {qMax(0, int(first - m_points.begin()) - 1),
            qMin(m_points.size(), int(last - m_points.begin()) + 1)};
}

int Plot::bucketBudget() const
{
    // A live chart is drawn again every few dozen samples and gets the smaller budget.
    return m_live ? MaxDrawnLivePoints : MaxDrawnPoints / 2;
}

bool Plot::drawsNow() const
{
    return isVisible() && !m_viewStale;
}

// The series may stay while it reaches both ends of the range, starts not far left of it, keeps
// within its budget and is not too coarse for a range zoomed in on.
bool Plot::seriesCoversRange() const
{
    const Span needed = visibleSpan();
    return m_seriesFrom >= 0 && needed.from >= m_seriesFrom &&
           needed.from - m_seriesFrom <= DrawSlack * m_bucketSize && needed.to <= m_seriesTo &&
           m_series->count() <= (m_live ? MaxDrawnLivePoints : MaxDrawnPoints) + DrawSlack &&
           (m_bucketSize == 1 || needed.to - needed.from >= m_bucketSize * bucketBudget() / 2);
}

int Plot::bucketOf(int index) const
{
    return (index - m_seriesFrom) / m_bucketSize;
}

// A bucket of a batch-filled chart is drawn as its lowest and highest point, in their order, so
// that spikes stay visible however thinly a wide range is drawn. A live chart draws the newest point
// of each bucket: its zigzag would flicker on every sample.
void Plot::appendBucket(QVector<QPointF> &drawn, int from, int to) const
{
    if (m_live) {
        drawn.append(m_points[to - 1]);
        return;
    }
    int low = from, high = from;
    for (int k = from + 1; k < to; ++k) {
        if (m_points[k].y() < m_points[low].y())
            low = k;
        if (m_points[k].y() > m_points[high].y())
            high = k;
    }
    drawn.append(m_points[qMin(low, high)]);
    if (low != high)
        drawn.append(m_points[qMax(low, high)]);
}

void Plot::drawAppended()
{
    // A series that ended with the point before takes the new one; one that ends at the right edge
    // of a range zoomed in on the past does not.
    const int newest = m_points.size() - 1;
    const bool extends = m_seriesTo == newest;
    if (extends)
        ++m_seriesTo;
    if (!drawRanges() || !extends)
        return;
    // The series ends with the newest point, which stands for its bucket until the bucket is complete.
    if (m_bucketSize == 1 || newest == m_seriesFrom || bucketOf(newest) != bucketOf(newest - 1))
        m_series->append(m_points.last());
    else
        m_series->replace(m_series->count() - 1, m_points.last());
}

bool Plot::drawRanges()
{
    if (!drawsNow()) {
        m_viewStale = true;
        return false;
    }
    if (!seriesCoversRange()) {
        redraw();
        return false;
    }
    setAxisRanges();
    return true;
}

void Plot::redraw(bool force)
{
    if (!isVisible() && !force) {
        m_viewStale = true;
        return;
    }
    m_viewStale = false;
    const Span span = visibleSpan();
    m_seriesFrom = span.from;
    m_seriesTo = span.to;
    const int count = span.to - span.from;
    const int buckets = bucketBudget();
    m_bucketSize = qMax(1, (count + buckets - 1) / buckets);
    if (m_bucketSize == 2 && !m_live)
        m_bucketSize = 1; // a pair per bucket of two is no thinning at all
    QVector<QPointF> drawn;
    drawn.reserve(qMin(count, 2 * buckets) + 1);
    const int last = span.to - 1;
    const int lastBucketStart = m_seriesFrom + bucketOf(last) * m_bucketSize;
    for (int k = m_seriesFrom; k < lastBucketStart; k += m_bucketSize)
        appendBucket(drawn, k, k + m_bucketSize);
    if (count > 0)
        drawn.append(m_points[last]);
    // Ranges first: points far outside the old ranges make the series' outline costly to compute.
    setAxisRanges();
    m_series->setPointsVisible(m_live || drawn.size() <= MaxMarkedPoints);
    m_series->replace(drawn);
}

void Plot::setAxisRanges()
{
    // A file whose points share one time past 40 s (a recording of a second) leaves no width: an
    // axis of no width draws nothing, so it is drawn around that time.
    const double widen = m_xRange.first == m_xRange.second ? AxisMargin : 0;
    m_axisX->setRange(m_xRange.first - widen, m_xRange.second + widen);
    m_axisY->setRange(m_yRange.first, m_yRange.second);
}
