#include "StageProgrammeFile.h"

#include <QStringList>

namespace {

bool isHeader(const QString &line)
{
    return line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'));
}

// A step line is exactly two base-10 integers separated by one comma.
bool readStep(const QString &line, StageStep &step)
{
    const QStringList parts = line.split(QLatin1Char(','));
    if (parts.size() != 2)
        return false;
    bool flowOk = false;
    bool secondsOk = false;
    step.first = parts[0].toInt(&flowOk, 10);
    step.second = parts[1].toInt(&secondsOk, 10);
    return flowOk && secondsOk;
}

// Editors on some desktops put a byte order mark before the first header.
QString withoutByteOrderMark(const QString &text)
{
    return text.startsWith(QChar(0xFEFF)) ? text.mid(1) : text;
}

} // namespace

int StageProgrammeParse::stepCount() const
{
    int count = 0;
    for (const StageProgramme &block : blocks)
        count += block.size();
    return count;
}

bool StageProgrammeParse::isUnusableBlock(int block) const
{
    return blocks.value(block).isEmpty() && invalidLines.value(block) > 0;
}

StageProgrammeParse parseStageProgrammes(const QString &text)
{
    StageProgrammeParse result;
    const QStringList lines = withoutByteOrderMark(text).split(QLatin1Char('\n'));
    for (const QString &rawLine : lines) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty())
            continue;
        if (isHeader(line)) {
            result.beginsWithHeader = true;
            result.blocks.append(StageProgramme());
            result.headers.append(line);
            result.invalidLines.append(0);
            continue;
        }
        if (!result.beginsWithHeader)
            return StageProgrammeParse();
        StageStep step;
        if (readStep(line, step)) {
            result.blocks.last().append(step);
        } else {
            ++result.skippedLines;
            ++result.invalidLines.last();
        }
    }
    return result;
}

QString stageProgrammesText(const StageProgrammeSet &programmes)
{
    QString text;
    for (int k = 0; k < programmes.size(); ++k) {
        text += QStringLiteral("[%1]\n").arg(k + 1);
        for (const StageStep &step : programmes[k])
            text += QStringLiteral("%1,%2\n").arg(step.first).arg(step.second);
        text += QLatin1Char('\n');
    }
    return text;
}
