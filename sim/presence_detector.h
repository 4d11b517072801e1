// The sensor's judgement of a scan: within the detection window (minimum to maximum gate), a
// gate whose energy reaches its trigger threshold and changed by kMotionDeltaDb since the last
// scan means a moving target; once someone is present, a gate at or above its hold threshold
// keeps them present (motionless); with neither, presence lasts for the absence delay and then
// ends. The distance is the energy-weighted centre of the gates that decided.
#pragma once

#include <array>
#include <cstdint>

#include "room_scenario.h"
#include "sensor_parameters.h"

enum class TargetState : uint8_t { None = 0, Moving = 2, Motionless = 3 };

struct Detection {
    TargetState state = TargetState::None;
    uint16_t distanceCm = 0;
};

class PresenceDetector {
public:
    static constexpr double kMotionDeltaDb = 3.0;

    // Judges one scan taken at sensor time `simMs`.
    Detection Update(const GateEnergies& energies, const SensorParameters& params, uint64_t simMs);
    // Forgets the previous scan and any presence (power-on).
    void Reset();

private:
    std::array<double, kGateCount> m_previousDb{};
    bool m_havePrevious = false;
    bool m_present = false;
    uint64_t m_lastSeenMs = 0;
    uint16_t m_lastDistanceCm = 0;
};
