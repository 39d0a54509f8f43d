#include "PortTrouble.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace PortTrouble {

namespace {

QString deviceOf(const QString &path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

QString programName(const QString &pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLocal8Bit(comm.read(256)).trimmed();
}

} // namespace

QStringList holders(const QString &path)
{
    const QString device = deviceOf(path);
    const QString self = QString::number(QCoreApplication::applicationPid());
    QStringList found;
    const QDir proc(QStringLiteral("/proc"));
    for (const QString &pid : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool numeric = false;
        pid.toLongLong(&numeric);
        if (!numeric || pid == self)
            continue;
        // Another user's descriptors are not listed to us: those programs stay unnamed.
        const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
        for (const QFileInfo &fd :
             fds.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
            if (fd.symLinkTarget() == device) {
                found.append(QStringLiteral("%1 (pid %2)").arg(programName(pid), pid));
                break;
            }
        }
    }
    return found;
}

QString openFailure(const QString &path, QSerialPort::SerialPortError error, const QString &reason)
{
    const QFileInfo info(path);
    if (!info.exists() || error == QSerialPort::DeviceNotFoundError)
        return QStringLiteral("%1 does not exist (adapter unplugged, or another name?)").arg(path);
    if (error == QSerialPort::PermissionError) {
        const QStringList others = holders(path);
        if (!others.isEmpty())
            return QStringLiteral("another program holds the port: %1").arg(others.join(QLatin1String(", ")));
        if (!info.isReadable() || !info.isWritable())
            return QStringLiteral("no permission to use %1 (is the user in group dialout?)").arg(path);
        return QStringLiteral("another program holds the port (its lock file says so)");
    }
    return reason;
}

QString cannotOpen(const QString &path, QSerialPort::SerialPortError error, const QString &reason)
{
    return QStringLiteral("cannot open port %1: %2").arg(path, openFailure(path, error, reason));
}

QString loss(const QString &path, const QString &reason)
{
    if (!QFileInfo::exists(path))
        return QStringLiteral("%1 vanished (adapter unplugged?)").arg(path);
    const bool told = !reason.isEmpty() && reason != QLatin1String("Unknown error");
    return told ? QStringLiteral("%1 hung up: %2").arg(path, reason) : QStringLiteral("%1 hung up").arg(path);
}

} // namespace PortTrouble
