#pragma once

#include <QStringList>

class BusLink;
class QTextStream;

// The headless front end: scans, reads, writes and polls controllers from a command line, through
// the same link (and so the same frame and silence rules) as the worker.
//
//   --port PATH [--baud N] [--timeout MS] scan
//   ... read ADDR REG [--as float|u16|i32]
//   ... write ADDR REG VALUE [--float] [--force]
//   ... poll ADDR [--count N] [--interval MS] [--header]
//   ... monitor [ADDR...] [--count N] [--interval MS]
//   --help, --version
// An option's value follows it or joins it with '=' (--port=PATH); options and command mix freely.
//
// Exit codes: 0 success, 1 no or unsound answer (or a reading that is no number), 2 bad usage or
// a port that cannot be opened; every failure leaves one line on the error stream.
class BusCli
{
public:
    enum ExitCode
    {
        Success = 0,
        NoAnswer = 1,
        BadUsage = 2
    };

    BusCli(QTextStream &out, QTextStream &err);

    // args without the program name.
    int run(const QStringList &args);

    static QString usage();

private:
    struct Options;
    int parse(const QStringList &args, Options &options);
    int parseAddresses(const QStringList &arguments);
    int checkWrite(const Options &options, double value);
    int execute(const Options &options);
    int scan(BusLink &link);
    int read(BusLink &link, const Options &options);
    int write(BusLink &link, const Options &options);
    int poll(BusLink &link, const Options &options);
    int monitor(BusLink &link, const Options &options);
    int fail(int code, const QString &message);

    QTextStream &m_out;
    QTextStream &m_err;
};
