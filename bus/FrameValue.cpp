#include "FrameValue.h"

#include "Reading.h"
#include "RegisterMap.h"
#include "SerialPort.h"

namespace {

constexpr quint8 ReadFunction = 0x03;
constexpr quint8 WriteFunction = 0x06;
constexpr int Int16WriteSize = 8; // address, function, register, value, CRC
constexpr int FloatWriteSize = 10;
constexpr int ReadReplySize = 9;

quint8 functionOf(const QByteArray &frame)
{
    return frame.size() >= 2 ? quint8(frame[1]) : 0;
}

int registerOf(const QByteArray &request)
{
    return request.size() >= 4 ? (quint8(request[2]) << 8) | quint8(request[3]) : -1;
}

int readingTypeOf(int reg)
{
    for (int type = Bus::FirstReadingType; type <= Bus::LastReadingType; ++type) {
        if (RegisterMap::readingRegister(type) == reg)
            return type;
    }
    return 0;
}

bool holdsFloat(int reg)
{
    if (reg == RegisterMap::InstantSetpoint || reg == RegisterMap::CumulativeSetpoint)
        return true;
    for (int type = 1; type <= 13; ++type) {
        if (RegisterMap::ordinaryWrite(type).reg == reg)
            return RegisterMap::ordinaryWrite(type).encoding == RegisterMap::Encoding::Float;
        if (RegisterMap::adminWrite(type).reg == reg)
            return RegisterMap::adminWrite(type).encoding == RegisterMap::Encoding::Float;
    }
    return false;
}

} // namespace

FrameValue FrameValue::ofRequest(const QByteArray &request)
{
    FrameValue decoded;
    const quint8 function = functionOf(request);
    if (function != ReadFunction && function != WriteFunction)
        return decoded;
    decoded.reg = registerOf(request);
    if (function == WriteFunction && request.size() == FloatWriteSize) {
        decoded.hasValue = true;
        decoded.value = double(bytes_to_float(request, 4));
    } else if (function == WriteFunction && request.size() == Int16WriteSize) {
        decoded.hasValue = true;
        decoded.value = bytes_to_uint16(request, 4);
    }
    return decoded;
}

FrameValue FrameValue::ofReply(const QByteArray &request, const QByteArray &reply)
{
    FrameValue decoded;
    if (functionOf(request) != ReadFunction || reply.size() != ReadReplySize ||
        functionOf(reply) != ReadFunction)
        return decoded;
    decoded.reg = registerOf(request);
    decoded.hasValue = true;
    if (const int type = readingTypeOf(decoded.reg))
        decoded.value = Reading::fromReply(type, quint8(reply[0]), reply, ReadTime()).value;
    else if (holdsFloat(decoded.reg))
        decoded.value = double(bytes_to_float(reply, 3));
    else
        decoded.value = bytes_to_uint16(reply, 3);
    return decoded;
}

QString FrameValue::text() const
{
    if (reg < 0)
        return QString();
    const QString name =
        QStringLiteral("0x") + QStringLiteral("%1").arg(reg, 4, 16, QLatin1Char('0')).toUpper();
    return hasValue ? name + QStringLiteral(" = ") + valueText() : name;
}

QString FrameValue::valueText() const
{
    return hasValue ? QString::number(value, 'g', 6) : QString();
}
