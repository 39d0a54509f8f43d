#include "stageControlWidget.h"

#include "DataDirectory.h"
#include "FileDialogSeam.h"
#include "MessageBoxSeam.h"
#include "RegularFile.h"
#include "itemStageControl.h"
#include "ui_stageControlWidget.h"

#include <QDebug>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace {

const char *const kFileFilter = "Text Files (*.txt);;All Files (*)";
const char *const kRunningStyle = "background-color: limegreen; border: 1px solid lightgray;";
const char *const kIdleStyle = "background-color: white; border: 1px solid lightgray;";
const char *const kPausedStyle = "background-color: red;border:1px solid lightgray;";
const char *const kResumedStyle = "background-color: white;border:1px solid lightgray;";

} // namespace

stageControlWidget::stageControlWidget(QWidget *parent) : QWidget(parent), ui(new Ui::stageControlWidget)
{
    ui->setupUi(this);
    for (int k = 0; k < ItemCount; ++k) {
        auto *item = new itemStageControl(this);
        item->setObjectName(QStringLiteral("item_%1").arg(k));
        ui->layout_items->addWidget(item, 0);
        connect(this, &stageControlWidget::devicestartStep, item, &itemStageControl::startStep);
        connect(this, &stageControlWidget::devicePasueStep, item, &itemStageControl::slot_stepPause);
        connect(item, &itemStageControl::sig_item_excStep, this, &stageControlWidget::slot_excuStep);
        connect(item, &itemStageControl::sig_item_finish, this, &stageControlWidget::slot_item_finish);
        connect(this, &stageControlWidget::SetStop, item, &itemStageControl::stopStep);
        connect(this, &stageControlWidget::loadStep, item, &itemStageControl::loadConfig);
        m_items.append(item);
    }
    connect(ui->btn_start, &QPushButton::clicked, this, &stageControlWidget::startStep);
    connect(ui->btn_pause, &QPushButton::clicked, this, &stageControlWidget::sig_pauseStep);
    connect(ui->btn_save, &QPushButton::clicked, this, &stageControlWidget::startSave);
    connect(ui->btn_load, &QPushButton::clicked, this, &stageControlWidget::startLoad);
}

stageControlWidget::~stageControlWidget()
{
    delete ui;
}

void stageControlWidget::setTickInterval(int ms)
{
    for (itemStageControl *item : qAsConst(m_items))
        item->setTickInterval(ms);
}

QPushButton *stageControlWidget::startButton() const
{
    return ui->btn_start;
}

QPushButton *stageControlWidget::pauseButton() const
{
    return ui->btn_pause;
}

bool stageControlWidget::firstItemHasDevice() const
{
    return !m_items.isEmpty() && !m_items.first()->deviceIdText().isEmpty();
}

bool stageControlWidget::anyItemRunning() const
{
    return std::any_of(m_items.cbegin(), m_items.cend(),
                       [](const itemStageControl *item) { return item->isRunning(); });
}

QList<int> stageControlWidget::usableDevices() const
{
    QList<int> devices;
    for (const itemStageControl *item : m_items) {
        if (item->hasUsableDevice())
            devices.append(item->deviceId());
    }
    return devices;
}

// ---- run buttons ------------------------------------------------------------------------------

void stageControlWidget::startStep()
{
    if (!m_running && firstItemHasDevice()) {
        if (refuseUnusableSteps() || refuseUndrivableDevices())
            return;
        emit sig_stratStep(true);
        // A run may end inside its own start; its end is weighed once every widget has started.
        m_starting = true;
        m_runEndedInStart = false;
        refreshRampRates();
        for (int k = 0; k < m_items.size() && m_startTake; ++k) {
            if (m_items[k]->hasUsableDevice() && m_items[k]->wouldRun())
                m_startTake(k, quint8(m_items[k]->deviceId()));
        }
        for (int device : usableDevices())
            emit devicestartStep(device);
        m_starting = false;
        showStartButton(!m_runEndedInStart || anyItemRunning());
        emit programmesChanged();
    } else if (m_running) {
        stopAll();
    }
}

void stageControlWidget::stopAll()
{
    emit SetStop();
    showStartButton(false);
    ui->btn_pause->setStyleSheet(QString::fromLatin1(kIdleStyle));
    showPaused(false);
    emit programmesChanged();
}

void stageControlWidget::stopProgramme(int index, const QString &why)
{
    itemStageControl *item = m_items.value(index);
    if (!item || !item->isRunning())
        return;
    item->stopStep();
    if (!anyItemRunning())
        showStartButton(false);
    emit programmesChanged();
    MessageBoxSeam::information(this, tr("提示"), tr("%1，第%2个分阶控件已停止").arg(why).arg(index + 1));
}

void stageControlWidget::pauseProgramme(int index, const QString &why)
{
    itemStageControl *item = m_items.value(index);
    if (!item || !item->isRunning())
        return;
    item->slot_stepPause(item->deviceId(), 1);
    emit programmesChanged();
    MessageBoxSeam::information(this, tr("提示"),
                                tr("%1，第%2个分阶控件已暂停，流量已设为0").arg(why).arg(index + 1));
}

void stageControlWidget::setRampRateLookup(std::function<double(quint8)> lookup)
{
    m_rampRate = std::move(lookup);
    refreshRampRates();
}

void stageControlWidget::refreshRampRates()
{
    for (itemStageControl *item : qAsConst(m_items))
        item->setRampRate(m_rampRate && item->hasUsableDevice() ? m_rampRate(quint8(item->deviceId())) : 0.0);
}

QString stageControlWidget::whereOf(int index) const
{
    return tr("第%1个分阶控件（设备%2）").arg(index + 1).arg(m_items.at(index)->deviceId());
}

// A programme drives only a controller that is polled and that no other driver holds: gas must
// not flow where no reading shows it, nor two hands set one valve.
bool stageControlWidget::refuseUndrivableDevices()
{
    if (!m_startCheck)
        return false;
    for (int k = 0; k < m_items.size(); ++k) {
        const itemStageControl *item = m_items[k];
        if (!item->hasUsableDevice() || !item->wouldRun())
            continue;
        const QString reason = m_startCheck(k, quint8(item->deviceId()));
        if (reason.isEmpty())
            continue;
        MessageBoxSeam::warning(this, tr("错误提示"), tr("%1：%2，未启动").arg(whereOf(k), reason));
        return true;
    }
    return false;
}

QList<quint8> stageControlWidget::drivenDevices() const
{
    QList<quint8> devices;
    for (const itemStageControl *item : m_items) {
        const int device = item->runDevice();
        if (device != 0 && !devices.contains(quint8(device)))
            devices.append(quint8(device));
    }
    return devices;
}

// A flow no controller accepts, or a step of no time, stops the whole start before anything is
// sent.
bool stageControlWidget::refuseUnusableSteps()
{
    for (int k = 0; k < m_items.size(); ++k) {
        const itemStageControl *item = m_items[k];
        if (!item->hasUsableDevice())
            continue;
        const QString where = whereOf(k);
        const int flowRow = item->firstOutOfRangeRow();
        const int timeRow = item->firstTimelessRow();
        QString reason;
        if (flowRow >= 0)
            reason = tr("第%1行的流量超出0到%2的范围").arg(flowRow + 1).arg(itemStageControl::MaxFlow);
        else if (timeRow >= 0)
            reason = tr("第%1行的时间须为大于0的整数秒").arg(timeRow + 1);
        else
            continue;
        MessageBoxSeam::warning(this, tr("错误提示"), tr("%1%2，未启动").arg(where, reason));
        return true;
    }
    return false;
}

void stageControlWidget::sig_pauseStep()
{
    if (!m_running)
        return;
    if (!m_paused && firstItemHasDevice()) {
        showPaused(true);
        ui->btn_pause->setStyleSheet(QString::fromLatin1(kPausedStyle));
        for (int device : usableDevices())
            emit devicePasueStep(device, 1);
    } else if (m_paused) {
        showPaused(false);
        ui->btn_pause->setStyleSheet(QString::fromLatin1(kResumedStyle));
        for (int device : usableDevices())
            emit devicePasueStep(device, 2);
    }
}

void stageControlWidget::slot_excuStep(uchar id, float data)
{
    qDebug() << "执行一次" << data << "的流量"
             << "\n";
    emit sig_excuteStep(id, data);
}

void stageControlWidget::slot_item_finish()
{
    if (m_starting) {
        m_runEndedInStart = true;
        return;
    }
    // Another widget's run goes on: the page stays stoppable.
    if (!anyItemRunning())
        showStartButton(false);
    emit programmesChanged();
}

void stageControlWidget::showStartButton(bool running)
{
    ui->btn_start->setStyleSheet(QString::fromLatin1(running ? kRunningStyle : kIdleStyle));
    ui->btn_start->setText(running ? tr("停止") : tr("开始"));
    m_running = running;
}

void stageControlWidget::showPaused(bool paused)
{
    ui->btn_pause->setText(paused ? tr("继续") : tr("暂停"));
    m_paused = paused;
}

// ---- programme files --------------------------------------------------------------------------

void stageControlWidget::startSave()
{
    const QString path = FileDialogSeam::getSaveFileName(this, tr("选择保存路径"), defaultDataDirectory(),
                                                         QString::fromLatin1(kFileFilter));
    if (path.isEmpty())
        return;
    // A pipe would hold the page until someone reads it, and a device swallows the programmes.
    const QString problem = regularFileProblem(path);
    if (!problem.isEmpty()) {
        MessageBoxSeam::warning(this, tr("提示"), tr("%1无法写入（%2）").arg(path, problem));
        return;
    }
    qDebug() << "size:" << m_items.size();
    writeProgrammeFile(path, collectProgrammes());
}

StageProgrammeSet stageControlWidget::collectProgrammes() const
{
    StageProgrammeSet programmes;
    for (const itemStageControl *item : m_items)
        programmes.append(item->programme());
    return programmes;
}

void stageControlWidget::writeProgrammeFile(const QString &path, const StageProgrammeSet &programmes)
{
    QSaveFile file(path);
    // A writable file in a folder the operator may not create files in is still written, in place.
    file.setDirectWriteFallback(true);
    const QByteArray text = stageProgrammesText(programmes).toUtf8();
    // commit() alone misses a failure of the last buffered write (a full disk) and would put the
    // short file in place; the buffer is flushed and checked before it.
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Text) &&
                         file.write(text) == text.size() && file.flush() && file.commit();
    if (!written) {
        qDebug() << "分阶配置写入失败" << path << file.errorString();
        MessageBoxSeam::warning(this, tr("提示"), tr("加载失败"));
        return;
    }
    MessageBoxSeam::information(this, tr("提示"), tr("成功加载文件%1").arg(path));
}

void stageControlWidget::startLoad()
{
    // A loaded table would replace the programme under a running step.
    if (anyItemRunning()) {
        MessageBoxSeam::warning(this, tr("错误提示"), tr("分阶运行中，请先停止再调入配置"));
        return;
    }
    const QString path = FileDialogSeam::getOpenFileName(this, tr("导入历史分阶记录"), defaultDataDirectory(),
                                                         QString::fromLatin1(kFileFilter));
    if (path.isEmpty())
        return;
    QString problem;
    const StageProgrammeParse parsed = readStageProgrammeFile(path, &problem);
    if (!problem.isEmpty()) {
        MessageBoxSeam::warning(this, tr("文件解析错误"), tr("文件%1%2").arg(path, problem));
        return;
    }
    if (!parsed.isUsable()) {
        MessageBoxSeam::information(this, tr("提示"), tr("文件解析错误"));
        return;
    }
    if (parsed.skippedLines > 0)
        qDebug() << "分阶配置文件中跳过的行数:" << parsed.skippedLines;
    MessageBoxSeam::information(this, tr("提示"),
                                tr("文件%1导入成功%2").arg(path, unusableBlocksNote(parsed)));
    fillTables(parsed, path);
    emit loadStep();
}

// Names each block whose lines were all invalid and whose widget therefore keeps its table.
QString stageControlWidget::unusableBlocksNote(const StageProgrammeParse &parsed) const
{
    constexpr int kHeaderShown = 24; // a header is "[n]"; a longer one is cut in the notice
    QString note;
    const int blocks = qMin(parsed.blocks.size(), m_items.size());
    for (int k = 0; k < blocks; ++k) {
        if (!parsed.isUnusableBlock(k))
            continue;
        QString header = parsed.headers.value(k);
        if (header.size() > kHeaderShown)
            header = header.left(kHeaderShown) + QStringLiteral("…");
        note += tr("；第%1块%2没有有效的阶，第%1个分阶控件未改动").arg(QString::number(k + 1), header);
    }
    return note;
}

// Block k belongs to widget k and replaces its whole table; widgets after the file's last block,
// and those whose block held no valid line, keep theirs.
void stageControlWidget::fillTables(const StageProgrammeParse &parsed, const QString &path,
                                    const QList<int> &widgets)
{
    const int blocks = qMin(parsed.blocks.size(), m_items.size());
    for (int k = 0; k < blocks; ++k) {
        if (parsed.isUnusableBlock(k) || (!widgets.isEmpty() && !widgets.contains(k)))
            continue;
        const StageProgramme steps = parsed.blocks[k].mid(0, itemStageControl::RowCount);
        for (const StageStep &step : steps)
            qDebug() << "Pair:" << step.first << "," << step.second;
        m_items[k]->setProgramme(steps);
        emit programmeFileLoaded(k, path);
    }
}

QString stageControlWidget::loadProgrammeFile(const QString &path, const QList<int> &widgets)
{
    if (anyItemRunning())
        return tr("分阶运行中，请先停止再调入配置");
    if (!QFileInfo::exists(path))
        return tr("文件%1不存在").arg(path);
    QString problem;
    const StageProgrammeParse parsed = readStageProgrammeFile(path, &problem);
    if (!problem.isEmpty())
        return tr("文件%1%2").arg(path, problem);
    if (!parsed.isUsable())
        return tr("文件解析错误");
    fillTables(parsed, path, widgets);
    emit loadStep();
    return QString();
}
