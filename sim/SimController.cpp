#include "SimController.h"

#include "SerialPort.h"
#include "SimFrameReader.h"

#include <algorithm>
#include <cmath>

namespace {

using Encoding = SimController::Encoding;

struct RegisterEntry
{
    quint16 reg;
    Encoding encoding;
    bool writable;
};

// Every register of the map; each spans two 16-bit registers.
constexpr RegisterEntry kRegisters[] = {
    {SimRegister::Flow, Encoding::Float, false},
    {SimRegister::Temperature, Encoding::Float, false},
    {SimRegister::Pressure, Encoding::Float, false},
    {SimRegister::CumulativeFlow, Encoding::Float, false},
    {SimRegister::FactoryInit, Encoding::Int16, true},
    {SimRegister::Command, Encoding::Int16, true},
    {SimRegister::Mode, Encoding::Int16, true},
    {SimRegister::GasNumber, Encoding::Int16, true},
    {SimRegister::GasCoefficient, Encoding::Float, true},
    {SimRegister::Backlight, Encoding::Int16, true},
    {0x300A, Encoding::Int16, true}, // save on power loss
    {0x300C, Encoding::Int16, true}, // output delay after power-on
    {0x300E, Encoding::Int16, true}, // cumulative output interval
    {0x3010, Encoding::Int16, true}, // flow alarm mode
    {0x3012, Encoding::Int16, true}, // flow alarm pin polarity
    {0x3014, Encoding::Float, true}, // alarm value 1
    {0x3018, Encoding::Float, true}, // alarm value 2
    {SimRegister::DeviceAddress, Encoding::Int16, true},
    {SimRegister::BaudIndex, Encoding::Int16, true},
    {0x3020, Encoding::Int16, true}, // active output period
    {0x3022, Encoding::Float, true}, // control dead band
    {0x3026, Encoding::Float, true}, // gain P
    {0x302A, Encoding::Float, true}, // gain I
    {0x302E, Encoding::Float, true}, // gain D
    {0x3032, Encoding::Int16, true}, // analog input filter coefficient
    {0x3034, Encoding::Int16, true}, // active output selection
    {SimRegister::OrdinaryPassword, Encoding::Int32, true},
    {SimRegister::AdvancedPassword, Encoding::Int32, true},
    {SimRegister::FlowSetpoint, Encoding::Float, true},
    {SimRegister::CumulativeSetpoint, Encoding::Float, true},
};

// The entry a register belongs to (its first or second half), or null.
const RegisterEntry *entryOf(quint16 reg)
{
    for (const RegisterEntry &known : kRegisters) {
        if (reg == known.reg || reg == known.reg + 1)
            return &known;
    }
    return nullptr;
}

const RegisterEntry *entryStartingAt(quint16 reg)
{
    const RegisterEntry *known = entryOf(reg);
    return known && known->reg == reg ? known : nullptr;
}

constexpr quint8 kIllegalFunction = 0x01;
constexpr quint8 kIllegalAddress = 0x02;
constexpr quint8 kIllegalValue = 0x03;
constexpr int kMaxReadCount = 125;

} // namespace

SimController::SimController(quint8 address, quint32 seed, Clock::time_point now)
    : m_address(address), m_random(seed * 2654435761u + address), m_lastAdvance(now)
{
    for (const RegisterEntry &known : kRegisters) {
        m_words[known.reg] = {0, 0};
        m_words[quint16(known.reg + 1)] = {0, 0};
    }
    restoreDefaults();
    storeEntry(SimRegister::DeviceAddress, int32_to_bytes(address));
    storeEntry(SimRegister::BaudIndex, int32_to_bytes(6));
    publishReadings();
}

void SimController::setAddress(quint8 address)
{
    m_address = address;
    storeEntry(SimRegister::DeviceAddress, int32_to_bytes(address));
}

void SimController::restoreDefaults()
{
    // The bus address and the baud rate survive, so that the device stays reachable.
    const auto int16 = [this](quint16 reg, int value) { storeEntry(reg, int32_to_bytes(value & 0xFFFF)); };
    const auto real = [this](quint16 reg, float value) { storeEntry(reg, float_to_bytes(value)); };
    int16(SimRegister::FactoryInit, 0);
    int16(SimRegister::Command, 0);
    int16(SimRegister::Mode, 0);
    int16(SimRegister::GasNumber, 1);
    real(SimRegister::GasCoefficient, 1.0f);
    int16(SimRegister::Backlight, 30);
    int16(0x300A, 1);
    int16(0x300C, 0);
    int16(0x300E, 10);
    int16(0x3010, 0);
    int16(0x3012, 0);
    real(0x3014, 0.0f);
    real(0x3018, 0.0f);
    int16(0x3020, 1000);
    real(0x3022, 0.5f);
    real(0x3026, 0.8f);
    real(0x302A, 0.2f);
    real(0x302E, 0.05f);
    int16(0x3032, 5);
    int16(0x3034, 0);
    storeEntry(SimRegister::OrdinaryPassword, int32_to_bytes(1234));
    storeEntry(SimRegister::AdvancedPassword, int32_to_bytes(5678));
    real(SimRegister::FlowSetpoint, 0.0f);
    real(SimRegister::CumulativeSetpoint, 0.0f);
    m_purging = false;
}

bool SimController::holdsRegister(quint16 reg)
{
    return entryStartingAt(reg) != nullptr;
}

SimController::Answer SimController::handle(const QByteArray &frame, Clock::time_point now,
                                            const AddressTaken &taken)
{
    const quint8 function = quint8(frame[1]);
    if (function == 0x03 && frame.size() == 8)
        return handleRead(frame, now);
    if (function == 0x06 && (frame.size() == 8 || frame.size() == 10))
        return handleWrite(frame, now, taken);
    if (function == 0x08 && frame.size() == 8)
        return handleEcho(frame);
    if (function & 0x80)
        return {}; // never answer what looks like another device's exception reply
    return {exception(function, kIllegalFunction)};
}

SimController::Answer SimController::handleEcho(const QByteArray &frame) const
{
    // Sub-function 0x0000 returns the query data unchanged; no other sub-function is offered.
    if (bigEndian16(frame, 2) != 0x0000)
        return {exception(0x08, kIllegalFunction)};
    return {frame};
}

SimController::Answer SimController::handleRead(const QByteArray &frame, Clock::time_point now)
{
    const quint16 start = bigEndian16(frame, 2);
    const int count = bigEndian16(frame, 4);
    if (count < 1 || count > kMaxReadCount)
        return {exception(0x03, kIllegalValue)};
    for (int reg = start; reg < start + count; ++reg) {
        if (reg > 0xFFFF || !m_words.count(quint16(reg)))
            return {exception(0x03, kIllegalAddress)};
    }
    advance(now);
    QByteArray reply;
    reply.append(char(m_address));
    reply.append(char(0x03));
    reply.append(char(count * 2));
    for (int reg = start; reg < start + count; ++reg) {
        const auto &word = m_words.at(quint16(reg));
        reply.append(word[0]);
        reply.append(word[1]);
    }
    return {SerialPort::appendCrc(reply)};
}

SimController::Answer SimController::handleWrite(const QByteArray &frame, Clock::time_point now,
                                                 const AddressTaken &taken)
{
    const quint16 reg = bigEndian16(frame, 2);
    const RegisterEntry *known = entryOf(reg);
    const bool twoWords = frame.size() == 10;
    if (!known || !known->writable || (twoWords && known->reg != reg))
        return {exception(0x06, kIllegalAddress)};

    QByteArray entry = entryBytes(known->reg);
    const bool firstHalf = known->reg == reg;
    if (twoWords) {
        entry = frame.mid(4, 4);
    } else if (firstHalf) {
        entry.replace(0, 2, frame.mid(4, 2));
        // A 16-bit write to a 32-bit integer sets the whole value (the passwords are written so).
        if (known->encoding != Encoding::Float)
            entry.replace(2, 2, QByteArray(2, '\0'));
    } else {
        entry.replace(2, 2, frame.mid(4, 2));
    }

    const int value =
        known->encoding == Encoding::Int16 ? bytes_to_uint16(entry, 0) : bytes_to_int32(entry, 0);
    if (const quint8 code = validate(known->reg, value, taken))
        return {exception(0x06, code)};

    advance(now);
    Answer answer{frame};
    if (known->reg == SimRegister::Command || known->reg == SimRegister::FactoryInit) {
        runCommand(value);
        return answer; // a command is an action, not a setting: its register keeps reading 0
    }
    storeEntry(known->reg, entry);
    if (known->reg == SimRegister::DeviceAddress)
        answer.newAddress = value;
    return answer;
}

quint8 SimController::validate(quint16 reg, int value, const AddressTaken &taken) const
{
    switch (reg) {
    case SimRegister::Mode:
        return value == 0 || value == 1 ? 0 : kIllegalValue;
    case SimRegister::DeviceAddress:
        if (value < 1 || value > 247)
            return kIllegalValue;
        return value != m_address && taken && taken(quint8(value)) ? kIllegalValue : 0;
    case SimRegister::FactoryInit:
        return value == SimCommand::FactoryDefaults ? 0 : kIllegalValue;
    case SimRegister::Command:
        switch (value) {
        case SimCommand::ClearCumulative:
        case SimCommand::ZeroFlow:
        case SimCommand::PurgeOn:
        case SimCommand::PurgeOff:
        case SimCommand::AnalogZero:
        case SimCommand::AnalogFullScale:
            return 0;
        default:
            return kIllegalValue;
        }
    default:
        return 0;
    }
}

void SimController::runCommand(int code)
{
    switch (code) {
    case SimCommand::ClearCumulative:
        m_cumulative = 0.0;
        break;
    case SimCommand::ZeroFlow:
        m_flow = 0.0;
        break;
    case SimCommand::PurgeOn:
        m_purging = true;
        break;
    case SimCommand::PurgeOff:
        m_purging = false;
        break;
    case SimCommand::FactoryDefaults:
        restoreDefaults();
        break;
    default: // the analog calibrations change nothing the bus can see
        break;
    }
    publishReadings();
}

QByteArray SimController::exception(quint8 function, quint8 code) const
{
    QByteArray reply;
    reply.append(char(m_address));
    reply.append(char(function | 0x80));
    reply.append(char(code));
    return SerialPort::appendCrc(reply);
}

QByteArray SimController::entryBytes(quint16 reg) const
{
    const auto &low = m_words.at(reg);
    const auto &high = m_words.at(quint16(reg + 1));
    return QByteArray{low.data(), 2} + QByteArray{high.data(), 2};
}

void SimController::storeEntry(quint16 reg, const QByteArray &fourBytes)
{
    m_words[reg] = {fourBytes[0], fourBytes[1]};
    m_words[quint16(reg + 1)] = {fourBytes[2], fourBytes[3]};
}

float SimController::storedFloat(quint16 reg) const
{
    return bytes_to_float(entryBytes(reg), 0);
}

int SimController::storedInt16(quint16 reg) const
{
    return bytes_to_uint16(entryBytes(reg), 0);
}

float SimController::floatRegister(quint16 reg, Clock::time_point now)
{
    if (!holdsRegister(reg))
        return 0.0f;
    advance(now);
    return storedFloat(reg);
}

int SimController::intRegister(quint16 reg, Clock::time_point now)
{
    const RegisterEntry *known = entryStartingAt(reg);
    if (!known)
        return 0;
    advance(now);
    const QByteArray entry = entryBytes(reg);
    switch (known->encoding) {
    case Encoding::Int16:
        return bytes_to_uint16(entry, 0);
    case Encoding::Int32:
        return bytes_to_int32(entry, 0);
    case Encoding::Float:
        break;
    }
    return int(bytes_to_float(entry, 0));
}

void SimController::setFloatRegister(quint16 reg, float value, Clock::time_point now)
{
    const RegisterEntry *known = entryStartingAt(reg);
    if (!known)
        return;
    if (known->encoding != Encoding::Float) {
        setIntRegister(reg, int(value), now);
        return;
    }
    advance(now);
    switch (reg) {
    case SimRegister::Flow:
        m_flow = value;
        break;
    case SimRegister::Temperature:
        m_celsius = value;
        break;
    case SimRegister::Pressure:
        m_pascal = value;
        break;
    case SimRegister::CumulativeFlow:
        m_cumulative = value;
        break;
    default:
        storeEntry(reg, float_to_bytes(value));
        break;
    }
    publishReadings();
}

void SimController::setIntRegister(quint16 reg, int value, Clock::time_point now)
{
    const RegisterEntry *known = entryStartingAt(reg);
    if (!known)
        return;
    switch (known->encoding) {
    case Encoding::Float:
        setFloatRegister(reg, float(value), now);
        return;
    case Encoding::Int16:
        storeEntry(reg, int32_to_bytes(value & 0xFFFF));
        break;
    case Encoding::Int32:
        storeEntry(reg, int32_to_bytes(value));
        break;
    }
    if (reg == SimRegister::DeviceAddress)
        m_address = quint8(value);
}

void SimController::setValveResponse(double lagSeconds, bool stuck, Clock::time_point now)
{
    advance(now);
    m_lagSeconds = lagSeconds > 0.0 ? lagSeconds : kLagSeconds;
    m_stuck = stuck;
}

double SimController::target() const
{
    if (m_purging)
        return kPurgeFlow;
    const double setpoint = storedFloat(SimRegister::FlowSetpoint);
    if (!(setpoint > 0.0)) // also catches NaN
        return 0.0;
    if (storedInt16(SimRegister::Mode) == 1 && m_cumulative >= storedFloat(SimRegister::CumulativeSetpoint))
        return 0.0;
    return setpoint;
}

void SimController::advance(Clock::time_point now)
{
    const double elapsed = std::chrono::duration<double>(now - m_lastAdvance).count();
    if (elapsed <= 0.0)
        return;
    m_lastAdvance = now;
    // A stuck valve cannot shut at the dose either.
    const bool dosing = storedInt16(SimRegister::Mode) == 1 && !m_purging && !m_stuck;
    const double dose = storedFloat(SimRegister::CumulativeSetpoint);
    // Small steps keep the dosing stop exact enough; long idle spans take at most 2000 steps.
    const double step = std::max(0.02, elapsed / 2000.0);
    for (double done = 0.0; done < elapsed; done += step) {
        if (dosing && m_cumulative >= dose) {
            m_flow = 0.0; // the dose is delivered: the valve stays shut
            break;
        }
        const double h = std::min(step, elapsed - done);
        const double goal = m_stuck ? m_flow : target();
        const double decay = std::exp(-h / m_lagSeconds);
        // Exact integral of the first-order response over the step, in sccm·s.
        const double volume = goal * h + (m_flow - goal) * m_lagSeconds * (1.0 - decay);
        m_flow = goal + (m_flow - goal) * decay;
        m_cumulative += volume / 60000.0; // sccm·s → L
        if (dosing && m_cumulative >= dose) {
            // The valve closes the moment the dose is delivered.
            m_cumulative = dose;
            m_flow = 0.0;
        }
    }
    std::normal_distribution<double> drift(0.0, std::sqrt(std::min(elapsed, 60.0)));
    m_celsius += 0.01 * drift(m_random) + (kAmbientCelsius - m_celsius) * std::min(1.0, elapsed / 60.0);
    m_pascal += 5.0 * drift(m_random) + (kAmbientPascal - m_pascal) * std::min(1.0, elapsed / 60.0);
    publishReadings();
}

void SimController::publishReadings()
{
    std::normal_distribution<double> noise(0.0, 1.0);
    // A closed valve reads exactly zero; a flowing one jitters by about a thousandth.
    const double flow = m_flow < 1e-3 ? 0.0 : m_flow * (1.0 + 0.001 * noise(m_random));
    storeEntry(SimRegister::Flow, float_to_bytes(float(std::max(0.0, flow))));
    storeEntry(SimRegister::CumulativeFlow, float_to_bytes(float(m_cumulative)));
    storeEntry(SimRegister::Temperature, float_to_bytes(float(m_celsius)));
    storeEntry(SimRegister::Pressure, float_to_bytes(float(m_pascal)));
}
