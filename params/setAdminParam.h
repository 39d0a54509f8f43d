#pragma once

#include "DeviceComboList.h"

#include <QByteArray>
#include <QList>
#include <QWidget>

namespace Ui {
class setAdminParam;
}

// The administrator parameter window of one controller. For now it lists the controllers found by the
// last scan; the parameter fields, their reads and writes arrive with the parameter feature.
class setAdminParam : public QWidget
{
    Q_OBJECT

public:
    explicit setAdminParam(QWidget *parent = nullptr);
    ~setAdminParam() override;

    // The addresses offered in the selector, placeholder excluded.
    QList<quint8> listedDevices() const { return m_devices.devices(); }

signals:
    void sigshowAdminParam(int deviceId);
    void sig_modifyAdminParam(uchar deviceId, int type, int data_type, int data1, float data2);

public slots:
    // A new scan starts: only the placeholder "选择设备" is left.
    void clearCombox();
    // A scan found this address; an address already listed is not added again.
    void slot_isBeenFindDevice(uchar deviceId);
    void slot_modifyStatus(bool sucess, int adress);
    void slot_param_result(int type, int deviceId, QByteArray result);

private:
    Ui::setAdminParam *ui;
    DeviceComboList m_devices;
};
