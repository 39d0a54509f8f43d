#include "DataFile.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace DataFile {

namespace {

bool sameFloat(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The reader's own path: decimal text to double (correctly rounded, as QString::toDouble), then
// narrowed to the reading's float.
bool readsBackAs(const char *first, const char *last, float reading)
{
    double parsed = 0;
    const auto result = std::from_chars(first, last, parsed);
    return result.ec == std::errc() && result.ptr == last && sameFloat(float(parsed), reading);
}

// A record is formatted into a buffer of this size: a fixed time of a 64-bit second count and a
// float's nine significant digits with sign and exponent fit easily.
constexpr int NumberChars = 400;

char *putTime(char *first, char *last, double seconds)
{
    char *end = std::to_chars(first, last, seconds, std::chars_format::fixed, 3).ptr;
    while (end[-1] == '0')
        --end;
    if (end[-1] == '.')
        --end;
    if (end - first == 2 && first[0] == '-' && first[1] == '0')
        *first = '0', end = first + 1;
    return end;
}

char *putValue(char *first, char *last, double reading)
{
    const float value = float(reading);
    // Shortest text for a direct decimal-to-float read; a few of those land on the other side of a
    // float's rounding boundary once read as a double first, so digits are added until it holds.
    char *end = std::to_chars(first, last, value).ptr;
    for (int digits = 6; !readsBackAs(first, end, value) && digits <= 9; ++digits)
        end = std::to_chars(first, last, value, std::chars_format::general, digits).ptr;
    return end;
}

// "time,value" into a buffer of RecordChars.
constexpr int RecordChars = 2 * NumberChars + 1;
char *putRecord(char *line, double time, double value)
{
    char *end = putTime(line, line + NumberChars, time);
    *end++ = ',';
    return putValue(end, end + NumberChars, value);
}

// Half a unit in the last place above the largest float: every smaller value rounds to a float.
constexpr double LeastBeyondFloat = 0x1.ffffffp127;

int typeOfSectionLine(QStringView line)
{
    if (line.size() != 5 || !line.startsWith(QLatin1String("type")))
        return 0;
    const QChar digit = line.at(4);
    return digit >= QLatin1Char('1') && digit <= QLatin1Char('4') ? digit.unicode() - '0' : 0;
}

// Longest number read the quick way: too short to overflow or to underflow to zero.
constexpr int PlainNumberChars = 24;

// A number as the recorder writes it: an optional minus, digits and an optional fraction. Both
// readers round correctly, so such a text gives the same double either way.
bool readPlainNumber(QStringView text, double *number)
{
    const int length = int(text.size());
    if (length == 0 || length > PlainNumberChars)
        return false;
    char ascii[PlainNumberChars];
    int digits = 0, point = -1;
    for (int i = 0; i < length; ++i) {
        const char16_t c = text[i].unicode();
        if (c >= '0' && c <= '9')
            ++digits;
        else if (c == '.' && point < 0 && digits > 0)
            point = i;
        else if (c != '-' || i != 0)
            return false;
        ascii[i] = char(c);
    }
    if (digits == 0 || point == length - 1)
        return false;
    const auto result = std::from_chars(ascii, ascii + length, *number);
    return result.ec == std::errc() && result.ptr == ascii + length;
}

// Blanks around the numbers, exponents and other forms go the long way.
bool readNumber(QStringView text, double *number)
{
    if (readPlainNumber(text, number))
        return true;
    bool ok = false;
    *number = text.toString().toDouble(&ok);
    return ok && std::isfinite(*number);
}

bool readPoint(QStringView line, QPointF *point)
{
    const int comma = int(line.indexOf(QLatin1Char(',')));
    if (comma < 0 || line.indexOf(QLatin1Char(','), comma + 1) >= 0)
        return false;
    double x = 0, y = 0;
    if (!readNumber(line.left(comma), &x) || !readNumber(line.mid(comma + 1), &y))
        return false;
    if (!holdsPoint(x, y))
        return false;
    *point = QPointF(x, y);
    return true;
}

void readLine(QStringView line, Content &content)
{
    line = line.trimmed();
    if (line.isEmpty())
        return;
    if (const int type = typeOfSectionLine(line)) {
        content.currentType = type;
        return;
    }
    QPointF point;
    if (content.currentType == 0 || !readPoint(line, &point)) {
        ++content.skippedLines;
        return;
    }
    content.sections[content.currentType - 1].append(point);
}

} // namespace

// Readings are floats: a value no float holds (1e39) would be drawn at infinity.
bool holdsPoint(double time, double value)
{
    return std::isfinite(time) && std::fabs(value) < LeastBeyondFloat;
}

QString formatTime(double seconds)
{
    char buffer[NumberChars];
    return QString::fromLatin1(buffer, int(putTime(buffer, buffer + sizeof buffer, seconds) - buffer));
}

QString formatValue(double reading)
{
    char buffer[NumberChars];
    return QString::fromLatin1(buffer, int(putValue(buffer, buffer + sizeof buffer, reading) - buffer));
}

QByteArray write(const Recording &records, const std::array<bool, TypeCount> &selected)
{
    QByteArray text;
    int recordCount = 0;
    for (const QVector<Record> &section : records)
        recordCount += section.size();
    text.reserve(recordCount * 24); // a typical line, "86399.999,1013.25"
    char line[RecordChars + 1];
    for (int type = 1; type <= TypeCount; ++type) {
        if (!selected[type - 1])
            continue;
        text += "type" + QByteArray::number(type) + '\n';
        for (const Record &record : records[type - 1]) {
            char *end = putRecord(line, record.time, record.value);
            *end++ = '\n';
            text.append(line, int(end - line));
        }
    }
    return text;
}

void appendRecord(QByteArray &text, double time, double value)
{
    char line[RecordChars];
    text.append(line, int(putRecord(line, time, value) - line));
}

void readLines(QStringView text, Content &content)
{
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), start);
        if (end < 0)
            end = text.size();
        readLine(text.mid(start, end - start), content);
        start = end + 1;
    }
}

Content read(const QString &text)
{
    Content content;
    readLines(text, content);
    return content;
}

} // namespace DataFile
