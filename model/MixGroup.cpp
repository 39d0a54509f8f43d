#include "MixGroup.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QSet>
#include <QVector>
#include <cmath>

namespace {

QString mixSccmText(double value)
{
    return QString::number(value, 'g', 6);
}

const QString kMixAlarmKey = QStringLiteral("composition_alarm");

// A number of the alarm's object when it is one of at least 0; otherwise the default stays.
void mixReadNonNegative(const QJsonObject &json, const char *key, double *value)
{
    const QJsonValue found = json.value(QLatin1String(key));
    if (found.isDouble() && found.toDouble() >= 0.0)
        *value = found.toDouble();
}

} // namespace

MixGroup::Defect MixGroup::defect() const
{
    if (members.size() < MinMembers || members.size() > MaxMembers)
        return {Defect::MemberCount, 0, 0.0};
    double sum = 0.0;
    QSet<quint8> seen;
    for (const MixMember &member : members) {
        if (seen.contains(member.address))
            return {Defect::Duplicate, member.address, 0.0};
        seen.insert(member.address);
        if (!(member.fraction > 0.0))
            return {Defect::Fraction, member.address, 0.0};
        if (!(member.fullScale > 0.0))
            return {Defect::FullScale, member.address, 0.0};
        sum += member.fraction;
    }
    if (!(std::abs(sum - 100.0) <= FractionTolerance + 1e-9))
        return {Defect::FractionSum, 0, sum};
    if (!(total >= 0.0))
        return {Defect::NegativeTotal, 0, 0.0};
    return {};
}

QString MixGroup::invalidity() const
{
    const Defect found = defect();
    switch (found.kind) {
    case Defect::None:
        break;
    case Defect::MemberCount:
        return QCoreApplication::translate("MixGroup", "混合组需要2到4台设备");
    case Defect::Duplicate:
        return QCoreApplication::translate("MixGroup", "设备%1在混合组中出现了两次").arg(found.address);
    case Defect::Fraction:
        return QCoreApplication::translate("MixGroup", "设备%1的比例必须大于0").arg(found.address);
    case Defect::FullScale:
        return QCoreApplication::translate("MixGroup", "设备%1的满量程必须大于0").arg(found.address);
    case Defect::FractionSum:
        return QCoreApplication::translate("MixGroup", "比例之和为%1%，应为100%").arg(QString::number(found.sum, 'f', 2));
    case Defect::NegativeTotal:
        return QCoreApplication::translate("MixGroup", "总流量不能为负");
    }
    return QString();
}

QString MixGroup::invalidityEnglish() const
{
    const Defect found = defect();
    switch (found.kind) {
    case Defect::None:
        break;
    case Defect::MemberCount:
        return QStringLiteral("a mix takes 2 to 4 members, not %1").arg(members.size());
    case Defect::Duplicate:
        return QStringLiteral("device %1 is a member twice").arg(found.address);
    case Defect::Fraction:
        return QStringLiteral("the fraction of device %1 must be above 0").arg(found.address);
    case Defect::FullScale:
        return QStringLiteral("the full scale of device %1 must be above 0").arg(found.address);
    case Defect::FractionSum:
        return QStringLiteral("the fractions sum to %1%, not 100% (within 0.01)").arg(QString::number(found.sum, 'f', 2));
    case Defect::NegativeTotal:
        return QStringLiteral("the total must not be negative");
    }
    return QString();
}

QList<quint8> MixGroup::addresses() const
{
    QList<quint8> list;
    for (const MixMember &member : members)
        list << member.address;
    return list;
}

QJsonObject MixGroup::toJson(QJsonObject kept) const
{
    QJsonArray list;
    for (const MixMember &member : members)
        list.append(QJsonObject{{QStringLiteral("address"), int(member.address)},
                                {QStringLiteral("fraction"), member.fraction},
                                {QStringLiteral("full_scale"), member.fullScale}});
    kept.insert(QStringLiteral("name"), name);
    kept.insert(QStringLiteral("policy"), policy == Policy::KeepTotal ? QStringLiteral("total") : QStringLiteral("ratio"));
    kept.insert(QStringLiteral("total"), total);
    kept.insert(QStringLiteral("members"), list);
    QJsonObject alarmJson = kept.value(kMixAlarmKey).toObject();
    alarmJson.insert(QStringLiteral("on"), alarm.on);
    alarmJson.insert(QStringLiteral("points"), alarm.points);
    alarmJson.insert(QStringLiteral("seconds"), alarm.seconds);
    alarmJson.insert(QStringLiteral("holdoff"), alarm.holdoff);
    kept.insert(kMixAlarmKey, alarmJson);
    return kept;
}

bool MixGroup::fromJson(const QJsonObject &json, MixGroup *group)
{
    MixGroup read;
    read.name = json.value(QStringLiteral("name")).toString();
    const QString policy = json.value(QStringLiteral("policy")).toString();
    if (policy != QLatin1String("ratio") && policy != QLatin1String("total"))
        return false;
    read.policy = policy == QLatin1String("total") ? Policy::KeepTotal : Policy::KeepRatio;
    if (!json.value(QStringLiteral("total")).isDouble() || !json.value(QStringLiteral("members")).isArray())
        return false;
    read.total = json.value(QStringLiteral("total")).toDouble();
    for (const QJsonValue &value : json.value(QStringLiteral("members")).toArray()) {
        const QJsonObject member = value.toObject();
        const int address = member.value(QStringLiteral("address")).toInt(-1);
        if (address < 1 || address > 255 || !member.value(QStringLiteral("fraction")).isDouble() ||
            !member.value(QStringLiteral("full_scale")).isDouble())
            return false;
        read.members << MixMember{quint8(address), member.value(QStringLiteral("fraction")).toDouble(),
                                  member.value(QStringLiteral("full_scale")).toDouble()};
    }
    const QJsonObject alarmJson = json.value(kMixAlarmKey).toObject();
    if (alarmJson.value(QStringLiteral("on")).isBool())
        read.alarm.on = alarmJson.value(QStringLiteral("on")).toBool();
    mixReadNonNegative(alarmJson, "points", &read.alarm.points);
    mixReadNonNegative(alarmJson, "seconds", &read.alarm.seconds);
    mixReadNonNegative(alarmJson, "holdoff", &read.alarm.holdoff);
    *group = read;
    return true;
}

MixPlan planMix(const MixGroup &group, double total)
{
    MixPlan plan;
    plan.asked = total;
    MixGroup asked = group;
    asked.total = total;
    plan.error = asked.invalidity();
    if (!plan.error.isEmpty())
        return plan;
    const int count = group.members.size();
    // Shares of the fractions' own sum, which may miss 100 by the tolerance.
    double sum = 0.0;
    for (const MixMember &member : group.members)
        sum += member.fraction;
    QList<double> flows;
    if (group.policy == MixGroup::Policy::KeepRatio) {
        // The largest total every member can give its share of.
        double allowed = total;
        int limiting = -1;
        for (int i = 0; i < count; ++i) {
            const MixMember &member = group.members[i];
            const double most = member.fullScale * sum / member.fraction;
            if (most < allowed) {
                allowed = most;
                limiting = i;
            }
        }
        if (limiting >= 0)
            plan.limitedBy << group.members[limiting].address;
        if (limiting >= 0)
            plan.limit = QCoreApplication::translate("MixGroup", "总流量受设备%1限制：最大 %2 sccm")
                             .arg(group.members[limiting].address)
                             .arg(mixSccmText(allowed));
        for (const MixMember &member : group.members)
            flows << allowed * member.fraction / sum;
    } else {
        // Members that cannot give their share give their full scale; the others share the rest
        // in their own ratio, until nobody else runs over.
        QVector<bool> full(count, false);
        for (;;) {
            double rest = total;
            double share = 0.0;
            for (int i = 0; i < count; ++i) {
                if (full[i])
                    rest -= group.members[i].fullScale;
                else
                    share += group.members[i].fraction;
            }
            flows.clear();
            bool more = false;
            for (int i = 0; i < count; ++i) {
                const MixMember &member = group.members[i];
                const double flow = full[i] ? member.fullScale
                                            : (share > 0.0 ? rest * member.fraction / share : 0.0);
                if (!full[i] && flow > member.fullScale) {
                    full[i] = true;
                    more = true;
                }
                flows << flow;
            }
            if (!more)
                break;
        }
        QStringList saturated;
        double given = 0.0;
        for (int i = 0; i < count; ++i) {
            if (full[i]) {
                saturated << QString::number(group.members[i].address);
                plan.limitedBy << group.members[i].address;
            }
            given += flows[i];
        }
        if (!saturated.isEmpty()) {
            plan.compositionChanged = true;
            QStringList parts;
            for (int i = 0; i < count; ++i)
                parts << QCoreApplication::translate("MixGroup", "设备%1 %2%").arg(group.members[i].address)
                             .arg(QString::number(given > 0.0 ? flows[i] * 100.0 / given : 0.0, 'f', 1));
            plan.limit = QCoreApplication::translate("MixGroup", "设备%1已满量程，组成变为：%2")
                             .arg(saturated.join(QLatin1Char(',')), parts.join(QLatin1String(", ")));
            if (given < total - 1e-6)
                plan.limit += QCoreApplication::translate("MixGroup", "；总流量最大 %1 sccm").arg(mixSccmText(given));
        }
    }
    for (double flow : flows) {
        plan.setpoints << float(flow);
        plan.total += flow;
    }
    return plan;
}

QList<double> MixPlan::composition() const
{
    QList<double> shares;
    if (total <= 0.0)
        return shares;
    for (float value : setpoints)
        shares << double(value) * 100.0 / total;
    return shares;
}

QString mixLimitEnglish(const MixGroup &group, const MixPlan &plan)
{
    if (plan.limitedBy.isEmpty())
        return QString();
    if (!plan.compositionChanged)
        return QStringLiteral("total limited by device %1: at most %2 sccm")
            .arg(plan.limitedBy.first())
            .arg(mixSccmText(plan.total));
    QStringList saturated;
    for (quint8 address : plan.limitedBy)
        saturated << QString::number(address);
    QStringList parts;
    const QList<double> shares = plan.composition();
    for (int i = 0; i < group.members.size() && i < shares.size(); ++i)
        parts << QStringLiteral("device %1 %2%").arg(group.members[i].address).arg(QString::number(shares[i], 'f', 1));
    QString text = saturated.size() == 1
                       ? QStringLiteral("device %1 at its full scale, composition now: %2")
                       : QStringLiteral("devices %1 at their full scale, composition now: %2");
    text = text.arg(saturated.join(QLatin1String(", ")), parts.join(QLatin1String(", ")));
    if (plan.total < plan.asked - 1e-6)
        text += QStringLiteral("; total at most %1 sccm").arg(mixSccmText(plan.total));
    return text;
}
