#pragma once

#include "ParameterWindow.h"

#include <QByteArray>

class QPushButton;

namespace Ui {
class setAdminParam;
}

// The administrator parameter window: baud rate, active output, control terms, input filter,
// menu passwords of one controller, and its one-shot commands (factory initialisation, flow
// zeroing, cleaning, analog input calibration). Shown only after the administrator login.
class setAdminParam : public ParameterWindow
{
    Q_OBJECT

public:
    explicit setAdminParam(QWidget *parent = nullptr);
    ~setAdminParam() override;

    // The baud-rate index last read or chosen, and the active output last read.
    int baudIndex() const { return selectorValue(BaudCode); }
    int activeOutputValue() const { return selectorValue(ActiveOutputCode); }

signals:
    void sig_modifyAdminParam(uchar deviceId, int type, int data_type, int data1, float data2);
    void sigshowAdminParam(int deviceId);

public slots:
    void onReturnPressed() override;
    void slot_param_result(int type, int deviceId, QByteArray result);
    // `adress` is the code.
    void slot_modifyStatus(bool sucess, int adress);

private slots:
    void on_combox_deviceId_currentIndexChanged(int index);
    void on_pushButton_3_clicked();
    void on_pushButton_clicked();
    void on_pushButton_2_clicked();
    void on_pushButton_4_clicked();
    void on_pushButton_5_clicked();
    void on_pushButton_6_clicked();
    void on_comboBox_currentIndexChanged(int index);
    void on_comboBox_2_currentIndexChanged(int index);

private:
    static constexpr int BaudCode = 1;
    static constexpr int ActiveOutputCode = 3;

    void requestRead(int address) override;
    void requestWrite(quint8 address, const ParameterCodes::Write &write) override;
    bool sendCommand(int code);
    // A command that cannot be taken back: sent only when the operator confirms it.
    void sendConfirmedCommand(int code, const QPushButton *button);
    void showCleaningOn(bool on);
    void reactToOutcome(bool success, int code);

    Ui::setAdminParam *ui;
    int m_latestCleaning = 0; // the code of the cleaning command sent last
    // The cleaning button shows "清洗关闭" (cleaning is on) rather than "清洗打开"; its caption
    // changes with the language, this does not.
    bool m_cleaningShownOn = false;
};
