#include "ParameterWiring.h"

#include "DeviceThread.h"
#include "mainWnd.h"
#include "setAdminParam.h"
#include "setDeviceParamWin.h"

void ParameterWiring::connect(mainWnd &window)
{
    DeviceThread *worker = window.worker();
    setDeviceParamWin *ordinary = window.ordParamWnd;
    setAdminParam *admin = window.adminParamWnd;
    QObject::connect(&window, &mainWnd::clearCombox, ordinary, &setDeviceParamWin::clearCombox);
    QObject::connect(&window, &mainWnd::clearCombox, admin, &setAdminParam::clearCombox);
    QObject::connect(&window, &mainWnd::isBeenFindDevice, admin, &setAdminParam::slot_isBeenFindDevice);
    QObject::connect(&window, &mainWnd::isBeenFindDevice, ordinary, &setDeviceParamWin::slot_isBeenFindDevice);
    QObject::connect(worker, &DeviceThread::sig_modifyAdminStatus, admin, &setAdminParam::slot_modifyStatus);
    QObject::connect(worker, &DeviceThread::sig_modifyParamStatus, ordinary, &setDeviceParamWin::slot_modifyStatus);
    QObject::connect(ordinary, &setDeviceParamWin::sigshowDeviceParam, &window, &mainWnd::slots_showDeviceParam);
    QObject::connect(worker, &DeviceThread::sig_parameterRead, ordinary, &ParameterWindow::showParameterReply);
    QObject::connect(ordinary, &setDeviceParamWin::sig_modifyDeviceParam, &window, &mainWnd::slot_modifyDeviceParam);
    QObject::connect(admin, &setAdminParam::sigshowAdminParam, &window, &mainWnd::slot_showAdmin);
    QObject::connect(admin, &setAdminParam::sig_modifyAdminParam, &window, &mainWnd::slot_modifyAdminParam);
    QObject::connect(worker, &DeviceThread::sig_adminParameterRead, admin, &ParameterWindow::showParameterReply);
}
