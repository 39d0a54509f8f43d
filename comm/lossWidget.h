#pragma once

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
    // Setting codes shared with the worker.
    enum Setting
    {
        QueryPeriod = 1,
        QueryPause = 2,
        ReplyTimeout = 3
    };
    // Loss report codes.
    enum Report
    {
        BusUsage = 1,
        LostTotal = 2
    };
    // Shorter pauses between queries leave a controller no time to turn the line around.
    static constexpr int minimumPause = 5;

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

    Ui::lossWidget *ui;
};
