#include "Reading.h"

#include "BusCodes.h"
#include "SerialPort.h"

#include <chrono>
#include <cmath>

namespace {
constexpr int ValueOffset = 3; // address, function and byte count come first
// Within double precision, dividing first and narrowing to float afterwards gives the very float
// that a division in float gives.
constexpr double PascalPerKilopascal = 1000.0;
} // namespace

ReadTime ReadTime::now()
{
    return {monotonicNowNs(), QDateTime::currentMSecsSinceEpoch()};
}

qint64 ReadTime::monotonicNowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

Reading Reading::fromReply(int type, quint8 deviceId, const QByteArray &reply, ReadTime readTime)
{
    return fromDeviceValue(type, deviceId, bytes_to_float(reply, ValueOffset), readTime);
}

Reading Reading::fromDeviceValue(int type, quint8 deviceId, float deviceValue, ReadTime readTime)
{
    Reading reading;
    reading.deviceId = deviceId;
    reading.type = Bus::ReadingType(type);
    reading.usable = std::isfinite(deviceValue);
    reading.value = type == Bus::code(Bus::ReadingType::Pressure) ? deviceValue / PascalPerKilopascal
                                                                  : double(deviceValue);
    reading.readTime = readTime;
    return reading;
}
