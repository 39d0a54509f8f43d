#pragma once

#include "BusLink.h"

#include <QString>

// What became of the reads of a command-line poll, counted by kind: "8 answered, 1 timeout,
// 0 unsound, 3 not sent".
struct ReadTally
{
    int answered = 0;
    int timeout = 0;
    int unsound = 0;
    int notSent = 0;

    void count(BusLink::ReadResult result)
    {
        switch (result) {
        case BusLink::ReadResult::Answered:
            ++answered;
            break;
        case BusLink::ReadResult::Timeout:
            ++timeout;
            break;
        case BusLink::ReadResult::Unsound:
            ++unsound;
            break;
        case BusLink::ReadResult::NotSent:
            ++notSent;
            break;
        }
    }
    int reads() const { return answered + timeout + unsound + notSent; }
    int failed() const { return timeout + unsound + notSent; }
    QString summary() const
    {
        return QStringLiteral("%1 answered, %2 timeout, %3 unsound, %4 not sent")
            .arg(answered)
            .arg(timeout)
            .arg(unsound)
            .arg(notSent);
    }
};
