#pragma once

#include <QMetaType>
#include <QtGlobal>

// The worker's record of one known controller: which quantities it polls and its loss counters.
struct OnlineDevice
{
    quint8 id = 0;
    bool cur = false;   // instantaneous flow, reading type 1
    bool cum = false;   // cumulative flow, reading type 2
    bool temp = false;  // temperature, reading type 3
    bool press = false; // pressure, reading type 4
    int lossCount = 0;  // failed queries in the current loss window
    int queryCount = 0; // queries in the current loss window
    int totalLoss = 0;
    int totalQuery = 0;
    // Answers whose value was no usable number (NaN, infinity): failed reads for the diagnostics,
    // which cost the controller nothing in its loss window.
    int unusableReads = 0;

    bool polled() const { return cur || cum || temp || press; }
    void setPolled(bool on) { cur = cum = temp = press = on; }
};
Q_DECLARE_METATYPE(OnlineDevice)
