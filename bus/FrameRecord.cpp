#include "FrameRecord.h"

#include "SerialPort.h"

#include <QDateTime>

namespace {
QString hexByte(int value)
{
    return QStringLiteral("%1").arg(value & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
}
} // namespace

QString FrameRecord::timeText() const
{
    return QDateTime::fromMSecsSinceEpoch(wallMs).toString(QStringLiteral("hh:mm:ss.zzz"));
}

QString FrameRecord::bytesText() const
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QString FrameRecord::outcomeText() const
{
    switch (outcome) {
    case FrameOutcome::Answered:
        return QStringLiteral("answered");
    case FrameOutcome::Timeout:
        return QStringLiteral("timeout");
    case FrameOutcome::CrcError:
        return QStringLiteral("CRC error");
    case FrameOutcome::Exception:
        return QStringLiteral("exception ") + hexByte(exceptionCode);
    case FrameOutcome::Late:
        // A whole, sound answer came after its wait; anything else was noise on the line.
        return SerialPort::hasValidCrc(bytes) ? QStringLiteral("late") : QStringLiteral("late/discarded");
    case FrameOutcome::AdapterEcho:
        return QStringLiteral("adapter echo");
    }
    return QString();
}

QString FrameRecord::line() const
{
    return QStringLiteral("%1 %2 %3 %4 %5 %6")
        .arg(timeText(), direction == Direction::Sent ? QStringLiteral("TX") : QStringLiteral("RX"))
        .arg(address)
        .arg(hexByte(function))
        .arg(bytesText(), outcomeText());
}

QString FrameRecord::datedLine() const
{
    return QDateTime::fromMSecsSinceEpoch(wallMs).toString(QStringLiteral("yyyy-MM-dd ")) + line();
}
