#pragma once

#include <QHash>
#include <QList>
#include <QString>

// What the MQTT link tells of each controller of the last scan: online (polled), dropped (lost by
// the polling) or offline.
class ControllerStates
{
public:
    enum class State
    {
        Offline,
        Online,
        Dropped
    };

    // A new scan: its controllers, all offline until taken online. Returns the controllers whose
    // state changed, those of the previous scan that are gone included (now offline).
    QList<quint8> replaceScan(const QList<quint8> &scanned);
    // False when nothing changed; a controller no scan found is added to the list.
    bool set(quint8 deviceId, State state);

    State state(quint8 deviceId) const { return m_states.value(deviceId, State::Offline); }
    bool isKnown(quint8 deviceId) const { return m_scan.contains(deviceId); }
    const QList<quint8> &scan() const { return m_scan; }
    QList<quint8> inState(State state) const;

    static QString name(State state);

private:
    QList<quint8> m_scan;
    QHash<quint8, State> m_states;
};
