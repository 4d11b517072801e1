#include "pages/params/param_keys.h"

#include <strings.h>

#include "app/app_config.h"
#include "app/xml_parser.h"
#include "core/base_string.h"
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

std::vector<std::string> ParamValueTexts(const RadarParamSetting& record) {
    XMLParser scratch;
    XMLNode root;
    scratch.GetDocumentNode().FindOrAddChild(kAppConfigRootName, root);
    SaveToConfig(record, scratch);
    const XMLNode section = FindParamSettingSection(scratch);
    std::vector<std::string> texts;
    texts.reserve(ParamKeys().size());
    for (const ParamKey& key : ParamKeys()) {
        CBaseStringA value;
        section.GetAttributeText(key.name.c_str(), value);
        texts.emplace_back(value.GetString());
    }
    return texts;
}
