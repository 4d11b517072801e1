// The differences between two parameter records, named and written as the settings file and
// zorvan-cli name and write them (param_keys.h), in the section's order: what a confirmation
// lists as "old -> new" before values are written, and what "zorvan-cli params diff" prints.
// Values are compared as those texts, so a difference below the file's precision (4.901 m and
// 4.9 m both "4.90") is none.
//
// Qt-free; any thread (the records are the caller's).
#pragma once

#include <string>
#include <vector>

#include "pages/params/radar_param_setting.h"

struct ParamChange {
    std::string name;
    std::string oldValue;
    std::string newValue;
};

// Every parameter whose value text differs between the records; empty when they agree.
std::vector<ParamChange> DiffParamRecords(const RadarParamSetting& oldRecord,
                                          const RadarParamSetting& newRecord);

// One change as a line: "NAME: OLD -> NEW".
std::string ParamChangeText(const ParamChange& change);
