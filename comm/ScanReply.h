#pragma once

#include <QByteArray>
#include <QList>

// The addresses that answered a discovery scan, sorted and without duplicates. Every controller that
// answered left its echo (address, 08 00 00 55 66, CRC) somewhere in the bytes; an address is the byte
// in front of each occurrence of 08 00 00 55 66. An occurrence at the very start has no address in
// front of it, and bytes that belong to no echo (a cut-off echo, noise) add nothing.
QList<quint8> addressesInScanReply(const QByteArray &reply);
