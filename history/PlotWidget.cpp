#include "PlotWidget.h"

#include "MessageBoxSeam.h"
#include "ui_PlotWidget.h"

#include <QDebug>
#include <QSplitter>

PlotWidget::PlotWidget(QWidget *parent, int pageOptions)
    : QWidget(parent), ui(new Ui::PlotWidget), m_pageOptions(pageOptions),
      m_clock([] { return QDateTime::currentDateTime(); })
{
    ui->setupUi(this);
    createCharts();
    connectRecorder();
}

PlotWidget::~PlotWidget()
{
    delete ui;
}

void PlotWidget::connectRecorder()
{
    connect(&m_recorder, &Recorder::scheduled, this, &PlotWidget::recordingScheduled);
    connect(&m_recorder, &Recorder::started, this, &PlotWidget::recordingStarted);
    connect(&m_recorder, &Recorder::over, this, &PlotWidget::recordingOver);
    connect(&m_recorder, &Recorder::saved, this, &PlotWidget::reportWrite);
    // A failing journal is the operator's to know about at once: the disk may be filling up, and
    // the samples wait in memory until it can be written again.
    connect(&m_recorder, &Recorder::journalFailed, this, [this](const QString &journal, const QString &reason) {
        const QString text = tr("%1的记录写入%2失败（%3），数据暂存在内存中，可以写入时继续写入")
                                 .arg(m_recorder.fileName(), journal, reason);
        qWarning().noquote() << text;
        emit recordingWriteFailed(text);
        MessageBoxSeam::warning(this, tr("提示"), text);
    });
    connect(&m_recorder, &Recorder::journalResumed, this, [this](const QString &journal, qint64 dropped) {
        QString text = tr("%1的记录已恢复写入%2").arg(m_recorder.fileName(), journal);
        if (dropped > 0)
            text += tr("，其间内存已满，丢弃了%1个数据点").arg(dropped);
        qInfo().noquote() << text;
        emit recordingWriteResumed(text);
    });
}

void PlotWidget::createCharts()
{
    for (int type = 1; type <= TypeCount; ++type)
        m_plots[type - 1] = new Plot(type);
    auto *rows = new QSplitter(Qt::Vertical, this);
    for (int row = 0; row < 2; ++row) {
        auto *columns = new QSplitter(Qt::Horizontal, rows);
        columns->addWidget(m_plots[2 * row]);
        columns->addWidget(m_plots[2 * row + 1]);
    }
    rows->setStretchFactor(0, 5);
    rows->setStretchFactor(1, 3);
    ui->verticalLayout->addWidget(rows);
}

void PlotWidget::setClock(Clock clock)
{
    m_clock = std::move(clock);
    m_recorder.setClocks(m_clock, &ReadTime::monotonicNowNs);
}

void PlotWidget::addReading(const Reading &reading)
{
    if (!reading.usable) {
        qDebug() << "刷新图像的reslut无效"
                 << "\n";
        return;
    }
    const int type = reading.typeCode();
    if (!isKnownType(type))
        return;
    const float value = float(reading.value);
    ++m_sampleCounts[type - 1];
    m_lastSamples[type - 1] = value;
    m_plots[type - 1]->appendValue(value, reading.readTime.monotonicMs());
    m_recorder.take(reading);
}

void PlotWidget::addSample(int type, int deviceId, float value)
{
    addReading(Reading::fromDeviceValue(type, quint8(deviceId), value, ReadTime::now()));
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
    return m_recorder.schedule(startTime, duration, {cur, cum, temp, press}, fileName);
}

QString PlotWidget::pendingExportFile() const
{
    return m_recorder.state() == Recorder::State::Idle ? QString() : m_recorder.fileName();
}

void PlotWidget::onStart()
{
    m_recorder.start();
}

void PlotWidget::onDurationEnd()
{
    m_recorder.end();
}

// "设备1在记录期间掉线 2 次，共 35 秒无数据": said at the end rather than by a box in the middle of the
// night, so that the operator knows the file has holes and where they come from.
QString PlotWidget::describeGaps(const Recorder::Gaps &gaps) const
{
    QStringList parts;
    if (gaps.offlineAtStart)
        parts << tr("设备%1在记录开始时不在线").arg(m_deviceId);
    if (gaps.drops > 0)
        parts << tr("设备%1在记录期间掉线 %2 次").arg(m_deviceId).arg(gaps.drops);
    parts << tr("共 %1 秒无数据").arg((gaps.silentMs + 500) / 1000);
    return parts.join(tr("，"));
}

// The data is the operator's: when the chosen file could not be written it went to a file of its own
// in the data directory, and the box says where.
void PlotWidget::reportWrite(const QString &fileName, const RecordingFile::Outcome &outcome,
                             const Recorder::Gaps &gaps)
{
    const QString holes = gaps.any() ? QLatin1Char('\n') + describeGaps(gaps) : QString();
    if (outcome.error.isEmpty()) {
        MessageBoxSeam::information(this, tr("提示"), tr("%1保存成功").arg(fileName) + holes);
        return;
    }
    qWarning() << "Failed to open file for writing" << fileName << outcome.error;
    if (outcome.fallbackError.isEmpty()) {
        MessageBoxSeam::warning(
            this, tr("提示"),
            tr("%1保存失败（%2），数据已改存到%3").arg(fileName, outcome.error, outcome.fallback));
        return;
    }
    qWarning() << "Failed to open file for writing" << outcome.fallback << outcome.fallbackError;
    const QString kept = outcome.keptJournal.isEmpty()
                             ? tr("本次数据已丢失")
                             : tr("数据仍在%1中，下次启动时可转换为数据文件").arg(outcome.keptJournal);
    MessageBoxSeam::warning(
        this, tr("提示"),
        tr("%1保存失败（%2），改存到%3也失败（%4），%5")
            .arg(fileName, outcome.error, outcome.fallback, outcome.fallbackError, kept));
}
