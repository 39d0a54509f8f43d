#pragma once

#include "MixGroup.h"

#include <QStringList>

class BusLink;
class QTextStream;

// quorix-cli's mix command:
//   --port PATH [--baud N] [--timeout MS] mix ADDR:FRACTION:FULL_SCALE,... --total SCCM
//       [--policy ratio|total]
// Plans the members' setpoints with the mix groups' own planMix (keep the ratio, the default, or
// keep the total), reads each member's control mode (nothing is written unless every member
// answers in instantaneous mode), then writes each member its share once, each checked by its
// echo, and prints the plan and what limited it as one JSON line. A share the controller never
// confirms, or a signal (SIGINT, SIGTERM) once writing began, sets every member to 0 at once: a
// mixture is never left with one of its gases missing.
// Exit codes: 0 every write confirmed, 1 no sound answer, a member not in instantaneous mode, a
// write unconfirmed or a signal, 2 bad usage or a port that cannot be opened; every failure leaves
// one line on the error stream.
class MixCli
{
public:
    // Tries of one write before the mix gives up on it; back to back.
    static constexpr int WriteAttempts = 3;

    MixCli(QTextStream &out, QTextStream &err);

    // True when the arguments ask for the mix command.
    static bool wants(const QStringList &args);
    static QString usage();
    // args without the program name; needs a running QCoreApplication (for the signals).
    int run(const QStringList &args);

private:
    struct Options;
    int parse(const QStringList &args, Options &options);
    int parseMembers(const QString &text, MixGroup &group);
    int mix(BusLink &link, const Options &options);
    bool write(BusLink &link, quint8 address, float value);
    // Every member to 0; true when each confirmed it.
    bool stopAll(BusLink &link, const MixGroup &group);
    int fail(int code, const QString &message);

    QTextStream &m_out;
    QTextStream &m_err;
    int m_signal = 0; // the termination signal received, 0 while none
};
