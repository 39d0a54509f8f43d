#include "MqttPayload.h"

#include "AlarmMonitor.h"

#include "BusCodes.h"
#include "Reading.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <cstdio>
#include <ctime>

QString MqttPayload::unitOf(int readingType)
{
    switch (Bus::ReadingType(readingType)) {
    case Bus::ReadingType::InstantFlow:
        return QStringLiteral("sccm");
    case Bus::ReadingType::CumulativeFlow:
        return QStringLiteral("L");
    case Bus::ReadingType::Temperature:
        return QStringLiteral("℃");
    case Bus::ReadingType::Pressure:
        return QStringLiteral("KPa");
    }
    return QString();
}

QString MqttPayload::setpointUnitOf(int kind)
{
    return unitOf(kind == Bus::code(Bus::SetpointKind::Cumulative) ? Bus::code(Bus::ReadingType::CumulativeFlow)
                                                                    : Bus::code(Bus::ReadingType::InstantFlow));
}

// A controller's float in its seven significant digits: 12.5, not 12.500000190734863.
QByteArray MqttPayload::number(double value)
{
    return QByteArray::number(value, 'g', 7);
}

// "2026-12-07T13:05:14.626Z". Every reading is stamped with it: gmtime_r and one format take a
// tenth of what QDateTime's text costs.
QByteArray MqttPayload::timeText(qint64 wallMs)
{
    const qint64 seconds = wallMs >= 0 ? wallMs / 1000 : (wallMs - 999) / 1000;
    const time_t whole = time_t(seconds);
    tm parts{};
    gmtime_r(&whole, &parts);
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", parts.tm_year + 1900,
                                     parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
                                     int(wallMs - seconds * 1000));
    return QByteArray(text, qBound(0, length, int(sizeof text) - 1));
}

QByteArray MqttPayload::reading(const Reading &reading)
{
    static const QByteArray units[] = {"sccm", "L", QStringLiteral("℃").toUtf8(), "KPa"};
    const QByteArray &unit = reading.typeCode() >= Bus::FirstReadingType && reading.typeCode() <= Bus::LastReadingType
                                 ? units[reading.typeCode() - Bus::FirstReadingType]
                                 : QByteArray();
    return "{\"value\":" + number(reading.value) + ",\"unit\":\"" + unit + "\",\"time\":\"" +
           timeText(reading.readTime.wallMs) + "\"}";
}

QByteArray MqttPayload::value(double value, const QString &unit, qint64 wallMs)
{
    return "{\"value\":" + number(value) + ",\"unit\":\"" + unit.toUtf8() + "\",\"time\":\"" + timeText(wallMs) +
           "\"}";
}

QByteArray MqttPayload::rampedValue(double value, double target, const QString &unit, qint64 wallMs)
{
    return "{\"value\":" + number(value) + ",\"target\":" + number(target) + ",\"unit\":\"" + unit.toUtf8() +
           "\",\"time\":\"" + timeText(wallMs) + "\"}";
}

QByteArray MqttPayload::alarm(const AlarmRecord &record)
{
    return "{\"kind\":\"" + AlarmRecord::kindKey(record.kind).toUtf8() + "\",\"value\":" + number(record.value) +
           ",\"limit\":" + number(record.limit) + ",\"since\":\"" + timeText(record.raised.toMSecsSinceEpoch()) +
           "\",\"active\":" + (record.active ? "true" : "false") +
           ",\"acknowledged\":" + (record.acknowledged.isNull() ? "false" : "true") +
           (record.mixGroup > 0 ? ",\"group\":" + QByteArray::number(record.mixGroup) : QByteArray()) + "}";
}

QByteArray MqttPayload::mixState(const MixState &state)
{
    const MixGroup &group = state.group;
    const QList<double> target = state.plan.composition();
    QJsonArray members;
    for (int i = 0; i < group.members.size(); ++i) {
        const MixMember &member = group.members[i];
        QJsonObject json{{"address", int(member.address)},
                         {"fraction", member.fraction},
                         {"full_scale", member.fullScale},
                         {"setpoint", state.running && state.plan.setpoints.size() > i ? QJsonValue(double(state.plan.setpoints[i]))
                                                                      : QJsonValue()},
                         {"target", target.size() > i ? QJsonValue(std::round(target[i] * 10.0) / 10.0) : QJsonValue()},
                         {"actual", state.actual.size() > i ? QJsonValue(std::round(state.actual[i] * 10.0) / 10.0)
                                                            : QJsonValue()}};
        members.append(json);
    }
    QJsonArray limitedBy;
    for (quint8 address : state.plan.limitedBy)
        limitedBy.append(int(address));
    QJsonObject json{{"group", state.number},
                     {"name", group.name},
                     {"running", state.running},
                     {"policy", group.policy == MixGroup::Policy::KeepTotal ? "total" : "ratio"},
                     {"total", group.total},
                     {"planned_total", state.plan.error.isEmpty() ? QJsonValue(state.plan.total) : QJsonValue()},
                     {"members", members},
                     {"limited_by", limitedBy},
                     {"limit", state.plan.error.isEmpty() ? mixLimitEnglish(group, state.plan) : group.invalidityEnglish()},
                     {"composition_changed", state.plan.compositionChanged},
                     {"composition_alarm", state.alarm}};
    return QJsonDocument(json).toJson(QJsonDocument::Compact);
}

QByteArray MqttPayload::mode(int mode, qint64 wallMs)
{
    return QByteArray("{\"value\":\"") + (mode == 1 ? "cumulative" : "instantaneous") + "\",\"time\":\"" +
           timeText(wallMs) + "\"}";
}

QByteArray MqttPayload::ok(double value)
{
    return "{\"ok\":true,\"value\":" + number(value) + '}';
}

QByteArray MqttPayload::ok()
{
    return QByteArrayLiteral("{\"ok\":true}");
}

QByteArray MqttPayload::error(const QString &reason)
{
    return QJsonDocument(QJsonObject{{"ok", false}, {"error", reason}}).toJson(QJsonDocument::Compact);
}

QByteArray MqttPayload::error(const QString &reason, double value)
{
    return QJsonDocument(QJsonObject{{"ok", false}, {"error", reason}, {"value", value}}).toJson(QJsonDocument::Compact);
}

QByteArray MqttPayload::topicError(const QString &reason, const QString &topic)
{
    return QJsonDocument(QJsonObject{{"ok", false}, {"error", reason}, {"topic", topic}})
        .toJson(QJsonDocument::Compact);
}

bool MqttPayload::parseSetpoint(const QByteArray &payload, double &value, QString &reason)
{
    // Qt's parser takes only an object or an array at the top: a bare number goes in an array.
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson('[' + payload + ']', &parseError);
    if (parseError.error != QJsonParseError::NoError || document.array().size() != 1) {
        reason = QStringLiteral("malformed JSON");
        return false;
    }
    QJsonValue given = document.array().at(0);
    if (given.isObject()) {
        if (!given.toObject().contains(QLatin1String("value"))) {
            reason = QStringLiteral("no \"value\" given");
            return false;
        }
        given = given.toObject().value(QLatin1String("value"));
    }
    if (!given.isDouble()) {
        reason = QStringLiteral("value is not a number");
        return false;
    }
    value = given.toDouble();
    return true;
}
