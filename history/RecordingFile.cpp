#include "RecordingFile.h"

#include "DataDirectory.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace RecordingFile {

bool save(const QString &path, const QByteArray &text, QString *error)
{
    QSaveFile file(path);
    // Where no temporary file can be made beside the target, writing in place beats losing data.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    if (file.write(text) != text.size()) {
        *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

Outcome saveOrFallBack(const QString &path, const QString &fallback, const QByteArray &text)
{
    Outcome outcome;
    if (!save(path, text, &outcome.error)) {
        outcome.fallback = fallback;
        save(fallback, text, &outcome.fallbackError);
    }
    return outcome;
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
