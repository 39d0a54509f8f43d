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
    // A TLS listener with this certificate chain instead of plain TCP.
    struct Tls
    {
        QString caFile;
        QString certFile;
        QString keyFile;
    };

    explicit MqttBroker(const Login &login = {}, const Tls &tls = {}) : m_login(login), m_tls(tls)
    {
        m_port = freePort();
    }

    // A certificate authority and a server certificate for 127.0.0.1 signed by it, made with
    // openssl into `folder` (ca.crt, server.crt, server.key), and a second authority that signed
    // nothing (other-ca.crt). False when openssl failed.
    static bool makeCertificates(const QString &folder)
    {
        const auto run = [&](const QStringList &arguments) {
            QProcess openssl;
            openssl.setWorkingDirectory(folder);
            openssl.start(QStringLiteral("openssl"), arguments);
            return openssl.waitForFinished(30000) && openssl.exitStatus() == QProcess::NormalExit &&
                   openssl.exitCode() == 0;
        };
        const QStringList ec{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
        QFile extensions(QDir(folder).filePath(QStringLiteral("server.ext")));
        if (!extensions.open(QIODevice::WriteOnly))
            return false;
        extensions.write("subjectAltName=IP:127.0.0.1\n");
        extensions.close();
        return run(QStringList{"req", "-x509"} + ec + QStringList{"-keyout", "ca.key", "-out", "ca.crt", "-days", "2", "-subj", "/CN=bench test CA"}) &&
               run(QStringList{"req", "-x509"} + ec + QStringList{"-keyout", "other-ca.key", "-out", "other-ca.crt", "-days", "2", "-subj", "/CN=other CA"}) &&
               run(QStringList{"req"} + ec + QStringList{"-keyout", "server.key", "-out", "server.csr", "-subj", "/CN=127.0.0.1"}) &&
               run({"x509", "-req", "-in", "server.csr", "-CA", "ca.crt", "-CAkey", "ca.key", "-CAcreateserial", "-out",
                    "server.crt", "-days", "2", "-extfile", "server.ext"});
    }
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
                          "max_queued_messages 0", // a flood of commands is a test's point, not lost on the way
                          "log_dest stdout", QStringLiteral("user %1").arg(QString::fromLocal8Bit(self->pw_name))};
        if (!m_tls.certFile.isEmpty())
            lines << QStringLiteral("cafile %1").arg(m_tls.caFile) << QStringLiteral("certfile %1").arg(m_tls.certFile)
                  << QStringLiteral("keyfile %1").arg(m_tls.keyFile);
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
    Tls m_tls;
    QTemporaryDir m_dir;
    QProcess m_process;
    int m_port = 0;
};
