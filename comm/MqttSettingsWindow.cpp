#include "MqttSettingsWindow.h"
#include "ui_MqttSettingsWindow.h"

#include "FileDialogSeam.h"
#include "MessageBoxSeam.h"

MqttSettingsWindow::MqttSettingsWindow(QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::MqttSettingsWindow>())
{
    ui->setupUi(this);
    connect(ui->check_remote, &QCheckBox::clicked, this, &MqttSettingsWindow::onRemoteClicked);
    connect(ui->btn_cafile, &QPushButton::clicked, this, &MqttSettingsWindow::chooseCaFile);
    connect(ui->btn_ok, &QPushButton::clicked, this, &MqttSettingsWindow::accept);
    connect(ui->btn_cancel, &QPushButton::clicked, this, &MqttSettingsWindow::cancel);
    setSettings(MqttSettings(), false);
}

MqttSettingsWindow::~MqttSettingsWindow() = default;

void MqttSettingsWindow::setSettings(const MqttSettings &settings, bool keepPassword)
{
    m_applied = settings;
    m_appliedKeepPassword = keepPassword;
    ui->edit_host->setText(settings.host);
    ui->spin_port->setValue(settings.port);
    ui->edit_user->setText(settings.user);
    ui->edit_password->setText(settings.password);
    ui->check_savePassword->setChecked(keepPassword);
    ui->edit_cafile->setText(settings.caFile);
    ui->edit_prefix->setText(settings.prefix);
    ui->check_publish->setChecked(settings.publish);
    ui->check_remote->setChecked(settings.allowSetpoints);
}

MqttSettings MqttSettingsWindow::settings() const
{
    MqttSettings settings;
    settings.host = ui->edit_host->text().trimmed();
    settings.port = ui->spin_port->value();
    settings.user = ui->edit_user->text();
    settings.password = ui->edit_password->text();
    settings.caFile = ui->edit_cafile->text().trimmed();
    settings.prefix = MqttSettings::cleanPrefix(ui->edit_prefix->text());
    settings.publish = ui->check_publish->isChecked();
    settings.allowSetpoints = ui->check_remote->isChecked();
    return settings;
}

bool MqttSettingsWindow::keepPassword() const
{
    return ui->check_savePassword->isChecked();
}

// Remote setpoints steer gas flows from elsewhere: only an administrator turns them on.
void MqttSettingsWindow::onRemoteClicked(bool checked)
{
    if (!checked)
        return;
    ui->check_remote->setChecked(false);
    emit adminPasswordNeeded();
}

void MqttSettingsWindow::grantRemoteSetpoints(bool granted)
{
    ui->check_remote->setChecked(granted);
}

void MqttSettingsWindow::showConnection(const QString &text)
{
    ui->label_status->setText(text);
}

void MqttSettingsWindow::chooseCaFile()
{
    const QString file = FileDialogSeam::getOpenFileName(this, tr("选择CA证书文件"), ui->edit_cafile->text(),
                                                         tr("Certificates (*.crt *.pem);;All files (*)"));
    if (!file.isEmpty())
        ui->edit_cafile->setText(file);
}

void MqttSettingsWindow::accept()
{
    const MqttSettings chosen = settings();
    if (chosen.prefix.isEmpty()) {
        MessageBoxSeam::warning(this, tr("错误提示"), tr("主题前缀不能为空，也不能含有 + 或 #"));
        return;
    }
    if (chosen.publish && chosen.host.isEmpty()) {
        MessageBoxSeam::warning(this, tr("错误提示"), tr("请填写代理服务器地址"));
        return;
    }
    m_applied = chosen;
    m_appliedKeepPassword = keepPassword();
    ui->edit_prefix->setText(chosen.prefix);
    emit applied(chosen, m_appliedKeepPassword);
    hide();
}

void MqttSettingsWindow::cancel()
{
    setSettings(m_applied, m_appliedKeepPassword);
    hide();
}
