#include "DriverAudit.h"

#include "AlarmMonitor.h"
#include "AuditTrail.h"
#include "RampDriver.h"

#include <QtNumeric>

namespace {

QString rampKey(quint8 address)
{
    return QStringLiteral("ramp %1").arg(address);
}

} // namespace

DriverAudit::DriverAudit(AuditTrail *trail, RampDriver *ramps, AlarmMonitor *alarms, QObject *parent)
    : QObject(parent), m_trail(trail)
{
    if (ramps) {
        connect(ramps, &RampDriver::targetAsked, this,
                [this](quint8 address, float target, float before, Driver origin, const QString &originText,
                       const QString &refused) {
                    m_trail->request(rampKey(address),
                                     {address, QStringLiteral("ramp_target"),
                                      qIsNaN(before) ? QJsonValue() : QJsonValue(double(before)), double(target),
                                      m_trail->sourceOf(origin, originText), QJsonObject()},
                                     refused);
                });
        connect(ramps, &RampDriver::rampEnded, this, [this](quint8 address, float, bool reached, const QString &why) {
            m_trail->finish(rampKey(address), reached ? QStringLiteral("confirmed") : QStringLiteral("given_up"), why);
        });
    }
    if (alarms) {
        connect(alarms, &AlarmMonitor::acknowledged, this,
                [this](const AlarmRecord &record, Driver by, const QString &origin) {
                    const QString key = QStringLiteral("alarm %1").arg(record.id);
                    m_trail->request(key, {record.address, QStringLiteral("alarm_ack"), QJsonValue(), QJsonValue(),
                                           m_trail->sourceOf(by, origin),
                                           QJsonObject{{QStringLiteral("alarm"), AlarmRecord::kindKey(record.kind)},
                                                       {QStringLiteral("alarm_text"), record.text()}}});
                    m_trail->finish(key, QStringLiteral("done"));
                });
    }
}
