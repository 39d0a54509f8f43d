#pragma once

#include <QStringList>

class BusLink;
class QTextStream;
class TerminationSignals;

// quorix-cli's ramp command:
//   --port PATH [--baud N] [--timeout MS] ramp ADDR TARGET --rate R
// Takes one controller from the setpoint it holds to TARGET at R sccm/s, one write a second, each
// printed as "time,value,yes|no" (yes: the controller echoed it). A target of 0 is written at once.
// A signal (SIGINT, SIGTERM) or a write the controller never confirms ends the ramp with a 0
// written at once: nobody is left watching a flow the ramp only passed through.
// Exit codes: 0 the target confirmed, 1 no sound answer, a write unconfirmed or a signal, 2 bad
// usage or a port that cannot be opened; every failure leaves one line on the error stream.
class RampCli
{
public:
    // Tries of one write before the ramp gives up on it; back to back, within the second.
    static constexpr int WriteAttempts = 3;

    RampCli(QTextStream &out, QTextStream &err);

    // True when the arguments ask for the ramp command.
    static bool wants(const QStringList &args);
    static QString usage();
    // args without the program name; needs a running QCoreApplication (for the signals).
    int run(const QStringList &args);

private:
    struct Options;
    int parse(const QStringList &args, Options &options);
    int ramp(BusLink &link, const Options &options, TerminationSignals &termination);
    // Writes the setpoint, tried up to WriteAttempts times, and prints its line.
    bool write(BusLink &link, quint8 address, float value);
    int stopFlow(BusLink &link, quint8 address, const QString &why);
    int fail(int code, const QString &message);

    QTextStream &m_out;
    QTextStream &m_err;
    int m_signal = 0; // the termination signal received, 0 while none
};
