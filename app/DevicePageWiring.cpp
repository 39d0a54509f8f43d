#include "DevicePageWiring.h"

#include "DeviceThread.h"
#include "deviceWindow.h"
#include "mainWnd.h"

void DevicePageWiring::connect(mainWnd &window)
{
    DeviceThread *worker = window.worker();
    deviceWindow *page = window.devicePage();
    QObject::connect(page, &deviceWindow::sig_onlineDevice, worker, &DeviceThread::slot_onlineDevice);
    QObject::connect(worker, &DeviceThread::refreshDeviceMode, &window, &mainWnd::slot_refreshDeviceMode);
    QObject::connect(worker, &DeviceThread::deviceconnectStatus, &window, &mainWnd::slot_deviceISconnectd);
    QObject::connect(worker, &DeviceThread::sig_setpointRead, &window, &mainWnd::showSetpointReadBack);
    QObject::connect(page, &deviceWindow::request_show_cumSet, worker, &DeviceThread::slot_showFlowResult);
    QObject::connect(&window, &mainWnd::showsCurCumset, page, &deviceWindow::slot_showFlowSetValue);
    QObject::connect(page, &deviceWindow::requestShowMode, worker, &DeviceThread::slot_responseShowMode);
    QObject::connect(&window, &mainWnd::sig_refresdDevicedSta, page, &deviceWindow::refreshDeviceStatus);
    // The row before the chart (HistoryWiring): both take the same reading.
    QObject::connect(worker, &DeviceThread::sig_reading, &window, &mainWnd::showReadingInRow);
    QObject::connect(page, &deviceWindow::sig_sendBaseParam, &window, &mainWnd::requestSetpointWrite);
    QObject::connect(page, &deviceWindow::sig_setFlow, &window, &mainWnd::logFlowSet);
    QObject::connect(worker, &DeviceThread::sig_setpointWritten, &window, &mainWnd::showSetpointWritten);
    QObject::connect(worker, &DeviceThread::sig_setpointGivenUp, &window, &mainWnd::showSetpointGivenUp);
}
