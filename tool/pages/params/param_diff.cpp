#include "pages/params/param_diff.h"

#include "pages/params/param_keys.h"

std::vector<ParamChange> DiffParamRecords(const RadarParamSetting& oldRecord,
                                          const RadarParamSetting& newRecord) {
    const std::vector<ParamKey>& keys = ParamKeys();
    const std::vector<std::string> oldTexts = ParamValueTexts(oldRecord);
    const std::vector<std::string> newTexts = ParamValueTexts(newRecord);
    std::vector<ParamChange> changes;
    for (size_t i = 0; i < keys.size(); ++i) {
        if (oldTexts[i] != newTexts[i]) changes.push_back({keys[i].name, oldTexts[i], newTexts[i]});
    }
    return changes;
}

std::string ParamChangeText(const ParamChange& change) {
    return change.name + ": " + change.oldValue + " -> " + change.newValue;
}
