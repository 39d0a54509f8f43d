#include "MqttPayload.h"

#include "BusCodes.h"
#include "Reading.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

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

QByteArray MqttPayload::timeText(qint64 wallMs)
{
    return QDateTime::fromMSecsSinceEpoch(wallMs, Qt::UTC).toString(Qt::ISODateWithMs).toLatin1();
}

QByteArray MqttPayload::reading(const Reading &reading)
{
    return value(reading.value, unitOf(reading.type), reading.readTime.wallMs);
}

QByteArray MqttPayload::value(double value, const QString &unit, qint64 wallMs)
{
    return "{\"value\":" + number(value) + ",\"unit\":\"" + unit.toUtf8() + "\",\"time\":\"" + timeText(wallMs) +
           "\"}";
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
