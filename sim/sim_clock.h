// The simulator's clocks. Wall time comes from a WallClock: the monotonic clock in the
// simulator, a clock stepped by hand in tests, so that pacing, the parser's silence limit and
// sensor time can be checked without waiting. Sensor time is wall-clock milliseconds since the
// start multiplied by the time scale, so that reports, scenarios, scans, erases and restarts run
// faster (or slower) as a whole.
#pragma once

#include <cmath>
#include <cstdint>

#include "core/mono_clock.h"

class WallClock {
public:
    virtual ~WallClock() = default;
    // Milliseconds on a clock that never goes backwards.
    virtual uint64_t NowMs() const = 0;
};

class MonotonicClock final : public WallClock {
public:
    uint64_t NowMs() const override { return MonoTimeMs(); }
};

// Time that moves only when told to.
class SteppedClock final : public WallClock {
public:
    explicit SteppedClock(uint64_t startMs = 0) : m_nowMs(startMs) {}
    uint64_t NowMs() const override { return m_nowMs; }
    void Step(uint64_t ms) { m_nowMs += ms; }

private:
    uint64_t m_nowMs;
};

class SimClock {
public:
    // Sensor time starts at 0 now.
    SimClock(const WallClock& wall, double scale)
        : m_wall(wall), m_scale(scale), m_startMs(wall.NowMs()) {}

    uint64_t WallNow() const { return m_wall.NowMs(); }
    uint64_t StartMs() const { return m_startMs; }
    uint64_t SimNow(uint64_t wallMs) const {
        if (wallMs <= m_startMs) return 0;
        return static_cast<uint64_t>(std::floor(static_cast<double>(wallMs - m_startMs) * m_scale));
    }
    // The first wall-clock millisecond at which sensor time has reached `simMs`.
    uint64_t WallAt(uint64_t simMs) const {
        uint64_t wall = m_startMs + static_cast<uint64_t>(std::ceil(simMs / m_scale));
        while (wall > m_startMs && SimNow(wall - 1) >= simMs) --wall;
        while (SimNow(wall) < simMs) ++wall;
        return wall;
    }

private:
    const WallClock& m_wall;
    double m_scale;
    uint64_t m_startMs;
};
