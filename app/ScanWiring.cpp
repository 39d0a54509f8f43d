#include "ScanWiring.h"

#include "DeviceThread.h"
#include "mainWnd.h"
#include "saveFileSetWidget.h"
#include "setSerialport.h"

void ScanWiring::connect(mainWnd &window)
{
    DeviceThread *worker = window.worker();
    setSerialport *serial = window.serialWnd;
    QObject::connect(&window, &mainWnd::refreshSer, worker, &DeviceThread::slot_refresdhSer);
    QObject::connect(worker, &DeviceThread::sig_refreshSerCombox, serial, &setSerialport::slot_refreshSerCombox);
    QObject::connect(serial, &setSerialport::sig_openSer, worker, &DeviceThread::slot_openSer);
    QObject::connect(worker, &DeviceThread::signal_ser_status, serial, &setSerialport::slot_ser_status);
    QObject::connect(worker, &DeviceThread::signal_ser_status, &window, &mainWnd::updateSerStatus);
    QObject::connect(worker, &DeviceThread::sig_scanResult, &window, &mainWnd::showScanResult);
    QObject::connect(&window, &mainWnd::sendDeviceCount, &window, &mainWnd::receiveDevicesCount);
    QObject::connect(&window, &mainWnd::sendDeviceCount, window.saveWnd, &saveFileSetWidget::updateDeviceList);
    QObject::connect(&window, &mainWnd::sendDeviceCount, &window, &mainWnd::slot_receiveStageWidget);
    QObject::connect(&window, &mainWnd::sendDeviceCount, worker, &DeviceThread::slot_checkDevices);
    QObject::connect(worker, &DeviceThread::sig_linkLost, &window, &mainWnd::showLinkLost);
    // Emitted just before status 3, so the failure box can name the system's reason.
    QObject::connect(worker, &DeviceThread::sig_openFailed, serial, &setSerialport::setOpenFailureReason);
    QObject::connect(worker, &DeviceThread::sig_portClosed, &window, &mainWnd::showPortClosed);
}
