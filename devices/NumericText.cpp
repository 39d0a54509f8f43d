#include "NumericText.h"

#include <QRegularExpression>
#include <cmath>

namespace {

QString steppedInteger(const QString &text, int direction)
{
    // 64 bits, so that totals beyond 2^31 step on instead of restarting at 1; overflow leaves the text.
    const qlonglong value = text.toLongLong(); // 0 when the text is no integer
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
