// Threshold generation inside the sensor. The command arms a scan; the scan runs once command
// mode has ended, samples the room's gate energies for the given number of seconds and sets
// every gate's trigger threshold to the loudest energy seen there plus the trigger coefficient
// (and the hold threshold likewise with the hold coefficient), each kept within 10 to 95 dB.
// Progress (0 to 100 %) is reported when the scan starts, once a second while it runs and at
// its end; the final 100 % is repeated once a second for kFinalRepeats more seconds, so that a
// host that starts listening a moment late still sees it. All times are sensor time.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "room_scenario.h"
#include "sensor_parameters.h"

struct GeneratedThresholds {
    std::array<uint32_t, kGateCount> trigger{};
    std::array<uint32_t, kGateCount> hold{};
};

class ThresholdScan {
public:
    static constexpr uint64_t kProgressPeriodMs = 1000;
    static constexpr uint64_t kSamplePeriodMs = 100;
    static constexpr int kFinalRepeats = 3;
    static constexpr uint32_t kMinThresholdDb = 10;

    // Takes the command's arguments; the scan waits for Start. A scan in progress is abandoned.
    void Arm(uint16_t triggerCoefficientDb, uint16_t holdCoefficientDb, uint16_t seconds);
    bool Armed() const { return m_phase == Phase::Armed; }
    // Begins an armed scan at `simMs` (command mode has ended); nothing when none is armed.
    void Start(uint64_t simMs);
    // Drops whatever is armed or running (power-on).
    void Cancel() { m_phase = Phase::Idle; }

    // Runs the scan up to `simMs`: appends the progress values due by then to `progress` and
    // gives the thresholds when the scan completed during this call.
    std::optional<GeneratedThresholds> Advance(uint64_t simMs, const RoomScenario& room,
                                               std::vector<uint16_t>& progress);
    // Sensor time of the next progress report or sample; nothing when idle or armed.
    std::optional<uint64_t> NextEventMs() const;

private:
    enum class Phase { Idle, Armed, Scanning, Repeating };

    uint16_t ProgressAt(uint64_t simMs) const;
    GeneratedThresholds Result() const;

    Phase m_phase = Phase::Idle;
    uint16_t m_triggerCoefficient = 0;
    uint16_t m_holdCoefficient = 0;
    uint64_t m_durationMs = 0;
    uint64_t m_startMs = 0;
    uint64_t m_nextProgressMs = 0;
    uint64_t m_nextSampleMs = 0;
    int m_repeatsLeft = 0;
    std::array<double, kGateCount> m_loudestDb{};
};
