#pragma once

#include "OnlineDevice.h"

#include <QList>

// The controllers the worker knows, in the order they were listed or added, and the operator's
// online requests that switch their polling on and off.
class OnlineList
{
public:
    // Replaces the list after a scan: one unpolled record per address. The addresses are kept as
    // the last scan's result.
    void replace(const QList<quint8> &addresses);
    // Applies an online request (Bus::OnlineRequest); returns true when it brought the controller
    // online (its mode and setpoints are then read back).
    bool apply(int onlineType, int deviceId);
    bool remove(quint8 address);
    int indexOf(quint8 address) const;

    QList<OnlineDevice> &records() { return m_records; }
    const QList<OnlineDevice> &records() const { return m_records; }
    const QList<quint8> &lastScan() const { return m_lastScan; }

private:
    int indexOfWide(int deviceId) const;
    QList<OnlineDevice> m_records;
    QList<quint8> m_lastScan;
};
