#include "stageControlWidget.h"

#include "itemStageControl.h"
#include "ui_stageControlWidget.h"

#include <QDebug>

stageControlWidget::stageControlWidget(QWidget *parent) : QWidget(parent), ui(new Ui::stageControlWidget)
{
    ui->setupUi(this);
    for (int k = 0; k < ItemCount; ++k) {
        auto *item = new itemStageControl(this);
        item->setObjectName(QStringLiteral("item_%1").arg(k));
        ui->layout_items->addWidget(item, 0);
        connect(item, &itemStageControl::sig_item_excStep, this, &stageControlWidget::slot_excuStep);
        m_items.append(item);
    }
}

stageControlWidget::~stageControlWidget()
{
    delete ui;
}

void stageControlWidget::slot_excuStep(uchar id, float data)
{
    qDebug() << "执行一次" << data << "的流量"
             << "\n";
    emit sig_excuteStep(id, data);
}
