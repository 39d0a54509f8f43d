#pragma once

#include "MqttSettings.h"

#include <QString>

// The MQTT settings kept between starts: an INI file in the user's configuration folder, and the
// password, only when the operator asks to keep it, in a file of its own that only the user may
// read. Remote setpoints are never kept: they are off at every start.
class MqttSettingsStore
{
public:
    // <configuration folder>/quorix-rs485/mqtt.conf and mqtt-password beside it.
    static QString defaultFolder();
    explicit MqttSettingsStore(const QString &folder = defaultFolder());

    MqttSettings load() const;
    bool passwordKept() const;
    // False with the system's reason when a file could not be written.
    bool save(const MqttSettings &settings, bool keepPassword, QString *error = nullptr);

    QString settingsPath() const;
    QString passwordPath() const;

private:
    bool savePassword(const QString &password, QString *error);
    QString m_folder;
};
