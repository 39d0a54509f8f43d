#pragma once

#include <QByteArray>

// How one simulated controller misbehaves. Fractions are drawn from the bus's seeded generator,
// so a failing run can be replayed with the same seed.
struct SimFaults
{
    bool silent = false;          // never answers
    double dropFraction = 0.0;    // share of answers left out
    double corruptFraction = 0.0; // share of answers sent with a wrong CRC
    int lateMs = 0;               // extra delay before every answer
    int chunkSize = 0;            // > 0: the answer goes out in chunks of this many bytes...
    int chunkGapMs = 0;           // ...with this gap between them
    QByteArray extraBytes;        // appended to every answer
};
