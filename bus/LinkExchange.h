#pragma once

#include "FrameRecord.h"
#include "LineSync.h"
#include "Reading.h"

#include <QByteArray>
#include <QVector>

// What one exchange on the line came to, as the link reports it to its observer: the request and
// what came back. Bytes that a quiet line discarded before a request (a late answer, noise) are
// reported alone, with no request and the outcome Late.
struct LinkExchange
{
    QByteArray request; // empty for discarded bytes
    QByteArray reply;   // the answer or exception reply; with CrcError or Late, the bytes heard
    FrameOutcome outcome = FrameOutcome::Answered;
    ReadTime sentAt;  // when the request had gone out
    ReadTime heardAt; // when the last byte of the reply came in
    bool adapterCopy = false; // an echoing adapter handed the request back before the reply

    // The exchange that ended with this verdict (not NotSent: nothing went on the line). `frame` is
    // the answer or exception reply, `heard` every byte of the phase, which begins with the
    // request's copy when the adapter echoes. A request left empty stands for a quiet line that
    // discarded what it heard.
    static LinkExchange of(LineSync::Verdict verdict, const QByteArray &request, const QByteArray &frame,
                           const QByteArray &heard, const ReadTime &sentAt, const ReadTime &heardAt,
                           bool adapterEchoes = false);

    // The controller asked, or, for discarded bytes, the one whose address they begin with.
    quint8 address() const;
    quint8 function() const;
    int exceptionCode() const; // -1 unless the outcome is Exception
    // The controller's discovery echo: the check that it is in step again.
    bool isStepCheck() const;
    bool isWrite() const;
    // From the request going out to the last byte of its answer.
    double latencyMs() const;
    // The request, the adapter's copy of it and what came back, as frames on the line.
    QVector<FrameRecord> frames() const;
};
