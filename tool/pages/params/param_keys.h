// The detection parameters by name: the attribute names of the settings' "ParamSetting"
// section, in the section's order, each bound to its field of RadarParamSetting. zorvan-cli's
// "params get" prints them, "params set KEY=VALUE" takes them (names compared without regard to
// the case of A-Z, as in the settings file), and parameter diffs name them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pages/params/radar_param_setting.h"

enum class ParamValueKind {
    Decimal,  // metres, Hz, response speed: any finite number
    Whole,    // seconds, dB: 0 .. 2^32 - 1
};

struct ParamKey {
    std::string name;
    ParamValueKind kind = ParamValueKind::Whole;
    double RadarParamSetting::*decimal = nullptr;
    uint32_t RadarParamSetting::*whole = nullptr;
    uint32_t (RadarParamSetting::*gates)[kGateCount] = nullptr;
    int gate = 0;
    // The record's own check of a value it takes in (null: none).
    bool (*usable)(double) = nullptr;
};

// Every key, in the order of the "ParamSetting" section.
const std::vector<ParamKey>& ParamKeys();

// The key of that name (case of A-Z ignored); null when there is none.
const ParamKey* FindParamKey(const std::string& name);

// Every key's value text, in the order of ParamKeys(), as the settings file keeps it
// (SaveToConfig's formats: "4.90", "1.0", "40").
std::vector<std::string> ParamValueTexts(const RadarParamSetting& record);
