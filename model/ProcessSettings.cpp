#include "ProcessSettings.h"

#include "RegularFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

const QString kControllers = QStringLiteral("controllers");
const QString kMixes = QStringLiteral("mixes");
const QString kRampRate = QStringLiteral("ramp_rate");
const QString kChanged = QStringLiteral("changed");

QString tr(const char *text)
{
    return QCoreApplication::translate("ProcessSettings", text);
}

} // namespace

QString ProcessSettings::defaultPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("quorix-rs485/process.json"));
}

bool ProcessSettings::load(const QString &path, QString *error)
{
    *this = ProcessSettings();
    if (!QFile::exists(path))
        return true;
    const QString problem = regularFileProblem(path);
    if (!problem.isEmpty()) {
        *error = path + problem;
        return false;
    }
    QFile file(path);
    if (file.size() > MaxFileBytes) {
        *error = tr("%1大于%2 MB").arg(path).arg(MaxFileBytes / (1024 * 1024));
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *error = tr("%1无法打开（%2）").arg(path, file.errorString());
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.read(MaxFileBytes), &parseError);
    if (!document.isObject()) {
        *error = tr("%1不是有效的JSON（%2）").arg(path, parseError.errorString());
        return false;
    }
    return fromJson(document.object(), this, error);
}

bool ProcessSettings::save(const QString &path, QString *error) const
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(QJsonDocument(toJson()).toJson(QJsonDocument::Indented)) < 0 || !file.commit()) {
        *error = tr("%1无法写入（%2）").arg(path, file.errorString());
        return false;
    }
    return true;
}

double ProcessSettings::rampRate(quint8 address) const
{
    return m_controllers.value(address).value(kRampRate).toDouble(0);
}

void ProcessSettings::setRampRate(quint8 address, double sccmPerSecond, const QDateTime &when)
{
    QJsonObject object = m_controllers.value(address);
    object.insert(kRampRate, sccmPerSecond);
    object.insert(kChanged, when.toOffsetFromUtc(when.offsetFromUtc()).toString(Qt::ISODate));
    m_controllers.insert(address, object);
}

AlarmSettings ProcessSettings::alarms(quint8 address) const
{
    return AlarmSettings::fromJson(m_controllers.value(address).value(QStringLiteral("alarms")).toObject());
}

void ProcessSettings::setAlarms(quint8 address, const AlarmSettings &alarms, const QDateTime &when)
{
    QJsonObject object = m_controllers.value(address);
    // Keys of a newer program under "alarms" stay.
    QJsonObject kept = object.value(QStringLiteral("alarms")).toObject();
    const QJsonObject written = alarms.toJson();
    for (auto it = written.constBegin(); it != written.constEnd(); ++it)
        kept.insert(it.key(), it.value());
    object.insert(QStringLiteral("alarms"), kept);
    object.insert(kChanged, when.toOffsetFromUtc(when.offsetFromUtc()).toString(Qt::ISODate));
    m_controllers.insert(address, object);
}

QDateTime ProcessSettings::changed(quint8 address) const
{
    return QDateTime::fromString(m_controllers.value(address).value(kChanged).toString(), Qt::ISODate);
}

QList<quint8> ProcessSettings::addresses() const
{
    return m_controllers.keys();
}

QMap<int, MixGroup> ProcessSettings::mixes() const
{
    QMap<int, MixGroup> groups;
    const QJsonObject all = m_rest.value(kMixes).toObject();
    for (auto it = all.constBegin(); it != all.constEnd(); ++it) {
        MixGroup group;
        bool isNumber = false;
        const int number = it.key().toInt(&isNumber);
        if (isNumber && number >= 1 && MixGroup::fromJson(it.value().toObject(), &group))
            groups.insert(number, group);
    }
    return groups;
}

void ProcessSettings::setMix(int group, const MixGroup &mix)
{
    QJsonObject all = m_rest.value(kMixes).toObject();
    const QString key = QString::number(group);
    all.insert(key, mix.toJson(all.value(key).toObject()));
    m_rest.insert(kMixes, all);
}

void ProcessSettings::removeMix(int group)
{
    QJsonObject all = m_rest.value(kMixes).toObject();
    all.remove(QString::number(group));
    m_rest.insert(kMixes, all);
}

QJsonObject ProcessSettings::toJson() const
{
    QJsonObject controllers;
    for (auto it = m_controllers.cbegin(); it != m_controllers.cend(); ++it)
        controllers.insert(QString::number(it.key()), it.value());
    QJsonObject json = m_rest;
    json.insert(kControllers, controllers);
    return json;
}

bool ProcessSettings::fromJson(const QJsonObject &json, ProcessSettings *settings, QString *error)
{
    ProcessSettings read;
    read.m_rest = json;
    read.m_rest.remove(kControllers);
    const QJsonObject controllers = json.value(kControllers).toObject();
    for (auto it = controllers.constBegin(); it != controllers.constEnd(); ++it) {
        bool isNumber = false;
        const uint address = it.key().toUInt(&isNumber);
        const QJsonObject object = it.value().toObject();
        const QJsonValue rate = object.value(kRampRate);
        // Only the canonical form: "03" or " 3" would be a second entry for one controller.
        if (!isNumber || address < 1 || address > 255 || QString::number(address) != it.key()) {
            *error = tr("控制器地址“%1”无效").arg(it.key());
            return false;
        }
        if (!rate.isUndefined() && (!rate.isDouble() || rate.toDouble() < 0)) {
            *error = tr("设备%1的斜坡速率无效").arg(address);
            return false;
        }
        read.m_controllers.insert(quint8(address), object);
    }
    *settings = read;
    return true;
}
