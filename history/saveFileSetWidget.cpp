#include "saveFileSetWidget.h"

#include "ui_saveFileSetWidget.h"

saveFileSetWidget::saveFileSetWidget(QWidget *parent) : QWidget(parent), ui(new Ui::saveFileSetWidget)
{
    ui->setupUi(this);
    ui->dateTimeEdit->setDateTime(QDateTime::currentDateTime());
}

saveFileSetWidget::~saveFileSetWidget()
{
    delete ui;
}

QList<quint8> saveFileSetWidget::listedDevices() const
{
    QList<quint8> devices;
    for (int i = 1; i < ui->comboBox->count(); ++i)
        devices.append(static_cast<quint8>(ui->comboBox->itemText(i).toUInt()));
    return devices;
}

void saveFileSetWidget::updateDeviceList(QList<quint8> devices)
{
    while (ui->comboBox->count() > 1)
        ui->comboBox->removeItem(ui->comboBox->count() - 1);
    for (quint8 device : devices)
        ui->comboBox->addItem(QString::number(device));
}
