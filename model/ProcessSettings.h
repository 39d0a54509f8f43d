#pragma once

#include "AlarmSettings.h"
#include "MixGroup.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>

// What the operator set per controller address for the process: its ramp rate (sccm/s, 0 = off)
// and, kept as they are for the alarms, every other key. One JSON file in the settings folder,
// read and written by the window, the bridge (`bridge --settings FILE`) and scripts:
//   {"controllers": {"3": {"ramp_rate": 20, "changed": "2026-12-08T10:42:05+08:00", ...}},
//    "mixes": {"1": {"name": "N2/Ar", "policy": "ratio", "total": 500, "members": [...]}}}
// Keys it does not know are kept, so that a newer program's file survives an older one.
class ProcessSettings
{
public:
    static constexpr qint64 MaxFileBytes = 1024 * 1024;

    // process.json in the user's configuration folder of the program.
    static QString defaultPath();

    // An absent file gives empty settings; false with a reason for one that cannot be read or is
    // no such file (not regular, too large, not the JSON above).
    bool load(const QString &path, QString *error);
    // Atomically: a crash while saving leaves the previous file.
    bool save(const QString &path, QString *error) const;

    double rampRate(quint8 address) const;
    // Also stamps the change with `when` (local time with its offset).
    void setRampRate(quint8 address, double sccmPerSecond, const QDateTime &when);
    QDateTime changed(quint8 address) const;
    AlarmSettings alarms(quint8 address) const;
    void setAlarms(quint8 address, const AlarmSettings &alarms, const QDateTime &when);
    QList<quint8> addresses() const;

    QJsonObject controller(quint8 address) const { return m_controllers.value(address); }
    void setController(quint8 address, const QJsonObject &object) { m_controllers.insert(address, object); }

    // The mix groups by number (1 .. 4); a group that cannot be read is left out (and kept in the
    // file as it was until replaced).
    QMap<int, MixGroup> mixes() const;
    void setMix(int group, const MixGroup &mix);
    void removeMix(int group);

    QJsonObject toJson() const;
    // False when the object is not of the shape above (a rate that is no number, a negative one).
    static bool fromJson(const QJsonObject &json, ProcessSettings *settings, QString *error);

private:
    QMap<quint8, QJsonObject> m_controllers;
    QJsonObject m_rest; // the file's other top-level keys
};
