#pragma once

#include "DeviceComboList.h"

#include <QByteArray>
#include <QList>
#include <QWidget>

namespace Ui {
class setDeviceParamWin;
}

// The ordinary parameter window of one controller. For now it lists the controllers found by the
// last scan; the parameter fields, their reads and writes arrive with the parameter feature.
class setDeviceParamWin : public QWidget
{
    Q_OBJECT

public:
    explicit setDeviceParamWin(QWidget *parent = nullptr);
    ~setDeviceParamWin() override;

    // The addresses offered in the selector, placeholder excluded.
    QList<quint8> listedDevices() const { return m_devices.devices(); }

signals:
    void sigshowDeviceParam(int index);
    void sig_modifyDeviceParam(uchar deviceId, int type, int data_type, int data1, float data2);

public slots:
    // A new scan starts: only the placeholder "选择设备" is left.
    void clearCombox();
    // A scan found this address; an address already listed is not added again.
    void slot_isBeenFindDevice(uchar deviceId);
    void slot_modifyStatus(bool sucess, int adress);
    void slot_param_result(int type, int deviceId, QByteArray result);

private:
    Ui::setDeviceParamWin *ui;
    DeviceComboList m_devices;
};
