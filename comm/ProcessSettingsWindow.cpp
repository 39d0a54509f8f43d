#include "ProcessSettingsWindow.h"
#include "ui_ProcessSettingsWindow.h"

#include "MessageBoxSeam.h"

#include <QDoubleSpinBox>
#include <QHeaderView>

namespace {
constexpr double MaxRampRate = 999999;
} // namespace

ProcessSettingsWindow::ProcessSettingsWindow(QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::ProcessSettingsWindow>())
{
    ui->setupUi(this);
    ui->table_controllers->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    ui->table_controllers->verticalHeader()->hide();
    connect(ui->btn_save, &QPushButton::clicked, this, &ProcessSettingsWindow::save);
}

ProcessSettingsWindow::~ProcessSettingsWindow() = default;

void ProcessSettingsWindow::showSettings(const QList<quint8> &addresses, const ProcessSettings &settings,
                                         const QString &path)
{
    m_addresses = addresses;
    m_shownRates.clear();
    QTableWidget *table = ui->table_controllers;
    table->setRowCount(addresses.size());
    for (int row = 0; row < addresses.size(); ++row) {
        const quint8 address = addresses[row];
        auto *device = new QTableWidgetItem(tr("设备%1").arg(address));
        device->setFlags(Qt::ItemIsEnabled);
        table->setItem(row, 0, device);
        auto *rate = new QDoubleSpinBox(table);
        rate->setObjectName(QStringLiteral("spin_rate_%1").arg(address));
        rate->setRange(0, MaxRampRate);
        rate->setDecimals(1);
        rate->setValue(settings.rampRate(address));
        table->setCellWidget(row, 1, rate);
        const QDateTime changed = settings.changed(address);
        auto *when = new QTableWidgetItem(changed.isValid() ? changed.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                                                            : QStringLiteral("-"));
        when->setFlags(Qt::ItemIsEnabled);
        table->setItem(row, 2, when);
        m_shownRates.insert(address, rate->value());
    }
    ui->label_file->setText(tr("保存在%1").arg(path));
}

QDoubleSpinBox *ProcessSettingsWindow::rateField(int row) const
{
    return qobject_cast<QDoubleSpinBox *>(ui->table_controllers->cellWidget(row, 1));
}

QMap<quint8, double> ProcessSettingsWindow::enteredRates() const
{
    QMap<quint8, double> rates;
    for (int row = 0; row < m_addresses.size(); ++row)
        rates.insert(m_addresses[row], rateField(row)->value());
    return rates;
}

void ProcessSettingsWindow::save()
{
    const QMap<quint8, double> rates = enteredRates();
    if (rates == m_shownRates) {
        MessageBoxSeam::information(this, tr("提示"), tr("没有修改"));
        return;
    }
    emit saveRequested(rates);
}
