#include "MqttSettings.h"

#include <QSysInfo>

QString MqttSettings::defaultPrefix()
{
    QString host = QSysInfo::machineHostName();
    if (host.isEmpty())
        host = QStringLiteral("localhost");
    return cleanPrefix(QStringLiteral("quorix/") + host);
}

QString MqttSettings::cleanPrefix(const QString &prefix)
{
    QString clean = prefix.trimmed();
    while (clean.endsWith(QLatin1Char('/')))
        clean.chop(1);
    if (clean.contains(QLatin1Char('+')) || clean.contains(QLatin1Char('#')) || clean.contains(QChar(0)))
        return QString();
    return clean;
}
