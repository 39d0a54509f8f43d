#pragma once

#include "Driver.h"
#include "SetpointRamp.h"

#include <QHash>
#include <QObject>
#include <QTimer>
#include <optional>

class BenchModel;

// Ramps instantaneous-flow targets of controllers that have a ramp rate, one write per tick,
// through the bench model. A target from the operator's row or a remote command makes the ramp
// the controller's driver until the target is confirmed; a programme's step or a mix's share
// ramps on behalf of the programme or mix, which keeps holding the controller. A 0 is never ramped; a 0 from anyone, a
// controller that leaves, or a programme that stops abandons the ramp.
class RampDriver : public QObject
{
    Q_OBJECT
public:
    static constexpr int TickMs = 1000;

    explicit RampDriver(BenchModel *model, QObject *parent = nullptr);

    // Sccm per second; 0 turns ramping off for the controller.
    void setRate(quint8 address, double sccmPerSecond);
    double rate(quint8 address) const { return m_rates.value(address, 0.0); }
    // Ticks shorter than a second, for tests and demonstrations.
    void setTickInterval(int ms) { m_timer.setInterval(ms); }

    // A new flow target from `origin` (`originText`: a remote command's topic and client): ramped
    // when the controller has a rate, otherwise sent at once. Returns why not (then nothing
    // changes).
    QString approach(quint8 address, float target, Driver origin, const QString &originText = QString());
    // Abandons a running ramp (the caller sends its own 0).
    void cancel(quint8 address, const QString &reason);

    bool isRamping(quint8 address) const { return m_ramps.contains(address); }
    std::optional<float> target(quint8 address) const;
    std::optional<float> reached(quint8 address) const;

    // One write for every running ramp; the timer calls it every TickMs.
    void tick();

signals:
    // A target to be ramped to was asked, before the ramp's first write; `refused` says why it is
    // not (empty: the ramp runs). `before`: what the controller held, NaN unknown.
    void targetAsked(quint8 address, float target, float before, Driver origin, QString originText,
                     QString refused);
    // A ramp started, moved or ended.
    void rampChanged(quint8 address);
    // The target was confirmed by the controller (reached), or the ramp was abandoned (why).
    void rampEnded(quint8 address, float target, bool reached, QString why);

private:
    struct Ramp
    {
        SetpointRamp rule;
        Driver origin;
        bool lastWritten = false; // the target itself was sent: only its confirmation is awaited
    };
    static bool keepsHolding(Driver origin);
    QString refusal(quint8 address, float target, Driver origin) const;
    void start(quint8 address, float target, Driver origin);
    Driver writerOf(const Ramp &ramp) const;
    void stepOne(quint8 address);
    void end(quint8 address, bool reached, const QString &why);
    void checkConfirmed(quint8 address, int kind);

    BenchModel *m_model;
    QHash<quint8, double> m_rates;
    QHash<quint8, Ramp> m_ramps;
    QTimer m_timer;
};
