#pragma once

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>

// What the operator had set up when the program last ran, so that one click brings it back: the
// port and its baud rate, the communication settings changed in the loss window, the controllers
// taken online, and the programme file loaded into each stage widget. One JSON file in the
// settings folder:
//   {"port": "/dev/ttyUSB0", "baud": 9600, "query_period": 1000, "query_pause": 20,
//    "reply_timeout": 250, "online": [1, 3, 12], "programme_files": ["/a.txt", "", "", ""]}
// A communication setting never changed is left out and keeps the worker's own default.
class Workspace
{
    Q_DECLARE_TR_FUNCTIONS(Workspace)
public:
    static constexpr qint64 MaxFileBytes = 64 * 1024;
    static constexpr int NotSet = -1;

    // workspace.json in the user's configuration folder of the program, unless set otherwise (an
    // empty path goes back to it): test programs running side by side keep theirs apart.
    static QString defaultPath();
    static void setDefaultPath(const QString &path);

    QString port;
    int baud = 9600;
    int queryPeriodMs = NotSet;
    int queryPauseMs = NotSet;
    int replyTimeoutMs = NotSet;
    QList<quint8> online; // ascending, no address twice
    QStringList programmeFiles; // one per stage widget, leftmost first; empty: none loaded

    // Whether there is something to restore: a port to open.
    bool isRestorable() const { return !port.isEmpty(); }
    // "/dev/ttyUSB0，设备1、3、12" as the offer to restore names it.
    QString summary() const;

    void setOnline(quint8 address, bool online);
    void setProgrammeFile(int widget, const QString &path);

    // An absent file gives an empty workspace (nothing to restore); false with a reason for one
    // that cannot be read or is not of the shape above.
    bool load(const QString &path, QString *error);
    // Atomically: a crash while saving leaves the previous file.
    bool save(const QString &path, QString *error) const;
};
