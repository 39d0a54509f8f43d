#pragma once

// The setpoints a controller accepts, in sccm (instantaneous) or L (cumulative). A controller takes
// any float and runs away with it; its own setpoint range ends at 999999. Every entry of a
// setpoint, local or remote, is checked against this range before it reaches the bus.
namespace SetpointRange {

constexpr float lowest = 0.0f;
constexpr float highest = 999999.0f;

// False for NaN and infinity too.
constexpr bool contains(double value)
{
    return value >= double(lowest) && value <= double(highest);
}

} // namespace SetpointRange
