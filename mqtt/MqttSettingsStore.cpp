#include "MqttSettingsStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

QString MqttSettingsStore::defaultFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("quorix-rs485"));
}

MqttSettingsStore::MqttSettingsStore(const QString &folder) : m_folder(folder) {}

QString MqttSettingsStore::settingsPath() const
{
    return QDir(m_folder).filePath(QStringLiteral("mqtt.conf"));
}

QString MqttSettingsStore::passwordPath() const
{
    return QDir(m_folder).filePath(QStringLiteral("mqtt-password"));
}

MqttSettings MqttSettingsStore::load() const
{
    MqttSettings settings;
    const QSettings file(settingsPath(), QSettings::IniFormat);
    settings.host = file.value(QStringLiteral("broker/host"), settings.host).toString();
    settings.port = file.value(QStringLiteral("broker/port"), settings.port).toInt();
    settings.user = file.value(QStringLiteral("broker/user")).toString();
    settings.caFile = file.value(QStringLiteral("broker/cafile")).toString();
    settings.prefix = file.value(QStringLiteral("topics/prefix"), settings.prefix).toString();
    settings.publish = file.value(QStringLiteral("topics/publish"), false).toBool();
    settings.allowSetpoints = false;
    QFile password(passwordPath());
    if (password.open(QIODevice::ReadOnly))
        settings.password = QString::fromUtf8(password.readAll());
    return settings;
}

bool MqttSettingsStore::passwordKept() const
{
    return QFile::exists(passwordPath());
}

bool MqttSettingsStore::save(const MqttSettings &settings, bool keepPassword, QString *error)
{
    if (!QDir().mkpath(m_folder)) {
        if (error)
            *error = QCoreApplication::translate("MqttSettingsStore", "无法创建文件夹%1").arg(m_folder);
        return false;
    }
    QSettings file(settingsPath(), QSettings::IniFormat);
    file.setValue(QStringLiteral("broker/host"), settings.host);
    file.setValue(QStringLiteral("broker/port"), settings.port);
    file.setValue(QStringLiteral("broker/user"), settings.user);
    file.setValue(QStringLiteral("broker/cafile"), settings.caFile);
    file.setValue(QStringLiteral("topics/prefix"), settings.prefix);
    file.setValue(QStringLiteral("topics/publish"), settings.publish);
    file.sync();
    if (file.status() != QSettings::NoError) {
        if (error)
            *error = QCoreApplication::translate("MqttSettingsStore", "无法写入%1").arg(settingsPath());
        return false;
    }
    if (!keepPassword) {
        QFile::remove(passwordPath());
        return true;
    }
    return savePassword(settings.password, error);
}

bool MqttSettingsStore::savePassword(const QString &password, QString *error)
{
    QSaveFile file(passwordPath());
    // Readable by the user alone before the password is in it.
    const bool ok = file.open(QIODevice::WriteOnly) &&
                    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) &&
                    file.write(password.toUtf8()) >= 0 && file.commit();
    if (!ok && error)
        *error = QCoreApplication::translate("MqttSettingsStore", "%1：%2")
                     .arg(passwordPath(), file.errorString());
    return ok;
}
