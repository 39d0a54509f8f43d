#pragma once

#include "RecordingFile.h"

#include <QString>

#include <array>
#include <cstdio>

class JournalSamples;
class JournalWriter;
class QDateTime;
class QFileDevice;

// Turns a recording's journal into its data file, byte for byte the file a recording held in memory
// would have written: the selected types in type order, each "typeN" followed by its samples in
// arrival order. The journal is read once per type, so that a day's recording needs no more memory
// than a few buffers.
namespace JournalConversion {

using Selected = std::array<bool, 4>;

// When `points` is given, each sample's value is printed there after its type's prefix
// ("111Point:" .. "444Point:"), six significant digits, all four types in type order, selected or
// not, read in the same pass.
bool writeDataFile(JournalSamples &samples, const Selected &selected, QFileDevice &file, QString *error,
                   std::FILE *points = nullptr);

// The end of a recording whose journal has finished: its point lines printed, its data file saved to
// `target` or else to `fallback`, and the journal removed once the file is saved. When neither file
// can be written the journal stays and the outcome names it.
RecordingFile::Outcome saveFinished(JournalWriter &journal, const Selected &selected, const QString &target,
                                    const QString &fallback);

// A journal left by a recording that never finished, with its lock held by the caller: saved to its
// chosen file when that is missing or empty (confirming a recording creates it empty), else to the
// fallback name of `now`. The journal is removed once its data file is saved. `saved` is where.
RecordingFile::Outcome recover(const QString &journalPath, const QDateTime &now, QString *saved);

} // namespace JournalConversion
