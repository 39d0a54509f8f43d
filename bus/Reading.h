#pragma once

#include "BusCodes.h"

#include <QByteArray>
#include <QDateTime>
#include <QMetaType>

// When the last byte of an answer arrived, on two clocks: the monotonic one that the whole process
// (and the simulated bus) shares, for the time between samples, which a wall clock set back or
// forward must not move; and the wall clock, in milliseconds, for people to read.
struct ReadTime
{
    qint64 monotonicNs = 0; // std::chrono::steady_clock, since its epoch
    qint64 wallMs = 0;      // since 1970-01-01T00:00:00 UTC

    static ReadTime now();
    static qint64 monotonicNowNs();

    qint64 monotonicMs() const { return monotonicNs / 1000000; }
    QDateTime wallClock() const { return QDateTime::fromMSecsSinceEpoch(wallMs); }
};

// One polled reading of one controller, decoded once where its answer came in. Every window, the
// charts, the recording and the command-line tool take the value from here.
struct Reading
{
    quint8 deviceId = 0;
    Bus::ReadingType type = Bus::ReadingType::InstantFlow;
    double value = 0;    // in display units: sccm, L, ℃, KPa
    bool usable = false; // a finite number; NaN and infinity are shown, drawn and recorded nowhere
    ReadTime readTime;

    // Where a quantity's code travels as a number (signals, the sections of a data file): 1 .. 4.
    int typeCode() const { return Bus::code(type); }

    // The float of a read reply (at index 3 of its 9 bytes). The reply must hold at least 7 bytes.
    static Reading fromReply(int type, quint8 deviceId, const QByteArray &reply, ReadTime readTime);
    // A value in the controller's own unit: it reports pressure in Pa.
    static Reading fromDeviceValue(int type, quint8 deviceId, float deviceValue, ReadTime readTime);
};
Q_DECLARE_METATYPE(Reading)
