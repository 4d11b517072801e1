// Sensor time: wall-clock milliseconds since the start, multiplied by the time scale, so that
// reports, scenarios, scans, erases and restarts run faster (or slower) as a whole.
#pragma once

#include <cmath>
#include <cstdint>

class SimClock {
public:
    SimClock(double scale, uint64_t wallStartMs) : m_scale(scale), m_startMs(wallStartMs) {}

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
    double m_scale;
    uint64_t m_startMs;
};
