#include "HistoryWiring.h"

#include "BenchModel.h"
#include "DeviceThread.h"
#include "PlotWidget.h"
#include "mainWnd.h"
#include "saveFileSetWidget.h"

#include <QAction>

void HistoryWiring::connect(mainWnd &window)
{
    QObject::connect(window.openFileAction(), &QAction::triggered, &window, &mainWnd::openPlotFile);
    QObject::connect(window.worker(), &DeviceThread::sig_reading, &window, &mainWnd::plotReading);
    QObject::connect(window.saveWnd, &saveFileSetWidget::sig_savePlotFile, &window, &mainWnd::startChartSave);
    // A recording counts the time its controller was not online, for its end's report.
    BenchModel *model = window.benchModel();
    const QVector<PlotWidget *> pages = window.chartPages();
    for (int k = 0; k < pages.size(); ++k)
        pages[k]->recorder().setOnline(model->isOnline(quint8(k + 1)));
    QObject::connect(model, &BenchModel::stateChanged, &window, [pages](quint8 address, ControllerRecord::State state) {
        if (address >= 1 && address <= pages.size())
            pages[address - 1]->recorder().setOnline(state == ControllerRecord::State::Online);
    });
}
