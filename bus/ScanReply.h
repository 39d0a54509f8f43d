#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>

// The addresses that a discovery scan probes, in order.
constexpr quint8 FirstProbedAddress = 1;
constexpr quint8 LastProbedAddress = 15;

// The addresses that answered a discovery scan, sorted and without duplicates. A controller that
// answered left its echo of the probe somewhere in the bytes: the same eight bytes, its address,
// 08 00 00 55 66 and the CRC. Only such a whole echo with a sound CRC of a probed address counts;
// cut-off echoes, noise and echoes of addresses never probed add nothing, wherever they fall.
//
// An adapter that hands every byte the host sends back to it puts a copy of each probe on the line
// before the controller's echo, byte for byte the same: with `adapterEchoes`, an address counts only
// when its echo came back twice, once for the copy and once from the controller.
QList<quint8> addressesInScanReply(const QByteArray &reply, bool adapterEchoes);

// What a discovery scan found, together with what decides how its bytes are read: whoever gets the
// addresses gets them read with the adapter's echo in mind.
struct ScanResult
{
    QList<quint8> addresses; // the controllers that answered, sorted
    bool adapterEchoes = false;
    QByteArray received; // every byte the scan received, in order

    static ScanResult fromReceived(const QByteArray &received, bool adapterEchoes);
};
Q_DECLARE_METATYPE(ScanResult)
