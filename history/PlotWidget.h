#pragma once

#include <QDateTime>
#include <QString>
#include <QWidget>

#include <array>

namespace Ui {
class PlotWidget;
}

// The chart page of one controller (or the history page). It receives every polled reading of
// its controller; the four charts and the CSV recording join it with the chart feature. Until
// then it validates and keeps the latest reading of each type, so nothing is drawn or recorded.
class PlotWidget : public QWidget
{
    Q_OBJECT

public:
    // Reading types 1..4: instantaneous flow, cumulative flow, temperature, pressure.
    static constexpr int TypeCount = 4;

    // Every page is created with 0 as pageOptions; the value is kept for the chart feature.
    explicit PlotWidget(QWidget *parent = nullptr, int pageOptions = 0);
    ~PlotWidget() override;

    int pageOptions() const { return m_pageOptions; }

    // One polled reading. NaN and infinite values are dropped; pressure arrives in Pa and is
    // kept in KPa. deviceId is not used: the page already belongs to one controller.
    void addSample(int type, int deviceId, float value);
    // Number of readings accepted for a type, and the latest one (0 before the first).
    int sampleCount(int type) const;
    float lastSample(int type) const;

    // Arms a CSV recording. Recording is not available yet: the request is refused with a
    // warning and false, so no caller takes it as armed.
    bool scheduleSave(QDateTime startTime, int duration, bool cur, bool cum, bool temp, bool press,
                      QString fileName);

private:
    static bool isKnownType(int type) { return type >= 1 && type <= TypeCount; }

    Ui::PlotWidget *ui;
    int m_pageOptions;
    std::array<int, TypeCount> m_sampleCounts{};
    std::array<float, TypeCount> m_lastSamples{};
};
