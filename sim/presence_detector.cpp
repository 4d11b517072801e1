#include "presence_detector.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kGateCentimetres = 70.0;

uint16_t CentreCm(double weightedGates, double weights) {
    const double cm = (weightedGates / weights + 0.5) * kGateCentimetres;
    return static_cast<uint16_t>(std::clamp(std::lround(cm), 0L, 65535L));
}

}  // namespace

void PresenceDetector::Reset() {
    *this = PresenceDetector();
}

Detection PresenceDetector::Update(const GateEnergies& energies, const SensorParameters& params,
                                   uint64_t simMs) {
    std::array<double, kGateCount> db{};
    for (int g = 0; g < kGateCount; ++g) db[g] = EnergyDb(energies[g]);

    const int first = static_cast<int>(std::min<uint32_t>(params.minGate, kGateCount));
    const int last = static_cast<int>(std::min<uint32_t>(params.maxGate, kGateCount - 1));
    double motionWeights = 0, motionGates = 0, holdWeights = 0, holdGates = 0;
    for (int g = first; g <= last; ++g) {
        const double overTrigger = db[g] - params.trigger[g];
        const double overHold = db[g] - params.hold[g];
        const bool changed = m_havePrevious && std::fabs(db[g] - m_previousDb[g]) >= kMotionDeltaDb;
        if (overTrigger >= 0 && changed) {
            motionWeights += overTrigger + 1;
            motionGates += (overTrigger + 1) * g;
        }
        if (overHold >= 0) {
            holdWeights += overHold + 1;
            holdGates += (overHold + 1) * g;
        }
    }
    m_previousDb = db;
    m_havePrevious = true;

    Detection result;
    if (motionWeights > 0) {
        m_present = true;
        m_lastSeenMs = simMs;
        m_lastDistanceCm = CentreCm(motionGates, motionWeights);
        result = {TargetState::Moving, m_lastDistanceCm};
    } else if (m_present && holdWeights > 0) {
        m_lastSeenMs = simMs;
        m_lastDistanceCm = CentreCm(holdGates, holdWeights);
        result = {TargetState::Motionless, m_lastDistanceCm};
    } else if (m_present && simMs - m_lastSeenMs < params.absenceSeconds * 1000ull) {
        result = {TargetState::Motionless, m_lastDistanceCm};
    } else {
        m_present = false;
    }
    return result;
}
