#pragma once

// A real mosquitto broker for one test: 127.0.0.1 at a free port, a configuration written into a
// temporary folder, nothing kept on disk between its runs. kill() ends it as a crash would (the
// port stays the same for start() again); the destructor stops it.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

class MqttBroker
{
public:
    struct Login
    {
        QString user;
        QString password;
    };

    explicit MqttBroker(const Login &login = {}) : m_login(login) { m_port = freePort(); }
    ~MqttBroker() { kill(); }

    int port() const { return m_port; }

    static QString program()
    {
        const QString found = QStandardPaths::findExecutable(QStringLiteral("mosquitto"));
        return found.isEmpty() ? QStandardPaths::findExecutable(QStringLiteral("mosquitto"),
                                                                {"/usr/sbin", "/usr/local/sbin"})
                               : found;
    }

    // Starts the broker and returns once it takes connections (false when it did not within 10 s).
    bool start()
    {
        if (!writeConfiguration())
            return false;
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(program(), {QStringLiteral("-c"), m_dir.filePath(QStringLiteral("broker.conf"))});
        if (!m_process.waitForStarted(5000))
            return false;
        QElapsedTimer clock;
        clock.start();
        while (!acceptsConnections()) {
            if (clock.hasExpired(10000) || m_process.state() != QProcess::Running)
                return false;
            QTest::qWait(20);
        }
        return true;
    }

    void kill()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.kill();
        m_process.waitForFinished(5000);
    }

    QString output() { return QString::fromLocal8Bit(m_process.readAll()); }

private:
    static int freePort()
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        socklen_t length = sizeof address;
        int port = 0;
        if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
            port = ntohs(address.sin_port);
        ::close(fd);
        return port;
    }

    bool acceptsConnections() const
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(quint16(m_port));
        const bool ok = ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
        ::close(fd);
        return ok;
    }

    bool writeConfiguration()
    {
        // Started as root, the broker would become the user "mosquitto", who cannot read this folder.
        const passwd *self = ::getpwuid(::getuid());
        QStringList lines{QStringLiteral("listener %1 127.0.0.1").arg(m_port), "persistence false",
                          "log_dest stdout", QStringLiteral("user %1").arg(QString::fromLocal8Bit(self->pw_name))};
        if (m_login.user.isEmpty()) {
            lines << "allow_anonymous true";
        } else {
            const QString passwords = m_dir.filePath(QStringLiteral("passwords"));
            QFile::remove(passwords);
            QFile file(passwords);
            if (!file.open(QIODevice::WriteOnly))
                return false;
            file.close();
            if (QProcess::execute(QStringLiteral("mosquitto_passwd"),
                                  {"-b", passwords, m_login.user, m_login.password}) != 0)
                return false;
            lines << "allow_anonymous false" << QStringLiteral("password_file %1").arg(passwords);
        }
        QFile conf(m_dir.filePath(QStringLiteral("broker.conf")));
        if (!conf.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        conf.write(lines.join('\n').toUtf8() + '\n');
        return true;
    }

    Login m_login;
    QTemporaryDir m_dir;
    QProcess m_process;
    int m_port = 0;
};
