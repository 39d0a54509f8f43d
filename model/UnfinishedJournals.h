#pragma once

#include "JournalHeader.h"

#include <QDateTime>
#include <QString>
#include <QVector>

#include <memory>

class QLockFile;

// The journals that recordings left when they never finished (the program killed, the power cut),
// found in the folder where journals are kept and turned into their data files: the chosen file
// when it is missing or empty, else a file of its own in the data folder. Shared by the window's
// offer at start and the headless bridge's start.
namespace UnfinishedJournals {

struct Journal
{
    QString path;
    JournalHeader header;
    std::shared_ptr<QLockFile> lock; // held while this process deals with the journal
};

struct Result
{
    QString journal;
    QString dataFile; // where its samples went; empty when they could not be saved
    QString error;
};

// The journals in `folder` whose writer is gone, each locked for the caller. A journal being
// written, by this process or another, is not among them; nor is a file with no whole header, nor
// anything but a regular file (a pipe named like a journal would hold the opening up for good).
QVector<Journal> find(const QString &folder);

// Turns each into its data file and lets go of its lock; on any thread.
QVector<Result> convert(const QVector<Journal> &journals, const QDateTime &now);

} // namespace UnfinishedJournals
