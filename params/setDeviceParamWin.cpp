#include "setDeviceParamWin.h"

#include "ui_setDeviceParamWin.h"

#include <QDebug>

setDeviceParamWin::setDeviceParamWin(QWidget *parent)
    : QWidget(parent), ui(new Ui::setDeviceParamWin), m_devices(nullptr)
{
    ui->setupUi(this);
    m_devices = DeviceComboList(ui->comboBox);
}

setDeviceParamWin::~setDeviceParamWin()
{
    delete ui;
}

void setDeviceParamWin::clearCombox()
{
    m_devices.clear();
}

void setDeviceParamWin::slot_isBeenFindDevice(uchar deviceId)
{
    m_devices.add(deviceId);
}

void setDeviceParamWin::slot_modifyStatus(bool sucess, int adress)
{
    // No field can issue a write yet, so there is no field to mark.
    Q_UNUSED(sucess)
    Q_UNUSED(adress)
}

void setDeviceParamWin::slot_param_result(int type, int deviceId, QByteArray result)
{
    // The fields that show read results arrive with the parameter feature.
    Q_UNUSED(deviceId)
    Q_UNUSED(result)
    qDebug() << "type:" << type;
}
