#include "itemStageControl.h"

#include "ui_itemStageControl.h"

#include <QPalette>

itemStageControl::itemStageControl(QWidget *parent) : QWidget(parent), ui(new Ui::itemStageControl)
{
    ui->setupUi(this);
    QPalette background = palette();
    background.setColor(QPalette::Window, QColor(250, 250, 250));
    setPalette(background);
}

itemStageControl::~itemStageControl()
{
    delete ui;
}

void itemStageControl::setDeviceId(quint8 deviceId)
{
    ui->edit_deviceId->setText(QString::number(deviceId));
}

QString itemStageControl::deviceIdText() const
{
    return ui->edit_deviceId->text();
}

int itemStageControl::deviceId() const
{
    return deviceIdText().toInt(nullptr, 10);
}

bool itemStageControl::hasUsableDevice() const
{
    bool converts = false;
    deviceIdText().toInt(&converts, 10);
    return converts;
}
