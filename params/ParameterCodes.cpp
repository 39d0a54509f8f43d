#include "ParameterCodes.h"

#include "SerialPort.h"

#include <QRegularExpression>
#include <cmath>
#include <limits>

namespace ParameterCodes {

namespace {

// Digits with at most one decimal point: no sign, no exponent, not empty.
bool isPlainNumber(const QString &text)
{
    static const QRegularExpression number(QStringLiteral("^\\d*\\.?\\d+$"));
    return number.match(text).hasMatch();
}

bool withinRange(Range range, double value)
{
    switch (range) {
    case Range::Word16:
        return value <= 65535;
    case Range::BusAddress:
        return value >= 1 && value <= 15;
    case Range::Any:
        break;
    }
    return value <= std::numeric_limits<int>::max();
}

// A read reply is the address, the function, the byte count, then the value from byte 3.
constexpr int ValueBytes = 4;
constexpr int ValueOffset = 3;

} // namespace

std::optional<Write> writeFor(const Field &field, const QString &text)
{
    if (field.writeType == 0 || !isPlainNumber(text))
        return std::nullopt;
    const double value = text.toDouble();
    if (!withinRange(field.range, value))
        return std::nullopt;
    Write write{field.writeType, field.dataType, 0, 0};
    if (field.sent == Sent::Real) {
        write.data1 = int(std::lrint(value)); // to the nearest, halves to even: 2.5 gives 2, 1.5 gives 2
        write.data2 = float(value);
        return write;
    }
    if (value != std::floor(value))
        return std::nullopt;
    write.data1 = int(value);
    write.data2 = field.sent == Sent::IntegerTwice ? float(write.data1) : 0.0f;
    return write;
}

std::optional<Write> writeFor(const Selector &selector, int index)
{
    if (index < 0 || index >= selector.itemValues.size())
        return std::nullopt;
    const int value = selector.itemValues.at(index);
    return Write{selector.writeType, 1, value, selector.valueAsReal ? float(value) : 0.0f};
}

QString shownText(Decoding decoding, const QByteArray &reply)
{
    if (reply.size() < ValueOffset + ValueBytes)
        return QString();
    switch (decoding) {
    case Decoding::Int16:
        return QString::number(bytes_to_uint16(reply, ValueOffset));
    case Decoding::Int32:
        return QString::number(bytes_to_int32(reply, ValueOffset));
    case Decoding::Float:
        break;
    }
    return QString::number(double(bytes_to_float(reply, ValueOffset)), 'g', 6);
}

std::optional<int> int16Value(const QByteArray &reply)
{
    if (reply.size() < ValueOffset + ValueBytes)
        return std::nullopt;
    return bytes_to_uint16(reply, ValueOffset);
}

} // namespace ParameterCodes
