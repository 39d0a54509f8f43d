#include "DevicePageWiring.h"

#include "BenchModel.h"
#include "RampDriver.h"
#include "BusCodes.h"
#include "DeviceThread.h"
#include "deviceWindow.h"
#include "mainWnd.h"

void DevicePageWiring::connect(mainWnd &window)
{
    DeviceThread *worker = window.worker();
    deviceWindow *page = window.devicePage();
    QObject::connect(page, &deviceWindow::sig_onlineDevice, worker, &DeviceThread::slot_onlineDevice);
    BenchModel *model = window.benchModel();
    QObject::connect(page, &deviceWindow::sig_onlineDevice, model, &BenchModel::noteOnlineRequest);
    QObject::connect(model, &BenchModel::stateChanged, &window, &mainWnd::showControllerState);
    QObject::connect(window.ramps(), &RampDriver::rampChanged, &window, &mainWnd::showRamp);
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
    // A programme's steps and a stop's 0 show in the row as the operator's own writes do.
    QObject::connect(worker, &DeviceThread::sig_stepWritten, &window, [&window](int deviceId, float value) {
        window.showSetpointWritten(Bus::code(Bus::SetpointKind::Instant), deviceId, value);
    });
}
