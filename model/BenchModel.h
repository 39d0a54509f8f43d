#pragma once

#include "ControllerRecord.h"
#include "Driver.h"
#include "RegisterReply.h"

#include <QHash>
#include <QList>
#include <QObject>

class DeviceThread;

// What each controller of the bench holds, as the bus has shown it, and who drives it. Fed by the
// worker's typed results (and told by the rows and the bridge which controllers they take online);
// every view reads it and follows its signals, so that none keeps a copy of its own.
//
// One driver at a time: a programme, a ramp or a mix takes a controller while it runs; a setpoint
// from anyone else is refused with a reason, except a 0, which always passes and ends the holder's
// run (driverStopped). A controller that leaves (taken offline, dropped, its adapter gone) ends its
// holder's run too.
class BenchModel : public QObject
{
    Q_OBJECT
public:
    using State = ControllerRecord::State;

    // The worker must outlive the model.
    explicit BenchModel(DeviceThread *worker, QObject *parent = nullptr);

    // nullptr for an address no scan found and nobody took online.
    const ControllerRecord *record(quint8 address) const;
    const QList<quint8> &scanned() const { return m_scanned; }
    QList<quint8> onlineControllers() const;
    bool isOnline(quint8 address) const;
    Driver driverOf(quint8 address) const;
    // The setpoint of a kind the controller holds; nothing while it was never confirmed or read.
    std::optional<float> heldSetpoint(quint8 address, int kind) const;

    // A scan found these controllers: none is online until taken online.
    void setScanned(const QList<quint8> &addresses);
    // A row or the bridge asked the worker to take a controller online (3, or 2 again after a drop)
    // or offline (1).
    void noteOnlineRequest(int onlineType, int address);

    // Why a setpoint from `from` may not go out now; empty when it may.
    QString refusal(quint8 address, int kind, float value, Driver from) const;
    // Sends a setpoint through the worker's request book, or returns why not (nothing sent). The
    // value is in flight until the controller's echo (or its read-back) confirms what it holds.
    // A ticket is handed to the worker, which tells how that very request ended.
    QString requestSetpoint(quint8 address, int kind, float value, Driver from, quint64 ticket = 0);
    // A running driver takes a controller, or is told why not (not online, held by another).
    QString take(quint8 address, Driver driver);
    QString takeRefusal(quint8 address, Driver driver) const;
    void release(quint8 address, Driver driver);
    // Lets go of every controller the driver holds except `keep` (0: none kept).
    void releaseAll(Driver driver, quint8 keep = 0);
    // A running driver's own write, sent by its owner: remembered as in flight from it.
    void noteSent(quint8 address, int kind, float value, Driver from);
    // A programme's step (or its stop's 0), which the stage page sends to the worker itself: only
    // told to the followers of setpointRequested.
    void announceStep(quint8 address, float value, Driver from, const QString &origin = QString());
    // A setpoint refused before it reached the model (a remote command while remote setpoints are
    // not allowed): only told to the followers of setpointRequested. NaN: a value not understood.
    void announceRefusal(quint8 address, int kind, float value, Driver from, const QString &origin,
                         const QString &reason);
    // Where the next requestSetpoint comes from, beyond its driver (a remote command's topic);
    // handed on with it in setpointRequested and then forgotten.
    void setNextOrigin(const QString &origin) { m_nextOrigin = origin; }
    const QString &nextOrigin() const { return m_nextOrigin; }

signals:
    // A scan replaced the list; controllers no longer in it are forgotten without a stateChanged.
    void scanChanged();
    void stateChanged(quint8 address, ControllerRecord::State state);
    void readingChanged(const Reading &reading);
    // The held or in-flight setpoint of a kind changed.
    void setpointChanged(quint8 address, int kind);
    void modeChanged(quint8 address, int mode);
    void driverChanged(quint8 address, Driver driver);
    // A driver's hold ended without its asking: another's 0, or the controller left (taken
    // offline, dropped, its adapter gone: controllerLeft).
    void driverStopped(quint8 address, Driver driver, QString reason, bool controllerLeft);
    // Every setpoint asked of the model (or announced), before it goes out; `refused` says why it
    // did not (empty: it went to the worker). `before`: what the controller held, NaN unknown.
    void setpointRequested(quint8 address, int kind, float value, Driver from, QString origin, float before,
                           QString refused);
    // The controller echoed a setpoint, or its write was given up after the last attempt.
    void setpointConfirmed(quint8 address, int kind, float value);
    void setpointGaveUp(quint8 address, int kind);

public:
    // What the worker reported; public for owners that feed the model themselves.
    void takeReading(const Reading &reading);
    void confirm(quint8 address, int kind, float value);
    void giveUp(quint8 address, int kind);
    void readBack(const RegisterReply &reply);
    void setMode(quint8 address, int mode);

private:
    ControllerRecord &recordOf(quint8 address);
    void connectWorker(DeviceThread *worker);
    void setState(quint8 address, State state, const QString &leaveReason);
    void endHold(quint8 address, const QString &reason, bool controllerLeft);
    void markAll(State from, State to, const QString &leaveReason);

    DeviceThread *m_worker;
    QList<quint8> m_scanned;
    QHash<quint8, ControllerRecord> m_records;
    QString m_nextOrigin;
};
