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

// The reader's own path: decimal text to double, then narrowed to the reading's float.
bool readsBackAs(const char *first, const char *last, float reading)
{
    bool ok = false;
    const double parsed = QString::fromLatin1(first, int(last - first)).toDouble(&ok);
    return ok && sameFloat(float(parsed), reading);
}

int typeOfSectionLine(QStringView line)
{
    if (line.size() != 5 || !line.startsWith(QLatin1String("type")))
        return 0;
    const QChar digit = line.at(4);
    return digit >= QLatin1Char('1') && digit <= QLatin1Char('4') ? digit.unicode() - '0' : 0;
}

bool readPoint(QStringView line, QPointF *point)
{
    const int comma = line.indexOf(QLatin1Char(','));
    if (comma < 0 || line.indexOf(QLatin1Char(','), comma + 1) >= 0)
        return false;
    bool xOk = false, yOk = false;
    const double x = line.left(comma).toString().toDouble(&xOk);
    const double y = line.mid(comma + 1).toString().toDouble(&yOk);
    if (!xOk || !yOk || !std::isfinite(x) || !std::isfinite(y))
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

QString formatTime(double seconds)
{
    QString text = QString::number(seconds, 'f', 3);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

QString formatValue(double reading)
{
    const float value = float(reading);
    char buffer[64];
    // Shortest text for a direct decimal-to-float read; a few of those land on the other side of a
    // float's rounding boundary once read as a double first, so digits are added until it holds.
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    for (int digits = 6; !readsBackAs(buffer, result.ptr, value) && digits <= 9; ++digits)
        result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, digits);
    return QString::fromLatin1(buffer, int(result.ptr - buffer));
}

QByteArray write(const Recording &records, const std::array<bool, TypeCount> &selected)
{
    QByteArray text;
    for (int type = 1; type <= TypeCount; ++type) {
        if (!selected[type - 1])
            continue;
        text += "type" + QByteArray::number(type) + '\n';
        for (const Record &record : records[type - 1])
            text += formatTime(record.time).toLatin1() + ',' + formatValue(record.value).toLatin1() + '\n';
    }
    return text;
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
