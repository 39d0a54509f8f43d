#pragma once

#include "Driver.h"
#include "Reading.h"

#include <array>
#include <optional>

// What one controller holds, as far as the bus has shown it.
struct ControllerRecord
{
    enum class State
    {
        NotOnline, // found by a scan (or not), not polled
        Online,
        Dropped // lost by the polling, or its adapter went away, while online
    };

    // A setpoint the controller confirmed (its echo or a read-back), and one on its way to it.
    struct Setpoint
    {
        std::optional<float> held;
        Driver heldFrom;
        std::optional<float> inFlight;
        Driver inFlightFrom;
    };

    quint8 address = 0;
    State state = State::NotOnline;
    std::array<std::optional<Reading>, 4> readings; // by reading type, instantaneous flow first
    std::array<Setpoint, 2> setpoints;              // instantaneous, cumulative
    int mode = -1;                                  // 0 instantaneous, 1 cumulative, -1 not read yet
    Driver driver;                                  // who holds it while running

    const Setpoint &setpoint(int kind) const { return setpoints[kind == 2 ? 1 : 0]; }
    Setpoint &setpoint(int kind) { return setpoints[kind == 2 ? 1 : 0]; }
    bool isOnline() const { return state == State::Online; }
};
