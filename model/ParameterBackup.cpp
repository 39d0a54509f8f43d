#include "ParameterBackup.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

namespace ParameterBackup {

namespace {

constexpr int FormatVersion = 1;
const QString FormatName = QStringLiteral("quorix-parameter-backup");

// The captions are the windows' own; the window shows them through the translation of this context.
const QVector<Parameter> table{
    {"gas_number", 0x3002, Level::Ordinary, 2, Decoding::Int16, Role::Setting,
     QT_TRANSLATE_NOOP("ParameterBackup", "气体系数序号"), "Gas coefficient number"},
    {"gas_coefficient", 0x3004, Level::Ordinary, 1, Decoding::Float, Role::Setting,
     QT_TRANSLATE_NOOP("ParameterBackup", "自定义气体系数"), "Custom gas coefficient"},
    {"backlight_time", 0x3008, Level::Ordinary, 3, Decoding::Int16, Role::Setting,
     QT_TRANSLATE_NOOP("ParameterBackup", "背光时间"), "Backlight time"},
    {"power_loss_save", 0x300A, Level::Ordinary, 4, Decoding::Int16, Role::Setting,
     QT_TRANSLATE_NOOP("ParameterBackup", "瞬间掉电保存"), "Save on power loss"},
    {"power_on_delay", 0x300C, Level::Ordinary, 5, Decoding::Int16, Role::Setting,
     QT_TRANSLATE_NOOP("ParameterBackup", "瞬间开机输出延时"), "Output delay at power-on"},
    {"cumulative_interval", 0x300E, Level::Ordinary, 6, Decoding::Int16, Role::Setting,
     QT_TRANSLATE_NOOP("ParameterBackup", "累计量输出时间间隔"), "Cumulative output interval"},
    {"alarm_mode", 0x3010, Level::Ordinary, 7, Decoding::Int16, Role::Setting,
     QT_TRANSLATE_NOOP("ParameterBackup", "流量报警方式"), "Flow alarm mode"},
    {"alarm_polarity", 0x3012, Level::Ordinary, 8, Decoding::Int16, Role::Setting,
     QT_TRANSLATE_NOOP("ParameterBackup", "流量报警引脚极性"), "Flow alarm pin polarity"},
    {"alarm_value_1", 0x3014, Level::Ordinary, 9, Decoding::Float, Role::Setting,
     QT_TRANSLATE_NOOP("ParameterBackup", "报警值1"), "Alarm value 1"},
    {"alarm_value_2", 0x3018, Level::Ordinary, 10, Decoding::Float, Role::Setting,
     QT_TRANSLATE_NOOP("ParameterBackup", "报警值2"), "Alarm value 2"},
    {"control_mode", 0x3000, Level::Ordinary, 0, Decoding::Int16, Role::ShownOnly,
     QT_TRANSLATE_NOOP("ParameterBackup", "控制模式"), "Control mode"},
    {"address", 0x301C, Level::Ordinary, 11, Decoding::Int16, Role::Address,
     QT_TRANSLATE_NOOP("ParameterBackup", "ID号"), "Device address"},
    {"baud_index", 0x301E, Level::Administrator, 1, Decoding::Int16, Role::Link,
     QT_TRANSLATE_NOOP("ParameterBackup", "波特率"), "Baud rate (index)"},
    {"active_output_period", 0x3020, Level::Administrator, 2, Decoding::Int16, Role::ActiveOutput,
     QT_TRANSLATE_NOOP("ParameterBackup", "主动输出周期"), "Active output period"},
    {"active_output", 0x3034, Level::Administrator, 3, Decoding::Int16, Role::ActiveOutput,
     QT_TRANSLATE_NOOP("ParameterBackup", "主动输出选择"), "Active output selection"},
    {"dead_band", 0x3022, Level::Administrator, 4, Decoding::Float, Role::Setting,
     QT_TRANSLATE_NOOP("ParameterBackup", "调节死区"), "Control dead band"},
    {"gain_p", 0x3026, Level::Administrator, 5, Decoding::Float, Role::Setting,
     QT_TRANSLATE_NOOP("ParameterBackup", "调节P"), "Control gain P"},
    {"gain_i", 0x302A, Level::Administrator, 6, Decoding::Float, Role::Setting,
     QT_TRANSLATE_NOOP("ParameterBackup", "调节I"), "Control gain I"},
    {"gain_d", 0x302E, Level::Administrator, 7, Decoding::Float, Role::Setting,
     QT_TRANSLATE_NOOP("ParameterBackup", "调节D"), "Control gain D"},
    {"input_filter", 0x3032, Level::Administrator, 8, Decoding::Int16, Role::Setting,
     QT_TRANSLATE_NOOP("ParameterBackup", "模拟量输入滤波系数"), "Analog input filter coefficient"},
    {"ordinary_menu_password", 0x3036, Level::Administrator, 0, Decoding::Int32, Role::Masked,
     QT_TRANSLATE_NOOP("ParameterBackup", "普通菜单密码"), "Ordinary menu password"},
    {"advanced_menu_password", 0x303A, Level::Administrator, 0, Decoding::Int32, Role::Masked,
     QT_TRANSLATE_NOOP("ParameterBackup", "高级菜单密码"), "Advanced menu password"},
};

QString hexRegister(quint16 reg)
{
    return QStringLiteral("0x%1").arg(reg, 4, 16, QLatin1Char('0')).toUpper().replace(QLatin1String("0X"), QLatin1String("0x"));
}

// A float is kept as the windows show it (six significant digits), so that 0.05 stays 0.05.
double shownNumber(Decoding decoding, const RegisterReply &reply)
{
    switch (decoding) {
    case Decoding::Int16:
        return reply.asUint16;
    case Decoding::Int32:
        return reply.asInt32;
    case Decoding::Float:
        break;
    }
    return QString::number(double(reply.asFloat), 'g', 6).toDouble();
}

bool sameValue(const std::optional<Value> &a, const std::optional<Value> &b)
{
    if (!a || !b)
        return !a && !b;
    if (a->masked || b->masked)
        return true;
    return a->value == b->value;
}

} // namespace

const QVector<Parameter> &parameters()
{
    return table;
}

const Parameter *find(const QString &name)
{
    for (const Parameter &parameter : table) {
        if (name == QLatin1String(parameter.name))
            return &parameter;
    }
    return nullptr;
}

bool restorable(const Parameter &parameter)
{
    return parameter.writeType != 0 && parameter.role != Role::ShownOnly && parameter.role != Role::Masked;
}

bool tickedByDefault(const Parameter &parameter)
{
    return parameter.role == Role::Setting;
}

RegisterMap::WriteTarget writeTarget(const Parameter &parameter)
{
    if (!restorable(parameter))
        return {};
    return parameter.level == Level::Ordinary ? RegisterMap::ordinaryWrite(parameter.writeType)
                                              : RegisterMap::adminWrite(parameter.writeType);
}

std::optional<Value> fromReply(const Parameter &parameter, const RegisterReply &reply)
{
    if (!reply.isValid())
        return std::nullopt;
    Value value;
    if (parameter.role == Role::Masked) {
        value.masked = true;
        return value;
    }
    value.value = shownNumber(parameter.decoding, reply);
    value.raw = reply.registerBytes();
    return value;
}

QString shown(const Parameter &parameter, const Value &value)
{
    if (value.masked)
        return QStringLiteral("****");
    if (parameter.decoding == Decoding::Float)
        return QString::number(value.value, 'g', 6);
    return QString::number(qint64(value.value));
}

QByteArray toJson(const Backup &backup)
{
    QJsonArray entries;
    for (const Parameter &parameter : table) {
        const auto it = backup.values.constFind(QLatin1String(parameter.name));
        if (it == backup.values.cend())
            continue;
        QJsonObject entry{{"name", parameter.name},
                          {"register", hexRegister(parameter.reg)},
                          {"caption_zh", QString::fromUtf8(parameter.captionZh)},
                          {"caption_en", parameter.captionEn},
                          {"level", parameter.level == Level::Ordinary ? "ordinary" : "administrator"},
                          {"restorable", restorable(parameter)}};
        if (it->masked) {
            entry.insert("masked", true);
        } else {
            entry.insert("value", it->value);
            entry.insert("raw", QString::fromLatin1(it->raw.toHex(' ')));
        }
        entries.append(entry);
    }
    // Always with a numeric offset ("+08:00", "+00:00"), also where the clock runs on UTC.
    const int offset = backup.time.offsetFromUtc();
    const QString time = backup.time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) +
                         (offset < 0 ? QLatin1Char('-') : QLatin1Char('+')) +
                         QTime(0, 0).addSecs(qAbs(offset)).toString(QStringLiteral("HH:mm"));
    const QJsonObject root{{"format", FormatName},
                           {"format_version", FormatVersion},
                           {"address", backup.address},
                           {"time", time},
                           {"program", backup.program},
                           {"baud", backup.baud},
                           {"administrator", backup.administrator},
                           {"parameters", entries}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

std::optional<Backup> fromJson(const QByteArray &json, QString &error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (!document.isObject()) {
        error = parseError.error != QJsonParseError::NoError ? parseError.errorString()
                                                              : QStringLiteral("not a JSON object");
        return std::nullopt;
    }
    const QJsonObject root = document.object();
    if (root.value("format").toString() != FormatName) {
        error = QStringLiteral("not a parameter backup (format is not %1)").arg(FormatName);
        return std::nullopt;
    }
    if (root.value("format_version").toInt() > FormatVersion) {
        error = QStringLiteral("written by a newer program (format_version %1)").arg(root.value("format_version").toInt());
        return std::nullopt;
    }
    Backup backup;
    backup.address = root.value("address").toInt();
    if (backup.address < 1 || backup.address > 255) {
        error = QStringLiteral("no controller address (1 to 255)");
        return std::nullopt;
    }
    backup.time = QDateTime::fromString(root.value("time").toString(), Qt::ISODate);
    backup.program = root.value("program").toString();
    backup.baud = root.value("baud").toInt();
    backup.administrator = root.value("administrator").toBool();
    for (const QJsonValue &item : root.value("parameters").toArray()) {
        const QJsonObject entry = item.toObject();
        const Parameter *parameter = find(entry.value("name").toString());
        if (!parameter) // a parameter a later version added: kept out of reach of a restore
            continue;
        Value value;
        value.masked = entry.value("masked").toBool() || parameter->role == Role::Masked;
        if (!value.masked) {
            const QJsonValue number = entry.value("value");
            if (!number.isDouble() || !std::isfinite(number.toDouble())) {
                error = QStringLiteral("%1 has no numeric value").arg(parameter->name);
                return std::nullopt;
            }
            value.value = number.toDouble();
            value.raw = QByteArray::fromHex(entry.value("raw").toString().toLatin1());
        }
        backup.values.insert(QLatin1String(parameter->name), value);
    }
    return backup;
}

QString fileName(const Backup &backup)
{
    return QStringLiteral("设备%1-%2.json").arg(backup.address).arg(backup.time.toString(QStringLiteral("yyyy-MM-dd-HHmm")));
}

QVector<Row> compare(const Backup &left, const Backup &right)
{
    QVector<Row> rows;
    for (const Parameter &parameter : table) {
        const QString name = QLatin1String(parameter.name);
        Row row;
        row.parameter = &parameter;
        if (left.values.contains(name))
            row.left = left.values.value(name);
        if (right.values.contains(name))
            row.right = right.values.value(name);
        if (!row.left && !row.right)
            continue;
        row.differs = !sameValue(row.left, row.right);
        rows.append(row);
    }
    return rows;
}

std::optional<QVector<Row>> restorePlan(const Backup &backup, const Backup &current, const QStringList &only,
                                        QString &error)
{
    const bool clone = backup.address != current.address;
    for (const QString &name : only) {
        const Parameter *parameter = find(name);
        if (!parameter || !restorable(*parameter)) {
            error = QStringLiteral("%1 is not a parameter a restore writes").arg(name);
            return std::nullopt;
        }
        if (clone && parameter->role == Role::Address) {
            error = QStringLiteral("the address is never carried onto another controller");
            return std::nullopt;
        }
        if (!backup.values.contains(name)) {
            error = QStringLiteral("%1 is not in the backup").arg(name);
            return std::nullopt;
        }
    }
    QVector<Row> plan;
    for (const Row &row : compare(backup, current)) {
        const Parameter &parameter = *row.parameter;
        if (!restorable(parameter) || !row.left || !row.differs)
            continue;
        if (clone && parameter.role == Role::Address)
            continue;
        const bool ticked = only.isEmpty() ? tickedByDefault(parameter) : only.contains(QLatin1String(parameter.name));
        if (ticked)
            plan.append(row);
    }
    return plan;
}

} // namespace ParameterBackup
