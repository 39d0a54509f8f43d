#include "RegularFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

QString kindOf(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat status;
    if (::stat(QFile::encodeName(path).constData(), &status) == 0) {
        if (S_ISFIFO(status.st_mode))
            return QCoreApplication::translate("RegularFile", "命名管道");
        if (S_ISCHR(status.st_mode))
            return QCoreApplication::translate("RegularFile", "字符设备");
        if (S_ISBLK(status.st_mode))
            return QCoreApplication::translate("RegularFile", "块设备");
        if (S_ISSOCK(status.st_mode))
            return QCoreApplication::translate("RegularFile", "套接字");
    }
#endif
    return QFileInfo(path).isDir() ? QCoreApplication::translate("RegularFile", "文件夹")
                                    : QCoreApplication::translate("RegularFile", "特殊文件");
}

} // namespace

QString regularFileProblem(const QString &path)
{
    // Both follow symbolic links: a link to a regular file is one, a dangling link a new file.
    const QFileInfo info(path);
    if (!info.exists() || info.isFile())
        return QString();
    return QCoreApplication::translate("RegularFile", "不是普通文件，而是%1").arg(kindOf(path));
}

QString saveWholeFile(const QString &path, const QByteArray &bytes)
{
    const QString problem = regularFileProblem(path);
    if (!problem.isEmpty())
        return problem;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) < 0 || !file.commit())
        return file.errorString();
    return QString();
}
