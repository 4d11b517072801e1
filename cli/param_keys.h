// The detection parameters as zorvan-cli names them: the attribute names of the settings'
// "ParamSetting" section, in the section's order, each bound to its field of RadarParamSetting.
// "params get" prints them, "params set KEY=VALUE" takes them (names compared without regard to
// the case of A-Z, as in the settings file).
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

// Stores the value text into the record's field. False with `error` set when the text is not a
// number of the key's kind, or a value the record refuses.
bool SetParamValue(RadarParamSetting& record, const ParamKey& key, const std::string& text,
                   std::string& error);
