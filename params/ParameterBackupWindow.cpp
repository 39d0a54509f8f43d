#include "ParameterBackupWindow.h"

#include "BenchModel.h"
#include "DataDirectory.h"
#include "DeviceThread.h"
#include "FileDialogSeam.h"
#include "MessageBoxSeam.h"
#include "RegularFile.h"
#include "ToolArguments.h"
#include "ui_ParameterBackupWindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <cmath>

namespace PB = ParameterBackup;

namespace {

// A block read is served within a tick or two; this only ends a wait for replies that never come.
constexpr int ExchangeDeadlineMs = 20000;

enum BackupColumn
{
    TickColumn,
    CaptionColumn,
    RegisterColumn,
    LeftColumn,
    RightColumn
};

QString outcomeKey(PB::Level level, int type)
{
    return QStringLiteral("%1:%2").arg(level == PB::Level::Ordinary ? 'o' : 'a').arg(type);
}

QString shownCaption(const PB::Parameter &parameter)
{
    return QCoreApplication::translate("ParameterBackup", parameter.captionZh);
}

} // namespace

ParameterBackupWindow::ParameterBackupWindow(DeviceThread *worker, BenchModel *model, QWidget *parent)
    : QWidget(parent), ui(new Ui::ParameterBackupWindow), m_worker(worker), m_model(model)
{
    ui->setupUi(this);
    ui->table_rows->horizontalHeader()->setStretchLastSection(true);
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        if (m_reading)
            finishRead(true);
        else if (m_restoring)
            finishWrites();
    });
    connect(worker, &DeviceThread::sig_parameterRead, this, [this](const RegisterReply &r) { takeReply(r, false); });
    connect(worker, &DeviceThread::sig_adminParameterRead, this, [this](const RegisterReply &r) { takeReply(r, true); });
    connect(worker, &DeviceThread::sig_modifyParamStatus, this, [this](bool ok, int type) { takeOutcome(ok, type, false); });
    connect(worker, &DeviceThread::sig_modifyAdminStatus, this, [this](bool ok, int type) { takeOutcome(ok, type, true); });
    connect(ui->btn_backup, &QPushButton::clicked, this, &ParameterBackupWindow::backupToFile);
    connect(ui->btn_compareFile, &QPushButton::clicked, this, &ParameterBackupWindow::compareFileWithController);
    connect(ui->btn_compareControllers, &QPushButton::clicked, this, &ParameterBackupWindow::compareControllers);
    connect(ui->btn_compareFiles, &QPushButton::clicked, this, &ParameterBackupWindow::compareFiles);
    connect(ui->btn_restore, &QPushButton::clicked, this, &ParameterBackupWindow::restore);
    connect(ui->check_foldEqual, &QCheckBox::toggled, this, &ParameterBackupWindow::foldEqualRows);
    ui->btn_restore->setEnabled(false);
}

ParameterBackupWindow::~ParameterBackupWindow()
{
    delete ui;
}

void ParameterBackupWindow::open(const QList<quint8> &addresses)
{
    m_administrator = false;
    for (QComboBox *combo : {ui->combo_device, ui->combo_other}) {
        combo->clear();
        for (quint8 address : addresses)
            combo->addItem(QString::number(address), int(address));
    }
    ui->label_status->setText(tr("管理员参数需要管理员密码；未登录时只读写普通参数。"));
    emit passwordNeeded();
}

void ParameterBackupWindow::unlock()
{
    m_administrator = true;
    ui->label_status->setText(tr("管理员参数已解锁。"));
}

std::optional<quint8> ParameterBackupWindow::chosen(const QWidget *combo) const
{
    const QVariant data = static_cast<const QComboBox *>(combo)->currentData();
    if (!data.isValid())
        return std::nullopt;
    return quint8(data.toInt());
}

void ParameterBackupWindow::setBusy(bool busy, const QString &status)
{
    for (QWidget *w : std::initializer_list<QWidget *>{ui->btn_backup, ui->btn_compareFile, ui->btn_compareControllers,
                                                        ui->btn_compareFiles, ui->combo_device, ui->combo_other})
        w->setEnabled(!busy);
    ui->btn_restore->setEnabled(!busy && m_right.live && !m_rows.isEmpty());
    if (!status.isEmpty())
        ui->label_status->setText(status);
}

void ParameterBackupWindow::readController(quint8 address, ReadDone done)
{
    Reading reading;
    reading.address = address;
    reading.backup.address = address;
    reading.backup.administrator = m_administrator;
    reading.done = std::move(done);
    for (const PB::Parameter &parameter : PB::parameters())
        reading.expected += parameter.level == PB::Level::Ordinary || m_administrator ? 1 : 0;
    m_reading = reading;
    m_worker->requestOrdinaryRead(address);
    if (m_administrator)
        m_worker->requestAdminRead(address);
    m_deadline.start(ExchangeDeadlineMs);
}

void ParameterBackupWindow::takeReply(const RegisterReply &reply, bool administratorRead)
{
    if (!m_reading || reply.deviceId != m_reading->address)
        return;
    const QList<quint16> registers = administratorRead ? RegisterMap::adminReads() : RegisterMap::ordinaryReads();
    if (reply.code < 1 || reply.code > registers.size())
        return;
    const quint16 reg = registers.at(reply.code - 1);
    const PB::Level level = administratorRead ? PB::Level::Administrator : PB::Level::Ordinary;
    for (const PB::Parameter &parameter : PB::parameters()) {
        // The administrator read ends with the address again; the ordinary read's is the one kept.
        if (parameter.reg != reg || parameter.level != level)
            continue;
        if (const std::optional<PB::Value> value = PB::fromReply(parameter, reply))
            m_reading->backup.values.insert(QLatin1String(parameter.name), *value);
    }
    if (m_reading->backup.values.size() == m_reading->expected)
        finishRead(false);
}

void ParameterBackupWindow::finishRead(bool timedOut)
{
    m_deadline.stop();
    Reading reading = *m_reading;
    m_reading.reset();
    if (!timedOut) {
        reading.done(reading.backup, QString());
        return;
    }
    QStringList missing;
    for (const PB::Parameter &parameter : PB::parameters()) {
        if ((parameter.level == PB::Level::Ordinary || reading.backup.administrator) &&
            !reading.backup.values.contains(QLatin1String(parameter.name)))
            missing << shownCaption(parameter);
    }
    reading.done(std::nullopt, tr("设备%1未回答：%2").arg(reading.address).arg(missing.join(tr("、"))));
}

void ParameterBackupWindow::backupToFile()
{
    const std::optional<quint8> address = chosen(ui->combo_device);
    if (!address)
        return;
    if (!m_model->isOnline(*address)) {
        MessageBoxSeam::warning(this, tr("提示"), tr("设备%1不在线，无法备份").arg(*address));
        return;
    }
    setBusy(true, tr("正在读取设备%1的参数…").arg(*address));
    readController(*address, [this](std::optional<PB::Backup> backup, const QString &error) {
        setBusy(false);
        if (!backup) {
            MessageBoxSeam::warning(this, tr("错误提示"), error);
            return;
        }
        backup->time = QDateTime::currentDateTime();
        backup->program = ToolArguments(QStringLiteral("quorix-rs485")).versionLine();
        backup->baud = m_baud;
        const QString suggested = QDir(defaultDataDirectory()).filePath(PB::fileName(*backup));
        const QString path = FileDialogSeam::getSaveFileName(this, tr("保存参数备份"), suggested, tr("参数备份 (*.json)"));
        if (path.isEmpty())
            return;
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(PB::toJson(*backup)) < 0 || !file.commit()) {
            MessageBoxSeam::warning(this, tr("错误提示"), tr("参数备份无法保存：%1").arg(file.errorString()));
            return;
        }
        ui->label_status->setText(backup->administrator ? tr("已备份到 %1").arg(path)
                                                        : tr("已备份到 %1（仅普通参数）").arg(path));
    });
}

std::optional<PB::Backup> ParameterBackupWindow::loadFile(const QString &title)
{
    const QString path = FileDialogSeam::getOpenFileName(this, title, defaultDataDirectory(), tr("参数备份 (*.json)"));
    if (path.isEmpty())
        return std::nullopt;
    QFile file(path);
    QString error = regularFileProblem(path);
    std::optional<PB::Backup> backup;
    // A backup is a few kilobytes; anything far larger is not one.
    if (error.isEmpty() && !file.open(QIODevice::ReadOnly))
        error = file.errorString();
    else if (error.isEmpty() && file.size() > (1 << 20))
        error = tr("不是参数备份文件");
    else if (error.isEmpty())
        backup = PB::fromJson(file.readAll(), error);
    if (!backup)
        MessageBoxSeam::warning(this, tr("错误提示"), tr("%1 无法读取：%2").arg(path, error));
    return backup;
}

void ParameterBackupWindow::compareFileWithController()
{
    const std::optional<quint8> address = chosen(ui->combo_device);
    if (!address)
        return;
    std::optional<PB::Backup> saved = loadFile(tr("选择参数备份"));
    if (!saved)
        return;
    Side left{*saved, tr("备份：设备%1 %2").arg(saved->address).arg(saved->time.toString(QStringLiteral("yyyy-MM-dd HH:mm"))), false};
    setBusy(true, tr("正在读取设备%1的参数…").arg(*address));
    readController(*address, [this, left](std::optional<PB::Backup> live, const QString &error) {
        setBusy(false);
        if (!live) {
            MessageBoxSeam::warning(this, tr("错误提示"), error);
            return;
        }
        showComparison(left, Side{*live, tr("设备%1（当前）").arg(live->address), true});
    });
}

void ParameterBackupWindow::compareControllers()
{
    const std::optional<quint8> source = chosen(ui->combo_other);
    const std::optional<quint8> target = chosen(ui->combo_device);
    if (!source || !target)
        return;
    setBusy(true, tr("正在读取设备%1的参数…").arg(*source));
    readController(*source, [this, target](std::optional<PB::Backup> first, const QString &error) {
        if (!first) {
            setBusy(false);
            MessageBoxSeam::warning(this, tr("错误提示"), error);
            return;
        }
        const Side left{*first, tr("设备%1").arg(first->address), false};
        setBusy(true, tr("正在读取设备%1的参数…").arg(*target));
        readController(*target, [this, left](std::optional<PB::Backup> second, const QString &error2) {
            setBusy(false);
            if (!second) {
                MessageBoxSeam::warning(this, tr("错误提示"), error2);
                return;
            }
            showComparison(left, Side{*second, tr("设备%1（当前）").arg(second->address), true});
        });
    });
}

void ParameterBackupWindow::compareFiles()
{
    std::optional<PB::Backup> first = loadFile(tr("选择参数备份 A"));
    if (!first)
        return;
    std::optional<PB::Backup> second = loadFile(tr("选择参数备份 B"));
    if (!second)
        return;
    showComparison(Side{*first, tr("A：设备%1").arg(first->address), false},
                   Side{*second, tr("B：设备%1").arg(second->address), false});
}

void ParameterBackupWindow::showComparison(const Side &left, const Side &right)
{
    m_left = left;
    m_right = right;
    m_rows = PB::compare(left.backup, right.backup);
    QTableWidget *table = ui->table_rows;
    table->setRowCount(0);
    table->setHorizontalHeaderItem(LeftColumn, new QTableWidgetItem(left.label));
    table->setHorizontalHeaderItem(RightColumn, new QTableWidgetItem(right.label));
    const bool clone = left.backup.address != right.backup.address;
    int differing = 0;
    for (const PB::Row &row : m_rows) {
        const PB::Parameter &parameter = *row.parameter;
        const int at = table->rowCount();
        table->insertRow(at);
        auto *tick = new QTableWidgetItem;
        const bool writable = right.live && row.differs && row.left && PB::restorable(parameter) &&
                              !(clone && parameter.role == PB::Role::Address);
        tick->setFlags(writable ? Qt::ItemIsEnabled | Qt::ItemIsUserCheckable : Qt::ItemFlags());
        if (writable)
            tick->setCheckState(PB::tickedByDefault(parameter) ? Qt::Checked : Qt::Unchecked);
        tick->setData(Qt::UserRole, QLatin1String(parameter.name));
        table->setItem(at, TickColumn, tick);
        table->setItem(at, CaptionColumn, new QTableWidgetItem(shownCaption(parameter)));
        table->setItem(at, RegisterColumn, new QTableWidgetItem(QStringLiteral("0x%1").arg(parameter.reg, 4, 16, QLatin1Char('0'))));
        table->setItem(at, LeftColumn, new QTableWidgetItem(row.left ? PB::shown(parameter, *row.left) : tr("（无）")));
        table->setItem(at, RightColumn, new QTableWidgetItem(row.right ? PB::shown(parameter, *row.right) : tr("（无）")));
        if (row.differs) {
            ++differing;
            for (int column = CaptionColumn; column <= RightColumn; ++column)
                table->item(at, column)->setBackground(QColor(255, 230, 150));
        }
    }
    foldEqualRows();
    setBusy(false, tr("%1 项不同").arg(differing));
}

void ParameterBackupWindow::foldEqualRows()
{
    for (int at = 0; at < m_rows.size() && at < ui->table_rows->rowCount(); ++at)
        ui->table_rows->setRowHidden(at, ui->check_foldEqual->isChecked() && !m_rows.at(at).differs);
}

QMap<QString, bool> ParameterBackupWindow::ticks() const
{
    QMap<QString, bool> ticks;
    for (int at = 0; at < ui->table_rows->rowCount(); ++at) {
        const QTableWidgetItem *tick = ui->table_rows->item(at, TickColumn);
        if (tick->flags() & Qt::ItemIsUserCheckable)
            ticks.insert(tick->data(Qt::UserRole).toString(), tick->checkState() == Qt::Checked);
    }
    return ticks;
}

QString ParameterBackupWindow::restoreRefusal(quint8 address) const
{
    if (!m_model->isOnline(address))
        return tr("设备%1不在线").arg(address);
    const Driver driver = m_model->driverOf(address);
    if (!driver.isNone())
        return tr("设备%1正由%2控制").arg(address).arg(driver.name());
    for (int kind : {1, 2}) {
        const std::optional<float> held = m_model->heldSetpoint(address, kind);
        if (held && *held > 0)
            return tr("设备%1的设定值为%2，请先设为0").arg(address).arg(double(*held));
    }
    return QString();
}

void ParameterBackupWindow::restore()
{
    if (!m_right.live)
        return;
    const quint8 address = quint8(m_right.backup.address);
    Restoring restoring;
    restoring.address = address;
    const QMap<QString, bool> ticked = ticks();
    for (const PB::Row &row : m_rows) {
        if (ticked.value(QLatin1String(row.parameter->name)))
            restoring.rows.append(row);
    }
    if (restoring.rows.isEmpty()) {
        MessageBoxSeam::information(this, tr("提示"), tr("没有勾选要写入的参数"));
        return;
    }
    const int fromAddress = m_left.backup.address;
    const QString refusal = restoreRefusal(address);
    if (!refusal.isEmpty()) {
        emit restoreAsked(address, fromAddress, restoring.rows, refusal);
        MessageBoxSeam::warning(this, tr("提示"), tr("不能写入参数：%1").arg(refusal));
        return;
    }
    if (MessageBoxSeam::question(this, tr("确认"), tr("向设备%1写入%2项参数？").arg(address).arg(restoring.rows.size())) !=
        QMessageBox::Yes)
        return;
    // Checked again: the question may have stood open while a programme started.
    const QString late = restoreRefusal(address);
    emit restoreAsked(address, fromAddress, restoring.rows, late);
    if (!late.isEmpty()) {
        MessageBoxSeam::warning(this, tr("提示"), tr("不能写入参数：%1").arg(late));
        return;
    }
    for (const PB::Row &row : restoring.rows) {
        const PB::Parameter &parameter = *row.parameter;
        const double value = row.left->value;
        const bool isFloat = PB::writeTarget(parameter).encoding == RegisterMap::Encoding::Float;
        const int dataType = isFloat ? 2 : 1;
        const int data1 = int(std::lround(value));
        if (parameter.level == PB::Level::Ordinary)
            m_worker->requestOrdinaryWrite(address, parameter.writeType, dataType, data1, float(value));
        else
            m_worker->requestAdminWrite(address, parameter.writeType, dataType, data1, float(value));
        restoring.awaiting.insert(outcomeKey(parameter.level, parameter.writeType));
    }
    m_restoring = restoring;
    setBusy(true, tr("正在写入设备%1…").arg(address));
    m_deadline.start(ExchangeDeadlineMs);
}

void ParameterBackupWindow::takeOutcome(bool success, int type, bool administratorWrite)
{
    if (!m_restoring)
        return;
    const QString outcome = outcomeKey(administratorWrite ? PB::Level::Administrator : PB::Level::Ordinary, type);
    if (!m_restoring->awaiting.remove(outcome))
        return;
    if (success)
        m_restoring->written.insert(outcome);
    if (m_restoring->awaiting.isEmpty())
        finishWrites();
}

void ParameterBackupWindow::finishWrites()
{
    m_deadline.stop();
    const Restoring restoring = *m_restoring;
    m_restoring.reset();
    // Nothing counts as done until the controller reads it back.
    readController(restoring.address, [this, restoring](std::optional<PB::Backup> now, const QString &error) {
        QStringList verified;
        QStringList failed;
        for (const PB::Row &row : restoring.rows) {
            const PB::Parameter &parameter = *row.parameter;
            const QString name = QLatin1String(parameter.name);
            const bool sameNow = now && now->values.contains(name) &&
                                 PB::shown(parameter, now->values.value(name)) == PB::shown(parameter, *row.left);
            if (restoring.written.contains(outcomeKey(parameter.level, parameter.writeType)) && sameNow)
                verified << name;
            else
                failed << name;
        }
        emit restoreEnded(restoring.address, verified, failed, now ? QString() : error);
        QStringList failedCaptions;
        for (const QString &name : qAsConst(failed))
            failedCaptions << shownCaption(*PB::find(name));
        setBusy(false);
        QString summary = tr("设备%1：写入 %2，校验 %3，失败 %4")
                              .arg(restoring.address)
                              .arg(restoring.written.size())
                              .arg(verified.size())
                              .arg(failed.size());
        if (!failed.isEmpty())
            summary += QLatin1Char('\n') + tr("失败：%1").arg(failedCaptions.join(tr("、")));
        if (!now)
            summary += QLatin1Char('\n') + error;
        if (now)
            showComparison(m_left, Side{*now, tr("设备%1（当前）").arg(now->address), true});
        if (failed.isEmpty())
            MessageBoxSeam::information(this, tr("参数写入"), summary);
        else
            MessageBoxSeam::warning(this, tr("参数写入"), summary);
    });
}
