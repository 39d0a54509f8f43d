#pragma once

#include <QList>

class QComboBox;

// The device selector of a parameter window: item 0 is the window's placeholder, the items after
// it are the bus addresses found by the last scan, each listed once, in the order they arrived.
class DeviceComboList
{
public:
    explicit DeviceComboList(QComboBox *combo) : m_combo(combo) {}

    // Leaves only the placeholder, which becomes the current item.
    void clear();
    // Appends the address in decimal unless it is already listed; returns whether it was added.
    bool add(quint8 deviceId);
    QList<quint8> devices() const;

private:
    QComboBox *m_combo;
};
