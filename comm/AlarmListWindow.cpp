#include "AlarmListWindow.h"
#include "ui_AlarmListWindow.h"

#include "AlarmMonitor.h"
#include "DataDirectory.h"
#include "FileDialogSeam.h"
#include "MessageBoxSeam.h"
#include "RegularFile.h"

#include <QHeaderView>

namespace {

QString timeText(const QDateTime &time)
{
    return time.isNull() ? QString() : time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

} // namespace

AlarmListWindow::AlarmListWindow(AlarmMonitor *alarms, QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::AlarmListWindow>()), m_alarms(alarms)
{
    ui->setupUi(this);
    QTableWidget *table = ui->table_alarms;
    table->setColumnCount(7);
    table->setHorizontalHeaderLabels(
        {tr("报警时间"), tr("解除时间"), tr("确认时间"), tr("设备"), tr("类型"), tr("数值"), tr("限值")});
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setStretchLastSection(true);
    table->verticalHeader()->hide();
    connect(ui->btn_acknowledge, &QPushButton::clicked, this, &AlarmListWindow::acknowledgeChosen);
    connect(ui->btn_export, &QPushButton::clicked, this, &AlarmListWindow::exportCsv);
    connect(alarms, &AlarmMonitor::alarmRaised, this, &AlarmListWindow::refresh);
    connect(alarms, &AlarmMonitor::alarmChanged, this, &AlarmListWindow::refresh);
    refresh();
}

AlarmListWindow::~AlarmListWindow() = default;

void AlarmListWindow::refresh()
{
    const QList<AlarmRecord> &records = m_alarms->records();
    QTableWidget *table = ui->table_alarms;
    table->setRowCount(records.size());
    for (int k = 0; k < records.size(); ++k) {
        const AlarmRecord &record = records[records.size() - 1 - k];
        const QStringList cells{timeText(record.raised),      timeText(record.cleared),
                                timeText(record.acknowledged), QString::number(record.address),
                                AlarmRecord::kindName(record.kind), QString::number(record.value, 'g', 6),
                                QString::number(record.limit, 'g', 6)};
        for (int column = 0; column < cells.size(); ++column) {
            auto *item = new QTableWidgetItem(cells[column]);
            item->setData(Qt::UserRole, record.id);
            if (record.latched())
                item->setForeground(Qt::red);
            table->setItem(k, column, item);
        }
    }
    ui->label_count->setText(tr("未解除或未确认：%1").arg(m_alarms->latchedCount()));
}

void AlarmListWindow::acknowledgeChosen()
{
    QList<int> ids;
    for (const QModelIndex &index : ui->table_alarms->selectionModel()->selectedRows())
        ids.append(index.data(Qt::UserRole).toInt());
    if (ids.isEmpty()) {
        for (const AlarmRecord &record : m_alarms->latched())
            ids.append(record.id);
    }
    QList<int> done;
    for (int id : qAsConst(ids)) {
        if (m_alarms->acknowledge(id))
            done.append(id);
    }
    if (!done.isEmpty())
        emit acknowledged(done);
}

QString AlarmListWindow::csv() const
{
    QString text = QStringLiteral("raised,cleared,acknowledged,device,kind,value,limit\n");
    for (const AlarmRecord &record : m_alarms->records()) {
        text += QStringLiteral("%1,%2,%3,%4,%5,%6,%7\n")
                    .arg(record.raised.toString(Qt::ISODate), record.cleared.toString(Qt::ISODate),
                         record.acknowledged.toString(Qt::ISODate))
                    .arg(record.address)
                    .arg(AlarmRecord::kindKey(record.kind))
                    .arg(record.value, 0, 'g', 6)
                    .arg(record.limit, 0, 'g', 6);
    }
    return text;
}

void AlarmListWindow::exportCsv()
{
    const QString path = FileDialogSeam::getSaveFileName(this, tr("导出报警记录"), defaultDataDirectory(),
                                                         QStringLiteral("CSV Files (*.csv)"));
    if (path.isEmpty())
        return;
    const QString problem = saveWholeFile(path, csv().toUtf8());
    if (!problem.isEmpty()) {
        MessageBoxSeam::warning(this, tr("错误提示"), tr("%1无法写入（%2）").arg(path, problem));
        return;
    }
    MessageBoxSeam::information(this, tr("提示"), tr("报警记录已导出到%1").arg(path));
}
