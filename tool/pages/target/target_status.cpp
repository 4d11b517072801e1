#include "pages/target/target_status.h"

#include "core/text_format.h"
#include "pages/params/radar_param_setting.h"
#include "resources/string_table.h"

namespace {

constexpr double kMsPerSecond = 1000.0;
constexpr double kCentimetresPerMetre = 100.0;

bool IsPresence(int state) {
    return state == kTargetStateMoving || state == kTargetStateMotionless;
}

bool IsNobody(int state) {
    return state == kTargetStateNobody || state == kTargetStateNobodyAlt;
}

}  // namespace

TargetPicture TargetStatePicture(int state) {
    if (IsNobody(state)) return TargetPicture::Nobody;
    if (state == kTargetStateMoving) return TargetPicture::Motion;
    if (state == kTargetStateMotionless) return TargetPicture::Motionless;
    return TargetPicture::Unchanged;
}

int TargetStateStringId(int state) {
    if (IsNobody(state)) return kStrStateNone;
    if (state == kTargetStateMoving) return kStrStatePresence;
    if (state == kTargetStateMotionless) return kStrStateMotionless;
    return 0;
}

std::string TargetStateText(int state) {
    const int name = TargetStateStringId(state);
    if (name != 0) return LoadStringText(name);
    std::string text;
    FormatText(text, "state %d", state);
    return text;
}

double ShownDistanceMetres(const TargetReport& report) {
    return IsPresence(report.state) ? report.distance / kCentimetresPerMetre : 0.0;
}

double EstimateAverageCurrent(int state, const CurrentConstants& c,
                              const RadarParamSetting& record) {
    if (IsNobody(state)) {
        if (!IsUsableFrequency(record.ResponseFreq)) return 0.0;
        const double period = kMsPerSecond / record.ResponseFreq;
        return ((period - c.detectTimeMs) * c.lowPowerValueMa + c.detectTimeMs * c.detectValueMa) /
               period;
    }
    if (IsPresence(state)) {
        if (!IsUsableFrequency(record.RangeReportFreq) ||
            !IsUsableFrequency(record.StateReportFreq)) {
            return 0.0;
        }
        const double period = kMsPerSecond / record.RangeReportFreq;
        const double extra = record.StateReportFreq / record.RangeReportFreq - 1.0;
        return (extra * c.reportTimeMs * c.reportValueMa + c.detectTimeMs * c.detectValueMa +
                (period - c.detectTimeMs - extra * c.reportTimeMs) * c.lowPowerValueMa) /
               period;
    }
    return 0.0;
}

std::string FormatTargetStatus(const TargetReport& report, const CurrentConstants& constants,
                               const RadarParamSetting& record) {
    const int name = TargetStateStringId(report.state);
    if (name == 0) return std::string();
    std::string text;
    FormatText(text, LoadStringText(kStrTargetStatus), LoadStringText(name),
               ShownDistanceMetres(report),
               EstimateAverageCurrent(report.state, constants, record));
    return text;
}
