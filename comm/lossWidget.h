#pragma once

#include "BusCodes.h"

#include <QWidget>

namespace Ui {
class lossWidget;
}

// Shows the bus usage and the lost-query total the worker reports after every polling cycle, and
// passes the operator's communication settings to the worker and its answers back to the operator.
class lossWidget : public QWidget
{
    Q_OBJECT
public:
    // Shorter pauses between queries leave a controller no time to turn the line around.
    static constexpr int minimumPause = 5;

    // What the operator may set, in milliseconds. A read request (8 bytes) and its reply (9 bytes)
    // take 18 ms on the wire at 9600 baud, the slowest rate a controller offers; with the
    // controller's turnaround and a USB adapter's latency a reply timeout under 50 ms cannot work.
    // Every silent address of a scan costs one full timeout and every query one pause, so timeouts
    // beyond 2 s or pauses beyond 1 s stall the bus for the other controllers. The query period
    // only scales the bus-usage figure.
    struct Range
    {
        int lowest;
        int highest;
    };
    static constexpr Range periodRange{100, 60000};
    static constexpr Range pauseRange{minimumPause, 1000};
    static constexpr Range timeoutRange{50, 2000};

    explicit lossWidget(QWidget *parent = nullptr);
    ~lossWidget() override;

signals:
    void commSet(int type, int result);
    void getCommSet(int type);
    void sig_clearloss();

public slots:
    void receiveLoss(int type, float result);
    void receiveCommSet(int type, int receive);

private slots:
    void on_pushButton_5_clicked();
    void on_pushButton_6_clicked();
    void on_pushButton_7_clicked();
    void on_pushButton_8_clicked();
    void on_lineEdit_returnPressed();
    void on_lineEdit_2_returnPressed();
    void on_lineEdit_3_returnPressed();

private:
    void stampStartTime();
    // The field's whole number within the range (a pause at or below the floor is raised to it);
    // anything else gets an error box naming the range, and false.
    bool acceptedSetting(const QString &text, Bus::CommSetting setting, int *value);

    Ui::lossWidget *ui;
};
