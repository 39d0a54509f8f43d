#pragma once

#include "ReadTally.h"

#include <QList>
#include <QtGlobal>

class BusLink;
class QTextStream;

// The command-line monitor: polls the four readings of each controller once a cycle, as the
// worker does, and prints every frame on the line as it passes, one line each (FrameRecord::line).
class BusMonitor
{
public:
    BusMonitor(BusLink &link, QTextStream &out);
    ~BusMonitor();
    BusMonitor(const BusMonitor &) = delete;
    BusMonitor &operator=(const BusMonitor &) = delete;

    // `count` cycles (0: until the process is stopped or the link is lost), started `intervalMs`
    // apart. Returns false when the link was lost.
    bool run(const QList<quint8> &addresses, int count, int intervalMs);
    const ReadTally &tally() const { return m_tally; }

private:
    void pollOnce(const QList<quint8> &addresses);

    BusLink &m_link;
    QTextStream &m_out;
    ReadTally m_tally;
};
