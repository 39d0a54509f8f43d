#include "PlotWidget.h"

#include "MessageBoxSeam.h"
#include "RecordingFile.h"
#include "ui_PlotWidget.h"

#include <QDebug>
#include <QSplitter>
#include <QThread>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>

namespace {
const char *const RecordPrefixes[PlotWidget::TypeCount] = {
    "111Point:", "222Point:", "333Point:", "444Point:"};

// A few handlers of this page write to standard output rather than to the message log.
void printLine(const QString &line)
{
    std::fputs(line.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
}
// The writing thread's result, read on the GUI thread once it is done.
struct LockedOutcome
{
    std::mutex lock;
    RecordingFile::Outcome value;
};

// What a finished recording prints: each record's value (%g, six significant digits) after its
// type's prefix. A day's recording prints hundreds of thousands of lines: formatted into one block.
QByteArray recordLines(const DataFile::Recording &records)
{
    QByteArray lines;
    char line[64];
    for (int k = 0; k < PlotWidget::TypeCount; ++k) {
        const size_t prefixSize = std::strlen(RecordPrefixes[k]);
        std::memcpy(line, RecordPrefixes[k], prefixSize);
        for (const DataFile::Record &record : records[k]) {
            char *end = std::to_chars(line + prefixSize, line + sizeof line - 1, record.value,
                                      std::chars_format::general, 6)
                            .ptr;
            *end++ = '\n';
            lines.append(line, int(end - line));
        }
    }
    return lines;
}
} // namespace

PlotWidget::PlotWidget(QWidget *parent, int pageOptions)
    : QWidget(parent), ui(new Ui::PlotWidget), m_pageOptions(pageOptions),
      m_clock([] { return QDateTime::currentDateTime(); })
{
    ui->setupUi(this);
    createCharts();
    m_startTimer.setSingleShot(true);
    m_durationTimer.setSingleShot(true);
    connect(&m_startTimer, &QTimer::timeout, this, &PlotWidget::onStart);
    connect(&m_durationTimer, &QTimer::timeout, this, &PlotWidget::onDurationEnd);
}

PlotWidget::~PlotWidget()
{
    // The application closing during a recording keeps what was recorded so far.
    if (m_state == ExportState::Recording) {
        const RecordingFile::Outcome outcome =
            RecordingFile::saveOrFallBack(m_fileName, RecordingFile::fallbackPath(m_fileName, m_clock()),
                                          DataFile::write(takeRecords(), selectedTypes()));
        if (!outcome.error.isEmpty())
            qWarning() << "Failed to open file for writing" << m_fileName << outcome.error;
    }
    if (m_writer) { // the recording is saved before the page goes
        m_writer->wait();
        delete m_writer;
    }
    delete ui;
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
}

void PlotWidget::addReading(const Reading &reading)
{
    if (!reading.usable) {
        qDebug() << "刷新图像的reslut无效"
                 << "\n";
        return;
    }
    if (!isKnownType(reading.type))
        return;
    const float value = float(reading.value);
    ++m_sampleCounts[reading.type - 1];
    m_lastSamples[reading.type - 1] = value;
    m_plots[reading.type - 1]->appendValue(value, reading.readTime.monotonicMs());
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
    const qint64 delayMs = m_clock().msecsTo(startTime);
    if (m_state != ExportState::Idle) {
        qWarning() << "a recording into" << m_fileName << "is pending; refused" << fileName;
        return false;
    }
    if (duration < 0 || duration * qint64(1000) > MaxTimerMs || delayMs > MaxTimerMs) {
        qWarning() << "no timer holds this recording; refused" << fileName << duration << delayMs;
        return false;
    }
    m_fileName = fileName;
    printLine(QStringLiteral("文件的路径是 ") + m_fileName);
    m_saveCur = cur;
    m_saveCum = cum;
    m_saveTemp = temp;
    m_savePress = press;
    m_duration = duration;
    m_startTime = startTime;
    if (delayMs > 0) {
        qDebug() << "计时器将在" << delayMs / 1000 << "秒后开始";
        m_state = ExportState::Waiting;
        m_startTimer.start(int(delayMs));
        emit recordingScheduled(m_fileName, startTime);
    } else {
        qDebug() << "111开始时间已经过了，立即执行";
        onStart();
    }
    return true;
}

void PlotWidget::onStart()
{
    m_state = ExportState::Recording;
    for (Plot *plot : m_plots)
        plot->setRecording(true);
    m_durationTimer.start(m_duration * 1000);
    emit recordingStarted(m_fileName, m_clock().addSecs(m_duration));
}

void PlotWidget::dropScheduledSave()
{
    if (m_state != ExportState::Waiting)
        return;
    m_startTimer.stop();
    m_state = ExportState::Idle;
    qDebug() << "取消尚未开始的记录" << m_fileName;
    emit recordingOver(m_fileName);
}

void PlotWidget::onDurationEnd()
{
    DataFile::Recording records = takeRecords();
    printLine(QStringLiteral("持续时间结束，执行目标函数"));
    const std::array<bool, TypeCount> selected = selectedTypes();
    const QString fallback = RecordingFile::fallbackPath(m_fileName, m_clock());
    auto outcome = std::make_shared<LockedOutcome>();
    // A recording of days takes a while to print, format and save: not on the GUI thread. The page
    // takes no other recording until the file is written.
    m_state = ExportState::Writing;
    m_writer =
        QThread::create([records = std::move(records), selected, target = m_fileName, fallback, outcome] {
            const QByteArray lines = recordLines(records);
            std::fwrite(lines.constData(), 1, size_t(lines.size()), stdout);
            std::fflush(stdout);
            RecordingFile::Outcome saved =
                RecordingFile::saveOrFallBack(target, fallback, DataFile::write(records, selected));
            const std::lock_guard<std::mutex> hold(outcome->lock);
            outcome->value = std::move(saved);
        });
    connect(m_writer, &QThread::finished, this, [this, outcome] {
        m_writer->wait(); // finished is sent just before the thread ends
        m_writer->deleteLater();
        m_writer = nullptr;
        m_state = ExportState::Idle;
        emit recordingOver(m_fileName);
        RecordingFile::Outcome saved;
        {
            const std::lock_guard<std::mutex> hold(outcome->lock);
            saved = outcome->value;
        }
        reportWrite(saved);
    });
    m_writer->start();
}

DataFile::Recording PlotWidget::takeRecords()
{
    DataFile::Recording records;
    for (int k = 0; k < TypeCount; ++k) {
        m_plots[k]->setRecording(false);
        records[k] = m_plots[k]->takeRecords();
    }
    return records;
}

std::array<bool, PlotWidget::TypeCount> PlotWidget::selectedTypes() const
{
    return {m_saveCur, m_saveCum, m_saveTemp, m_savePress};
}

// The data is the operator's: when the chosen file could not be written it went to a file of its own
// in the data directory, and the box says where.
void PlotWidget::reportWrite(const RecordingFile::Outcome &outcome)
{
    if (outcome.error.isEmpty()) {
        MessageBoxSeam::information(this, QStringLiteral("提示"), m_fileName + QStringLiteral("保存成功"));
        return;
    }
    qWarning() << "Failed to open file for writing" << m_fileName << outcome.error;
    if (outcome.fallbackError.isEmpty()) {
        MessageBoxSeam::warning(this, QStringLiteral("提示"),
                                m_fileName + QStringLiteral("保存失败（") + outcome.error +
                                    QStringLiteral("），数据已改存到") + outcome.fallback);
        return;
    }
    qWarning() << "Failed to open file for writing" << outcome.fallback << outcome.fallbackError;
    MessageBoxSeam::warning(this, QStringLiteral("提示"),
                            m_fileName + QStringLiteral("保存失败（") + outcome.error +
                                QStringLiteral("），改存到") + outcome.fallback + QStringLiteral("也失败（") +
                                outcome.fallbackError + QStringLiteral("），本次数据已丢失"));
}
