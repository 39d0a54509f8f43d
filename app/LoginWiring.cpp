#include "LoginWiring.h"

#include "loginWnd.h"
#include "mainWnd.h"
#include "qDebugWidget.h"

#include <QAction>

void LoginWiring::connect(mainWnd &window)
{
    QObject::connect(&window, &mainWnd::clearMessge, window.adminLoginWnd, &loginWnd::slot_clearMessage);
    QObject::connect(&window, &mainWnd::clearMessge, window.developLoginWnd, &loginWnd::slot_clearMessage);
    QObject::connect(window.debugWnd, &qDebugWidget::sig_closeDebug, &window, &mainWnd::slot_closeDebug);
    QObject::connect(window.adminLoginWnd, &loginWnd::requestLogin, &window, &mainWnd::resoponseLogWnd);
    QObject::connect(window.developerAction(), &QAction::triggered, &window, &mainWnd::showDevelopAction);
    QObject::connect(window.developLoginWnd, &loginWnd::requestDevp, &window, &mainWnd::responseDevpWnd);
}
