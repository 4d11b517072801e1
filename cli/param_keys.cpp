#include "param_keys.h"

#include <strings.h>

#include "command_line.h"
#include "core/text_format.h"

namespace {

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

std::vector<ParamKey> BuildKeys() {
    std::vector<ParamKey> keys;
    auto decimal = [&keys](const char* name, double RadarParamSetting::*field,
                           bool (*usable)(double)) {
        ParamKey key;
        key.name = name;
        key.kind = ParamValueKind::Decimal;
        key.decimal = field;
        key.usable = usable;
        keys.push_back(key);
    };
    decimal("RangeResolution", &RadarParamSetting::RangeResolution, IsUsableRangeResolution);
    decimal("DetectRangeMin", &RadarParamSetting::DetectRangeMin, nullptr);
    decimal("DetectRangeMax", &RadarParamSetting::DetectRangeMax, nullptr);
    decimal("ResponseFreq", &RadarParamSetting::ResponseFreq, IsUsableFrequency);
    decimal("StateReportFreq", &RadarParamSetting::StateReportFreq, IsUsableFrequency);
    decimal("RangeReportFreq", &RadarParamSetting::RangeReportFreq, IsUsableFrequency);

    ParamKey absence;
    absence.name = "ObjectDisappearReportTime";
    absence.whole = &RadarParamSetting::ObjectDisappearReportTime;
    keys.push_back(absence);

    for (auto [format, table] :
         {std::pair{"Gate%dTriggerThreshold", &RadarParamSetting::TriggerThreshold},
          std::pair{"Gate%dHoldThreshold", &RadarParamSetting::HoldThreshold}}) {
        for (int gate = 0; gate < kGateCount; ++gate) {
            ParamKey key;
            FormatText(key.name, format, gate);
            key.gates = table;
            key.gate = gate;
            keys.push_back(key);
        }
    }
    return keys;
}

}  // namespace

const std::vector<ParamKey>& ParamKeys() {
    static const std::vector<ParamKey> keys = BuildKeys();
    return keys;
}

const ParamKey* FindParamKey(const std::string& name) {
    for (const ParamKey& key : ParamKeys()) {
        if (SameNameIgnoringCase(key.name, name)) return &key;
    }
    return nullptr;
}

bool SetParamValue(RadarParamSetting& record, const ParamKey& key, const std::string& text,
                   std::string& error) {
    if (key.kind == ParamValueKind::Decimal) {
        const auto value = ParseDecimal(text);
        if (!value) {
            error = key.name + " takes a number such as 4.9, not '" + text + "'";
            return false;
        }
        if (key.usable != nullptr && !key.usable(*value)) {
            error = key.name + " must be a positive number, not '" + text + "'";
            return false;
        }
        record.*key.decimal = *value;
        return true;
    }
    const auto value = ParseUnsigned(text, UINT32_MAX);
    if (!value) {
        error = key.name + " takes a whole number from 0 to 4294967295, not '" + text + "'";
        return false;
    }
    if (key.whole != nullptr) {
        record.*key.whole = static_cast<uint32_t>(*value);
    } else {
        (record.*key.gates)[key.gate] = static_cast<uint32_t>(*value);
    }
    return true;
}
