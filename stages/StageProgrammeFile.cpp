#include "StageProgrammeFile.h"

#include "RegularFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <QTextCodec>

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

// The file's bytes as text; empty with `problem` set when they are no UTF-8 text.
QString textOf(const QByteArray &bytes, QString *problem)
{
    if (bytes.contains('\0')) {
        *problem = QCoreApplication::translate("StageProgrammeFile", "含有NUL字节，不是文本文件");
        return QString();
    }
    QTextCodec::ConverterState state;
    const QString text =
        QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    if (state.invalidChars > 0 || state.remainingChars > 0) {
        *problem = QCoreApplication::translate("StageProgrammeFile", "不是有效的UTF-8文本");
        return QString();
    }
    return text;
}

// Reads no more than a programme can need, so that a large file picked by mistake does not hold
// the page.
QByteArray contentsOf(const QString &path, QString *problem)
{
    // Opening a pipe or a device would block, or read without end: refused before it is opened.
    *problem = regularFileProblem(path);
    if (!problem->isEmpty())
        return QByteArray();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *problem =
            QCoreApplication::translate("StageProgrammeFile", "无法打开（%1）").arg(file.errorString());
        return QByteArray();
    }
    const QByteArray bytes = file.read(MaxStageProgrammeFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
        *problem =
            QCoreApplication::translate("StageProgrammeFile", "读取失败（%1）").arg(file.errorString());
    else if (bytes.size() > MaxStageProgrammeFileBytes)
        *problem = QCoreApplication::translate("StageProgrammeFile", "大于%1 MB，不是分阶配置文件")
                       .arg(MaxStageProgrammeFileBytes >> 20);
    return problem->isEmpty() ? bytes : QByteArray();
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

StageProgrammeParse readStageProgrammeFile(const QString &path, QString *problem)
{
    const QByteArray bytes = contentsOf(path, problem);
    if (!problem->isEmpty())
        return StageProgrammeParse();
    const QString text = textOf(bytes, problem);
    if (!problem->isEmpty())
        return StageProgrammeParse();
    const StageProgrammeParse parsed = parseStageProgrammes(text);
    if (!parsed.beginsWithHeader)
        *problem = QCoreApplication::translate("StageProgrammeFile", "没有以分阶块标题（如[1]）开头");
    return parsed;
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
