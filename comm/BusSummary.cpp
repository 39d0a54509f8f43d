#include "BusSummary.h"

#include <QCoreApplication>

QString BusSummary::usage(const BusHealth::Bus &bus)
{
    return QCoreApplication::translate("BusSummary", "总线使用率：%1%").arg(bus.usagePercent, 0, 'f', 1);
}

QString BusSummary::cycle(const BusHealth::Bus &bus)
{
    const QString measured =
        bus.cycleMs >= 0 ? QStringLiteral("%1 ms").arg(bus.cycleMs) : QStringLiteral("-");
    return QCoreApplication::translate("BusSummary", "轮询一周：%1（查询周期 %2 ms）")
        .arg(measured)
        .arg(bus.periodMs);
}

QString BusSummary::link(const BusHealth::Bus &bus)
{
    return QCoreApplication::translate("BusSummary", "链路中断：%1 次，自动重连：%2 次")
        .arg(bus.linkLosses)
        .arg(bus.reopenings);
}

QString BusSummary::echo(const BusHealth::Bus &bus)
{
    return bus.echoingAdapter ? QCoreApplication::translate("BusSummary", "回显适配器：是")
                              : QCoreApplication::translate("BusSummary", "回显适配器：否");
}
