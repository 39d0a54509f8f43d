#include "SimPty.h"

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

bool fail(QString *error, const char *what)
{
    if (error)
        *error =
            QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
    return false;
}

bool makeRaw(int fd)
{
    termios settings{};
    if (tcgetattr(fd, &settings) != 0)
        return false;
    cfmakeraw(&settings);
    return tcsetattr(fd, TCSANOW, &settings) == 0;
}

bool exists(const QByteArray &path)
{
    struct stat info
    {
    };
    return ::lstat(path.constData(), &info) == 0;
}

bool isSymlink(const QByteArray &path)
{
    struct stat info
    {
    };
    return ::lstat(path.constData(), &info) == 0 && S_ISLNK(info.st_mode);
}

} // namespace

SimPty::~SimPty()
{
    close();
}

bool SimPty::open(QString *error)
{
    close();
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0)
        return fail(error, "posix_openpt");
    char name[128] = {};
    if (fcntl(m_master, F_SETFD, FD_CLOEXEC) != 0 || fcntl(m_master, F_SETFL, O_NONBLOCK) != 0 ||
        grantpt(m_master) != 0 || unlockpt(m_master) != 0 || ptsname_r(m_master, name, sizeof name) != 0) {
        const bool result = fail(error, "preparing the pseudo-terminal");
        close();
        return result;
    }
    m_keptSlave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_keptSlave < 0 || !makeRaw(m_keptSlave)) {
        const bool result = fail(error, name);
        close();
        return result;
    }
    m_slavePath = QString::fromLocal8Bit(name);
    return true;
}

void SimPty::close()
{
    if (m_keptSlave >= 0)
        ::close(m_keptSlave);
    if (m_master >= 0)
        ::close(m_master);
    m_keptSlave = -1;
    m_master = -1;
    m_slavePath.clear();
}

bool SimPty::updateLink(const QString &linkPath, QString *error) const
{
    const QByteArray link = QFile::encodeName(linkPath);
    if (exists(link) && !isSymlink(link)) {
        if (error)
            *error = QStringLiteral("%1 exists and is not a symbolic link; it is left alone").arg(linkPath);
        return false;
    }
    const QByteArray staging = link + ".new." + QByteArray::number(qint64(getpid()));
    ::unlink(staging.constData());
    if (::symlink(QFile::encodeName(m_slavePath).constData(), staging.constData()) != 0)
        return fail(error, "symlink");
    if (::rename(staging.constData(), link.constData()) != 0) {
        const bool result = fail(error, "rename");
        ::unlink(staging.constData());
        return result;
    }
    return true;
}

void SimPty::removeLink(const QString &linkPath)
{
    // Only our own kind of file goes: never an operator's file that took the name meanwhile.
    const QByteArray link = QFile::encodeName(linkPath);
    if (!linkPath.isEmpty() && isSymlink(link))
        ::unlink(link.constData());
}

bool SimPty::waitUntilReadable(int timeoutMs) const
{
    if (m_keptSlave < 0)
        return false;
    pollfd readable{m_keptSlave, POLLIN, 0};
    int ready = -1;
    do {
        ready = ::poll(&readable, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    return ready > 0 && (readable.revents & POLLIN);
}
