#pragma once

#include "BusHealth.h"

#include <QString>

// The bus lines of the diagnostics window, in words.
class BusSummary
{
public:
    static QString usage(const BusHealth::Bus &bus);
    static QString cycle(const BusHealth::Bus &bus);
    static QString link(const BusHealth::Bus &bus);
    static QString echo(const BusHealth::Bus &bus);
};
