#include "AuditListWindow.h"
#include "ui_AuditListWindow.h"

#include "AuditTrail.h"
#include "DataDirectory.h"
#include "FileDialogSeam.h"
#include "MessageBoxSeam.h"
#include "RegularFile.h"

#include <QHeaderView>
#include <QSet>

#include <algorithm>

namespace {

// The source filter's keys, as the trail writes them; the captions are translated where shown.
const QList<QPair<QString, const char *>> &auditSources()
{
    static const QList<QPair<QString, const char *>> sources{
        {QStringLiteral("operator"), QT_TRANSLATE_NOOP("AuditListWindow", "操作员")},
        {QStringLiteral("programme"), QT_TRANSLATE_NOOP("AuditListWindow", "分阶程序")},
        {QStringLiteral("remote"), QT_TRANSLATE_NOOP("AuditListWindow", "远程命令")},
        {QStringLiteral("ramp"), QT_TRANSLATE_NOOP("AuditListWindow", "斜坡")},
        {QStringLiteral("exit"), QT_TRANSLATE_NOOP("AuditListWindow", "退出停止")},
        {QStringLiteral("alarm"), QT_TRANSLATE_NOOP("AuditListWindow", "报警动作")},
        {QStringLiteral("mix"), QT_TRANSLATE_NOOP("AuditListWindow", "混合组")},
    };
    return sources;
}

// The kind filter's entries: the "what" of the lines each one shows.
const QList<QPair<QStringList, const char *>> &auditKinds()
{
    static const QList<QPair<QStringList, const char *>> kinds{
        {{QStringLiteral("setpoint"), QStringLiteral("total_setpoint")}, QT_TRANSLATE_NOOP("AuditListWindow", "设定值")},
        {{QStringLiteral("ramp_target")}, QT_TRANSLATE_NOOP("AuditListWindow", "斜坡目标")},
        {{QStringLiteral("parameter")}, QT_TRANSLATE_NOOP("AuditListWindow", "参数写入")},
        {{QStringLiteral("restore"), QStringLiteral("clone")}, QT_TRANSLATE_NOOP("AuditListWindow", "参数恢复和克隆")},
        {{QStringLiteral("programme_start"), QStringLiteral("programme_pause"), QStringLiteral("programme_resume"),
          QStringLiteral("programme_stop")},
         QT_TRANSLATE_NOOP("AuditListWindow", "程序启停")},
        {{QStringLiteral("mix_start"), QStringLiteral("mix_stop")}, QT_TRANSLATE_NOOP("AuditListWindow", "混合启停")},
        {{QStringLiteral("alarm_ack")}, QT_TRANSLATE_NOOP("AuditListWindow", "报警确认")},
        {{QStringLiteral("remote_setpoints")}, QT_TRANSLATE_NOOP("AuditListWindow", "远程设定许可")},
    };
    return kinds;
}

// The time span filter's entries, in hours back from now; -1: since midnight; 0: all.
const QList<QPair<int, const char *>> &auditSpans()
{
    static const QList<QPair<int, const char *>> spans{
        {0, QT_TRANSLATE_NOOP("AuditListWindow", "全部")},
        {1, QT_TRANSLATE_NOOP("AuditListWindow", "最近1小时")},
        {-1, QT_TRANSLATE_NOOP("AuditListWindow", "今天")},
        {7 * 24, QT_TRANSLATE_NOOP("AuditListWindow", "最近7天")},
        {30 * 24, QT_TRANSLATE_NOOP("AuditListWindow", "最近30天")},
    };
    return spans;
}

// The earliest time a line of the span may have; invalid: any.
QDateTime spanStart(int hours)
{
    const QDateTime now = QDateTime::currentDateTime();
    if (hours < 0)
        return QDateTime(now.date(), QTime(0, 0));
    return hours == 0 ? QDateTime() : now.addSecs(-qint64(hours) * 3600);
}

QString auditValueText(const QJsonValue &value)
{
    return value.isDouble() ? QString::number(value.toDouble(), 'g', 7) : QString();
}

// "programme 2", "operator op", "remote topic q/1/setpoint/set": what the CSV and the table show.
QString auditSourceText(const QJsonObject &source)
{
    QStringList parts{source.value(QStringLiteral("driver")).toString()};
    for (const QString &key : {QStringLiteral("index"), QStringLiteral("user"), QStringLiteral("level"),
                               QStringLiteral("origin")}) {
        const QJsonValue value = source.value(key);
        if (value.isDouble())
            parts << QString::number(value.toInt());
        else if (!value.toString().isEmpty())
            parts << value.toString();
    }
    return parts.join(QLatin1Char(' '));
}

// "setpoint", "restore backlight_time", "parameter 7", "alarm_ack deviation": what, and which.
QString auditWhatText(const QJsonObject &line)
{
    QString text = line.value(QStringLiteral("what")).toString();
    for (const QString &key : {QStringLiteral("parameter"), QStringLiteral("parameter_type"), QStringLiteral("alarm")}) {
        const QJsonValue value = line.value(key);
        if (value.isDouble())
            text += QLatin1Char(' ') + QString::number(value.toInt());
        else if (value.isString())
            text += QLatin1Char(' ') + value.toString();
    }
    return text;
}

QString auditCsvField(QString text)
{
    if (text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"'))) {
        text.replace(QStringLiteral("\""), QStringLiteral("\"\""));
        return QLatin1Char('"') + text + QLatin1Char('"');
    }
    return text;
}

QStringList auditCells(const QJsonObject &line)
{
    return {line.value(QStringLiteral("time")).toString(),
            QString::number(line.value(QStringLiteral("id")).toInt()),
            line.value(QStringLiteral("phase")).toString(),
            line.contains(QStringLiteral("controller")) ? QString::number(line.value(QStringLiteral("controller")).toInt())
                                                        : QString(), // the bench as a whole
            auditWhatText(line),
            auditValueText(line.value(QStringLiteral("before"))),
            auditValueText(line.value(QStringLiteral("after"))),
            auditSourceText(line.value(QStringLiteral("source")).toObject()),
            line.value(QStringLiteral("outcome")).toString(),
            line.value(QStringLiteral("reason")).toString()};
}

} // namespace

AuditListWindow::AuditListWindow(const QString &folder, QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::AuditListWindow>()), m_folder(folder)
{
    ui->setupUi(this);
    QTableWidget *table = ui->table_audit;
    table->setColumnCount(10);
    table->setHorizontalHeaderLabels({tr("时间"), tr("编号"), tr("阶段"), tr("设备"), tr("内容"), tr("修改前"),
                                      tr("修改后"), tr("来源"), tr("结果"), tr("原因")});
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setStretchLastSection(true);
    table->verticalHeader()->hide();
    ui->combo_source->addItem(tr("全部"), QString());
    for (const auto &source : auditSources())
        ui->combo_source->addItem(tr(source.second), source.first);
    ui->combo_kind->addItem(tr("全部"), QStringList());
    for (const auto &kind : auditKinds())
        ui->combo_kind->addItem(tr(kind.second), kind.first);
    for (const auto &span : auditSpans())
        ui->combo_span->addItem(tr(span.second), span.first);
    for (QComboBox *filter : {ui->combo_controller, ui->combo_source, ui->combo_kind, ui->combo_span})
        connect(filter, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &AuditListWindow::showFiltered);
    connect(ui->btn_refresh, &QPushButton::clicked, this, &AuditListWindow::refresh);
    connect(ui->btn_export, &QPushButton::clicked, this, &AuditListWindow::exportCsv);
}

AuditListWindow::~AuditListWindow() = default;

QTableWidget *AuditListWindow::table() const
{
    return ui->table_audit;
}

void AuditListWindow::refresh()
{
    m_lines = AuditTrail::readAll(m_folder);
    QSet<int> seen;
    for (const QJsonObject &line : qAsConst(m_lines)) {
        if (line.contains(QStringLiteral("controller")))
            seen.insert(line.value(QStringLiteral("controller")).toInt());
    }
    QList<int> addresses = seen.values();
    std::sort(addresses.begin(), addresses.end());
    const int chosen = ui->combo_controller->currentData().toInt();
    const QSignalBlocker blocker(ui->combo_controller);
    ui->combo_controller->clear();
    ui->combo_controller->addItem(tr("全部"), 0);
    for (int address : qAsConst(addresses))
        ui->combo_controller->addItem(tr("设备%1").arg(address), address);
    ui->combo_controller->setCurrentIndex(qMax(0, ui->combo_controller->findData(chosen)));
    showFiltered();
}

bool AuditListWindow::passes(const QJsonObject &line, const QDateTime &since) const
{
    const int controller = ui->combo_controller->currentData().toInt();
    const QString source = ui->combo_source->currentData().toString();
    const QStringList kinds = ui->combo_kind->currentData().toStringList();
    if (controller != 0 && line.value(QStringLiteral("controller")).toInt() != controller)
        return false;
    if (!kinds.isEmpty() && !kinds.contains(line.value(QStringLiteral("what")).toString()))
        return false;
    if (since.isValid() &&
        QDateTime::fromString(line.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs) < since)
        return false;
    return source.isEmpty() ||
           line.value(QStringLiteral("source")).toObject().value(QStringLiteral("driver")).toString() == source;
}

void AuditListWindow::showFiltered()
{
    m_shown.clear();
    const QDateTime since = spanStart(ui->combo_span->currentData().toInt());
    for (const QJsonObject &line : qAsConst(m_lines)) {
        if (passes(line, since))
            m_shown.append(line);
    }
    QTableWidget *table = ui->table_audit;
    table->setRowCount(m_shown.size());
    for (int k = 0; k < m_shown.size(); ++k) {
        const QJsonObject &line = m_shown[m_shown.size() - 1 - k];
        const QStringList cells = auditCells(line);
        for (int column = 0; column < cells.size(); ++column) {
            auto *item = new QTableWidgetItem(cells[column]);
            if (line.value(QStringLiteral("outcome")).toString() == QStringLiteral("refused") ||
                line.value(QStringLiteral("outcome")).toString() == QStringLiteral("given_up"))
                item->setForeground(Qt::red);
            table->setItem(k, column, item);
        }
    }
}

QString AuditListWindow::csv() const
{
    QString text = QStringLiteral("time,id,phase,controller,what,before,after,source,outcome,reason\n");
    for (const QJsonObject &line : m_shown) {
        QStringList cells = auditCells(line);
        for (QString &cell : cells)
            cell = auditCsvField(cell);
        text += cells.join(QLatin1Char(',')) + QLatin1Char('\n');
    }
    return text;
}

void AuditListWindow::exportCsv()
{
    const QString path = FileDialogSeam::getSaveFileName(this, tr("导出操作记录"), defaultDataDirectory(),
                                                         QStringLiteral("CSV Files (*.csv)"));
    if (path.isEmpty())
        return;
    const QString problem = saveWholeFile(path, csv().toUtf8());
    if (!problem.isEmpty()) {
        MessageBoxSeam::warning(this, tr("错误提示"), tr("%1无法写入（%2）").arg(path, problem));
        return;
    }
    MessageBoxSeam::information(this, tr("提示"), tr("操作记录已导出到%1").arg(path));
}
