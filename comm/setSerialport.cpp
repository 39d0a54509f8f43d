#include "setSerialport.h"

#include "BusCodes.h"
#include "MessageBoxSeam.h"
#include "ui_setSerialport.h"

#include <QAbstractItemView>
#include <QDateTime>
#include <QLineEdit>
#include <iostream>

namespace {
const char *const captionOpen = QT_TRANSLATE_NOOP("setSerialport", "打开");
const char *const captionOpened = QT_TRANSLATE_NOOP("setSerialport", "已打开");
const char *const captionClosed = QT_TRANSLATE_NOOP("setSerialport", "已关闭");
const QString styleRed = QStringLiteral("QPushButton { background-color: red; }");
const QString styleGreen = QStringLiteral("QPushButton { background-color: limegreen; }");
} // namespace

setSerialport::setSerialport(QWidget *parent) : QWidget(parent), ui(new Ui::setSerialport)
{
    ui->setupUi(this);
    m_caption = captionOpen; // as the form has it
    setWindowFlags(Qt::Window | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    // A path like /dev/serial/by-id/usb-…-port0 names the device at its end, and the box is narrow.
    ui->combox_port->view()->setTextElideMode(Qt::ElideLeft);
    connect(ui->combox_port, &QComboBox::currentTextChanged, this, &setSerialport::showPortInFull);
}

setSerialport::~setSerialport()
{
    delete ui;
}

void setSerialport::on_btn_open_clicked()
{
    const QString name = ui->combox_port->currentText();
    const int baudRate = ui->combox_baud->currentText().toInt(nullptr, 10);
    if (m_caption == captionOpen) {
        // A second open queued behind the first would fail on the open port and turn the button
        // back to "打开", leaving the operator no way to close it.
        if (m_openPending)
            return;
        m_openPending = true;
        emit sig_openSer(Bus::code(Bus::PortRequest::Open), name, baudRate);
    } else {
        emit sig_openSer(Bus::code(Bus::PortRequest::Close), name, baudRate);
        showButton(captionOpen, styleRed);
    }
    m_lastPort = name;
}

void setSerialport::slot_refreshSerCombox(QList<QSerialPortInfo> ports)
{
    std::cout << "进入串口配置类是"
              << QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString()
              << std::endl;
    QStringList names;
    for (const QSerialPortInfo &port : ports)
        names.append(port.portName());
    refreshPortNames(names);
}

void setSerialport::refreshPortNames(const QStringList &names)
{
    ui->combox_port->clear();
    // The port used last stays on top and selected, even when the system no longer lists it.
    if (!m_lastPort.isEmpty())
        ui->combox_port->addItem(m_lastPort);
    for (const QString &name : names) {
        if (name != m_lastPort)
            ui->combox_port->addItem(name);
    }
    for (const QString &name : qAsConst(m_openedPorts)) {
        if (name != m_lastPort && !names.contains(name))
            ui->combox_port->addItem(name);
    }
    for (int i = 0; i < ui->combox_port->count(); ++i)
        ui->combox_port->setItemData(i, ui->combox_port->itemText(i), Qt::ToolTipRole);
    showPortInFull(ui->combox_port->currentText());
}

void setSerialport::showPortInFull(const QString &name)
{
    ui->combox_port->setToolTip(name);
    if (!ui->combox_port->lineEdit()->hasFocus())
        ui->combox_port->lineEdit()->setCursorPosition(name.size());
}

void setSerialport::setOpenFailureReason(const QString &reason)
{
    m_openFailureReason = reason;
}

void setSerialport::showFailure()
{
    QString text = tr("串口打开失败");
    // The worker's own reasons are marked for translation in this context; the system's pass as they are.
    if (!m_openFailureReason.isEmpty())
        text += QLatin1Char('\n') + tr(m_openFailureReason.toUtf8().constData());
    const bool denied = m_openFailureReason.contains(QStringLiteral("permission"), Qt::CaseInsensitive) ||
                        m_openFailureReason.contains(QStringLiteral("权限"));
    if (denied)
        text += QLatin1Char('\n') + tr("当前用户没有使用串口的权限：请管理员把该用户加入 dialout 组"
                                       "（sudo usermod -aG dialout 用户名），重新登录后再试");
    m_openFailureReason.clear();
    MessageBoxSeam::information(this, tr("提示"), text);
}

void setSerialport::slot_ser_status(int status)
{
    m_openPending = false;
    switch (Bus::PortStatus(status)) {
    case Bus::PortStatus::Opened:
        showButton(captionOpened, styleGreen);
        if (!m_lastPort.isEmpty() && !m_openedPorts.contains(m_lastPort))
            m_openedPorts.append(m_lastPort);
        break;
    case Bus::PortStatus::Closed:
        showButton(captionClosed, styleGreen);
        break;
    case Bus::PortStatus::OpenFailed:
        showFailure();
        showButton(captionOpen, QString());
        break;
    default:
        break;
    }
}

void setSerialport::showButton(const char *caption, const QString &style)
{
    m_caption = caption;
    ui->btn_open->setText(tr(caption));
    ui->btn_open->setStyleSheet(style);
}
