// The room the simulated sensor looks into: a target walks in from the far end, stands still
// for a while at a spot that changes from round to round, walks out again, and the room stays
// empty for a moment before the next round. Gate energies are derived from the target's
// position over a per-gate background, with noise, so that live plots look like a real room.
//
// Everything is a pure function of the sensor time and the seed: the same time gives the same
// energies, which keeps threshold scans and tests reproducible.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "sensor_parameters.h"

using GateEnergies = std::array<uint16_t, kGateCount>;

enum class ScenarioKind { Room, Empty };

struct TargetPosition {
    double distanceM = 0;
    bool moving = false;
};

class RoomScenario {
public:
    static constexpr double kGateMetres = 0.7;
    static constexpr uint64_t kRoundMs = 30000;

    RoomScenario(ScenarioKind kind, uint64_t seed) : m_kind(kind), m_seed(seed) {}

    // Where the target is at sensor time `simMs`; nothing while the room is empty.
    std::optional<TargetPosition> TargetAt(uint64_t simMs) const;
    // Raw linear gate energies at `simMs`.
    GateEnergies EnergiesAt(uint64_t simMs) const;

private:
    // Uniform noise in [-1, 1] for a time step, a gate and a purpose.
    double Noise(uint64_t step, int gate, int purpose) const;

    ScenarioKind m_kind;
    uint64_t m_seed;
};

// The host's reading of a raw energy in decibels: 0 up to 100, else 20·log10(r / 100) with the
// quotient taken as an integer. The sensor judges energies on the same scale.
double EnergyDb(uint16_t raw);
