// Max-hold of the gate energies: each gate's highest energy since the last reset, and its
// headroom against the trigger thresholds (threshold - max-hold in dB; below 0 the gate would
// have triggered on what was seen). What tuning against false triggers in an empty room needs:
// each gate's noise floor beside its threshold.
//
// A plain value: the caller serialises access (the page keeps it on the window thread; zorvan-cli
// feeds it on the acquisition worker and reads it after the run was joined).
#pragma once

#include <array>
#include <cstdint>

#include "device/report_frame.h"

using GateValues = std::array<double, kGateCount>;

class MaxHold {
public:
    // Takes a report's energies into the maxima.
    void Add(const TargetReport& report);
    // Forgets every maximum.
    void Reset();

    // Reports taken since the last reset; while 0 the maxima mean nothing (all 0).
    uint64_t Count() const { return m_count; }
    const GateValues& Maxima() const { return m_maxima; }

    // Per gate: trigger threshold (dB) - maximum (dB). Meaningful once Count() > 0.
    GateValues Headroom(const uint32_t (&triggerThreshold)[kGateCount]) const;

private:
    GateValues m_maxima{};
    uint64_t m_count = 0;
};
