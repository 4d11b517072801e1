// What the target page shows for a report: the state's name, picture and distance, the estimate
// of the sensor's average operating current, and the status text that puts them together.
// zorvan-cli names states and distances the same way. Qt-free; any thread (the texts come from
// the string table in the selected language).
#pragma once

#include <string>

#include "device/report_frame.h"

struct RadarParamSetting;

// The constants of the current estimate (settings of "ObjectInfo").
struct CurrentConstants {
    double detectTimeMs = 7.057;       // "CurrentDetectTimeMS"
    double detectValueMa = 9.66;       // "CurrentDetectValueMA"
    double lowPowerValueMa = 0.00712;  // "CurrentLPValueMA"
    double reportTimeMs = 2.002;       // "CurrentReportTimeMS"
    double reportValueMa = 2.03;       // "CurrentReportValueMA"
};

// The picture of a state; Unchanged for a state the sensor does not define (the page keeps the
// picture it shows).
enum class TargetPicture { Unchanged, Nobody, Motion, Motionless };
TargetPicture TargetStatePicture(int state);

// The string id of the state's name (kStrStateNone, kStrStatePresence, kStrStateMotionless), or 0
// for a state the sensor does not define.
int TargetStateStringId(int state);

// The state's name in the selected language ("None", "Presence", "Presence(Motionless)"), or
// "state N" for a state the sensor does not define.
std::string TargetStateText(int state);

// The distance shown, in metres: the report's distance while someone is there, else 0.
double ShownDistanceMetres(const TargetReport& report);

// The average operating current in mA for the state and the sensor's report rates: nobody (0, 1)
// from ResponseFreq, presence (2, 3) from StateReportFreq and RangeReportFreq, 0 for any other
// state. A rate that is not a usable frequency (0, negative, not finite) gives 0 rather than a
// division by zero.
double EstimateAverageCurrent(int state, const CurrentConstants& constants,
                              const RadarParamSetting& record);

// The status text of string kStrTargetStatus with the state's name, the distance shown and the
// current estimate; empty for a state the sensor does not define.
std::string FormatTargetStatus(const TargetReport& report, const CurrentConstants& constants,
                               const RadarParamSetting& record);
