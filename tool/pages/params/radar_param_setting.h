// The sensor's detection parameters as the tool holds them: the record, its factory defaults,
// the conversions between the record's units and the sensor's, and the record's place in the
// settings document (the "ParamSetting" element below the root "AppConfig").
//
// One record exists per tool run; the main window owns it and the pages hold pointers to it.
// The record has no lock: it is used on the window thread only (zorvan-cli: its main thread).
//
// Values that would make the later arithmetic meaningless are never taken in: a
// "RangeResolution" that is not a positive finite number, a report or response frequency that is
// not a positive finite number, or any non-finite double, whether it comes from the settings or
// from the sensor, leaves the current value and writes a level-3 line.
#pragma once

#include <cstdint>

#include "device/report_frame.h"

class XMLNode;
class XMLParser;

struct RadarParamSetting {
    double RangeResolution;                 // metres per range gate; never sent to the sensor
    double DetectRangeMin;                  // metres, start of the detection window
    double DetectRangeMax;                  // metres, end of the detection window
    double ResponseFreq;                    // response speed: 1.0 normal, 2.0 fast
    double StateReportFreq;                 // Hz
    double RangeReportFreq;                 // Hz
    uint32_t ObjectDisappearReportTime;     // seconds without a target before absence is reported
    uint32_t TriggerThreshold[kGateCount];  // dB per gate
    uint32_t HoldThreshold[kGateCount];     // dB per gate

    // A new record holds the factory defaults.
    RadarParamSetting();
};

// Factory defaults.
constexpr double kDefaultRangeResolution = 0.7;
constexpr double kDefaultDetectRangeMin = 0.0;
constexpr double kDefaultDetectRangeMax = 6.3;
constexpr double kDefaultResponseFreq = 2.0;
constexpr double kDefaultStateReportFreq = 1.0;
constexpr double kDefaultRangeReportFreq = 1.0;
constexpr uint32_t kDefaultObjectDisappearReportTime = 20;
constexpr uint32_t kDefaultTriggerThreshold[kGateCount] = {48, 48, 45, 37, 35, 35, 33, 33,
                                                           33, 33, 33, 33, 33, 33, 33, 33};
constexpr uint32_t kDefaultHoldThreshold[kGateCount] = {45, 45, 48, 39, 35, 35, 33, 33,
                                                        33, 33, 33, 33, 33, 33, 33, 33};

// The highest gate number the sensor is sent.
constexpr uint32_t kMaxSensorGate = 16;

// Sets every field to its factory default (thresholds copied whole, trigger first).
void ResetToDefaults(RadarParamSetting& record);

// Value checks applied to everything taken in from the settings or the sensor.
// A resolution must be a positive finite number of metres.
bool IsUsableRangeResolution(double metres);
// A response, state report or range report frequency must be a positive finite number.
bool IsUsableFrequency(double value);

// --- Conversions between the record's units and the sensor's -------------------------------

// The detect setting in the sensor's units, in the order the detect setting commands carry it.
struct SensorDetectSetting {
    uint32_t minGate = 0;
    uint32_t maxGate = 0;
    uint32_t responseSpeed = 0;    // response speed × 10
    uint32_t stateReportRate = 0;  // Hz × 10
    uint32_t rangeReportRate = 0;  // Hz × 10
    uint32_t absenceSeconds = 0;
};

// Metres to a gate number: metres / resolution truncated toward zero, so 4.19 m of 0.7 m gates is
// gate 5. A quotient within kGateRoundingSlack below a whole gate counts as that gate: it is the
// rounding of gate × resolution (gate 6 of 0.7 m reads back as 4.199999999999999 m), and a record
// read from the sensor must write back the same gates. The quotient is taken as a signed number: a
// window edge below zero (the page's corrections may leave one at -0.35 m) is gate 0, and one
// beyond the last gate is gate 16. Nothing when the resolution is unusable or the metres are not
// finite.
constexpr double kGateRoundingSlack = 1e-9;  // in gates
bool MetresToGate(double metres, double resolution, uint32_t* gate);

// A frequency or speed to tenths (truncated toward zero), clamped to 0 .. 2^32 - 1. False for a
// value that is not finite.
bool ValueToTenths(double value, uint32_t* tenths);

// The record's detect setting in sensor units. False (out untouched) when a field cannot be
// converted: an unusable resolution or a non-finite value; the caller then sends nothing.
bool ToSensorDetectSetting(const RadarParamSetting& record, SensorDetectSetting* out);

// Stores a detect setting read from the sensor: gates × resolution, tenths / 10, absence as is.
// A frequency of 0 is refused (the field keeps its value; level-3 line), and so are the gates
// while the record's resolution is unusable.
void FromSensorDetectSetting(const SensorDetectSetting& in, RadarParamSetting& record);

// --- The "ParamSetting" section ------------------------------------------------------------

constexpr const char* kParamSettingSectionName = "ParamSetting";

// The "ParamSetting" element among the children of the document's root "AppConfig", appended
// (document marked modified) when missing. Empty when the document has no "AppConfig" root.
XMLNode FindParamSettingSection(XMLParser& document);

// Reads the record from the section's attributes, key by key: "RangeResolution",
// "DetectRangeMin", "DetectRangeMax", "ResponseFreq", "StateReportFreq", "RangeReportFreq" as
// doubles, "ObjectDisappearReportTime" and "Gate%dTriggerThreshold"/"Gate%dHoldThreshold" (gate by
// gate, trigger before hold) as 32-bit values. A missing attribute or one with empty text leaves
// the field unchanged; so does a refused value (see the top of this file). An empty section
// reads nothing. Returns 1 (0 for an empty section).
int LoadFromConfig(RadarParamSetting& record, const XMLNode& section);

// Writes every field into the section's attributes, in the order above: the three distances
// with "%.2f", the three frequencies with "%.1f", the rest as unsigned decimals, all trigger keys
// of gates 0 to 15, then all hold keys. Attributes whose text is unchanged (ignoring case) are
// left alone, so only a real change marks the document modified. Returns 1 (0 for an empty
// section: nothing written).
int SaveToConfig(const RadarParamSetting& record, XMLNode& section);

// The same through a whole document: the section is found (or added) below "AppConfig"; a
// document without that root leaves the record unchanged and takes no writes (result 0).
int LoadFromConfig(RadarParamSetting& record, XMLParser& document);
int SaveToConfig(const RadarParamSetting& record, XMLParser& document);
