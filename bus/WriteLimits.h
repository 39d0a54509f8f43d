#pragma once

#include "RegisterMap.h"
#include "SetpointRange.h"

#include <QtGlobal>
#include <climits>

// What a write from the command line may put into a register: the values the windows let an
// operator commit there, and whether the write changes the controller itself (a device command,
// its address, its baud rate) so that a script must say it means it. A register not listed takes
// whatever its encoding can carry.
namespace WriteLimits {

struct Limit
{
    double low = -32768;
    double high = 65535;
    bool listed = false; // a register the windows write, with the windows' bounds
    bool needsForce = false;
    const char *what = ""; // what the register is, for a refusal
    bool real = false;     // takes a fraction; the others only whole numbers
};

inline Limit forRegister(quint16 reg)
{
    constexpr double anyPositive = INT_MAX; // a real field takes plain numbers up to the int range
    switch (reg) {
    case RegisterMap::InstantSetpoint:
    case RegisterMap::CumulativeSetpoint:
        return {SetpointRange::lowest, SetpointRange::highest, true, false, "setpoint", true};
    case RegisterMap::FactoryInit:
        return {-32768, 65535, true, true, "factory reset"};
    case RegisterMap::Command:
        return {-32768, 65535, true, true, "device command"};
    case RegisterMap::DeviceAddress:
        return {1, 15, true, true, "bus address"};
    case 0x301E:
        return {0, 6, true, true, "baud rate index"};
    case RegisterMap::ControlMode:
    case 0x300A: // save on power loss
    case 0x3012: // alarm pin polarity
    case 0x3034: // active output on or off
        return {0, 1, true, false, "switch"};
    case 0x3004: // custom gas coefficient
    case 0x3014: // alarm value 1
    case 0x3018: // alarm value 2
    case 0x3022: // dead band
    case 0x3026: // gains P, I, D
    case 0x302A:
    case 0x302E:
        return {0, anyPositive, true, false, "parameter", true};
    case 0x3002: // gas coefficient number
    case 0x3008: // backlight time
    case 0x300C: // output delay after power-on
    case 0x300E: // cumulative output interval
    case 0x3010: // alarm mode
    case 0x3020: // active output period
    case 0x3032: // input filter
    case 0x3036: // menu passwords
    case 0x303A:
        return {0, 65535, true, false, "parameter"};
    default:
        return {};
    }
}

// False for NaN and infinity too.
inline bool admits(const Limit &limit, double value)
{
    return value >= limit.low && value <= limit.high;
}

// A fraction is refused where the windows take whole numbers only.
inline bool takesFraction(const Limit &limit)
{
    return limit.real || !limit.listed;
}

} // namespace WriteLimits
