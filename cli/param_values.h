// Values for the detection parameters as zorvan-cli takes them ("params set KEY=VALUE"):
// decimal numbers with a decimal point (no locale), whole numbers for seconds and dB.
#pragma once

#include <string>

#include "pages/params/param_keys.h"

// Stores the value text into the record's field. False with `error` set when the text is not a
// number of the key's kind, or a value the record refuses.
bool SetParamValue(RadarParamSetting& record, const ParamKey& key, const std::string& text,
                   std::string& error);
