#include "ControllerStates.h"

QList<quint8> ControllerStates::replaceScan(const QList<quint8> &scanned)
{
    QList<quint8> changed;
    for (quint8 id : qAsConst(m_scan)) {
        if (state(id) != State::Offline || !scanned.contains(id))
            changed.append(id);
    }
    for (quint8 id : scanned) {
        if (!m_scan.contains(id))
            changed.append(id);
    }
    m_scan = scanned;
    m_states.clear();
    return changed;
}

bool ControllerStates::set(quint8 deviceId, State newState)
{
    if (!m_scan.contains(deviceId))
        m_scan.append(deviceId);
    else if (state(deviceId) == newState)
        return false;
    m_states.insert(deviceId, newState);
    return true;
}

QList<quint8> ControllerStates::inState(State wanted) const
{
    QList<quint8> ids;
    for (quint8 id : m_scan) {
        if (state(id) == wanted)
            ids.append(id);
    }
    return ids;
}

QString ControllerStates::name(State state)
{
    switch (state) {
    case State::Online:
        return QStringLiteral("online");
    case State::Dropped:
        return QStringLiteral("dropped");
    case State::Offline:
        break;
    }
    return QStringLiteral("offline");
}
