#include "PlotWidget.h"

#include "ui_PlotWidget.h"

#include <QDebug>

#include <cmath>
#include <limits>

namespace {
constexpr int PressureType = 4;
constexpr float PascalPerKilopascal = 1000.0f;
} // namespace

PlotWidget::PlotWidget(QWidget *parent, int pageOptions)
    : QWidget(parent), ui(new Ui::PlotWidget), m_pageOptions(pageOptions)
{
    ui->setupUi(this);
}

PlotWidget::~PlotWidget()
{
    delete ui;
}

void PlotWidget::addSample(int type, int deviceId, float value)
{
    Q_UNUSED(deviceId)
    if (std::isnan(value) || std::fabs(value) > std::numeric_limits<float>::max()) {
        qDebug() << "刷新图像的reslut无效"
                 << "\n";
        return;
    }
    if (!isKnownType(type))
        return;
    if (type == PressureType)
        value /= PascalPerKilopascal;
    ++m_sampleCounts[type - 1];
    m_lastSamples[type - 1] = value;
}

int PlotWidget::sampleCount(int type) const
{
    return isKnownType(type) ? m_sampleCounts[type - 1] : 0;
}

float PlotWidget::lastSample(int type) const
{
    return isKnownType(type) ? m_lastSamples[type - 1] : 0.0f;
}

bool PlotWidget::scheduleSave(QDateTime startTime, int duration, bool cur, bool cum, bool temp, bool press,
                              QString fileName)
{
    Q_UNUSED(startTime)
    Q_UNUSED(duration)
    Q_UNUSED(cur)
    Q_UNUSED(cum)
    Q_UNUSED(temp)
    Q_UNUSED(press)
    qWarning() << "chart recording is not available yet; nothing will be written to" << fileName;
    return false;
}
