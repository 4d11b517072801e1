#include "param_values.h"

#include "command_line.h"

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
