#include "PointLog.h"

#include <QDebug>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace PointLog {

namespace {

constexpr int Digits = 6;

// The formatting the debug stream uses for a double, for the few numbers the quick ways cannot settle.
char *putThroughStream(char *out, double value)
{
    const QString text = QString::number(value, 'g', Digits);
    for (const QChar c : text)
        *out++ = char(c.unicode());
    return out;
}

int readExponent(const char *first, const char *last)
{
    const bool negative = *first == '-';
    int exponent = 0;
    std::from_chars(first + 1, last, exponent);
    return negative ? -exponent : exponent;
}

// Carries a rounding up through the digits; true when it ran past the first one (9.99999 to 10).
bool roundUp(char *digits)
{
    for (int i = Digits - 1; i >= 0; --i) {
        if (digits[i] != '9') {
            ++digits[i];
            return false;
        }
        digits[i] = '0';
    }
    digits[0] = '1';
    return true;
}

char *putExponentForm(char *out, const char *digits, int length, int exponent)
{
    *out++ = digits[0];
    if (length > 1) {
        *out++ = '.';
        out = std::copy(digits + 1, digits + length, out);
    }
    *out++ = 'e';
    *out++ = exponent < 0 ? '-' : '+';
    const int magnitude = std::abs(exponent);
    if (magnitude < 10)
        *out++ = '0';
    return std::to_chars(out, out + 4, magnitude).ptr;
}

char *putDecimalForm(char *out, const char *digits, int length, int exponent)
{
    if (exponent < 0) {
        *out++ = '0';
        *out++ = '.';
        out = std::fill_n(out, -exponent - 1, '0');
        return std::copy(digits, digits + length, out);
    }
    const int whole = exponent + 1;
    for (int i = 0; i < whole; ++i)
        *out++ = i < length ? digits[i] : '0';
    if (length > whole) {
        *out++ = '.';
        out = std::copy(digits + whole, digits + length, out);
    }
    return out;
}

// Readings and times mostly lie between 1e-4 and 1e6, written without an exponent: there the six
// digits are the value scaled to an integer below a million and rounded, a product within 2e-10 of
// the exact one. Near a half, and where the rounding reaches a million, the general way decides.
bool putCommonNumber(char *&out, double value)
{
    static constexpr double powers[] = {1e-4, 1e-3, 1e-2, 1e-1, 1e0, 1e1, 1e2, 1e3, 1e4, 1e5};
    static constexpr double scales[] = {1e9, 1e8, 1e7, 1e6, 1e5, 1e4, 1e3, 1e2, 1e1, 1e0};
    const double magnitude = std::abs(value);
    if (!(magnitude >= powers[0] && magnitude < 1e6))
        return false;
    int index = 9; // of the leading digit's power of ten
    while (index > 0 && magnitude < powers[index])
        --index;
    const double scaled = magnitude * scales[index];
    const double whole = std::floor(scaled);
    const double rest = scaled - whole;
    if (std::abs(rest - 0.5) < 1e-6)
        return false;
    int six = int(whole) + (rest > 0.5 ? 1 : 0);
    if (six == 1000000) {
        six = 100000;
        ++index;
    }
    if (six < 100000 || six > 999999 || index > 9)
        return false;
    char digits[Digits];
    for (int i = Digits - 1; i >= 0; --i, six /= 10)
        digits[i] = char('0' + six % 10);
    int length = Digits;
    while (length > 1 && digits[length - 1] == '0')
        --length;
    if (value < 0)
        *out++ = '-';
    out = putDecimalForm(out, digits, length, index - 4);
    return true;
}

} // namespace

char *putNumber(char *out, double value)
{
    if (value == 0) {
        *out++ = '0';
        return out;
    }
    if (putCommonNumber(out, value))
        return out;
    if (!std::isfinite(value))
        return putThroughStream(out, value);
    // Seven correctly rounded digits, "d.dddddde+xx": the seventh decides the rounding to six,
    // except a 5, which may stand for an exact half (the stream rounds it up, this library to
    // even) or for a value just below one.
    char scientific[NumberChars];
    const char *end =
        std::to_chars(scientific, scientific + sizeof scientific, value, std::chars_format::scientific, Digits).ptr;
    const char *mantissa = scientific[0] == '-' ? scientific + 1 : scientific;
    char digits[Digits + 1] = {mantissa[0]};
    std::memcpy(digits + 1, mantissa + 2, Digits);
    if (digits[Digits] == '5')
        return putThroughStream(out, value);
    int exponent = readExponent(mantissa + Digits + 3, end);
    if (digits[Digits] > '5' && roundUp(digits))
        ++exponent;
    int length = Digits;
    while (length > 1 && digits[length - 1] == '0')
        --length;
    if (value < 0)
        *out++ = '-';
    if (exponent < -4 || exponent >= Digits)
        return putExponentForm(out, digits, length, exponent);
    return putDecimalForm(out, digits, length, exponent);
}

namespace {
// "( x , y )" and a terminating zero.
char *putLine(char *out, QPointF point)
{
    *out++ = '(';
    *out++ = ' ';
    out = putNumber(out, point.x());
    out = std::copy_n(" , ", 3, out);
    out = putNumber(out, point.y());
    *out++ = ' ';
    *out++ = ')';
    *out = '\0';
    return out;
}
} // namespace

QString text(QPointF point)
{
    char line[2 * NumberChars + 8];
    return QString::fromLatin1(line, int(putLine(line, point) - line));
}

void write(QPointF point)
{
    char line[2 * NumberChars + 8];
    putLine(line, point);
    // The line holds no '%' and so serves as its own format: through "%s" the argument's parsing
    // and second copy took more than half the time of the message.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-security"
    QMessageLogger(QT_MESSAGELOG_FILE, QT_MESSAGELOG_LINE, QT_MESSAGELOG_FUNC).debug(line);
#pragma GCC diagnostic pop
}

} // namespace PointLog
