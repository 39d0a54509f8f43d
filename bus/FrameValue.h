#pragma once

#include <QByteArray>
#include <QString>

// What a frame says, decoded once where its request and answer are known together: the register
// it reads or writes, and the value written or read (a polled quantity in its display unit, a
// float register as a float, any other as the first 16-bit register).
struct FrameValue
{
    int reg = -1; // -1: the frame names no register
    bool hasValue = false;
    double value = 0;

    static FrameValue ofRequest(const QByteArray &request);
    // The answer of a read; nothing for any other answer, or one that is not a whole read reply.
    static FrameValue ofReply(const QByteArray &request, const QByteArray &reply);

    // "0x303E = 50", "0x1000" or empty.
    QString text() const;
    // "50", or empty: beside an answer, whose request above it names the register.
    QString valueText() const;
};
