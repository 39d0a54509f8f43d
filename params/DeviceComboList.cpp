#include "DeviceComboList.h"

#include <QComboBox>

void DeviceComboList::clear()
{
    while (m_combo->count() > 1)
        m_combo->removeItem(m_combo->count() - 1);
    m_combo->setCurrentIndex(0);
}

bool DeviceComboList::add(quint8 deviceId)
{
    // A repeated scan report must not offer the same controller twice.
    const QString text = QString::number(deviceId);
    if (m_combo->findText(text, Qt::MatchExactly) > 0)
        return false;
    m_combo->addItem(text);
    return true;
}

QList<quint8> DeviceComboList::devices() const
{
    QList<quint8> ids;
    for (int i = 1; i < m_combo->count(); ++i)
        ids.append(static_cast<quint8>(m_combo->itemText(i).toUInt()));
    return ids;
}
