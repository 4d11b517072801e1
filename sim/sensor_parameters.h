// The sensor's detection parameters in its own units, with the factory defaults and the ranges
// it accepts. Setting is all or nothing: one id unknown or one value out of range refuses the
// whole request and changes nothing.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

constexpr int kGateCount = 16;

// Parameter ids of the detect setting group (commands 0x0070/0x0071).
constexpr uint16_t kParamMinGate = 0x000A;
constexpr uint16_t kParamMaxGate = 0x0005;
constexpr uint16_t kParamResponseSpeed = 0x000B;    // × 10: 10 normal, 20 fast
constexpr uint16_t kParamStateReportRate = 0x0002;  // Hz × 10
constexpr uint16_t kParamRangeReportRate = 0x000C;  // Hz × 10
constexpr uint16_t kParamAbsenceSeconds = 0x0006;

// Accepted ranges.
constexpr uint32_t kMaxGateNumber = 16;  // the host clamps a far window to gate 16
constexpr uint32_t kMinReportRate = 1;   // 0.1 Hz
constexpr uint32_t kMaxReportRate = 80;  // 8 Hz
constexpr uint32_t kMaxAbsenceSeconds = 65535;
constexpr uint32_t kMaxThresholdDb = 95;

// The parameter groups as the commands address them.
enum class ParamGroup { DetectSetting, TriggerThresholds, HoldThresholds };

struct SensorParameters {
    uint32_t minGate = 0;
    uint32_t maxGate = 9;
    uint32_t responseSpeed = 20;
    uint32_t stateReportRate = 10;
    uint32_t rangeReportRate = 10;
    uint32_t absenceSeconds = 20;
    std::array<uint32_t, kGateCount> trigger{48, 48, 45, 37, 35, 35, 33, 33,
                                             33, 33, 33, 33, 33, 33, 33, 33};
    std::array<uint32_t, kGateCount> hold{45, 45, 48, 39, 35, 35, 33, 33,
                                          33, 33, 33, 33, 33, 33, 33, 33};

    // The value of one id of the group; nothing for an unknown id.
    std::optional<uint32_t> Get(ParamGroup group, uint16_t id) const;
    // Applies every (id, value) pair, or none of them: false when an id is unknown or a value
    // out of range.
    bool SetAll(ParamGroup group, const std::vector<std::pair<uint16_t, uint32_t>>& values);

    // Report period in milliseconds of sensor time: the faster of the two report rates.
    uint64_t ReportPeriodMs() const;

private:
    uint32_t* Slot(ParamGroup group, uint16_t id);
    static bool InRange(ParamGroup group, uint16_t id, uint32_t value);
};
