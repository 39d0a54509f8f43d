#pragma once

// What a soak checks: every reading against the values the simulator served, and every setpoint
// followed to the controller's register.

#include "DeviceThread.h"
#include "SerialPort.h"
#include "SimBus.h"
#include "SimController.h"

#include <QElapsedTimer>
#include <QHash>
#include <QStringList>
#include <cstdio>

inline quint16 registerOfReading(int type)
{
    switch (type) {
    case 1:
        return SimRegister::Flow;
    case 2:
        return SimRegister::CumulativeFlow;
    case 3:
        return SimRegister::Temperature;
    case 4:
        return SimRegister::Pressure;
    default:
        return 0;
    }
}

inline quint16 registerOfSetpoint(int kind)
{
    return kind == 1 ? SimRegister::FlowSetpoint : SimRegister::CumulativeSetpoint;
}

// Every reading the worker hands out, checked against what the simulator served for it.
class ReadingChecker
{
public:
    explicit ReadingChecker(const SimBus &bus) : m_bus(bus) {}

    void check(quint16 reg, int deviceId, const QByteArray &reply, const char *what, int type)
    {
        ++m_checked;
        if (reply.size() >= 7 && m_bus.hasServed(quint8(deviceId), reg, reply.mid(3, 4)))
            return;
        ++m_wrong;
        const QString example = QStringLiteral("%1 %2 of %3 showed %4")
                                    .arg(what)
                                    .arg(type)
                                    .arg(deviceId)
                                    .arg(RegisterReply::fromFrame(type, quint8(deviceId), reply, {}).asFloat);
        if (m_examples.size() < 3)
            m_examples << example;
        if (traceClock)
            std::fprintf(stderr, "%5.1f s: wrong: %s (%s)\n", traceClock->elapsed() / 1000.0,
                         qPrintable(example), reply.toHex(' ').constData());
    }

    const QElapsedTimer *traceClock = nullptr;

    int checked() const { return m_checked; }
    int wrong() const { return m_wrong; }
    QString examples() const { return m_examples.join(QStringLiteral("; ")); }

private:
    const SimBus &m_bus;
    int m_checked = 0;
    int m_wrong = 0;
    QStringList m_examples;
};

// Setpoints posted to the worker and followed to the controller's register. A new one goes to a
// controller and kind only when the last one arrived, so that none is replaced on its way.
class SetpointLedger
{
public:
    SetpointLedger(SimBus &bus, DeviceThread &worker) : m_bus(bus), m_worker(worker) {}

    bool post(quint8 deviceId, int kind, qint64 nowMs)
    {
        const int key = deviceId * 10 + kind;
        if (m_pending.contains(key))
            return false;
        const float value = 50.0f + 0.01f * float(++m_posted);
        m_pending.insert(key, {value, nowMs, false});
        m_worker.requestSetpoint(deviceId, kind, value);
        return true;
    }

    // Marks what arrived; what waited too long is lost (the worker gave it up).
    void update(qint64 nowMs, qint64 giveUpMs)
    {
        for (auto it = m_pending.begin(); it != m_pending.end();) {
            const quint8 deviceId = quint8(it.key() / 10);
            const int kind = it.key() % 10;
            if (m_bus.floatRegister(deviceId, registerOfSetpoint(kind)) == it->value) {
                it = m_pending.erase(it);
            } else if (nowMs - it->postedMs > giveUpMs) {
                ++m_lost;
                m_lostAcrossUnplug += it->crossedUnplug;
                it = m_pending.erase(it);
            } else {
                ++it;
            }
        }
    }

    void linkLost()
    {
        for (Pending &pending : m_pending)
            pending.crossedUnplug = true;
    }

    int posted() const { return m_posted; }
    int lostAcrossUnplug() const { return m_lostAcrossUnplug; }
    int lost() const { return m_lost; }
    int pending() const { return m_pending.size(); }

private:
    struct Pending
    {
        float value;
        qint64 postedMs;
        bool crossedUnplug;
    };
    SimBus &m_bus;
    DeviceThread &m_worker;
    QHash<int, Pending> m_pending;
    int m_posted = 0;
    int m_lost = 0;
    int m_lostAcrossUnplug = 0;
};
