#include "RecordingFile.h"

#include "DataDirectory.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace RecordingFile {

bool writeAll(QFileDevice &file, const char *data, qint64 size, QString *error)
{
    while (size > 0) {
        const qint64 written = file.write(data, size);
        if (written <= 0) {
            *error = file.errorString();
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

bool save(const QString &path, const Producer &produce, QString *error)
{
    QSaveFile file(path);
    // Where no temporary file can be made beside the target, writing in place beats losing data.
    file.setDirectWriteFallback(true);
    // Unbuffered, each write reaches the system at once and a failing one carries its reason.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        *error = file.errorString();
        return false;
    }
    if (!produce(file, error)) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

bool save(const QString &path, const QByteArray &text, QString *error)
{
    return save(
        path, [&text](QFileDevice &file, QString *writeError) {
            return writeAll(file, text.constData(), text.size(), writeError);
        },
        error);
}

Outcome saveOrFallBack(const QString &path, const QString &fallback, const Producer &produce)
{
    Outcome outcome;
    if (!save(path, produce, &outcome.error)) {
        outcome.fallback = fallback;
        save(fallback, produce, &outcome.fallbackError);
    }
    return outcome;
}

Outcome saveOrFallBack(const QString &path, const QString &fallback, const QByteArray &text)
{
    return saveOrFallBack(path, fallback, [&text](QFileDevice &file, QString *error) {
        return writeAll(file, text.constData(), text.size(), error);
    });
}

QString fallbackPath(const QString &chosenPath, const QDateTime &when)
{
    QString name = QFileInfo(chosenPath).completeBaseName();
    if (name.isEmpty())
        name = QStringLiteral("data");
    return QDir(defaultDataDirectory())
        .filePath(name + QLatin1Char('-') + when.toString(QStringLiteral("yyyyMMdd-hhmmss")) +
                  QStringLiteral(".csv"));
}

} // namespace RecordingFile
