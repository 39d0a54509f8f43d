#include "JournalFiles.h"

#include "DataDirectory.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace JournalFiles {

namespace {
QString &folderOverride()
{
    static QString path;
    return path;
}
} // namespace

QString folder()
{
    return folderOverride().isEmpty() ? defaultDataDirectory() : folderOverride();
}

void setFolder(const QString &path)
{
    folderOverride() = path;
}

QString journalPath(const QString &folder, const QString &chosenFile, const QDateTime &started, int n)
{
    QString name = QFileInfo(chosenFile).completeBaseName();
    if (name.isEmpty())
        name = QStringLiteral("data");
    name += QLatin1Char('-') + started.toString(QStringLiteral("yyyyMMdd-hhmmss"));
    if (n > 1)
        name += QLatin1Char('-') + QString::number(n);
    return QDir(folder).filePath(name + QLatin1String(Suffix));
}

QString lockPath(const QString &journalPath)
{
    return journalPath + QStringLiteral(".lock");
}

} // namespace JournalFiles
