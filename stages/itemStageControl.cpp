#include "itemStageControl.h"

#include "SetpointRamp.h"

#include "MessageBoxSeam.h"
#include "ui_itemStageControl.h"

#include <QBrush>
#include <QDebug>
#include <QPalette>
#include <QTableWidgetItem>
#include <QTimer>

namespace {

const QBrush &normalBrush()
{
    static const QBrush brush(Qt::white, Qt::SolidPattern);
    return brush;
}

const QBrush &runningBrush()
{
    static const QBrush brush(Qt::green, Qt::SolidPattern);
    return brush;
}

const QBrush &beyondCountBrush()
{
    static const QBrush brush(Qt::lightGray, Qt::SolidPattern);
    return brush;
}

// A cell's text as a base-10 integer; what does not convert reads as 0.
int cellValue(const QTableWidgetItem *cell)
{
    return cell ? cell->text().toInt(nullptr, 10) : 0;
}

bool hasText(const QTableWidgetItem *cell)
{
    return cell && !cell->text().isEmpty();
}

// Read as a real number, so that a flow too large for an integer (which would run as 0) is caught
// as well.
bool flowOutOfRange(const QTableWidgetItem *cell)
{
    bool converts = false;
    const double value = cell ? cell->text().toDouble(&converts) : 0;
    return converts && (value < 0 || value > itemStageControl::MaxFlow);
}

const char *const kGreen = "\033[32m";
const char *const kPlain = "\033[0m";

} // namespace

itemStageControl::itemStageControl(QWidget *parent)
    : QWidget(parent), ui(new Ui::itemStageControl), m_singleTimer(new QTimer(this)),
      m_cycleTimer(new QTimer(this)), m_reverseTimer(new QTimer(this))
{
    ui->setupUi(this);
    QPalette background = palette();
    background.setColor(QPalette::Window, QColor(250, 250, 250));
    setPalette(background);

    ui->edit_stepCount->setMinValue(0);
    ui->edit_stepCount->setMaxValue(999999);
    connect(ui->edit_stepCount, &QLineEdit::textEdited, this, [this] { m_countEdited = true; });
    connect(ui->edit_stepCount, &QLineEdit::returnPressed, this, &itemStageControl::commitStepCount);
    connect(ui->edit_stepCount, &QLineEdit::editingFinished, this, &itemStageControl::commitStepCount);

    setTickInterval(m_tickMs);
    connect(m_singleTimer, &QTimer::timeout, this, &itemStageControl::excuteStep);
    connect(m_cycleTimer, &QTimer::timeout, this, &itemStageControl::cycleStep);
    connect(m_reverseTimer, &QTimer::timeout, this, &itemStageControl::reverseStep);
    connect(ui->table_steps, &QTableWidget::itemChanged, this, [this] {
        if (m_rampRate > 0)
            markRampTimes();
    });
}

void itemStageControl::setRampRate(double sccmPerSecond)
{
    if (sccmPerSecond == m_rampRate)
        return;
    m_rampRate = sccmPerSecond;
    markRampTimes();
}

QList<int> itemStageControl::rowsShorterThanRamp() const
{
    QList<int> rows;
    if (m_rampRate <= 0)
        return rows;
    int previousFlow = 0;
    for (int row = 0; row < ui->table_steps->rowCount(); ++row) {
        const QTableWidgetItem *flow = ui->table_steps->item(row, 0);
        const QTableWidgetItem *seconds = ui->table_steps->item(row, 1);
        if (!hasText(flow) || !hasText(seconds))
            continue;
        const int rampTicks = SetpointRamp::ticksFor(cellValue(flow) - previousFlow, m_rampRate);
        if (cellValue(flow) != 0 && rampTicks > cellValue(seconds))
            rows.append(row);
        previousFlow = cellValue(flow);
    }
    return rows;
}

// Only the time cells' tooltip and text colour: the rows' backgrounds show the run.
void itemStageControl::markRampTimes()
{
    QTableWidget *table = ui->table_steps;
    const QSignalBlocker quiet(table);
    const QList<int> slow = rowsShorterThanRamp();
    int previousFlow = 0;
    for (int row = 0; row < table->rowCount(); ++row) {
        QTableWidgetItem *seconds = table->item(row, 1);
        const QTableWidgetItem *flow = table->item(row, 0);
        if (!seconds)
            continue;
        const bool marked = slow.contains(row);
        const int flowValue = hasText(flow) ? cellValue(flow) : previousFlow;
        seconds->setToolTip(marked ? tr("斜坡需要%1秒").arg(SetpointRamp::ticksFor(flowValue - previousFlow, m_rampRate))
                                   : QString());
        seconds->setForeground(marked ? QBrush(QColor(200, 100, 0)) : QBrush());
        if (hasText(flow) && hasText(seconds))
            previousFlow = flowValue;
    }
}

itemStageControl::~itemStageControl()
{
    delete ui;
}

void itemStageControl::setDeviceId(quint8 deviceId)
{
    ui->edit_deviceId->setText(QString::number(deviceId));
}

QString itemStageControl::deviceIdText() const
{
    return ui->edit_deviceId->text();
}

// Set-points travel with the address's low 8 bits: a typed 257 would reach controller 1, and 0
// is no controller at all.
int itemStageControl::deviceId() const
{
    const int device = deviceIdText().toInt(nullptr, 10);
    return device >= 1 && device <= 255 ? device : 0;
}

bool itemStageControl::hasUsableDevice() const
{
    return deviceId() != 0;
}

void itemStageControl::setTickInterval(int ms)
{
    m_tickMs = qMax(1, ms);
    for (QTimer *timer : {m_singleTimer, m_cycleTimer, m_reverseTimer})
        timer->setInterval(m_tickMs);
}

bool itemStageControl::isRunning() const
{
    return m_singleTimer->isActive() || m_cycleTimer->isActive() || m_reverseTimer->isActive();
}

int itemStageControl::validRowCount() const
{
    return programme().size();
}

StageProgramme itemStageControl::programme() const
{
    StageProgramme steps;
    for (int row = 0; row < ui->table_steps->rowCount(); ++row) {
        const QTableWidgetItem *flow = ui->table_steps->item(row, 0);
        const QTableWidgetItem *seconds = ui->table_steps->item(row, 1);
        if (hasText(flow) && hasText(seconds))
            steps.append({cellValue(flow), cellValue(seconds)});
    }
    return steps;
}

void itemStageControl::setProgramme(const StageProgramme &steps)
{
    QTableWidget *table = ui->table_steps;
    for (int row = 0; row < table->rowCount(); ++row) {
        const bool filled = row < steps.size();
        table->setItem(row, 0, new QTableWidgetItem(filled ? QString::number(steps[row].first) : QString()));
        table->setItem(row, 1, new QTableWidgetItem(filled ? QString::number(steps[row].second) : QString()));
    }
}

// The count a start runs with: the one entered, unless none was, it is 0 or it no longer fits
// the table; then every valid row.
int itemStageControl::stepCountForStart() const
{
    return countOrValidRows(m_enteredCount);
}

int itemStageControl::countOrValidRows(int count) const
{
    const int valid = validRowCount();
    return count > 0 && count <= valid ? count : valid;
}

int itemStageControl::firstOutOfRangeRow() const
{
    const int rows = stepCountForStart();
    for (int row = 0; row < rows; ++row) {
        if (flowOutOfRange(ui->table_steps->item(row, 0)))
            return row;
    }
    return -1;
}

int itemStageControl::firstTimelessRow() const
{
    const int rows = stepCountForStart();
    for (int row = 0; row < rows; ++row) {
        const QTableWidgetItem *seconds = ui->table_steps->item(row, 1);
        // A row without a flow, or without a duration cell, is never sent: the run waits there.
        if (hasText(ui->table_steps->item(row, 0)) && seconds && cellValue(seconds) <= 0)
            return row;
    }
    return -1;
}

QTimer *itemStageControl::timerOf(Mode mode) const
{
    switch (mode) {
    case Repeat:
        return m_cycleTimer;
    case BackAndForth:
        return m_reverseTimer;
    case Single:
        break;
    }
    return m_singleTimer;
}

// ---- run control ------------------------------------------------------------------------------

void itemStageControl::startStep(int deviceId)
{
    if (deviceId != this->deviceId())
        return;
    // A count that does not match the table would let the run walk into empty rows and keep the
    // last flow applied.
    const int count = stepCountForStart();
    if (count == 0) {
        qDebug() << "设备" << deviceId << "的分阶表格没有有效的阶，不启动";
        return;
    }
    const int badRow = firstOutOfRangeRow();
    if (badRow >= 0) {
        qDebug() << "设备" << deviceId << "第" << badRow + 1 << "行的流量超出范围，不启动";
        return;
    }
    // A step of no time would be replaced by the next set-point before the bus carries it.
    const int timelessRow = firstTimelessRow();
    if (timelessRow >= 0) {
        qDebug() << "设备" << deviceId << "第" << timelessRow + 1 << "行的时间不大于0，不启动";
        return;
    }
    step_count = count;
    writeCountField(QString::number(count));
    // A start while running begins afresh: the first row's flow is sent and gets its full time.
    resetRunState();
    // A rescan may write another address into the field during the run; the run, its pause and
    // its stop stay with the controller it was started on.
    m_runDevice = deviceId;
    m_mode = qBound(int(Single), ui->combox_mode->currentIndex(), int(BackAndForth));
    m_ticks = -1;
    tick(Mode(m_mode));
}

void itemStageControl::slot_stepPause(int deviceId, int type)
{
    // A finished or idle widget leaves its controller alone: a resume would send it a stale flow.
    if (deviceId != this->deviceId() || !isRunning())
        return;
    if (type == 1) {
        m_paused = true;
        emit sig_item_excStep(uchar(m_runDevice), 0);
    } else {
        m_paused = false;
        emit sig_item_excStep(uchar(m_runDevice), float(m_lastFlow));
    }
}

void itemStageControl::stopStep()
{
    const int device = isRunning() ? m_runDevice : deviceId();
    if (device != 0)
        emit sig_item_excStep(uchar(device), 0);
    resetRunState();
    paintRows(0, RowCount - 1, normalBrush(), true);
    showIdleFields();
}

void itemStageControl::resetRunState()
{
    m_currentIndex = 0;
    m_next = 0;
    m_finished = false;
    m_paused = false;
    m_stepSent = false;
    m_elapsedMs = 0;
    m_forward = true;
    m_lastFlow = 0;
    m_sendTickCounted = false;
    m_finishDue = false;
    for (QTimer *timer : {m_singleTimer, m_cycleTimer, m_reverseTimer})
        timer->stop();
}

// Between runs the count field shows the entered count, which the next start uses, with the rows
// it leaves out grey.
void itemStageControl::showIdleFields()
{
    ui->edit_currentStep->clear();
    ui->edit_currentTime->clear();
    writeCountField(m_enteredCount >= 0 ? QString::number(m_enteredCount) : QString());
    const int valid = validRowCount();
    if (m_enteredCount > 0 && m_enteredCount < valid)
        paintRows(m_enteredCount, valid - 1, beyondCountBrush(), false);
}

// What the widget itself writes into the count field is no entry of the operator's.
void itemStageControl::writeCountField(const QString &text)
{
    ui->edit_stepCount->setText(text);
    m_countEdited = false;
}

// ---- the ticks --------------------------------------------------------------------------------

void itemStageControl::excuteStep()
{
    tick(Single);
}

void itemStageControl::cycleStep()
{
    tick(Repeat);
}

void itemStageControl::reverseStep()
{
    tick(BackAndForth);
}

void itemStageControl::tick(Mode mode)
{
    timerOf(mode)->start(m_tickMs);
    if (m_finished)
        return;
    ++m_ticks;
    const int device = m_runDevice;
    m_currentIndex = m_next;
    if (m_paused) {
        qDebug() << "暂停中";
        return;
    }
    if (m_finishDue) {
        finishSingleRun(device);
        return;
    }
    const QTableWidgetItem *flowCell = ui->table_steps->item(m_currentIndex, 0);
    const QTableWidgetItem *secondsCell = ui->table_steps->item(m_currentIndex, 1);
    if (!flowCell || !secondsCell) {
        if (mode == Single)
            qDebug() << "表格数据转换错误";
        return;
    }
    if (flowCell->text().isEmpty())
        return;
    // The cells stay editable during a run; the check at start does not see what is typed later.
    if (flowOutOfRange(flowCell)) {
        stopOnFlowOutOfRange(m_currentIndex);
        return;
    }
    m_lastFlow = cellValue(flowCell);
    ui->edit_currentStep->setText(QString::number(m_currentIndex + 1));
    if (!m_stepSent)
        sendStep(mode, device);
    const qint64 durationMs = qint64(cellValue(secondsCell)) * 1000;
    // One tick is one second of programme time, whatever the real interval.
    m_elapsedMs += 1000;
    ui->edit_currentTime->setText(QString::number(m_elapsedMs / 1000));
    if (mode == BackAndForth)
        qDebug() << kGreen << "m_currentIndex" << m_currentIndex << ",step_count" << step_count << "m_next"
                 << m_next << kPlain;
    if (m_elapsedMs >= durationMs) {
        // The next step's first tick then shows 0 s, the programme's very first one 1 s.
        m_elapsedMs = -1000;
        m_stepSent = false;
        advance(mode, device);
    }
}

void itemStageControl::stopOnFlowOutOfRange(int row)
{
    const int device = m_runDevice;
    qDebug() << "设备" << device << "第" << row + 1 << "行的流量超出范围，停止运行";
    stopStep();
    emit sig_item_finish();
    MessageBoxSeam::warning(
        this, tr("错误提示"),
        tr("设备%1第%2行的流量超出0到%3的范围，已停止").arg(device).arg(row + 1).arg(MaxFlow));
}

void itemStageControl::sendStep(Mode mode, int device)
{
    emit sig_item_excStep(uchar(device), float(m_lastFlow));
    switch (mode) {
    case Single:
        qDebug() << kGreen << "发送 sig_item_excStep" << m_lastFlow << kPlain << m_lastFlow;
        break;
    case Repeat:
        qDebug() << kGreen << "222发送 sig_item_excStep" << m_lastFlow << kPlain << m_lastFlow;
        break;
    case BackAndForth:
        qDebug() << kGreen << "sig_item_excStep" << m_lastFlow << ",step_count" << kPlain;
        // Turning at the far end: the row before it was green on the way out.
        if (!m_forward && m_currentIndex + 1 == step_count)
            whitenRows(step_count + 1);
        break;
    }
    highlightRow(m_currentIndex);
    m_stepSent = true;
    // Only a run's first step starts from 0 ms rather than -1000: its sending tick counts as one
    // of its seconds.
    m_sendTickCounted = m_elapsedMs >= 0;
}

void itemStageControl::advance(Mode mode, int device)
{
    switch (mode) {
    case Single:
        m_next = m_currentIndex + 1;
        qDebug() << "m_currentIndex" << m_currentIndex << ",step_count" << step_count;
        // At or past the count: the count may have been lowered below the running row.
        if (m_currentIndex + 1 < step_count)
            break;
        // A last step whose sending tick counted as one of its seconds would end one tick short
        // (a step of 1 s in the very tick that sent it, so that the 0 replaces the flow before
        // the bus carries it): the 0 waits for the next tick.
        if (m_sendTickCounted)
            m_finishDue = true;
        else
            finishSingleRun(device);
        break;
    case Repeat:
        m_next = m_currentIndex + 1;
        qDebug() << "m_next" << m_next << "222step_count" << step_count;
        if (m_next >= step_count) {
            whitenRows(step_count);
            m_next = 0;
        }
        break;
    case BackAndForth:
        if (m_forward) {
            m_next = m_currentIndex + 1;
            qDebug() << "11m_next" << m_next;
            if (m_next >= step_count) {
                m_forward = false;
                m_next = qMax(0, step_count - 1);
            }
        } else {
            m_next = m_currentIndex - 1;
            qDebug() << "22m_next" << m_next;
            if (m_next < 0) {
                m_next = 0;
                m_forward = true;
            }
        }
        break;
    }
}

void itemStageControl::finishSingleRun(int device)
{
    m_next = 0;
    qDebug() << "发送清零的指令";
    emit sig_item_excStep(uchar(device), 0);
    m_finished = true;
    m_finishDue = false;
    m_singleTimer->stop();
    m_currentIndex = 0;
    m_elapsedMs = 0;
    emit sig_item_finish();
    paintRows(0, validRowCount() + 9, normalBrush(), true);
    showIdleFields();
}

// ---- the step count ---------------------------------------------------------------------------

// Leaving the field without typing in it changes nothing, and asks nothing. The field rewrites
// some entries itself ("03" as "3", a number beyond its bound as the bound), which clears their
// modified mark; they are entries all the same.
void itemStageControl::commitStepCount()
{
    if (!m_countEdited && !ui->edit_stepCount->isModified())
        return;
    m_countEdited = false;
    ui->edit_stepCount->setModified(false);
    refreshStepCount();
}

void itemStageControl::refreshStepCount()
{
    const QString text = ui->edit_stepCount->text();
    qDebug() << "设置的阶数是" << text;
    bool converts = false;
    const int count = text.toInt(&converts, 10);
    ui->edit_stepCount->clearFocus();
    if (!converts || count < 0) {
        MessageBoxSeam::warning(this, tr("错误提示"), tr("请输入有效数字"));
        return;
    }
    const int valid = validRowCount();
    if (valid < count) {
        MessageBoxSeam::warning(this, tr("错误提示"), tr("输入的阶数不能大于%1").arg(valid));
        return;
    }
    // 0 asks for no limit: every valid row runs.
    m_enteredCount = count;
    step_count = countOrValidRows(count);
    whitenRows(valid);
    paintRows(step_count, valid - 1, beyondCountBrush(), false);
}

void itemStageControl::loadConfig()
{
    step_count = validRowCount();
    m_enteredCount = step_count;
    writeCountField(QString::number(step_count));
}

// ---- cell colours -----------------------------------------------------------------------------

void itemStageControl::highlightRow(int row)
{
    paintRows(0, step_count - 1, normalBrush(), true);
    paintRows(row, row, runningBrush(), true);
}

void itemStageControl::whitenRows(int count)
{
    paintRows(0, count - 1, normalBrush(), false);
}

void itemStageControl::paintRows(int first, int last, const QBrush &brush, bool create)
{
    QTableWidget *table = ui->table_steps;
    last = qMin(last, table->rowCount() - 1);
    for (int row = qMax(first, 0); row <= last; ++row) {
        for (int column = 0; column < 2; ++column) {
            QTableWidgetItem *cell = table->item(row, column);
            if (!cell && create) {
                cell = new QTableWidgetItem;
                table->setItem(row, column, cell);
            }
            if (cell)
                cell->setBackground(brush);
        }
    }
}
