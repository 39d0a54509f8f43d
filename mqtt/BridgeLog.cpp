#include "BridgeLog.h"

#include <atomic>

namespace {
std::atomic<bool> english{false};
const QString prefix = QStringLiteral("quorix-cli: ");
} // namespace

void BridgeLog::speakEnglish()
{
    english = true;
}

QString BridgeLog::say(const QString &chinese, const QString &englishText)
{
    return english ? englishText : chinese;
}

QString BridgeLog::failure(const QString &line)
{
    return english ? prefix + line : line;
}

bool BridgeLog::isFailure(const QString &line)
{
    return line.startsWith(prefix);
}

QString BridgeLog::withoutPrefix(const QString &line)
{
    return isFailure(line) ? line.mid(prefix.size()) : line;
}
