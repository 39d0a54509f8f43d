#include "DataDirectory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

bool usableDirectory(const QString &path)
{
    if (!QDir().mkpath(path))
        return false;
    const QFileInfo info(path);
    return info.isDir() && info.isWritable();
}

} // namespace

QString defaultDataDirectory()
{
    const QString besideExecutable = QCoreApplication::applicationDirPath() + "/data";
    if (usableDirectory(besideExecutable))
        return QDir(besideExecutable).absolutePath();
    const QString userData = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/data";
    usableDirectory(userData);
    return QDir(userData).absolutePath();
}
