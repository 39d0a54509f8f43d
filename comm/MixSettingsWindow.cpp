#include "MixSettingsWindow.h"
#include "ui_MixSettingsWindow.h"

#include "BenchModel.h"
#include "MessageBoxSeam.h"
#include "MixDriver.h"
#include "ProcessSettings.h"

#include <QHeaderView>
#include <QTableWidget>

namespace {

QString mixPercentText(double part, double whole)
{
    return whole > 0.0 ? QString::number(part * 100.0 / whole, 'f', 1) + QLatin1Char('%') : QString();
}

} // namespace

MixSettingsWindow::MixSettingsWindow(MixDriver *mixes, BenchModel *model, const QString &settingsPath,
                                     QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::MixSettingsWindow>()), m_mixes(mixes), m_model(model),
      m_path(settingsPath)
{
    ui->setupUi(this);
    for (int g = 1; g <= MixDriver::GroupCount; ++g)
        ui->combo_group->addItem(tr("混合组%1").arg(g));
    QTableWidget *table = ui->table_members;
    table->setColumnCount(ColumnCount);
    table->setRowCount(MixGroup::MaxMembers);
    table->setHorizontalHeaderLabels(
        {tr("设备地址"), tr("比例(%)"), tr("满量程(sccm)"), tr("设定值(sccm)"), tr("目标组成"), tr("实际组成")});
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    for (int row = 0; row < MixGroup::MaxMembers; ++row) {
        for (int column = 0; column < ColumnCount; ++column) {
            auto *item = new QTableWidgetItem;
            if (column >= SetpointColumn)
                item->setFlags(item->flags() & ~Qt::ItemIsEditable);
            table->setItem(row, column, item);
        }
    }
    connect(ui->combo_group, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int index) { showGroup(index + 1); });
    connect(ui->btn_save, &QPushButton::clicked, this, &MixSettingsWindow::save);
    connect(ui->btn_start, &QPushButton::clicked, this, &MixSettingsWindow::start);
    connect(ui->btn_total, &QPushButton::clicked, this, &MixSettingsWindow::applyTotal);
    connect(ui->btn_stop, &QPushButton::clicked, this, [this] { m_mixes->stop(currentGroup()); });
    connect(mixes, &MixDriver::groupChanged, this, &MixSettingsWindow::refresh);
    connect(mixes, &MixDriver::compositionAlarm, this, [this](int group) {
        if (group == currentGroup())
            refresh();
    });
    connect(model, &BenchModel::readingChanged, this, [this](const Reading &reading) {
        if (isVisible() && m_mixes->group(currentGroup()).addresses().contains(reading.deviceId))
            refresh();
    });
    showGroup(1);
}

MixSettingsWindow::~MixSettingsWindow() = default;

int MixSettingsWindow::currentGroup() const
{
    return ui->combo_group->currentIndex() + 1;
}

QTableWidget *MixSettingsWindow::table() const
{
    return ui->table_members;
}

void MixSettingsWindow::showGroup(int group)
{
    if (currentGroup() != group) {
        ui->combo_group->setCurrentIndex(group - 1); // comes back here
        return;
    }
    const MixGroup shown = m_mixes->group(group);
    ui->edit_name->setText(shown.name);
    ui->combo_policy->setCurrentIndex(shown.policy == MixGroup::Policy::KeepTotal ? 1 : 0);
    ui->spin_total->setValue(shown.total);
    ui->check_alarm->setChecked(shown.alarm.on);
    ui->spin_points->setValue(shown.alarm.points);
    ui->spin_seconds->setValue(shown.alarm.seconds);
    ui->spin_holdoff->setValue(shown.alarm.holdoff);
    for (int row = 0; row < MixGroup::MaxMembers; ++row) {
        const bool member = row < shown.members.size();
        const MixMember m = member ? shown.members[row] : MixMember();
        ui->table_members->item(row, AddressColumn)->setText(member ? QString::number(m.address) : QString());
        ui->table_members->item(row, FractionColumn)->setText(member ? QString::number(m.fraction) : QString());
        ui->table_members->item(row, FullScaleColumn)->setText(member ? QString::number(m.fullScale) : QString());
    }
    refresh();
}

MixGroup MixSettingsWindow::enteredGroup(QString *error) const
{
    MixGroup group;
    group.name = ui->edit_name->text().trimmed();
    group.policy = ui->combo_policy->currentIndex() == 1 ? MixGroup::Policy::KeepTotal : MixGroup::Policy::KeepRatio;
    group.total = ui->spin_total->value();
    group.alarm = {ui->check_alarm->isChecked(), ui->spin_points->value(), ui->spin_seconds->value(),
                   ui->spin_holdoff->value()};
    error->clear();
    for (int row = 0; row < MixGroup::MaxMembers; ++row) {
        const QString address = ui->table_members->item(row, AddressColumn)->text().trimmed();
        if (address.isEmpty())
            continue;
        bool addressRead = false, fractionRead = false, fullScaleRead = false;
        const uint number = address.toUInt(&addressRead);
        const double fraction = ui->table_members->item(row, FractionColumn)->text().toDouble(&fractionRead);
        const double fullScale = ui->table_members->item(row, FullScaleColumn)->text().toDouble(&fullScaleRead);
        if (!addressRead || number < 1 || number > 255 || !fractionRead || !fullScaleRead) {
            *error = tr("第%1行无法读取：设备地址为1到255，比例和满量程为数字").arg(row + 1);
            return group;
        }
        group.members << MixMember{quint8(number), fraction, fullScale};
    }
    if (error->isEmpty())
        *error = group.invalidity();
    return group;
}

// Into the driver (refused while the group runs) and into process.json.
bool MixSettingsWindow::keep(const MixGroup &group)
{
    QString error = m_mixes->setGroup(currentGroup(), group);
    ProcessSettings settings;
    if (error.isEmpty() && settings.load(m_path, &error)) {
        settings.setMix(currentGroup(), group);
        settings.save(m_path, &error);
    }
    if (!error.isEmpty())
        MessageBoxSeam::information(this, tr("提示"), error);
    return error.isEmpty();
}

void MixSettingsWindow::save()
{
    QString error;
    const MixGroup group = enteredGroup(&error);
    if (!error.isEmpty()) {
        MessageBoxSeam::information(this, tr("提示"), error);
        return;
    }
    if (keep(group))
        MessageBoxSeam::information(this, tr("提示"), tr("混合组%1已保存").arg(currentGroup()));
}

void MixSettingsWindow::start()
{
    const int g = currentGroup();
    if (m_mixes->isRunning(g)) {
        applyTotal();
        return;
    }
    QString error;
    const MixGroup group = enteredGroup(&error);
    if (!error.isEmpty()) {
        MessageBoxSeam::information(this, tr("提示"), error);
        return;
    }
    if (!keep(group))
        return;
    error = m_mixes->start(g, group.total);
    if (!error.isEmpty())
        MessageBoxSeam::information(this, tr("提示"), tr("混合组%1未启动：%2").arg(g).arg(error));
}

void MixSettingsWindow::applyTotal()
{
    const QString error = m_mixes->setTotal(currentGroup(), ui->spin_total->value());
    if (!error.isEmpty())
        MessageBoxSeam::information(this, tr("提示"), error);
}

void MixSettingsWindow::refresh()
{
    const int g = currentGroup();
    const bool running = m_mixes->isRunning(g);
    const MixGroup group = m_mixes->group(g);
    const MixPlan plan = running ? m_mixes->plan(g) : planMix(group, group.total);
    ui->label_state->setText(running ? tr("运行中：总流量 %1 sccm").arg(plan.total, 0, 'g', 6) : tr("已停止"));
    ui->label_limit->setText(group.members.isEmpty() ? QString() : plan.error.isEmpty() ? plan.limit : plan.error);
    ui->label_limit->setStyleSheet(plan.limit.isEmpty() && plan.error.isEmpty() ? QString()
                                                                                : QStringLiteral("color: #b35900;"));
    ui->btn_stop->setEnabled(running);
    ui->btn_total->setEnabled(running);
    ui->edit_name->setEnabled(!running);
    ui->combo_policy->setEnabled(!running);
    for (QWidget *setting : {static_cast<QWidget *>(ui->check_alarm), static_cast<QWidget *>(ui->spin_points),
                             static_cast<QWidget *>(ui->spin_seconds), static_cast<QWidget *>(ui->spin_holdoff)})
        setting->setEnabled(!running);
    const QList<double> actual = m_mixes->actualComposition(g);
    const QList<double> target = plan.composition();
    const bool alarm = m_mixes->compositionAlarmActive(g);
    const quint8 worst = m_mixes->compositionAlarmMember(g);
    for (int row = 0; row < MixGroup::MaxMembers; ++row) {
        const bool member = row < group.members.size() && row < plan.setpoints.size();
        QTableWidget *table = ui->table_members;
        table->item(row, SetpointColumn)->setText(member ? QString::number(double(plan.setpoints[row])) : QString());
        table->item(row, TargetColumn)->setText(member ? mixPercentText(plan.setpoints[row], plan.total) : QString());
        table->item(row, ActualColumn)->setText(member && row < actual.size()
                                                    ? QString::number(actual[row], 'f', 1) + QLatin1Char('%')
                                                    : QString());
        const bool off = member && alarm && group.members[row].address == worst;
        table->item(row, ActualColumn)->setForeground(off ? QBrush(Qt::red) : QBrush());
        for (int column = AddressColumn; column <= FullScaleColumn; ++column) {
            QTableWidgetItem *item = table->item(row, column);
            item->setFlags(running ? item->flags() & ~Qt::ItemIsEditable : item->flags() | Qt::ItemIsEditable);
        }
    }
    // The composition alarm beside the composition: the largest deviation, red while it is raised.
    double largest = 0.0;
    for (int i = 0; i < actual.size() && i < target.size(); ++i)
        largest = qMax(largest, qAbs(actual[i] - target[i]));
    if (alarm)
        ui->label_alarm->setText(tr("组成偏差报警：设备%1偏离目标 %2 个百分点（限 %3）")
                                     .arg(worst)
                                     .arg(QString::number(m_mixes->compositionAlarmPoints(g), 'f', 1))
                                     .arg(QString::number(group.alarm.points, 'g', 4)));
    else if (running && group.alarm.on && !actual.isEmpty() && !target.isEmpty())
        ui->label_alarm->setText(tr("组成偏差：最大 %1 个百分点（限 %2）")
                                     .arg(QString::number(largest, 'f', 1))
                                     .arg(QString::number(group.alarm.points, 'g', 4)));
    else
        ui->label_alarm->clear();
    ui->label_alarm->setStyleSheet(alarm ? QStringLiteral("color: red;") : QString());
}
