#include "room_scenario.h"

#include <algorithm>
#include <cmath>

namespace {

// Background energy per gate (dB): clutter near the sensor, fading with distance.
constexpr std::array<double, kGateCount> kBackgroundDb{34, 30, 28, 25, 23, 21, 19, 18,
                                                       17, 16, 15, 14, 14, 13, 13, 12};
constexpr double kBackgroundNoiseDb = 2.0;
// A walking person reflects strongly and irregularly, a standing one weakly and steadily
// (breathing); both fade with distance.
constexpr double kMovingPeakDb = 60.0;
constexpr double kMovingFadeDbPerM = 3.0;
constexpr double kMovingJitterDb = 3.0;
constexpr double kStillPeakDb = 49.0;
constexpr double kStillFadeDbPerM = 2.5;
constexpr double kStillJitterDb = 0.7;
// How fast a target's energy falls off in the neighbouring gates (dB per gate², quadratic).
constexpr double kSpreadDbPerGate2 = 14.0;
constexpr uint64_t kNoiseStepMs = 50;

// Round timeline (ms within a round of RoomScenario::kRoundMs).
constexpr uint64_t kWalkInStartMs = 5000;
constexpr uint64_t kStandStartMs = 11000;
constexpr uint64_t kWalkOutStartMs = 21000;
constexpr uint64_t kGoneMs = 27000;
constexpr double kDoorDistanceM = 6.8;
constexpr double kExitDistanceM = 7.6;
constexpr double kNearestSpotM = 1.4;
constexpr double kSpotSpanM = 2.4;
constexpr double kSwayM = 0.05;

uint64_t Mix(uint64_t x) {
    // splitmix64 finaliser: a cheap, well-spread hash.
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

uint16_t ToRaw(double amplitude) {
    return static_cast<uint16_t>(std::clamp(std::lround(amplitude), 0L, 65535L));
}

double Amplitude(double db) {
    return 100.0 * std::pow(10.0, db / 20.0);
}

}  // namespace

double RoomScenario::Noise(uint64_t step, int gate, int purpose) const {
    const uint64_t h = Mix(
        m_seed ^ Mix(step * 64 + static_cast<uint64_t>(gate) * 4 + static_cast<uint64_t>(purpose)));
    return static_cast<double>(h >> 11) / static_cast<double>(1ull << 52) - 1.0;
}

std::optional<TargetPosition> RoomScenario::TargetAt(uint64_t simMs) const {
    if (m_kind == ScenarioKind::Empty) return std::nullopt;
    const uint64_t round = simMs / kRoundMs;
    const uint64_t t = simMs % kRoundMs;
    const double spot = kNearestSpotM + kSpotSpanM * (Noise(round, 0, 3) + 1.0) / 2.0;
    auto along = [](double from, double to, uint64_t start, uint64_t end, uint64_t now) {
        return from + (to - from) * static_cast<double>(now - start) / (end - start);
    };
    if (t < kWalkInStartMs || t >= kGoneMs) return std::nullopt;
    if (t < kStandStartMs) {
        return TargetPosition{along(kDoorDistanceM, spot, kWalkInStartMs, kStandStartMs, t), true};
    }
    if (t < kWalkOutStartMs) {
        const double sway = kSwayM * std::sin(static_cast<double>(t) / 700.0);
        return TargetPosition{spot + sway, false};
    }
    return TargetPosition{along(spot, kExitDistanceM, kWalkOutStartMs, kGoneMs, t), true};
}

GateEnergies RoomScenario::EnergiesAt(uint64_t simMs) const {
    const uint64_t step = simMs / kNoiseStepMs;
    const std::optional<TargetPosition> target = TargetAt(simMs);
    GateEnergies energies{};
    for (int g = 0; g < kGateCount; ++g) {
        double amplitude = Amplitude(kBackgroundDb[g] + kBackgroundNoiseDb * Noise(step, g, 0));
        if (target) {
            const double d = target->distanceM;
            const double peak =
                target->moving
                    ? kMovingPeakDb - kMovingFadeDbPerM * d + kMovingJitterDb * Noise(step, g, 1)
                    : kStillPeakDb - kStillFadeDbPerM * d + kStillJitterDb * Noise(step, 0, 2);
            const double gatesAway = (d - (g + 0.5) * kGateMetres) / kGateMetres;
            const double db = peak - kSpreadDbPerGate2 * gatesAway * gatesAway;
            if (db > 0) amplitude += Amplitude(db);
        }
        energies[g] = ToRaw(amplitude);
    }
    return energies;
}

double EnergyDb(uint16_t raw) {
    if (raw <= 100) return 0.0;
    return 20.0 * std::log10(static_cast<double>(raw / 100));
}
