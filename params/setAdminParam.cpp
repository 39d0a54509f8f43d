#include "setAdminParam.h"

#include "ui_setAdminParam.h"

#include <QDebug>

setAdminParam::setAdminParam(QWidget *parent) : QWidget(parent), ui(new Ui::setAdminParam), m_devices(nullptr)
{
    ui->setupUi(this);
    m_devices = DeviceComboList(ui->combox_deviceId);
    setWindowFlags(Qt::Window | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
}

setAdminParam::~setAdminParam()
{
    delete ui;
}

void setAdminParam::clearCombox()
{
    m_devices.clear();
}

void setAdminParam::slot_isBeenFindDevice(uchar deviceId)
{
    m_devices.add(deviceId);
}

void setAdminParam::slot_modifyStatus(bool sucess, int adress)
{
    // No field can issue a write yet, so there is no field to mark.
    Q_UNUSED(sucess)
    Q_UNUSED(adress)
}

void setAdminParam::slot_param_result(int type, int deviceId, QByteArray result)
{
    // The fields that show read results arrive with the parameter feature.
    Q_UNUSED(deviceId)
    Q_UNUSED(result)
    qDebug() << "type:" << type;
}
