#include "lossWidget.h"

#include "MessageBoxSeam.h"
#include "ui_lossWidget.h"

#include <QDateTime>
#include <QDebug>

lossWidget::lossWidget(QWidget *parent) : QWidget(parent), ui(new Ui::lossWidget)
{
    ui->setupUi(this);
    stampStartTime();
    setWindowFlags(Qt::Window | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
}

lossWidget::~lossWidget()
{
    delete ui;
}

void lossWidget::stampStartTime()
{
    ui->edit_time->setText(QDateTime::currentDateTime().toString(QStringLiteral("yy-MM-dd HH:mm:ss")));
}

void lossWidget::receiveLoss(int type, float result)
{
    if (type == BusUsage)
        ui->edit_bus_rate->setText(QString::number(result, 'f', 3) + QStringLiteral("%"));
    else if (type == LostTotal)
        ui->edit_loss_Statistics->setText(QString::number(result, 'g', 6));
}

void lossWidget::receiveCommSet(int type, int receive)
{
    QString text;
    switch (type) {
    case QueryPeriod:
        text = QStringLiteral("当前查询周期为%1毫秒").arg(receive);
        break;
    case QueryPause:
        // The interval is reported as the pause plus a fixed 5 ms margin, the figure operators know.
        text = QStringLiteral("当前查询间隔%1毫秒").arg(receive + 5);
        break;
    case ReplyTimeout:
        text = QStringLiteral("当前查询等待时间%1毫秒").arg(receive);
        break;
    default:
        return;
    }
    MessageBoxSeam::information(this, QStringLiteral("提示"), text);
}

void lossWidget::on_pushButton_5_clicked()
{
    emit getCommSet(QueryPeriod);
}

void lossWidget::on_pushButton_6_clicked()
{
    emit getCommSet(QueryPause);
}

void lossWidget::on_pushButton_7_clicked()
{
    emit getCommSet(ReplyTimeout);
}

void lossWidget::on_lineEdit_returnPressed()
{
    qDebug() << "点击率查询周期";
    emit commSet(QueryPeriod, ui->lineEdit->text().toInt());
}

void lossWidget::on_lineEdit_2_returnPressed()
{
    emit commSet(QueryPause, qMax(ui->lineEdit_2->text().toInt(), minimumPause));
}

void lossWidget::on_lineEdit_3_returnPressed()
{
    emit commSet(ReplyTimeout, ui->lineEdit_3->text().toInt());
}

void lossWidget::on_pushButton_8_clicked()
{
    ui->lineEdit->clear();
    ui->lineEdit_2->clear();
    ui->lineEdit_3->clear();
    ui->edit_loss_Statistics->clear();
    stampStartTime();
    emit sig_clearloss();
}
