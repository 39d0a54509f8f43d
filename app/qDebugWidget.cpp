#include "qDebugWidget.h"

#include "MessageLog.h"
#include "ui_qDebugWidget.h"

qDebugWidget::qDebugWidget(QWidget *parent) : QWidget(parent), ui(new Ui::qDebugWidget)
{
    ui->setupUi(this);
    LogSink::instance().attach(ui->textEdit);
}

qDebugWidget::~qDebugWidget()
{
    LogSink::instance().detach(ui->textEdit);
    delete ui;
}

void qDebugWidget::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    LogSink::instance().drain();
}

void qDebugWidget::on_pushButton_clicked()
{
    emit sig_closeDebug();
}
