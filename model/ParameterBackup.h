#pragma once

#include "RegisterMap.h"
#include "RegisterReply.h"

#include <QByteArray>
#include <QDateTime>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

// A controller's settings as a file a person can read and diff: every ordinary and administrator
// parameter with its register, captions, the value as the parameter windows show it and the four
// bytes the controller sent. The same table decides what a restore may write: device commands are
// not parameters, the control mode has no write in the register map, and the controllers' own menu
// passwords are kept masked so that a backup file never hands them on.
namespace ParameterBackup {

enum class Level
{
    Ordinary,
    Administrator
};

// Why a parameter is or is not written by a restore.
enum class Role
{
    Setting,      // restored, ticked by default when it differs
    Address,      // restorable onto the same controller only, never ticked by default
    Link,         // the baud rate: the next exchange would need another speed
    ActiveOutput, // an unsolicited sender would collide with polling on a shared bus
    ShownOnly,    // the control mode: read, never written
    Masked        // the menu passwords: neither kept nor restored
};

enum class Decoding
{
    Int16,
    Float,
    Int32
};

struct Parameter
{
    const char *name; // the file's key, stable across versions
    quint16 reg;
    Level level;
    int writeType; // the ordinary or administrator write type; 0 for none
    Decoding decoding;
    Role role;
    const char *captionZh;
    const char *captionEn;
};

// In the order of the parameter windows' block reads.
const QVector<Parameter> &parameters();
const Parameter *find(const QString &name);
bool restorable(const Parameter &parameter);
bool tickedByDefault(const Parameter &parameter);
// Where and how a restore writes it (the register map's write of its type).
RegisterMap::WriteTarget writeTarget(const Parameter &parameter);

struct Value
{
    bool masked = false;
    double value = 0;
    QByteArray raw; // the four data bytes as the controller sent them; empty when masked
};

// The value a read reply carries, as the windows show it; nothing for a reply without one.
std::optional<Value> fromReply(const Parameter &parameter, const RegisterReply &reply);
// "30", "0.05", "****"
QString shown(const Parameter &parameter, const Value &value);

struct Backup
{
    int address = 0;
    QDateTime time;
    QString program; // "quorix-cli 2.0.0"
    int baud = 0;
    bool administrator = false; // false: the ordinary parameters only
    QMap<QString, Value> values; // by parameter name; a parameter not read is absent
};

QByteArray toJson(const Backup &backup);
// Nothing, with `error` set, for a file that is not a backup of this shape.
std::optional<Backup> fromJson(const QByteArray &json, QString &error);
// "设备3-2026-12-08-1042.json"
QString fileName(const Backup &backup);

struct Row
{
    const Parameter *parameter = nullptr;
    std::optional<Value> left;
    std::optional<Value> right;
    bool differs = false; // also when only one side holds it; masked values never differ
};
// One row per parameter of the table that either side holds, in table order.
QVector<Row> compare(const Backup &left, const Backup &right);

// The writes of a restore of `backup` onto a controller that now holds `current`: the rows ticked
// (`only` names them; empty: those ticked by default), each one restorable, held by the backup and
// differing. Onto another address (a clone) the address is never carried. Nothing, with `error`
// set, when `only` names a parameter that cannot be restored so.
std::optional<QVector<Row>> restorePlan(const Backup &backup, const Backup &current, const QStringList &only,
                                        QString &error);

} // namespace ParameterBackup
