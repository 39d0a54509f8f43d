#include "ScanReply.h"

#include <QSet>
#include <algorithm>

QList<quint8> addressesInScanReply(const QByteArray &reply)
{
    static const QByteArray echoBody = QByteArray::fromHex("0800005566");
    QSet<quint8> found;
    for (int at = reply.indexOf(echoBody); at >= 0; at = reply.indexOf(echoBody, at + echoBody.size())) {
        if (at > 0)
            found.insert(quint8(reply[at - 1]));
    }
    QList<quint8> sorted = found.values();
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}
