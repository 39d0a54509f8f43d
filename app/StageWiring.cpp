#include "StageWiring.h"

#include "DeviceThread.h"
#include "mainWnd.h"
#include "stageControlWidget.h"

void StageWiring::connect(mainWnd &window)
{
    DeviceThread *worker = window.worker();
    stageControlWidget *page = window.stagePage();
    QObject::connect(page, &stageControlWidget::sig_stratStep, worker, &DeviceThread::slot_startStep);
    QObject::connect(page, &stageControlWidget::sig_excuteStep, worker, &DeviceThread::slot_excuteStep);
}
