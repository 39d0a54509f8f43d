#include "UnfinishedJournals.h"

#include "JournalConversion.h"
#include "JournalFiles.h"
#include "RegularFile.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QLockFile>

namespace UnfinishedJournals {

QVector<Journal> find(const QString &folder)
{
    QVector<Journal> found;
    const QDir dir(folder);
    const QStringList names =
        dir.entryList({QStringLiteral("*") + QLatin1String(JournalFiles::Suffix)}, QDir::Files, QDir::Name);
    for (const QString &name : names) {
        Journal journal;
        journal.path = dir.filePath(name);
        // QDir::Files passes a link to a pipe; opening it would wait for a writer that never comes.
        // The lock file is read too when it is there.
        QString problem = regularFileProblem(journal.path);
        if (problem.isEmpty())
            problem = regularFileProblem(JournalFiles::lockPath(journal.path));
        if (!problem.isEmpty()) {
            qWarning() << "not a recording journal, left as it is:" << journal.path << problem;
            continue;
        }
        journal.lock = std::make_shared<QLockFile>(JournalFiles::lockPath(journal.path));
        journal.lock->setStaleLockTime(0); // only a lock whose process is gone is stale
        if (!journal.lock->tryLock(0))
            continue; // still being written
        QFile file(journal.path);
        QString error;
        if (!file.open(QIODevice::ReadOnly) || !JournalHeader::read(file, &journal.header, &error)) {
            qWarning() << "not a recording journal, left as it is:" << journal.path << error;
            continue;
        }
        found.append(journal);
    }
    return found;
}

QVector<Result> convert(const QVector<Journal> &journals, const QDateTime &now)
{
    QVector<Result> results;
    for (const Journal &journal : journals) {
        Result result;
        result.journal = journal.path;
        const RecordingFile::Outcome outcome = JournalConversion::recover(journal.path, now, &result.dataFile);
        if (result.dataFile.isEmpty())
            result.error = outcome.fallbackError.isEmpty() ? outcome.error : outcome.fallbackError;
        journal.lock->unlock();
        results.append(result);
    }
    return results;
}

} // namespace UnfinishedJournals
