#include "HistoryWiring.h"

#include "DeviceThread.h"
#include "mainWnd.h"
#include "saveFileSetWidget.h"

#include <QAction>

void HistoryWiring::connect(mainWnd &window)
{
    QObject::connect(window.openFileAction(), &QAction::triggered, &window, &mainWnd::openPlotFile);
    QObject::connect(window.worker(), &DeviceThread::sig_reading, &window, &mainWnd::plotReading);
    QObject::connect(window.saveWnd, &saveFileSetWidget::sig_savePlotFile, &window, &mainWnd::startChartSave);
}
