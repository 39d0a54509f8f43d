#include "ScanReply.h"

#include "SerialPort.h"

namespace {

int countOf(const QByteArray &frame, const QByteArray &reply)
{
    int count = 0;
    for (int at = reply.indexOf(frame); at >= 0; at = reply.indexOf(frame, at + frame.size()))
        ++count;
    return count;
}

} // namespace

QList<quint8> addressesInScanReply(const QByteArray &reply, bool adapterEchoes)
{
    const int echoesNeeded = adapterEchoes ? 2 : 1;
    QList<quint8> found;
    for (int address = FirstProbedAddress; address <= LastProbedAddress; ++address) {
        if (countOf(SerialPort::buildEchoFrame(quint8(address)), reply) >= echoesNeeded)
            found.append(quint8(address));
    }
    return found;
}

ScanResult ScanResult::fromReceived(const QByteArray &received, bool adapterEchoes)
{
    return {addressesInScanReply(received, adapterEchoes), adapterEchoes, received};
}
