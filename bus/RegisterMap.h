#pragma once

#include <QList>
#include <QtGlobal>

// The controller registers the worker reads and writes, and how each parameter write type of the
// two parameter windows maps onto them.
namespace RegisterMap {

constexpr quint16 InstantFlow = 0x1000;
constexpr quint16 Temperature = 0x1004;
constexpr quint16 Pressure = 0x1008;
constexpr quint16 CumulativeFlow = 0x3046;
constexpr quint16 InstantSetpoint = 0x303E;
constexpr quint16 CumulativeSetpoint = 0x3042;
constexpr quint16 ControlMode = 0x3000;
constexpr quint16 DeviceAddress = 0x301C;
constexpr quint16 FactoryInit = 0x2000;
constexpr quint16 Command = 0x2002;

constexpr int FactoryInitCode = 27451;

// How a write type puts its value on the wire.
enum class Encoding
{
    None,
    Int16,
    Float,
    Fixed
};

struct WriteTarget
{
    quint16 reg = 0;
    Encoding encoding = Encoding::None;
    int fixedValue = 0;
};

inline WriteTarget ordinaryWrite(int type)
{
    switch (type) {
    case 1:
        return {0x3004, Encoding::Float};
    case 2:
        return {0x3002, Encoding::Int16};
    case 3:
        return {0x3008, Encoding::Int16};
    case 4:
        return {0x300A, Encoding::Int16};
    case 5:
        return {0x300C, Encoding::Int16};
    case 6:
        return {0x300E, Encoding::Int16};
    case 7:
        return {0x3010, Encoding::Int16};
    case 8:
        return {0x3012, Encoding::Int16};
    case 9:
        return {0x3014, Encoding::Float};
    case 10:
        return {0x3018, Encoding::Float};
    case 11:
        return {DeviceAddress, Encoding::Int16};
    case 12:
        return {Command, Encoding::Fixed, 1};
    case 13:
        return {FactoryInit, Encoding::Fixed, FactoryInitCode};
    default:
        return {};
    }
}

inline WriteTarget adminWrite(int type)
{
    switch (type) {
    case 1:
        return {0x301E, Encoding::Int16};
    case 2:
        return {0x3020, Encoding::Int16};
    case 3:
        return {0x3034, Encoding::Int16};
    case 4:
        return {0x3022, Encoding::Float};
    case 5:
        return {0x3026, Encoding::Float};
    case 6:
        return {0x302A, Encoding::Float};
    case 7:
        return {0x302E, Encoding::Float};
    case 8:
        return {0x3032, Encoding::Int16};
    case 9:
        return {0x3036, Encoding::Int16};
    case 10:
        return {0x303A, Encoding::Int16};
    case 11:
        return {FactoryInit, Encoding::Fixed, FactoryInitCode};
    case 12:
        return {Command, Encoding::Fixed, 66};
    case 13:
        return {Command, Encoding::Fixed, 166};
    case 14:
        return {Command, Encoding::Fixed, 266};
    case 15:
        return {Command, Encoding::Fixed, 455};
    case 16:
        return {Command, Encoding::Fixed, 466};
    default:
        return {};
    }
}

// Block reads: position k holds the register of read type k + 1.
inline QList<quint16> ordinaryReads()
{
    return {0x3002, 0x3004, 0x3008, 0x300A, 0x300C,      0x300E,
            0x3010, 0x3012, 0x3014, 0x3018, ControlMode, DeviceAddress};
}

inline QList<quint16> adminReads()
{
    return {0x301E, 0x3020, 0x3034, 0x3022, 0x3026, 0x302A, 0x302E, 0x3032, 0x3036, 0x303A, DeviceAddress};
}

// The polled quantities, reading types 1 to 4 in polling order.
inline quint16 readingRegister(int readingType)
{
    static const quint16 registers[] = {InstantFlow, CumulativeFlow, Temperature, Pressure};
    return registers[readingType - 1];
}

} // namespace RegisterMap
