#pragma once

#include "ParameterWindow.h"

#include <QByteArray>

namespace Ui {
class setDeviceParamWin;
}

// The ordinary parameter window: an operator reads and changes one controller's settings (gas
// coefficient, backlight, delays, alarms, power-loss saving, bus address) and clears its
// cumulative flow. It never touches the bus: requests go out as signals, results come back in.
class setDeviceParamWin : public ParameterWindow
{
    Q_OBJECT

public:
    explicit setDeviceParamWin(QWidget *parent = nullptr);
    ~setDeviceParamWin() override;

    // The last values read for the two selectors.
    int powerOffValue() const { return selectorValue(PowerOffCode); }
    int alarmLevelValue() const { return selectorValue(AlarmLevelCode); }

signals:
    void sig_modifyDeviceParam(uchar deviceId, int type, int data_type, int data1, float data2);
    void sigshowDeviceParam(int index);

public slots:
    void slot_param_result(int type, int deviceId, QByteArray result);
    // `adress` is the write type.
    void slot_modifyStatus(bool sucess, int adress);

private slots:
    void onReturnPressed() override;
    void on_comboBox_currentIndexChanged(int index);
    void on_pushButton_clicked();
    void on_pushButton_3_clicked();
    void on_combox__poweroff_currentIndexChanged(int index);
    void on_combox_alarm_level_activated(int index);

private:
    static constexpr int PowerOffCode = 4;
    static constexpr int AlarmLevelCode = 8;

    void requestRead(int address) override;
    void requestWrite(quint8 address, const ParameterCodes::Write &write) override;

    Ui::setDeviceParamWin *ui;
};
