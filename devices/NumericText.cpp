#include "NumericText.h"

#include <QRegularExpression>
#include <cmath>

namespace {

QString steppedInteger(const QString &text, int direction)
{
    // 64 bits, so that totals beyond 2^31 step on instead of restarting at 1; overflow leaves the text.
    static const QRegularExpression digitsOnly(QStringLiteral("^\\s*[+-]?\\d+\\s*$"));
    bool parsed = false;
    const qlonglong value = text.toLongLong(&parsed); // 0 when the text is no integer
    if (!parsed && digitsOnly.match(text).hasMatch())
        return text; // an integer beyond 64 bits must not restart at 1 either
    qlonglong result = 0;
    if (__builtin_add_overflow(value, static_cast<qlonglong>(direction), &result))
        return text;
    return QString::number(result);
}

QString steppedDecimal(const QString &text, int direction)
{
    const int decimals = text.size() - text.indexOf(QLatin1Char('.')) - 1;
    const double result = text.toDouble() + direction * std::pow(10.0, -decimals);
    if (!std::isfinite(result))
        return text;
    return QString::number(result, 'f', decimals);
}

} // namespace

QString NumericText::stepped(const QString &text, int direction)
{
    if (!text.contains(QLatin1Char('.')))
        return steppedInteger(text, direction);
    return steppedDecimal(text, direction);
}

QString NumericText::withoutLeadingZeros(const QString &text)
{
    static const QRegularExpression leadingZeros(QStringLiteral("^0+(?!\\.|$)"));
    QString result = text;
    return result.remove(leadingZeros);
}

QString NumericText::fixed(double value, int decimals)
{
    // Sensor noise around zero (-0.0004 sccm) would otherwise read "-0.000".
    static const QRegularExpression negativeZero(QStringLiteral("^-[0.]+$"));
    QString text = QString::number(value, 'f', decimals);
    if (negativeZero.match(text).hasMatch())
        text.remove(0, 1);
    return text;
}
