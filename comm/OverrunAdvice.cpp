#include "OverrunAdvice.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>

namespace {

using Controller = BusHealth::Controller;

// Only controllers that answered in the last cycle shaped it.
bool shapedTheCycle(const Controller &controller)
{
    return controller.answersLastCycle > 0;
}

// The controller without whose slow answers the cycle would have fitted in the tick, if a single
// one stands out so.
const Controller *slowOne(const BusHealth::Snapshot &snapshot)
{
    const Controller *slowest = nullptr;
    for (const Controller &controller : snapshot.controllers) {
        if (shapedTheCycle(controller) &&
            (!slowest || controller.lastCycleMedianMs > slowest->lastCycleMedianMs))
            slowest = &controller;
    }
    if (!slowest)
        return nullptr;
    double othersMs = -1;
    for (const Controller &controller : snapshot.controllers) {
        if (&controller != slowest && shapedTheCycle(controller))
            othersMs = std::max(othersMs, controller.lastCycleMedianMs);
    }
    if (othersMs < 0) // slower than no one
        return nullptr;
    // Answering as fast as the others, it would have shortened the cycle by this much.
    const double excessMs = (slowest->lastCycleMedianMs - othersMs) * slowest->answersLastCycle;
    return double(snapshot.bus.cycleMs) - excessMs <= snapshot.bus.tickMs ? slowest : nullptr;
}

} // namespace

QString OverrunAdvice::sentence(const BusHealth::Snapshot &snapshot)
{
    const BusHealth::Bus &bus = snapshot.bus;
    if (bus.tickMs <= 0 || bus.cycleMs <= bus.tickMs)
        return QString();
    if (const Controller *slow = slowOne(snapshot))
        return QCoreApplication::translate("OverrunAdvice", "设备%1的应答延迟中位 %2 ms，高于其他设备："
                                                            "检查该设备或增大查询等待时间")
            .arg(slow->address)
            .arg(std::lround(slow->lastCycleMedianMs));
    return QCoreApplication::translate("OverrunAdvice",
                                       "轮询一周比读取节拍（%1 ms）长：每个控制器的读数间隔都超过了 %1 ms。"
                                       "提高波特率、缩短查询间隔或减少在线的控制器可以缩短轮询。")
        .arg(bus.tickMs);
}
