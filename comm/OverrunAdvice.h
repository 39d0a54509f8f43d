#pragma once

#include "BusHealth.h"

#include <QString>

// What to say when a cycle outruns the worker's tick, so that every controller is read less often
// than the tick promises: one controller whose answers alone stretch the cycle is named; otherwise
// the bus is simply too full. A cycle longer than the query period alone is no overrun: the period
// only scales the usage, and the readings still come at every tick.
class OverrunAdvice
{
public:
    // Empty while the cycle fits in the tick.
    static QString sentence(const BusHealth::Snapshot &snapshot);
};
