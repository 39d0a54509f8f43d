#pragma once

#include <QWidget>

namespace Ui {
class itemStageControl;
}

// Holds the staged flow programme of one controller. For now it carries only the controller's
// bus address; the step table and its run timers join it with the staged-run feature.
class itemStageControl : public QWidget
{
    Q_OBJECT

public:
    explicit itemStageControl(QWidget *parent = nullptr);
    ~itemStageControl() override;

    // The main window writes the found address here, in decimal.
    void setDeviceId(quint8 deviceId);
    QString deviceIdText() const;
    // The widget's device: the field's base-10 integer, 0 when empty or not a number.
    int deviceId() const;
    // True when the field is not empty and converts as a base-10 integer.
    bool hasUsableDevice() const;

signals:
    void sig_item_excStep(uchar in, float data);
    void sig_item_finish();

private:
    Ui::itemStageControl *ui;
};
