#include "OnlineList.h"

#include "BusCodes.h"

#include <QDebug>

using Bus::OnlineRequest;

void OnlineList::replace(const QList<quint8> &addresses)
{
    m_records.clear();
    for (quint8 id : addresses) {
        OnlineDevice record;
        record.id = id;
        m_records.append(record);
    }
    m_lastScan = addresses;
}

int OnlineList::indexOf(quint8 address) const
{
    return indexOfWide(address);
}

// An address above 255 never matches a record.
int OnlineList::indexOfWide(int deviceId) const
{
    for (int i = 0; i < m_records.size(); ++i) {
        if (deviceId == int(m_records[i].id))
            return i;
    }
    return -1;
}

bool OnlineList::apply(int onlineType, int deviceId)
{
    for (const OnlineDevice &record : qAsConst(m_records))
        qDebug() << "Device ID:" << int(record.id);
    if (onlineType == Bus::code(OnlineRequest::TakeOnline))
        qDebug() << "上线的类型是3";

    const int index = indexOfWide(deviceId);
    // A record made for a wide address keeps its low 8 bits.
    OnlineDevice fresh;
    fresh.id = quint8(deviceId);
    switch (OnlineRequest(onlineType)) {
    case OnlineRequest::TakeOnline:
        if (index < 0) {
            m_records.append(fresh);
            return false;
        }
        m_records[index].setPolled(true);
        return true;
    case OnlineRequest::TakeOffline:
        if (index >= 0) {
            qDebug() << "要下线 找到设备:" << deviceId;
            m_records[index].setPolled(false);
        }
        return false;
    case OnlineRequest::TakeOnlineAgain:
        if (index < 0) {
            fresh.setPolled(true);
            m_records.append(fresh);
            return true;
        }
        qDebug() << "Found device with id:" << deviceId;
        m_records[index].cum = true;
        qDebug() << "online_devices[i].cum=true";
        m_records[index].setPolled(true);
        return true;
    }
    return false;
}

bool OnlineList::remove(quint8 address)
{
    const int index = indexOf(address);
    if (index < 0)
        return false;
    m_records.removeAt(index);
    return true;
}
