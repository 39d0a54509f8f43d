#include "StageWiring.h"

#include "BenchModel.h"
#include "RampDriver.h"
#include "DeviceThread.h"
#include "itemStageControl.h"
#include "mainWnd.h"
#include "stageControlWidget.h"

namespace {

// Each widget holds the controller of its running (or paused) programme, and nothing else.
void holdRunningControllers(stageControlWidget *page, BenchModel *model)
{
    const QList<itemStageControl *> &items = page->items();
    for (int k = 0; k < items.size(); ++k) {
        const Driver programme = Driver::programme(k + 1);
        const quint8 device = quint8(items[k]->runDevice());
        model->releaseAll(programme, device);
        if (device != 0)
            model->take(device, programme);
    }
}

} // namespace

void StageWiring::connect(mainWnd &window)
{
    DeviceThread *worker = window.worker();
    stageControlWidget *page = window.stagePage();
    BenchModel *model = window.benchModel();
    // Both go straight into the worker's thread-safe request book, in the order the page sends
    // them: a queued start behind a step posted directly would switch that step off.
    QObject::connect(page, &stageControlWidget::sig_stratStep, worker, &DeviceThread::slot_startStep,
                     Qt::DirectConnection);
    RampDriver *ramps = window.ramps();
    // A step of a programme that holds a controller with a ramp rate is its ramp's target; every
    // other step, and every 0, goes to the worker as it is.
    QObject::connect(page, &stageControlWidget::sig_excuteStep, ramps, [worker, model, ramps](uchar id, float flow) {
        const Driver holder = model->driverOf(id);
        if (flow != 0.0f && holder.kind == Driver::Programme && ramps->rate(id) > 0 &&
            ramps->approach(id, flow, holder).isEmpty())
            return;
        if (flow == 0.0f)
            ramps->cancel(id, QString());
        model->announceStep(id, flow, holder.kind == Driver::Programme ? holder : Driver::programme(0));
        worker->slot_excuteStep(id, flow);
    });
    page->setRampRateLookup([ramps](quint8 device) { return ramps->rate(device); });
    page->setStartCheck([model](int widget, quint8 device) {
        return model->takeRefusal(device, Driver::programme(widget + 1));
    });
    page->setStartTake([model](int widget, quint8 device) { model->take(device, Driver::programme(widget + 1)); });
    QObject::connect(page, &stageControlWidget::programmesChanged, model,
                     [page, model] { holdRunningControllers(page, model); });
    QObject::connect(model, &BenchModel::driverStopped, page,
                     [page](quint8, Driver driver, const QString &why, bool controllerLeft) {
                         if (driver.kind != Driver::Programme)
                             return;
                         if (controllerLeft)
                             page->pauseProgramme(driver.index - 1, why);
                         else
                             page->stopProgramme(driver.index - 1, why);
                     });
}
