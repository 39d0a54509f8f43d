#pragma once

#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

// One step of a staged programme: the flow set-point in sccm and how many seconds it holds.
using StageStep = QPair<int, int>;
// The steps of one stage widget, in table order.
using StageProgramme = QVector<StageStep>;
// The programmes of the stage widgets, leftmost widget first.
using StageProgrammeSet = QVector<StageProgramme>;

// What a programme file held. Blocks keep their file order, empty ones included, so that block k
// always belongs to widget k.
struct StageProgrammeParse
{
    StageProgrammeSet blocks;
    QStringList headers;           // each block's header line as written, e.g. "[2]"
    QVector<int> invalidLines;     // per block, its lines that were not a valid step
    int skippedLines = 0;          // non-empty lines that were neither a header nor a valid step
    bool beginsWithHeader = false; // a file that does not start with "[n]" is not a programme file

    int stepCount() const;
    // A block that held lines, none of them a valid step: not a programme, so no table's
    // replacement either.
    bool isUnusableBlock(int block) const;
    // A file worth loading: it starts with a header and holds at least one valid step.
    bool isUsable() const { return beginsWithHeader && stepCount() > 0; }
};

// Reads the text of a programme file. Lines are trimmed, so LF and CR LF files read alike.
StageProgrammeParse parseStageProgrammes(const QString &text);

// Four full blocks take some 7 KB; nothing near this size is a programme file.
constexpr qint64 MaxStageProgrammeFileBytes = 1 << 20;

// Reads and parses the programme file at `path`. When it is no programme file at all (no regular
// file, unreadable, too large, not UTF-8 text, or not starting with a block header), `problem`
// receives why, in words that follow the file's name ("不是普通文件，而是命名管道"), and the result
// is empty. A programme file without a valid step leaves `problem` empty.
StageProgrammeParse readStageProgrammeFile(const QString &path, QString *problem);

// The text of a programme file: a "[k]" header per block (1-based), one "flow,seconds" line per
// step, and an empty line after each block. Line ends are "\n"; a text-mode file makes them the
// platform's own.
QString stageProgrammesText(const StageProgrammeSet &programmes);
