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

} // namespace

QString MixGroup::invalidity() const
{
    if (members.size() < MinMembers || members.size() > MaxMembers)
        return QCoreApplication::translate("MixGroup", "混合组需要2到4台设备");
    double sum = 0.0;
    QSet<quint8> seen;
    for (const MixMember &member : members) {
        if (seen.contains(member.address))
            return QCoreApplication::translate("MixGroup", "设备%1在混合组中出现了两次").arg(member.address);
        seen.insert(member.address);
        if (member.fraction <= 0.0)
            return QCoreApplication::translate("MixGroup", "设备%1的比例必须大于0").arg(member.address);
        if (member.fullScale <= 0.0)
            return QCoreApplication::translate("MixGroup", "设备%1的满量程必须大于0").arg(member.address);
        sum += member.fraction;
    }
    if (std::abs(sum - 100.0) > FractionTolerance + 1e-9)
        return QCoreApplication::translate("MixGroup", "比例之和为%1%，应为100%").arg(QString::number(sum, 'f', 2));
    if (total < 0.0)
        return QCoreApplication::translate("MixGroup", "总流量不能为负");
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
    *group = read;
    return true;
}

MixPlan planMix(const MixGroup &group, double total)
{
    MixPlan plan;
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
            if (full[i])
                saturated << QString::number(group.members[i].address);
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
