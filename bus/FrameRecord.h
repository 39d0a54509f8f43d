#pragma once

#include "FrameValue.h"

#include <QByteArray>
#include <QMetaType>
#include <QString>

// What became of a frame on the line.
enum class FrameOutcome : quint8
{
    Answered,   // the request was answered, or this is its answer
    Timeout,    // nothing came within the reply timeout
    CrcError,   // bytes came, but no sound answer: a wrong CRC, shape or address
    Exception,  // the controller refused the request with an exception code
    Late,       // bytes nobody waited for any more, discarded before the next request
    AdapterEcho // the adapter's own echo of the request
};

// One frame as it passed on the line, for the traffic view and the command-line monitor. A
// request and its answer are two records; a request that got nothing is one.
struct FrameRecord
{
    enum class Direction : quint8
    {
        Sent,
        Received
    };

    qint64 wallMs = 0; // when it went out, or when its last byte came in
    Direction direction = Direction::Sent;
    quint8 address = 0;
    quint8 function = 0;
    QByteArray bytes;
    FrameOutcome outcome = FrameOutcome::Answered;
    int exceptionCode = -1; // with FrameOutcome::Exception
    FrameValue decoded;

    // One line for a file or a terminal, the same wherever it is written:
    // "14:03:07.123 TX 3 03 03 03 10 00 00 02 C1 29 answered".
    QString line() const;
    // The same line with the date in front: "2026-03-07 14:03:07.123 TX 3 ...".
    QString datedLine() const;
    QString timeText() const;  // hh:mm:ss.zzz, local time
    QString bytesText() const; // upper-case hex, one space between bytes
    QString outcomeText() const;
};
Q_DECLARE_METATYPE(FrameRecord)
