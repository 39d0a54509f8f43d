#include "ProcessSettingsWindow.h"
#include "ui_ProcessSettingsWindow.h"

#include "MessageBoxSeam.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QHeaderView>

namespace {
constexpr double MaxSetting = 999999;
} // namespace

ProcessSettingsWindow::ProcessSettingsWindow(QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::ProcessSettingsWindow>())
{
    ui->setupUi(this);
    QTableWidget *table = ui->table_controllers;
    table->setColumnCount(ColumnCount);
    table->setHorizontalHeaderLabels({tr("设备"), tr("斜坡速率\n(sccm/s)"), tr("偏差\n报警"), tr("偏差\n(%)"),
                                      tr("偏差\n(sccm)"), tr("持续\n(秒)"), tr("保持\n(秒)"), tr("流量上限\n(sccm)"),
                                      tr("流量下限\n(sccm)"), tr("温度\n报警"), tr("温度下限\n(℃)"), tr("温度上限\n(℃)"),
                                      tr("压力\n报警"), tr("压力下限\n(KPa)"), tr("压力上限\n(KPa)"), tr("掉线\n报警"),
                                      tr("报警时\n设为0"), tr("修改时间")});
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->verticalHeader()->hide();
    connect(ui->btn_save, &QPushButton::clicked, this, &ProcessSettingsWindow::save);
}

ProcessSettingsWindow::~ProcessSettingsWindow() = default;

void ProcessSettingsWindow::addNumber(int row, Column column, double value, double maximum, const QString &offText,
                                      double minimum)
{
    auto *field = new QDoubleSpinBox(ui->table_controllers);
    field->setObjectName(QStringLiteral("spin_%1_%2").arg(row).arg(int(column)));
    field->setRange(minimum, maximum);
    field->setDecimals(1);
    // A limit of 0 is no limit: the field says so.
    if (!offText.isEmpty())
        field->setSpecialValueText(offText);
    field->setValue(value);
    ui->table_controllers->setCellWidget(row, column, field);
}

void ProcessSettingsWindow::addCheck(int row, Column column, bool on)
{
    auto *cell = new QWidget(ui->table_controllers);
    auto *box = new QCheckBox(cell);
    box->setObjectName(QStringLiteral("check_%1_%2").arg(row).arg(int(column)));
    box->setChecked(on);
    auto *layout = new QHBoxLayout(cell);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setAlignment(Qt::AlignCenter);
    layout->addWidget(box);
    ui->table_controllers->setCellWidget(row, column, cell);
}

void ProcessSettingsWindow::showSettings(const QList<quint8> &addresses, const ProcessSettings &settings,
                                         const QString &path)
{
    m_addresses = addresses;
    m_shown = settings;
    QTableWidget *table = ui->table_controllers;
    table->setRowCount(addresses.size());
    for (int row = 0; row < addresses.size(); ++row) {
        const quint8 address = addresses[row];
        const AlarmSettings alarms = settings.alarms(address);
        auto *device = new QTableWidgetItem(tr("设备%1").arg(address));
        device->setFlags(Qt::ItemIsEnabled);
        table->setItem(row, DeviceColumn, device);
        addNumber(row, RampColumn, settings.rampRate(address), MaxSetting);
        addCheck(row, DeviationOnColumn, alarms.deviation.on);
        addNumber(row, PercentColumn, alarms.deviation.percent, 100);
        addNumber(row, SccmColumn, alarms.deviation.sccm, MaxSetting);
        addNumber(row, SecondsColumn, alarms.deviation.seconds, 3600);
        addNumber(row, HoldoffColumn, alarms.deviation.holdoff, 3600);
        addNumber(row, HighColumn, alarms.high.on ? alarms.high.limit : 0, MaxSetting, tr("关"));
        addNumber(row, LowColumn, alarms.low.on ? alarms.low.limit : 0, MaxSetting, tr("关"));
        addCheck(row, TemperatureOnColumn, alarms.temperature.on);
        addNumber(row, TemperatureLowColumn, alarms.temperature.low, 1000, QString(), -273);
        addNumber(row, TemperatureHighColumn, alarms.temperature.high, 1000, QString(), -273);
        addCheck(row, PressureOnColumn, alarms.pressure.on);
        addNumber(row, PressureLowColumn, alarms.pressure.low, MaxSetting);
        addNumber(row, PressureHighColumn, alarms.pressure.high, MaxSetting);
        addCheck(row, DroppedColumn, alarms.dropped);
        addCheck(row, ZeroColumn, alarms.zeroOnAlarm);
        const QDateTime changed = settings.changed(address);
        auto *when = new QTableWidgetItem(changed.isValid() ? changed.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                                                            : QStringLiteral("-"));
        when->setFlags(Qt::ItemIsEnabled);
        table->setItem(row, ChangedColumn, when);
    }
    ui->label_file->setText(tr("保存在%1").arg(path));
}

QDoubleSpinBox *ProcessSettingsWindow::numberField(int row, Column column) const
{
    return qobject_cast<QDoubleSpinBox *>(ui->table_controllers->cellWidget(row, column));
}

QCheckBox *ProcessSettingsWindow::checkField(int row, Column column) const
{
    QWidget *cell = ui->table_controllers->cellWidget(row, column);
    return cell ? cell->findChild<QCheckBox *>() : nullptr;
}

ProcessSettings ProcessSettingsWindow::enteredSettings() const
{
    ProcessSettings entered = m_shown;
    const QDateTime now = QDateTime::currentDateTime();
    for (int row = 0; row < m_addresses.size(); ++row) {
        const quint8 address = m_addresses[row];
        AlarmSettings alarms = m_shown.alarms(address);
        alarms.deviation.on = checkField(row, DeviationOnColumn)->isChecked();
        alarms.deviation.percent = numberField(row, PercentColumn)->value();
        alarms.deviation.sccm = numberField(row, SccmColumn)->value();
        alarms.deviation.seconds = numberField(row, SecondsColumn)->value();
        alarms.deviation.holdoff = numberField(row, HoldoffColumn)->value();
        const double high = numberField(row, HighColumn)->value();
        const double low = numberField(row, LowColumn)->value();
        alarms.high = {high > 0, high > 0 ? high : alarms.high.limit};
        alarms.low = {low > 0, low > 0 ? low : alarms.low.limit};
        alarms.temperature = {checkField(row, TemperatureOnColumn)->isChecked(),
                              numberField(row, TemperatureLowColumn)->value(),
                              numberField(row, TemperatureHighColumn)->value()};
        alarms.pressure = {checkField(row, PressureOnColumn)->isChecked(), numberField(row, PressureLowColumn)->value(),
                           numberField(row, PressureHighColumn)->value()};
        alarms.dropped = checkField(row, DroppedColumn)->isChecked();
        alarms.zeroOnAlarm = checkField(row, ZeroColumn)->isChecked();
        if (alarms.toJson() != m_shown.alarms(address).toJson())
            entered.setAlarms(address, alarms, now);
        const double rate = rateField(row)->value();
        if (rate != m_shown.rampRate(address))
            entered.setRampRate(address, rate, now);
    }
    return entered;
}

void ProcessSettingsWindow::save()
{
    const ProcessSettings entered = enteredSettings();
    if (entered.toJson() == m_shown.toJson()) {
        MessageBoxSeam::information(this, tr("提示"), tr("没有修改"));
        return;
    }
    emit saveRequested(entered);
}
