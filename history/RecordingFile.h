#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// Writing a finished recording so that no half-written file is left behind, and the place its data
// goes to when the chosen file cannot be written.
namespace RecordingFile {

// Writes the whole text or leaves the file as it was; on failure `error` says why.
bool save(const QString &path, const QByteArray &text, QString *error);

// "<name>-<yyyyMMdd-hhmmss>.csv" in the default data directory, <name> taken from the chosen file.
QString fallbackPath(const QString &chosenPath, const QDateTime &when);

struct Outcome
{
    QString error;         // why the chosen file could not be written; empty when it was
    QString fallback;      // where the text went instead
    QString fallbackError; // why that failed too; empty when it did not
};

// Writes the text to the chosen path or, when that fails, to the fallback path. Safe on any thread.
Outcome saveOrFallBack(const QString &path, const QString &fallback, const QByteArray &text);

} // namespace RecordingFile
