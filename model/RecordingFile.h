#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>

class QFileDevice;

// Writing a finished recording so that no half-written file is left behind, and the place its data
// goes to when the chosen file cannot be written.
namespace RecordingFile {

// Writes the file's text into the open file, in as many pieces as it takes; false, with the error,
// when the file takes no more of it.
using Producer = std::function<bool(QFileDevice &file, QString *error)>;

// Writes the whole text or leaves the file as it was; on failure `error` says why.
bool save(const QString &path, const QByteArray &text, QString *error);
bool save(const QString &path, const Producer &produce, QString *error);

// Writes all `size` bytes. A short write sets no error text, so the rest is written again until it
// goes or the system says why not (a full disk: "No space left on device").
bool writeAll(QFileDevice &file, const char *data, qint64 size, QString *error);

// "<name>-<yyyyMMdd-hhmmss>.csv" in the default data directory, <name> taken from the chosen file.
QString fallbackPath(const QString &chosenPath, const QDateTime &when);

struct Outcome
{
    QString error;         // why the chosen file could not be written; empty when it was
    QString fallback;      // where the text went instead
    QString fallbackError; // why that failed too; empty when it did not
    QString keptJournal;   // when both failed: the journal that still holds the samples
};

// Writes the text to the chosen path or, when that fails, to the fallback path. Safe on any thread.
Outcome saveOrFallBack(const QString &path, const QString &fallback, const QByteArray &text);
Outcome saveOrFallBack(const QString &path, const QString &fallback, const Producer &produce);

} // namespace RecordingFile
