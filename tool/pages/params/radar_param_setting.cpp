#include "pages/params/radar_param_setting.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "app/app_config.h"
#include "app/xml_parser.h"
#include "core/base_string.h"
#include "core/dbg_output.h"
#include "core/text_format.h"
#include "core/value_text.h"

namespace {

constexpr const char* kKeyRangeResolution = "RangeResolution";
constexpr const char* kKeyDetectRangeMin = "DetectRangeMin";
constexpr const char* kKeyDetectRangeMax = "DetectRangeMax";
constexpr const char* kKeyResponseFreq = "ResponseFreq";
constexpr const char* kKeyStateReportFreq = "StateReportFreq";
constexpr const char* kKeyRangeReportFreq = "RangeReportFreq";
constexpr const char* kKeyObjectDisappearReportTime = "ObjectDisappearReportTime";
constexpr const char* kTriggerKeyFormat = "Gate%dTriggerThreshold";
constexpr const char* kHoldKeyFormat = "Gate%dHoldThreshold";
constexpr const char* kDistanceFormat = "%.2f";
constexpr const char* kFrequencyFormat = "%.1f";

constexpr double kTenthsPerUnit = 10.0;
// 2^32 as a double: every value below it truncates into an unsigned 32-bit number.
constexpr double kUInt32Span = 4294967296.0;

std::string GateKey(const char* format, int gate) {
    std::string key;
    FormatText(key, format, gate);
    return key;
}

// Which check a double key of the settings passes before it is taken in.
enum class DoubleCheck { Finite, Resolution, Frequency };

bool PassesCheck(DoubleCheck check, double value) {
    switch (check) {
        case DoubleCheck::Resolution:
            return IsUsableRangeResolution(value);
        case DoubleCheck::Frequency:
            return IsUsableFrequency(value);
        case DoubleCheck::Finite:
            break;
    }
    return std::isfinite(value);
}

const char* CheckText(DoubleCheck check) {
    switch (check) {
        case DoubleCheck::Resolution:
        case DoubleCheck::Frequency:
            return "a positive number";
        case DoubleCheck::Finite:
            break;
    }
    return "a finite number";
}

void LoadDouble(const XMLNode& section, const char* key, DoubleCheck check, double* field) {
    CBaseStringA text;
    section.GetAttributeText(key, text);
    if (text.GetLength() == 0) return;
    double value = 0.0;
    DigtalStringToValueA(text.GetString(), text.GetLength(), &value, kValueTypeDouble);
    if (!PassesCheck(check, value)) {
        DbgOutputA(kDbgLevelWarning, "ParamSetting: %s=\"%s\" refused (must be %s); keeping %g\r\n",
                   key, text.GetString(), CheckText(check), *field);
        return;
    }
    *field = value;
}

void LoadUInt32(const XMLNode& section, const char* key, uint32_t* field) {
    CBaseStringA text;
    section.GetAttributeText(key, text);
    if (text.GetLength() == 0) return;
    DigtalStringToValueA(text.GetString(), text.GetLength(), field, kValueTypeUInt32B);
}

// A tenths value read from the sensor for a frequency or speed field; 0 would divide by zero in
// every later use of the field.
void StoreTenths(const char* name, uint32_t tenths, double* field) {
    if (tenths == 0) {
        DbgOutputA(kDbgLevelWarning, "Sensor reported %s 0; refused, keeping %g\r\n", name, *field);
        return;
    }
    *field = tenths / kTenthsPerUnit;
}

}  // namespace

RadarParamSetting::RadarParamSetting() {
    ResetToDefaults(*this);
}

void ResetToDefaults(RadarParamSetting& record) {
    record.RangeResolution = kDefaultRangeResolution;
    record.DetectRangeMin = kDefaultDetectRangeMin;
    record.DetectRangeMax = kDefaultDetectRangeMax;
    record.ResponseFreq = kDefaultResponseFreq;
    record.StateReportFreq = kDefaultStateReportFreq;
    record.RangeReportFreq = kDefaultRangeReportFreq;
    record.ObjectDisappearReportTime = kDefaultObjectDisappearReportTime;
    std::memcpy(record.TriggerThreshold, kDefaultTriggerThreshold, sizeof(record.TriggerThreshold));
    std::memcpy(record.HoldThreshold, kDefaultHoldThreshold, sizeof(record.HoldThreshold));
}

bool IsUsableRangeResolution(double metres) {
    return std::isfinite(metres) && metres > 0.0;
}

bool IsUsableFrequency(double value) {
    return std::isfinite(value) && value > 0.0;
}

bool MetresToGate(double metres, double resolution, uint32_t* gate) {
    if (!IsUsableRangeResolution(resolution) || !std::isfinite(metres)) return false;
    // A tiny resolution may overflow the quotient to infinity; the clamp covers it.
    const double quotient = std::trunc(metres / resolution + kGateRoundingSlack);
    if (quotient <= 0.0) {
        *gate = 0;
    } else if (quotient >= kMaxSensorGate) {
        *gate = kMaxSensorGate;
    } else {
        *gate = static_cast<uint32_t>(quotient);
    }
    return true;
}

bool ValueToTenths(double value, uint32_t* tenths) {
    if (!std::isfinite(value)) return false;
    const double scaled = std::trunc(value * kTenthsPerUnit);
    if (scaled <= 0.0) {
        *tenths = 0;
    } else if (scaled >= kUInt32Span) {
        *tenths = std::numeric_limits<uint32_t>::max();
    } else {
        *tenths = static_cast<uint32_t>(scaled);
    }
    return true;
}

bool ToSensorDetectSetting(const RadarParamSetting& record, SensorDetectSetting* out) {
    SensorDetectSetting setting;
    if (!MetresToGate(record.DetectRangeMin, record.RangeResolution, &setting.minGate) ||
        !MetresToGate(record.DetectRangeMax, record.RangeResolution, &setting.maxGate) ||
        !ValueToTenths(record.ResponseFreq, &setting.responseSpeed) ||
        !ValueToTenths(record.StateReportFreq, &setting.stateReportRate) ||
        !ValueToTenths(record.RangeReportFreq, &setting.rangeReportRate)) {
        DbgOutputA(kDbgLevelError,
                   "Detect setting not convertible (resolution %g, range %g..%g, response %g, "
                   "state %g Hz, range %g Hz); nothing sent\r\n",
                   record.RangeResolution, record.DetectRangeMin, record.DetectRangeMax,
                   record.ResponseFreq, record.StateReportFreq, record.RangeReportFreq);
        return false;
    }
    setting.absenceSeconds = record.ObjectDisappearReportTime;
    *out = setting;
    return true;
}

void FromSensorDetectSetting(const SensorDetectSetting& in, RadarParamSetting& record) {
    if (IsUsableRangeResolution(record.RangeResolution)) {
        record.DetectRangeMin = in.minGate * record.RangeResolution;
        record.DetectRangeMax = in.maxGate * record.RangeResolution;
    } else {
        DbgOutputA(kDbgLevelWarning,
                   "Range resolution %g unusable; sensor gates %u..%u not converted\r\n",
                   record.RangeResolution, in.minGate, in.maxGate);
    }
    StoreTenths("response speed", in.responseSpeed, &record.ResponseFreq);
    StoreTenths("state report rate", in.stateReportRate, &record.StateReportFreq);
    StoreTenths("range report rate", in.rangeReportRate, &record.RangeReportFreq);
    record.ObjectDisappearReportTime = in.absenceSeconds;
}

XMLNode FindParamSettingSection(XMLParser& document) {
    XMLNode root;
    XMLNode section;
    if (!document.FindRootNode(kAppConfigRootName, root)) return section;
    root.FindOrAddChild(kParamSettingSectionName, section);
    return section;
}

int LoadFromConfig(RadarParamSetting& record, const XMLNode& section) {
    if (section.IsEmpty()) return 0;
    LoadDouble(section, kKeyRangeResolution, DoubleCheck::Resolution, &record.RangeResolution);
    LoadDouble(section, kKeyDetectRangeMin, DoubleCheck::Finite, &record.DetectRangeMin);
    LoadDouble(section, kKeyDetectRangeMax, DoubleCheck::Finite, &record.DetectRangeMax);
    LoadDouble(section, kKeyResponseFreq, DoubleCheck::Frequency, &record.ResponseFreq);
    LoadDouble(section, kKeyStateReportFreq, DoubleCheck::Frequency, &record.StateReportFreq);
    LoadDouble(section, kKeyRangeReportFreq, DoubleCheck::Frequency, &record.RangeReportFreq);
    LoadUInt32(section, kKeyObjectDisappearReportTime, &record.ObjectDisappearReportTime);
    for (int gate = 0; gate < kGateCount; ++gate) {
        LoadUInt32(section, GateKey(kTriggerKeyFormat, gate).c_str(),
                   &record.TriggerThreshold[gate]);
        LoadUInt32(section, GateKey(kHoldKeyFormat, gate).c_str(), &record.HoldThreshold[gate]);
    }
    return 1;
}

int SaveToConfig(const RadarParamSetting& record, XMLNode& section) {
    if (section.IsEmpty()) return 0;
    section.SetAttributeDouble(kKeyRangeResolution, record.RangeResolution, kDistanceFormat);
    section.SetAttributeDouble(kKeyDetectRangeMin, record.DetectRangeMin, kDistanceFormat);
    section.SetAttributeDouble(kKeyDetectRangeMax, record.DetectRangeMax, kDistanceFormat);
    section.SetAttributeDouble(kKeyResponseFreq, record.ResponseFreq, kFrequencyFormat);
    section.SetAttributeDouble(kKeyStateReportFreq, record.StateReportFreq, kFrequencyFormat);
    section.SetAttributeDouble(kKeyRangeReportFreq, record.RangeReportFreq, kFrequencyFormat);
    section.SetAttributeUInt64(kKeyObjectDisappearReportTime, record.ObjectDisappearReportTime);
    for (int gate = 0; gate < kGateCount; ++gate) {
        section.SetAttributeUInt64(GateKey(kTriggerKeyFormat, gate).c_str(),
                                   record.TriggerThreshold[gate]);
    }
    for (int gate = 0; gate < kGateCount; ++gate) {
        section.SetAttributeUInt64(GateKey(kHoldKeyFormat, gate).c_str(),
                                   record.HoldThreshold[gate]);
    }
    return 1;
}

int LoadFromConfig(RadarParamSetting& record, XMLParser& document) {
    return LoadFromConfig(record, FindParamSettingSection(document));
}

int SaveToConfig(const RadarParamSetting& record, XMLParser& document) {
    XMLNode section = FindParamSettingSection(document);
    return SaveToConfig(record, section);
}
