#include "PlotWidget.h"

#include "JournalConversion.h"
#include "JournalFiles.h"
#include "MessageBoxSeam.h"
#include "PrintLine.h"
#include "RecordingFile.h"
#include "ui_PlotWidget.h"

#include <QDebug>
#include <QSplitter>
#include <QThread>

#include <mutex>

namespace {
// The writing thread's result, read on the GUI thread once it is done.
struct LockedOutcome
{
    std::mutex lock;
    RecordingFile::Outcome value;
};

// The end of a recording, on any thread: the journal finished, its point lines printed and its data
// file saved. A page that never started its journal saves the section lines alone.
RecordingFile::Outcome saveRecording(JournalWriter *journal, const JournalConversion::Selected &selected,
                                     const QString &target, const QString &fallback)
{
    if (!journal)
        return RecordingFile::saveOrFallBack(target, fallback, DataFile::write({}, selected));
    journal->finish();
    // Recordings ending together (fifteen controllers of one day) are read back one at a time:
    // as fast on a machine of few cores, with one set of buffers, and a core left to the windows.
    static std::mutex oneAtATime;
    const std::lock_guard<std::mutex> hold(oneAtATime);
    return JournalConversion::saveFinished(*journal, selected, target, fallback);
}
} // namespace

PlotWidget::PlotWidget(QWidget *parent, int pageOptions)
    : QWidget(parent), ui(new Ui::PlotWidget), m_pageOptions(pageOptions),
      m_clock([] { return QDateTime::currentDateTime(); })
{
    ui->setupUi(this);
    createCharts();
    m_journalLine.reserve(64);
    m_startTimer.setSingleShot(true);
    m_durationTimer.setSingleShot(true);
    connect(&m_startTimer, &QTimer::timeout, this, &PlotWidget::onStart);
    connect(&m_durationTimer, &QTimer::timeout, this, &PlotWidget::onDurationEnd);
}

PlotWidget::~PlotWidget()
{
    // The application closing during a recording keeps what was recorded so far.
    if (m_state == ExportState::Recording) {
        const std::shared_ptr<JournalWriter> journal = std::move(m_journal);
        const RecordingFile::Outcome outcome =
            saveRecording(journal.get(), selectedTypes(), m_fileName,
                          RecordingFile::fallbackPath(m_fileName, m_clock()));
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
    const int type = reading.typeCode();
    if (!isKnownType(type))
        return;
    const float value = float(reading.value);
    ++m_sampleCounts[type - 1];
    m_lastSamples[type - 1] = value;
    m_plots[type - 1]->appendValue(value, reading.readTime.monotonicMs());
    if (m_journal)
        journalSample(type, value);
}

// Every type goes to the journal, selected or not: the end prints the values of all four.
void PlotWidget::journalSample(int type, float value)
{
    m_journalLine.resize(0); // keeps its room
    m_journalLine += char('0' + type);
    m_journalLine += ',';
    DataFile::appendRecord(m_journalLine, m_plots[type - 1]->timePos(), double(value));
    m_journalLine += '\n';
    if (m_journal->append(m_journalLine.constData(), m_journalLine.size()))
        ++m_recorded[type - 1];
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
    m_recorded = {};
    JournalHeader header;
    header.deviceId = m_deviceId;
    header.targetFile = m_fileName;
    header.selected = selectedTypes();
    header.started = m_clock();
    // The writer reports from its own thread; the page waits for it to end before it goes. Invoked
    // by name, the queued call is made and freed inside Qt, behind its event queue's lock, and the
    // events themselves cross under this page's own lock.
    m_journal = std::make_shared<JournalWriter>(
        JournalFiles::folder(), header, [this](const JournalWriter::Event &event) {
            {
                const std::lock_guard<std::mutex> hold(m_journalEventsLock);
                m_journalEvents.append(event);
            }
            QMetaObject::invokeMethod(this, "takeJournalEvents", Qt::QueuedConnection);
        });
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
    const std::shared_ptr<JournalWriter> journal = std::move(m_journal);
    printLine(QStringLiteral("持续时间结束，执行目标函数"));
    const std::array<bool, TypeCount> selected = selectedTypes();
    const QString fallback = RecordingFile::fallbackPath(m_fileName, m_clock());
    auto outcome = std::make_shared<LockedOutcome>();
    // A recording of days takes a while to print, format and save: not on the GUI thread. The page
    // takes no other recording until the file is written.
    m_state = ExportState::Writing;
    m_writer = QThread::create([journal, selected, target = m_fileName, fallback, outcome] {
        RecordingFile::Outcome saved = saveRecording(journal.get(), selected, target, fallback);
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

void PlotWidget::takeJournalEvents()
{
    QVector<JournalWriter::Event> events;
    {
        const std::lock_guard<std::mutex> hold(m_journalEventsLock);
        events.swap(m_journalEvents);
    }
    for (const JournalWriter::Event &event : events)
        onJournalEvent(event);
}

// A failing journal is the operator's to know about at once: the disk may be filling up, and the
// samples wait in memory until it can be written again.
void PlotWidget::onJournalEvent(const JournalWriter::Event &event)
{
    if (event.kind == JournalWriter::Event::Kind::Resumed) {
        QString text = tr("%1的记录已恢复写入%2").arg(m_fileName, event.journal);
        if (event.droppedLines > 0)
            text += tr("，其间内存已满，丢弃了%1个数据点").arg(event.droppedLines);
        qInfo().noquote() << text;
        emit recordingWriteResumed(text);
        return;
    }
    const QString text = tr("%1的记录写入%2失败（%3），数据暂存在内存中，可以写入时继续写入")
                             .arg(m_fileName, event.journal, event.reason);
    qWarning().noquote() << text;
    emit recordingWriteFailed(text);
    MessageBoxSeam::warning(this, tr("提示"), text);
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
        MessageBoxSeam::information(this, tr("提示"), tr("%1保存成功").arg(m_fileName));
        return;
    }
    qWarning() << "Failed to open file for writing" << m_fileName << outcome.error;
    if (outcome.fallbackError.isEmpty()) {
        MessageBoxSeam::warning(
            this, tr("提示"),
            tr("%1保存失败（%2），数据已改存到%3").arg(m_fileName, outcome.error, outcome.fallback));
        return;
    }
    qWarning() << "Failed to open file for writing" << outcome.fallback << outcome.fallbackError;
    const QString kept = outcome.keptJournal.isEmpty()
                             ? tr("本次数据已丢失")
                             : tr("数据仍在%1中，下次启动时可转换为数据文件").arg(outcome.keptJournal);
    MessageBoxSeam::warning(
        this, tr("提示"),
        tr("%1保存失败（%2），改存到%3也失败（%4），%5")
            .arg(m_fileName, outcome.error, outcome.fallback, outcome.fallbackError, kept));
}
