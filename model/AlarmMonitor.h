#pragma once

#include "AlarmSettings.h"
#include "ControllerAlarms.h"
#include "Driver.h"
#include "Reading.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <functional>

class BenchModel;
class MixDriver;

// One alarm episode: raised once, latched until it has cleared and was acknowledged.
struct AlarmRecord
{
    int id = 0;
    quint8 address = 0;
    ControllerAlarms::Kind kind = ControllerAlarms::Deviation;
    double value = 0;
    double limit = 0;
    QDateTime raised;
    QDateTime cleared; // null while the condition holds
    QDateTime acknowledged;
    bool active = true;
    bool zeroSent = false;
    int mixGroup = 0; // the composition alarm's group; 0 for the controllers' own alarms

    bool latched() const { return active || acknowledged.isNull(); }
    // "设备3 流量偏差 12%", "混合组1 组成偏差 设备3 4.2个百分点"
    QString text() const;
    static QString kindName(ControllerAlarms::Kind kind);
    static QString kindKey(ControllerAlarms::Kind kind); // for files and MQTT: "deviation" ...
};

// Watches every controller of the bench model with its alarm settings and keeps the episodes.
// Times come from an injectable clock, so that tests replay them.
class AlarmMonitor : public QObject
{
    Q_OBJECT
public:
    static constexpr int KeptRecords = 1000;

    explicit AlarmMonitor(BenchModel *model, QObject *parent = nullptr);

    void setClock(std::function<ReadTime()> clock) { m_clock = std::move(clock); }
    void setSettings(quint8 address, const AlarmSettings &settings);
    // The mix groups' composition alarms become episodes too, of kind Composition, on the address
    // of the member off the most when it rose. The driver must outlive the monitor.
    void followMixes(MixDriver *mixes);
    AlarmSettings settings(quint8 address) const { return m_alarms.value(address).settings(); }

    // Every episode kept, oldest first.
    const QList<AlarmRecord> &records() const { return m_records; }
    QList<AlarmRecord> latched() const;
    int latchedCount() const;
    // Acknowledges one episode (by id), or every latched one of a controller, for `by` (a remote
    // command: `origin` names its topic and client).
    bool acknowledge(int id, Driver by = Driver::operatorRow(), const QString &origin = QString());
    int acknowledgeController(quint8 address, Driver by = Driver::operatorRow(), const QString &origin = QString());

signals:
    void alarmRaised(AlarmRecord record);
    // Cleared, acknowledged or active again.
    void alarmChanged(AlarmRecord record);
    // The zero action went out for an alarm.
    void zeroSent(AlarmRecord record);
    // An episode was acknowledged, by whom (after its alarmChanged).
    void acknowledged(AlarmRecord record, Driver by, QString origin);

private:
    void takeReading(const Reading &reading);
    void apply(quint8 address, const QList<ControllerAlarms::Change> &changes);
    void raise(quint8 address, const ControllerAlarms::Change &change);
    void clear(quint8 address, const ControllerAlarms::Change &change);
    void mixAlarm(int group, bool raised, quint8 address, double points, double limit);
    AlarmRecord *latchedRecord(quint8 address, ControllerAlarms::Kind kind, int mixGroup = 0);

    BenchModel *m_model;
    std::function<ReadTime()> m_clock = ReadTime::now;
    QHash<quint8, ControllerAlarms> m_alarms;
    QList<AlarmRecord> m_records;
    int m_nextId = 1;
};
