#pragma once

#include "Reading.h"

#include <QByteArray>
#include <QMetaType>

// The answer to a register read that is not a polled quantity (a setpoint or the mode read back, a
// parameter), decoded once where it came in. `code` says what was asked: the setpoint kind for a
// read-back, the parameter window's read code for a parameter.
struct RegisterReply
{
    quint8 deviceId = 0;
    int code = 0;
    // The registers read as each encoding the register map uses; which one holds is the asker's to know.
    float asFloat = 0;
    int asUint16 = 0;
    qint32 asInt32 = 0;
    QByteArray frame; // the answer as it came, for receivers that want the bytes
    ReadTime readTime;

    // A read reply of a sound frame: address, function, byte count, then the registers. A frame too
    // short to hold two registers gives a reply without its frame (`isValid()` false).
    static RegisterReply fromFrame(int code, quint8 deviceId, const QByteArray &frame, ReadTime readTime);
    bool isValid() const { return !frame.isEmpty(); }
    // The two registers' four bytes as the controller sent them, for a record of what it held.
    QByteArray registerBytes() const { return frame.mid(3, 4); }
};
Q_DECLARE_METATYPE(RegisterReply)
