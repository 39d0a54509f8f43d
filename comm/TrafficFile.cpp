#include "TrafficFile.h"

// In the monitor's words, not the interface's: the file reads the same whatever the language.
QString TrafficFile::header(const BusHealth::Bus &bus, const QDateTime &savedAt)
{
    return QStringLiteral("# saved %1; port %2; %3 baud; reply timeout %4 ms")
        .arg(savedAt.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")),
             bus.portName.isEmpty() ? QStringLiteral("-") : bus.portName)
        .arg(bus.baudRate)
        .arg(bus.replyTimeoutMs);
}

QByteArray TrafficFile::text(const BusHealth::Bus &bus, const QDateTime &savedAt, const QStringList &lines)
{
    QStringList all{header(bus, savedAt)};
    all << lines << QString(); // the last line ends too
    return all.join(QLatin1Char('\n')).toUtf8();
}
