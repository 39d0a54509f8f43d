#pragma once

#include "BusHealth.h"

#include <QByteArray>
#include <QDateTime>
#include <QStringList>

// The text of a saved traffic list: a first line saying when it was saved and on which line
// (port, baud rate, reply timeout), so that a file mailed days later still tells its story, then
// the frames, one dated line each.
class TrafficFile
{
public:
    static QString header(const BusHealth::Bus &bus, const QDateTime &savedAt);
    static QByteArray text(const BusHealth::Bus &bus, const QDateTime &savedAt, const QStringList &lines);
};
