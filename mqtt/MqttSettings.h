#pragma once

#include <QString>

// Where and how the MQTT link reaches its broker, and what it does there.
struct MqttSettings
{
    static constexpr int DefaultPort = 1883;

    QString host = QStringLiteral("localhost");
    int port = DefaultPort;
    QString user;     // empty: no credentials are sent
    QString password; // never logged
    QString caFile;   // empty: plain TCP; else TLS checked against this CA file
    QString prefix = defaultPrefix();
    bool publish = false;         // the link is up only while this is on
    bool allowSetpoints = false;  // remote setpoints and stops are obeyed

    // "quorix/<host name>": benches sharing one broker each have their own topics.
    static QString defaultPrefix();
    // A prefix as topics use it: no trailing '/', no wildcard characters. Empty when unusable.
    static QString cleanPrefix(const QString &prefix);
};
