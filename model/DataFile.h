#pragma once

#include <QPointF>
#include <QString>
#include <QStringView>
#include <QVector>

#include <array>

// The data file written by a recording and drawn again on the history page: for each recorded
// reading type a line "type1" .. "type4", then one line "time,value" per sample, LF line ends,
// no header and no blank lines.
namespace DataFile {

constexpr int TypeCount = 4;

// One recorded sample: the chart's time position in seconds and the reading in its chart's unit.
struct Record
{
    double time = 0;
    double value = 0;
};

// The records of the four types, index 0 for type 1.
using Recording = std::array<QVector<Record>, TypeCount>;

// Times keep at most three decimals (the clock counts milliseconds) and no trailing zeros.
QString formatTime(double seconds);
// The shortest text that this module's reader turns back into the same single-precision value:
// readings are floats, and a decimal text goes through a double on its way back.
QString formatValue(double reading);

// A point this module's reader takes back: a finite time and a value a float holds. Anything else
// written into a file would be skipped when it is drawn again.
bool holdsPoint(double time, double value);

// The file's text for the types whose flag is set, in type order.
QByteArray write(const Recording &records, const std::array<bool, TypeCount> &selected);
// Appends one data line's text, "time,value" as the file holds it, without its line end.
void appendRecord(QByteArray &text, double time, double value);

struct Content
{
    std::array<QVector<QPointF>, TypeCount> sections; // file order within each type
    int skippedLines = 0;                             // non-blank lines that held no usable point
    int currentType = 0;                              // section of the next data line, 0 before any
};

// Reads whole lines of a data file into `content`, continuing its current section, so that a large
// file can be read in pieces cut at line ends. Section lines are "type1" .. "type4" after trimming,
// in any order and repeatable; a data line is two finite decimal numbers separated by one comma,
// blanks around them allowed, the second within a float's range. Lines before the first section
// line and malformed lines are skipped.
void readLines(QStringView text, Content &content);
Content read(const QString &text);

} // namespace DataFile
