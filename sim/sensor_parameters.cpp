#include "sensor_parameters.h"

#include <algorithm>

std::optional<uint32_t> SensorParameters::Get(ParamGroup group, uint16_t id) const {
    uint32_t* slot = const_cast<SensorParameters*>(this)->Slot(group, id);
    if (slot == nullptr) return std::nullopt;
    return *slot;
}

uint32_t* SensorParameters::Slot(ParamGroup group, uint16_t id) {
    switch (group) {
        case ParamGroup::DetectSetting:
            switch (id) {
                case kParamMinGate:
                    return &minGate;
                case kParamMaxGate:
                    return &maxGate;
                case kParamResponseSpeed:
                    return &responseSpeed;
                case kParamStateReportRate:
                    return &stateReportRate;
                case kParamRangeReportRate:
                    return &rangeReportRate;
                case kParamAbsenceSeconds:
                    return &absenceSeconds;
                default:
                    return nullptr;
            }
        case ParamGroup::TriggerThresholds:
            return id < kGateCount ? &trigger[id] : nullptr;
        case ParamGroup::HoldThresholds:
            return id < kGateCount ? &hold[id] : nullptr;
    }
    return nullptr;
}

bool SensorParameters::InRange(ParamGroup group, uint16_t id, uint32_t value) {
    if (group == ParamGroup::TriggerThresholds || group == ParamGroup::HoldThresholds) {
        return value <= kMaxThresholdDb;
    }
    switch (id) {
        case kParamMinGate:
        case kParamMaxGate:
            return value <= kMaxGateNumber;
        case kParamResponseSpeed:
            return value == 10 || value == 20;
        case kParamStateReportRate:
        case kParamRangeReportRate:
            return value >= kMinReportRate && value <= kMaxReportRate;
        case kParamAbsenceSeconds:
            return value <= kMaxAbsenceSeconds;
        default:
            return false;
    }
}

bool SensorParameters::SetAll(ParamGroup group,
                              const std::vector<std::pair<uint16_t, uint32_t>>& values) {
    for (const auto& [id, value] : values) {
        if (Slot(group, id) == nullptr || !InRange(group, id, value)) return false;
    }
    for (const auto& [id, value] : values) *Slot(group, id) = value;
    return true;
}

uint64_t SensorParameters::ReportPeriodMs() const {
    const uint32_t rate = std::max({stateReportRate, rangeReportRate, kMinReportRate});
    return 10000 / rate;  // rates are Hz × 10
}
