#pragma once

#include <QString>

// The bridge's log lines have two readers: the application's message log, which keeps the Chinese
// the program is written in, and quorix-cli's standard error, which is English whatever the locale.
// The tool says so once, at its start; every line is then made in its language.
class BridgeLog
{
public:
    static void speakEnglish();
    static QString say(const QString &chinese, const QString &english);
    // A failure of the bridge itself (no broker, an unusable prefix): in the tool it begins with the
    // tool's prefix, so that one pattern finds every error of quorix-cli.
    static QString failure(const QString &line);
    static bool isFailure(const QString &line);
    static QString withoutPrefix(const QString &line);
};
