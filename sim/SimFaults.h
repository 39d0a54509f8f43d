#pragma once

#include <QByteArray>
#include <QMetaType>

// How one simulated controller misbehaves. Fractions are drawn from the bus's seeded generator,
// so a failing run can be replayed with the same seed.
struct SimFaults
{
    // The value of the sound read reply that soundFrameBeforeAnswer runs into the real answer: far
    // outside every reading, so that a test sees at once when it is taken for one.
    static constexpr float kDecoyValue = -9999.0f;

    bool silent = false;          // never answers
    double dropFraction = 0.0;    // share of answers left out
    double corruptFraction = 0.0; // share of answers sent with a wrong CRC
    int lateMs = 0;               // extra delay before every answer...
    quint16 lateRegister = 0;     // ...or, when set, only before answers to reads of this register
    int chunkSize = 0;            // > 0: the answer goes out in chunks of this many bytes...
    int chunkGapMs = 0;           // ...with this gap between them
    QByteArray extraBytes;        // appended to every answer
    int cutAfterBytes = 0;        // > 0: every answer breaks off after this many bytes (before extraBytes)
    QByteArray strayBefore;       // sent straight before every answer, as noise at driver turnaround
    // A whole, sound 9-byte read reply from this address holding kDecoyValue, sent with no gap
    // straight before every answer (after strayBefore).
    bool soundFrameBeforeAnswer = false;
    // The first request to this controller after the fault is set starts a stream of bytes that
    // never forms a sound frame, at the wire rate (about 1 MB/s with no baud emulated), in place of
    // the answer. It runs until the fault is cleared or replaced, the bus stops, or it is unplugged.
    bool endlessStream = false;
    // The next N write requests (function 0x06) to this controller vanish on the line before it
    // hears them: nothing is applied, nothing answered. Counts down as they are lost.
    int lostWrites = 0;
    // The next N requests to this controller go unanswered: it hears them and keeps quiet, as a
    // silent controller does. Counts down as they pass.
    int unansweredRequests = 0;
    // > 0: every request is refused with this exception code, at once, as by a controller in a
    // fault state; nothing it is asked is done.
    int exceptionCode = 0;
    // A second controller set to the same address: both hear every request and both answer at
    // once, so that their answers collide on the line wherever they differ (a read of a value that
    // differs between the two comes out with a wrong CRC; an echo, the same in both, comes out
    // whole). Writes reach both.
    bool twin = false;
    // > 0: the controller's flow follows its setpoint with this time constant in seconds instead of
    // SimController::kLagSeconds, as a sluggish valve does.
    double lagSeconds = 0.0;
    // The valve no longer moves: the flow stays where it was when the fault was set, whatever the
    // setpoint (a 0 included) or a delivered dose asks. Its readings and register writes still work.
    bool stuck = false;
};

// Test tables carry faults in their rows.
Q_DECLARE_METATYPE(SimFaults)
