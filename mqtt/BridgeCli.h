#pragma once

#include "BridgeRecording.h"
#include "HeadlessBridge.h"

#include <QStringList>

class QTextStream;
class ToolArguments;

// quorix-cli's bridge command:
//   --port PATH [--baud N] [--timeout MS] bridge --mqtt HOST[:PORT] [--prefix P]
//   [--user U --password-file F] [--cafile F] [--allow-setpoints] [--period MS]
//   [--record FILE --record-device A [--types flow,total,temperature,pressure] --duration 2h
//    [--journal-dir DIR]]
// Runs until SIGINT or SIGTERM (exit code 0, "offline" published). Exit codes otherwise: 1 no
// controller answered the scan, 2 bad usage, an unreadable password file or a port that cannot be
// opened. The log goes to the error stream, one line each.
class BridgeCli
{
public:
    BridgeCli(QTextStream &out, QTextStream &err);

    // True when the arguments ask for the bridge command.
    static bool wants(const QStringList &args);
    static QString usage();
    // args without the program name; runs the event loop of the running QCoreApplication.
    int run(const QStringList &args);

private:
    int parse(const ToolArguments &line, HeadlessBridge::Options &options);
    bool parseBroker(const QString &text, MqttSettings &settings);
    int fail(const QString &message);
    int parseRecording(const ToolArguments &line);

    QTextStream &m_out;
    QTextStream &m_err;
    BridgeRecording::Plan m_record; // no file: nothing recorded
};
