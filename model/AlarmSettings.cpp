#include "AlarmSettings.h"

namespace {

double number(const QJsonObject &json, const char *key, double fallback)
{
    const QJsonValue value = json.value(QLatin1String(key));
    return value.isDouble() ? value.toDouble() : fallback;
}

bool flag(const QJsonObject &json, const char *key, bool fallback)
{
    const QJsonValue value = json.value(QLatin1String(key));
    return value.isBool() ? value.toBool() : fallback;
}

AlarmSettings::Limit limitFrom(const QJsonObject &json, AlarmSettings::Limit fallback)
{
    return {flag(json, "on", fallback.on), number(json, "limit", fallback.limit)};
}

AlarmSettings::Range rangeFrom(const QJsonObject &json, AlarmSettings::Range fallback)
{
    return {flag(json, "on", fallback.on), number(json, "low", fallback.low), number(json, "high", fallback.high)};
}

QJsonObject limitJson(const AlarmSettings::Limit &limit)
{
    return {{QStringLiteral("on"), limit.on}, {QStringLiteral("limit"), limit.limit}};
}

QJsonObject rangeJson(const AlarmSettings::Range &range)
{
    return {{QStringLiteral("on"), range.on}, {QStringLiteral("low"), range.low}, {QStringLiteral("high"), range.high}};
}

} // namespace

AlarmSettings AlarmSettings::fromJson(const QJsonObject &json)
{
    AlarmSettings settings;
    const QJsonObject deviation = json.value(QStringLiteral("deviation")).toObject();
    settings.deviation.on = flag(deviation, "on", settings.deviation.on);
    settings.deviation.percent = number(deviation, "percent", settings.deviation.percent);
    settings.deviation.sccm = number(deviation, "sccm", settings.deviation.sccm);
    settings.deviation.seconds = number(deviation, "seconds", settings.deviation.seconds);
    settings.deviation.holdoff = number(deviation, "holdoff", settings.deviation.holdoff);
    settings.high = limitFrom(json.value(QStringLiteral("high")).toObject(), settings.high);
    settings.low = limitFrom(json.value(QStringLiteral("low")).toObject(), settings.low);
    settings.dropped = flag(json.value(QStringLiteral("dropped")).toObject(), "on", settings.dropped);
    settings.temperature = rangeFrom(json.value(QStringLiteral("temperature")).toObject(), settings.temperature);
    settings.pressure = rangeFrom(json.value(QStringLiteral("pressure")).toObject(), settings.pressure);
    settings.zeroOnAlarm = flag(json, "zero_on_alarm", settings.zeroOnAlarm);
    return settings;
}

QJsonObject AlarmSettings::toJson() const
{
    return {{QStringLiteral("deviation"),
             QJsonObject{{QStringLiteral("on"), deviation.on},
                         {QStringLiteral("percent"), deviation.percent},
                         {QStringLiteral("sccm"), deviation.sccm},
                         {QStringLiteral("seconds"), deviation.seconds},
                         {QStringLiteral("holdoff"), deviation.holdoff}}},
            {QStringLiteral("high"), limitJson(high)},
            {QStringLiteral("low"), limitJson(low)},
            {QStringLiteral("dropped"), QJsonObject{{QStringLiteral("on"), dropped}}},
            {QStringLiteral("temperature"), rangeJson(temperature)},
            {QStringLiteral("pressure"), rangeJson(pressure)},
            {QStringLiteral("zero_on_alarm"), zeroOnAlarm}};
}
