#pragma once

#include "ParameterBackup.h"

#include <QStringList>

class BusLink;
class QTextStream;

// The command-line verbs that back up, compare and restore a controller's settings:
//
//   --port PATH [--baud N] [--timeout MS] backup ADDR [--admin-password-file F]   (JSON on stdout)
//   ... restore ADDR FILE [--only NAME,...] [--yes] [--admin-password-file F]
//   diff A.json B.json
//
// Exit codes: 0 success (diff: nothing differs), 1 no or unsound answer, a write not verified, a
// restore refused, or (diff) parameters that differ; 2 bad usage, an unreadable file or port; 3 a
// restore without --yes, which only lists the writes it would make.
class BackupCli
{
public:
    enum ExitCode
    {
        Success = 0,
        Failed = 1,
        BadUsage = 2,
        WouldWrite = 3
    };

    BackupCli(QTextStream &out, QTextStream &err);

    // True when the command line names one of these verbs.
    static bool wants(const QStringList &args);
    static QString usage();
    // args without the program name.
    int run(const QStringList &args);

    // Reads the parameters of one controller, the administrator's too when `administrator`; false
    // with `error` naming the first parameter unanswered.
    static bool readController(BusLink &link, quint8 address, bool administrator, ParameterBackup::Backup &backup,
                               QString &error);

private:
    struct Options;
    int parse(const QStringList &args, Options &options);
    int logIn(const Options &options, bool &administrator);
    int backup(BusLink &link, const Options &options);
    int restore(BusLink &link, const Options &options);
    int diff(const Options &options);
    int fail(int code, const QString &message);
    bool load(const QString &path, ParameterBackup::Backup &backup);

    QTextStream &m_out;
    QTextStream &m_err;
};
