#pragma once

#include <QString>

class QDateTime;

// Where the journals of running recordings live and how they are named. A journal is kept next to
// the data files, where the next start looks for recordings that never finished; the lock file beside
// it is held by the process that writes it, so that a journal whose writer is gone can be told from
// one still being written (by this or another running instance).
namespace JournalFiles {

constexpr const char *Suffix = ".journal";

// The data folder (or its fallback in the user's own data location), unless set otherwise.
QString folder();
// Keeps journals elsewhere; an empty path goes back to the data folder. For test programs, whose
// crashed runs must not meet each other's journals.
void setFolder(const QString &path);

// "<name>-<yyyyMMdd-hhmmss>[-n].journal" in `folder`, <name> taken from the chosen data file; n
// counts from 2 for a name already taken.
QString journalPath(const QString &folder, const QString &chosenFile, const QDateTime &started, int n);
QString lockPath(const QString &journalPath);

} // namespace JournalFiles
