#include "saveFileSetWidget.h"

#include "DataDirectory.h"
#include "FileDialogSeam.h"
#include "MessageBoxSeam.h"
#include "PlotWidget.h"
#include "PrintLine.h"
#include "RegularFile.h"
#include "ui_saveFileSetWidget.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

// The bus addresses that have a chart page and so may record.
constexpr int HighestAddress = 15;

// Empty text counts as 0. Other text that is not a whole number ("1.5", a full-width digit) would
// record for no time at all and write an empty file: no value. A whole number too long for 64 bits
// is too large rather than none.
std::optional<qint64> readWholeNumber(const QString &text)
{
    constexpr qint64 Unreasonable = qint64(1) << 40;
    const QString trimmed = text.trimmed();
    bool ok = true;
    const qint64 number = trimmed.isEmpty() ? 0 : trimmed.toLongLong(&ok);
    if (ok)
        return qBound(-Unreasonable, number, Unreasonable);
    static const QRegularExpression digits(QStringLiteral("^[+-]?[0-9]+$"));
    if (digits.match(trimmed).hasMatch())
        return Unreasonable;
    return std::nullopt;
}

// Seconds of hours and minutes; none when either is not a whole number.
std::optional<qint64> durationSeconds(const QString &hoursText, const QString &minutesText)
{
    const std::optional<qint64> hours = readWholeNumber(hoursText);
    const std::optional<qint64> minutes = readWholeNumber(minutesText);
    if (!hours || !minutes)
        return std::nullopt;
    return *hours * 3600 + *minutes * 60;
}

} // namespace

saveFileSetWidget::saveFileSetWidget(QWidget *parent) : QWidget(parent), ui(new Ui::saveFileSetWidget)
{
    ui->setupUi(this);
    ui->dateTimeEdit->setDateTime(QDateTime::currentDateTime());
}

saveFileSetWidget::~saveFileSetWidget()
{
    delete ui;
}

QList<quint8> saveFileSetWidget::listedDevices() const
{
    QList<quint8> devices;
    for (int i = 1; i < ui->comboBox->count(); ++i)
        devices.append(static_cast<quint8>(ui->comboBox->itemText(i).toUInt()));
    return devices;
}

void saveFileSetWidget::updateDeviceList(QList<quint8> devices)
{
    while (ui->comboBox->count() > 1)
        ui->comboBox->removeItem(ui->comboBox->count() - 1);
    for (quint8 device : devices)
        ui->comboBox->addItem(QString::number(device));
}

void saveFileSetWidget::on_pushButton_clicked()
{
    const int deviceId = ui->comboBox->currentText().toInt();
    const QDateTime startTime = ui->dateTimeEdit->dateTime();
    const std::optional<qint64> duration = durationSeconds(ui->lineEdit_3->text(), ui->lineEdit_4->text());
    printLine(QStringLiteral("持续时间是 ") + QString::number(duration.value_or(0)));
    const bool cur = ui->checkbox_current->isChecked();
    printLine(cur ? QStringLiteral("被选中") : QStringLiteral("没被选中"));

    if (ui->comboBox->currentIndex() == 0) {
        MessageBoxSeam::information(this, tr("提示"), tr("请选择要保存的设备编号"));
        return;
    }
    const bool anyType = cur || ui->checkbox_cumflow->isChecked() || ui->checkBox_temp->isChecked() ||
                         ui->checkBox_press->isChecked();
    if (refusesOffline(deviceId) || refusesPendingExport(deviceId) || refusesTimers(startTime, duration) ||
        refusesEmptyRecording(anyType))
        return;
    const QString fileName = FileDialogSeam::getSaveFileName(
        this, tr("选择保存路径"), defaultDataDirectory(), QStringLiteral("CSV Files (*.csv);;All Files (*)"));
    if (fileName.isEmpty() || refusesFileInUse(fileName) || !createsEmptyFile(fileName))
        return;
    emit sig_savePlotFile(deviceId, startTime, int(*duration), cur, ui->checkbox_cumflow->isChecked(),
                          ui->checkBox_temp->isChecked(), ui->checkBox_press->isChecked(), fileName);
}

// A page records one file at a time: a second request would take over the first one's timers,
// types and file name.
bool saveFileSetWidget::refusesPendingExport(int deviceId)
{
    const QString pending = m_pendingExport ? m_pendingExport(deviceId) : QString();
    if (pending.isEmpty())
        return false;
    MessageBoxSeam::information(
        this, tr("提示"),
        tr("设备%1正在保存数据到%2，请等待本次保存结束后再保存").arg(QString::number(deviceId), pending));
    return true;
}

// A controller that is not polled gives nothing to record: the recording would run its whole
// duration and end in a file of section lines alone.
bool saveFileSetWidget::refusesOffline(int deviceId)
{
    if (!m_online || m_online(deviceId))
        return false;
    MessageBoxSeam::warning(this, tr("错误提示"), tr("设备%1不在线，无法记录。请先在设备管理页将其上线").arg(deviceId));
    return true;
}

// Two recordings into one file: the later end would overwrite what the earlier one saved.
bool saveFileSetWidget::refusesFileInUse(const QString &fileName)
{
    const QString chosen = QFileInfo(fileName).absoluteFilePath();
    for (int device = 1; m_pendingExport && device <= HighestAddress; ++device) {
        const QString pending = m_pendingExport(device);
        if (pending.isEmpty() || QFileInfo(pending).absoluteFilePath() != chosen)
            continue;
        MessageBoxSeam::information(
            this, tr("提示"),
            tr("%1正在保存设备%2的数据，请选择其他文件").arg(pending, QString::number(device)));
        return true;
    }
    return false;
}

// A timer asked for a negative time or more than it holds never fires: the page would record for
// ever and write nothing.
bool saveFileSetWidget::refusesTimers(const QDateTime &startTime, std::optional<qint64> durationSeconds)
{
    QString reason;
    if (!durationSeconds)
        reason = tr("保存时长的小时和分钟须为整数");
    else if (*durationSeconds < 0)
        reason = tr("保存时长不能为负数");
    else if (*durationSeconds == 0)
        reason = tr("保存时长不能为0"); // it would record nothing and call that a success
    else if (*durationSeconds * 1000 > PlotWidget::MaxTimerMs)
        reason = tr("保存时长不能超过596小时31分钟");
    else if (QDateTime::currentDateTime().msecsTo(startTime) > PlotWidget::MaxTimerMs)
        reason = tr("开始时间距现在不能超过24.8天");
    if (reason.isEmpty())
        return false;
    MessageBoxSeam::warning(this, tr("错误提示"), reason);
    return true;
}

// With no type selected the file would hold nothing, yet the end of the recording reports success.
bool saveFileSetWidget::refusesEmptyRecording(bool anyType)
{
    if (anyType)
        return false;
    MessageBoxSeam::warning(this, tr("错误提示"), tr("请至少选择一种保存数据"));
    return true;
}

bool saveFileSetWidget::createsEmptyFile(const QString &fileName)
{
    // Opening a pipe for writing waits for a reader, and a device would swallow the recording.
    QString problem = regularFileProblem(fileName);
    if (problem.isEmpty()) {
        QFile file(fileName);
        if (file.open(QIODevice::WriteOnly))
            return true;
        problem = file.errorString();
    }
    qWarning() << "Failed to open file for writing";
    MessageBoxSeam::warning(this, tr("提示"), tr("%1无法写入（%2）").arg(fileName, problem));
    return false;
}
