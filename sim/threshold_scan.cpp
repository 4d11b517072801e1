#include "threshold_scan.h"

#include <algorithm>
#include <cmath>

void ThresholdScan::Arm(uint16_t triggerCoefficientDb, uint16_t holdCoefficientDb,
                        uint16_t seconds) {
    m_phase = Phase::Armed;
    m_triggerCoefficient = triggerCoefficientDb;
    m_holdCoefficient = holdCoefficientDb;
    m_durationMs = seconds * 1000ull;
}

void ThresholdScan::Start(uint64_t simMs) {
    if (m_phase != Phase::Armed) return;
    m_phase = Phase::Scanning;
    m_startMs = simMs;
    m_nextProgressMs = simMs;
    m_nextSampleMs = simMs;
    m_loudestDb.fill(0.0);
}

uint16_t ThresholdScan::ProgressAt(uint64_t simMs) const {
    if (m_durationMs == 0 || simMs >= m_startMs + m_durationMs) return 100;
    return static_cast<uint16_t>((simMs - m_startMs) * 100 / m_durationMs);
}

GeneratedThresholds ThresholdScan::Result() const {
    GeneratedThresholds result;
    auto limit = [](double db) {
        return static_cast<uint32_t>(std::clamp(std::lround(db), static_cast<long>(kMinThresholdDb),
                                                static_cast<long>(kMaxThresholdDb)));
    };
    for (int g = 0; g < kGateCount; ++g) {
        result.trigger[g] = limit(m_loudestDb[g] + m_triggerCoefficient);
        result.hold[g] = limit(m_loudestDb[g] + m_holdCoefficient);
    }
    return result;
}

std::optional<GeneratedThresholds> ThresholdScan::Advance(uint64_t simMs, const RoomScenario& room,
                                                          std::vector<uint16_t>& progress) {
    std::optional<GeneratedThresholds> finished;
    if (m_phase == Phase::Scanning) {
        const uint64_t endMs = m_startMs + m_durationMs;
        // Samples taken at or before the end count; so does one at the very start.
        while (m_nextSampleMs <= std::min(simMs, endMs)) {
            const GateEnergies energies = room.EnergiesAt(m_nextSampleMs);
            for (int g = 0; g < kGateCount; ++g) {
                m_loudestDb[g] = std::max(m_loudestDb[g], EnergyDb(energies[g]));
            }
            m_nextSampleMs += kSamplePeriodMs;
        }
        while (m_phase == Phase::Scanning && m_nextProgressMs <= simMs) {
            if (m_nextProgressMs >= endMs) {
                progress.push_back(100);
                finished = Result();
                m_phase = Phase::Repeating;
                m_repeatsLeft = kFinalRepeats;
                m_nextProgressMs = endMs + kProgressPeriodMs;
                break;
            }
            progress.push_back(ProgressAt(m_nextProgressMs));
            m_nextProgressMs = std::min(m_nextProgressMs + kProgressPeriodMs, endMs);
        }
    }
    while (m_phase == Phase::Repeating && m_nextProgressMs <= simMs) {
        progress.push_back(100);
        m_nextProgressMs += kProgressPeriodMs;
        if (--m_repeatsLeft == 0) m_phase = Phase::Idle;
    }
    return finished;
}

std::optional<uint64_t> ThresholdScan::NextEventMs() const {
    switch (m_phase) {
        case Phase::Scanning:
            return std::min(m_nextProgressMs, m_nextSampleMs);
        case Phase::Repeating:
            return m_nextProgressMs;
        default:
            return std::nullopt;
    }
}
