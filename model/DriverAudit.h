#pragma once

#include <QObject>

class AlarmMonitor;
class AuditTrail;
class RampDriver;

// The audit lines of what is asked of the drivers beside the bench model, whose writes the trail
// sees only as setpoints: a ramp's target (ended when the ramp reaches it, or abandoned and why)
// and an alarm's acknowledgement. The ramps or the alarms may be null.
class DriverAudit : public QObject
{
    Q_OBJECT
public:
    DriverAudit(AuditTrail *trail, RampDriver *ramps, AlarmMonitor *alarms, QObject *parent = nullptr);

private:
    AuditTrail *m_trail;
};
