#include "DiagnosticsWiring.h"

#include "BusHealthWindow.h"
#include "DeviceThread.h"
#include "lossWidget.h"
#include "mainWnd.h"

void DiagnosticsWiring::connect(mainWnd &window)
{
    DeviceThread *worker = window.worker();
    lossWidget *loss = window.lossWnd;
    QObject::connect(loss, &lossWidget::sig_clearloss, worker, &DeviceThread::slot_clearLoss);
    QObject::connect(worker, &DeviceThread::sig_count_loss, loss, &lossWidget::receiveLoss);
    QObject::connect(loss, &lossWidget::commSet, worker, &DeviceThread::setCommParam);
    QObject::connect(loss, &lossWidget::getCommSet, worker, &DeviceThread::slot_getCommara);
    QObject::connect(worker, &DeviceThread::sig_CommParam, loss, &lossWidget::receiveCommSet);
    window.healthWnd->attach(worker);
}
