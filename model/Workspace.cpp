#include "Workspace.h"

#include "RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

namespace {
const QString kPort = QStringLiteral("port");
const QString kBaud = QStringLiteral("baud");
const QString kPeriod = QStringLiteral("query_period");
const QString kPause = QStringLiteral("query_pause");
const QString kTimeout = QStringLiteral("reply_timeout");
const QString kOnline = QStringLiteral("online");
const QString kProgrammes = QStringLiteral("programme_files");

// A whole number of milliseconds from 0 up, or NotSet when the key is absent; false when present
// and not such a number.
bool readSetting(const QJsonObject &json, const QString &key, int *value)
{
    if (!json.contains(key)) {
        *value = Workspace::NotSet;
        return true;
    }
    const double number = json.value(key).toDouble(-1);
    if (number < 0 || number > 1e6 || number != int(number))
        return false;
    *value = int(number);
    return true;
}
QString &workspacePathOverride()
{
    static QString path;
    return path;
}

} // namespace

void Workspace::setDefaultPath(const QString &path)
{
    workspacePathOverride() = path;
}

QString Workspace::defaultPath()
{
    if (!workspacePathOverride().isEmpty())
        return workspacePathOverride();
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("quorix-rs485/workspace.json"));
}

QString Workspace::summary() const
{
    QStringList addresses;
    for (quint8 address : online)
        addresses << QString::number(address);
    if (addresses.isEmpty())
        return port;
    return tr("%1，设备%2").arg(port, addresses.join(tr("、")));
}

void Workspace::setOnline(quint8 address, bool isOnline)
{
    online.removeAll(address);
    if (isOnline) {
        online.append(address);
        std::sort(online.begin(), online.end());
    }
}

void Workspace::setProgrammeFile(int widget, const QString &path)
{
    if (widget < 0)
        return;
    while (programmeFiles.size() <= widget)
        programmeFiles.append(QString());
    programmeFiles[widget] = path;
}

bool Workspace::load(const QString &path, QString *error)
{
    *this = Workspace();
    if (!QFileInfo::exists(path))
        return true;
    const QString problem = regularFileProblem(path);
    if (!problem.isEmpty() || QFileInfo(path).size() > MaxFileBytes) {
        *error = path + (problem.isEmpty() ? tr("太大") : problem);
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = tr("%1无法读取（%2）").arg(path, file.errorString());
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    const QJsonObject json = document.object();
    const auto unusable = [&] {
        *error = tr("%1不是工作区文件").arg(path);
        *this = Workspace();
        return false;
    };
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return unusable();
    if (!json.value(kPort).isString() || !json.value(kBaud).isDouble() || json.value(kBaud).toInt() <= 0)
        return unusable();
    port = json.value(kPort).toString();
    baud = json.value(kBaud).toInt();
    if (!readSetting(json, kPeriod, &queryPeriodMs) || !readSetting(json, kPause, &queryPauseMs) ||
        !readSetting(json, kTimeout, &replyTimeoutMs))
        return unusable();
    for (const QJsonValue &value : json.value(kOnline).toArray()) {
        const int address = value.toInt(0);
        if (address < 1 || address > 255 || value.toDouble() != address)
            return unusable();
        setOnline(quint8(address), true);
    }
    for (const QJsonValue &value : json.value(kProgrammes).toArray()) {
        if (!value.isString())
            return unusable();
        programmeFiles.append(value.toString());
    }
    return true;
}

bool Workspace::save(const QString &path, QString *error) const
{
    QJsonObject json;
    json.insert(kPort, port);
    json.insert(kBaud, baud);
    if (queryPeriodMs != NotSet)
        json.insert(kPeriod, queryPeriodMs);
    if (queryPauseMs != NotSet)
        json.insert(kPause, queryPauseMs);
    if (replyTimeoutMs != NotSet)
        json.insert(kTimeout, replyTimeoutMs);
    QJsonArray addresses;
    for (quint8 address : online)
        addresses.append(int(address));
    json.insert(kOnline, addresses);
    json.insert(kProgrammes, QJsonArray::fromStringList(programmeFiles));
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(QJsonDocument(json).toJson(QJsonDocument::Indented)) < 0 || !file.commit()) {
        *error = tr("%1无法写入（%2）").arg(path, file.errorString());
        return false;
    }
    return true;
}
