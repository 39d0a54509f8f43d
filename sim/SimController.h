#pragma once

#include <QByteArray>
#include <array>
#include <chrono>
#include <functional>
#include <map>
#include <random>

// Registers of the controllers, by the number of their first register.
namespace SimRegister {
constexpr quint16 Flow = 0x1000;
constexpr quint16 Temperature = 0x1004;
constexpr quint16 Pressure = 0x1008;
constexpr quint16 FactoryInit = 0x2000;
constexpr quint16 Command = 0x2002;
constexpr quint16 Mode = 0x3000;
constexpr quint16 GasNumber = 0x3002;
constexpr quint16 GasCoefficient = 0x3004;
constexpr quint16 Backlight = 0x3008;
constexpr quint16 DeviceAddress = 0x301C;
constexpr quint16 BaudIndex = 0x301E;
constexpr quint16 OrdinaryPassword = 0x3036;
constexpr quint16 AdvancedPassword = 0x303A;
constexpr quint16 FlowSetpoint = 0x303E;
constexpr quint16 CumulativeSetpoint = 0x3042;
constexpr quint16 CumulativeFlow = 0x3046;
} // namespace SimRegister

// Codes written to the command register and the factory-initialisation register.
namespace SimCommand {
constexpr int ClearCumulative = 1;
constexpr int ZeroFlow = 66;
constexpr int PurgeOn = 166;
constexpr int PurgeOff = 266;
constexpr int AnalogZero = 455;
constexpr int AnalogFullScale = 466;
constexpr int FactoryDefaults = 27451;
} // namespace SimCommand

// One flow controller: its registers and the physics behind its readings. It answers sound
// request frames addressed to it the way the device does on the wire. Time comes from the caller
// (a monotonic clock), so the readings advance lazily, only when something looks at them.
// Not thread-safe: the bus serialises every call.
class SimController
{
public:
    using Clock = std::chrono::steady_clock;
    enum class Encoding
    {
        Int16,
        Float,
        Int32
    };

    struct Answer
    {
        QByteArray reply;    // empty: the controller stays silent
        int newAddress = -1; // the bus address to move to once the reply is on the line
    };
    // Tells whether another controller already holds a bus address.
    using AddressTaken = std::function<bool(quint8)>;

    static constexpr double kLagSeconds = 0.5;
    static constexpr float kPurgeFlow = 5000.0f; // sccm while purging
    static constexpr double kAmbientCelsius = 23.0;
    static constexpr double kAmbientPascal = 101325.0;

    SimController(quint8 address, quint32 seed, Clock::time_point now);

    quint8 address() const { return m_address; }
    void setAddress(quint8 address); // the bus moved the controller

    // A frame with a correct CRC whose address byte is this controller's.
    Answer handle(const QByteArray &frame, Clock::time_point now, const AddressTaken &taken = {});

    static bool holdsRegister(quint16 reg);
    float floatRegister(quint16 reg, Clock::time_point now);
    int intRegister(quint16 reg, Clock::time_point now);
    void setFloatRegister(quint16 reg, float value, Clock::time_point now);
    void setIntRegister(quint16 reg, int value, Clock::time_point now);

    // How the valve follows the setpoint from `now` on: with this time constant (<= 0: kLagSeconds),
    // or not at all when stuck. What happened before `now` keeps the previous behaviour.
    void setValveResponse(double lagSeconds, bool stuck, Clock::time_point now);

private:
    Answer handleRead(const QByteArray &frame, Clock::time_point now);
    Answer handleWrite(const QByteArray &frame, Clock::time_point now, const AddressTaken &taken);
    Answer handleEcho(const QByteArray &frame) const;
    QByteArray exception(quint8 function, quint8 code) const;

    // Checks a value about to be stored; returns the exception code, 0 when the value is accepted.
    quint8 validate(quint16 reg, int value, const AddressTaken &taken) const;
    void runCommand(int code);
    void restoreDefaults();

    QByteArray entryBytes(quint16 reg) const;
    void storeEntry(quint16 reg, const QByteArray &fourBytes);
    float storedFloat(quint16 reg) const;
    int storedInt16(quint16 reg) const;

    void advance(Clock::time_point now);
    double target() const;
    void publishReadings();

    quint8 m_address;
    std::map<quint16, std::array<char, 2>> m_words; // every held register, as the wire carries it
    std::mt19937 m_random;
    Clock::time_point m_lastAdvance;
    double m_flow = 0.0;       // sccm
    double m_cumulative = 0.0; // L
    double m_celsius = kAmbientCelsius;
    double m_pascal = kAmbientPascal;
    bool m_purging = false;
    double m_lagSeconds = kLagSeconds;
    bool m_stuck = false;
};
