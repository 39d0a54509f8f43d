#pragma once

#include <QObject>

class AuditTrail;
class mainWnd;

// The audit lines of what is asked in the application's own windows, beyond the setpoints the bench
// model sees: a restore or clone in "参数备份" (a line per parameter, ended by its read-back), the
// pause and resume of the running programmes, and allowing or forbidding remote setpoints in
// "MQTT 设置".
class AuditWiring : public QObject
{
    Q_OBJECT
public:
    explicit AuditWiring(mainWnd &window);

private:
    void followRestores(mainWnd &window);
    void followPauses(mainWnd &window);
    void followRemoteSetpoints(mainWnd &window);

    AuditTrail *m_trail;
};
