#pragma once

#include <QPointF>
#include <QString>

// The debug line written for each point of types 2 to 4 while a data file is drawn: exactly what
// qDebug() << "(" << x << "," << y << ")" writes, such as "( 86399 , 1013.25 )". A day's file
// writes 259,200 of them, and the debug stream spent more time on them than the rest of the
// opening together: so the text is put together here and handed to the log in one piece.
namespace PointLog {

// Room a number needs in putNumber.
constexpr int NumberChars = 32;

// A double as the debug stream writes it: six significant digits without trailing zeros, an
// exponent of at least two digits from 1e+06 on and below 1e-04, halves rounded away from zero,
// "0" for negative zero.
char *putNumber(char *out, double value);
QString text(QPointF point);
// A debug message of the default category, as qDebug() gives.
void write(QPointF point);

} // namespace PointLog
