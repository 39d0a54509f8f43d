#include "ParameterCodes.h"


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

QString shownText(Decoding decoding, const RegisterReply &reply)
{
    if (!reply.isValid())
        return QString();
    switch (decoding) {
    case Decoding::Int16:
        return QString::number(reply.asUint16);
    case Decoding::Int32:
        return QString::number(reply.asInt32);
    case Decoding::Float:
        break;
    }
    return QString::number(double(reply.asFloat), 'g', 6);
}

} // namespace ParameterCodes
