#pragma once

#include <QString>

// A raw pseudo-terminal whose slave end is what an application opens as its serial port. The
// slave is also kept open here (and never read), so that the master does not see a hang-up each
// time the application closes its port. Optionally keeps a symbolic link to the slave.
class SimPty
{
public:
    SimPty() = default;
    ~SimPty();
    SimPty(const SimPty &) = delete;
    SimPty &operator=(const SimPty &) = delete;

    bool open(QString *error);
    // Closes both ends: an application holding the slave sees its adapter vanish.
    void close();
    bool isOpen() const { return m_master >= 0; }
    int masterFd() const { return m_master; }
    QString slavePath() const { return m_slavePath; }
    // Waits until bytes written to the master can be read at the slave; false after `timeoutMs`.
    bool waitUntilReadable(int timeoutMs) const;

    // Points linkPath at the slave, replacing an older link in one step.
    bool updateLink(const QString &linkPath, QString *error) const;
    static void removeLink(const QString &linkPath);

private:
    int m_master = -1;
    int m_keptSlave = -1;
    QString m_slavePath;
};
