#pragma once

#include <QString>

// Text rules shared by the numeric entry widgets: stepping in the last shown decimal place and
// removing leading zeros while the operator types.
class NumericText
{
public:
    // direction +1 or -1; "2.50" -> "2.51", "7" -> "6", "2." -> "3"; text that is no number counts as 0.
    static QString stepped(const QString &text, int direction);
    // "007" -> "7", "00" -> "0", "000.5" -> "0.5"
    static QString withoutLeadingZeros(const QString &text);
    // Fixed-point text with the given decimals; a value that rounds to zero never shows a minus sign.
    static QString fixed(double value, int decimals);
};
