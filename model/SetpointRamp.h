#pragma once

#include <optional>

// The rule of one controller's ramp, tick by tick: from the setpoint it holds towards a target by
// at most rate × tick per write, the last write the target exactly. A target of 0 is written at
// once: stopping gas is never slowed. A new target during a ramp goes on from the setpoint reached.
class SetpointRamp
{
public:
    static constexpr double TickSeconds = 1.0;

    explicit SetpointRamp(double ratePerSecond = 0) : m_rate(ratePerSecond) {}

    // Sccm per second; 0 (or less) writes every target at once.
    void setRate(double ratePerSecond) { m_rate = ratePerSecond; }
    double rate() const { return m_rate; }

    // A new target, approached from `from` (what the controller holds, or where a running ramp
    // stands, which wins).
    void aim(float target, float from);
    // The value to write at this tick; nothing once the target was written.
    std::optional<float> step();
    void cancel() { m_running = false; }

    bool isRunning() const { return m_running; }
    float target() const { return m_target; }
    float reached() const { return m_reached; }
    // Whole ticks the rest of the ramp takes.
    int ticksLeft() const;
    // Ticks a ramp over `span` sccm takes at `ratePerSecond`.
    static int ticksFor(double span, double ratePerSecond);

private:
    double m_rate = 0;
    float m_target = 0;
    float m_reached = 0;
    bool m_running = false;
};
