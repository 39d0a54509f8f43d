#include "RegisterReply.h"

#include "SerialPort.h"

namespace {
constexpr int FirstRegisterByte = 3; // address, function and byte count come first
constexpr int RegisterPairBytes = 4;
} // namespace

RegisterReply RegisterReply::fromFrame(int code, quint8 deviceId, const QByteArray &frame, ReadTime readTime)
{
    RegisterReply reply;
    reply.deviceId = deviceId;
    reply.code = code;
    reply.readTime = readTime;
    if (frame.size() < FirstRegisterByte + RegisterPairBytes)
        return reply;
    reply.asFloat = bytes_to_float(frame, FirstRegisterByte);
    reply.asUint16 = bytes_to_uint16(frame, FirstRegisterByte);
    reply.asInt32 = bytes_to_int32(frame, FirstRegisterByte);
    reply.frame = frame;
    return reply;
}
