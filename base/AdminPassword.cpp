#include "AdminPassword.h"

#include "RegularFile.h"

#include <QFile>
#include <QFileInfo>

namespace AdminPassword {

namespace {
constexpr qint64 LongestPasswordFile = 4096;
}

bool matches(const QString &typed)
{
    return typed == QLatin1String("guest902731");
}

bool readFile(const QString &path, QString &password, QString &error)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        error = QStringLiteral("%1 does not exist").arg(path);
        return false;
    }
    if (!regularFileProblem(path).isEmpty() || !info.isFile()) {
        error = QStringLiteral("%1 is not a regular file").arg(path);
        return false;
    }
    if (info.size() > LongestPasswordFile) {
        error = QStringLiteral("%1 is larger than %2 bytes").arg(path).arg(LongestPasswordFile);
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    // Bounded again while reading: the file may have grown since it was looked at.
    const QByteArray content = file.read(LongestPasswordFile + 1);
    if (content.size() > LongestPasswordFile) {
        error = QStringLiteral("%1 is larger than %2 bytes").arg(path).arg(LongestPasswordFile);
        return false;
    }
    password = QString::fromUtf8(content.left(content.indexOf('\n') < 0 ? content.size() : content.indexOf('\n')));
    if (password.endsWith(QLatin1Char('\r')))
        password.chop(1);
    return true;
}

} // namespace AdminPassword
