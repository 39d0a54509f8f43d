#include "setSerialport.h"

#include "MessageBoxSeam.h"
#include "ui_setSerialport.h"

#include <QDateTime>
#include <iostream>

namespace {
const QString captionOpen = QStringLiteral("打开");
const QString captionOpened = QStringLiteral("已打开");
const QString captionClosed = QStringLiteral("已关闭");
const QString styleRed = QStringLiteral("QPushButton { background-color: red; }");
const QString styleGreen = QStringLiteral("QPushButton { background-color: limegreen; }");
} // namespace

setSerialport::setSerialport(QWidget *parent) : QWidget(parent), ui(new Ui::setSerialport)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Window | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
}

setSerialport::~setSerialport()
{
    delete ui;
}

void setSerialport::on_btn_open_clicked()
{
    const QString name = ui->combox_port->currentText();
    const int baudRate = ui->combox_baud->currentText().toInt(nullptr, 10);
    if (ui->btn_open->text() == captionOpen) {
        emit sig_openSer(OpenPort, name, baudRate);
    } else {
        emit sig_openSer(ClosePort, name, baudRate);
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
}

void setSerialport::slot_ser_status(int status)
{
    switch (status) {
    case Opened:
        showButton(captionOpened, styleGreen);
        break;
    case Closed:
        showButton(captionClosed, styleGreen);
        break;
    case OpenFailed:
        MessageBoxSeam::information(this, QStringLiteral("提示"), QStringLiteral("串口打开失败"));
        showButton(captionOpen, QString());
        break;
    default:
        break;
    }
}

void setSerialport::showButton(const QString &caption, const QString &style)
{
    ui->btn_open->setText(caption);
    ui->btn_open->setStyleSheet(style);
}
