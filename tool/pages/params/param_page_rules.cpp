#include "pages/params/param_page_rules.h"

#include <cmath>

#include "core/text_format.h"
#include "core/utf_convert.h"
#include "pages/params/radar_param_commands.h"

namespace {

// Whole gate number of a distance (truncated toward zero).
int GateOf(double metres, double resolution) {
    return static_cast<int>(std::trunc(metres / resolution));
}

// The gate from which a window inside a single gate is moved down instead of widened up.
constexpr int kHighSingleGate = 11;
constexpr double kMaxFreqLoopEnd = 8.1;
constexpr double kMultipleTolerance = 0.001;
constexpr double kFastTolerance = 0.1;

std::u16string TipText(const char* format, double value) {
    std::string text;
    FormatText(text, format, value);
    return Utf8ToUtf16Lossy(text);
}

// Stores a corrected value, shows it, then the tip (the write may run a nested check).
void Correct(RadarParamSetting& record, IRangeCheckView& view, RangeEdit edit, double metres,
             const std::u16string& tip, int id) {
    (edit == RangeEdit::Min ? record.DetectRangeMin : record.DetectRangeMax) = metres;
    view.WriteRangeEdit(edit, metres);
    view.ShowRangeTip(edit, tip, id);
}

}  // namespace

void CheckMinRange(RadarParamSetting& record, IRangeCheckView& view) {
    const double r = record.RangeResolution;
    record.DetectRangeMin = view.ReadRangeEdit(RangeEdit::Min);
    if (record.DetectRangeMin < 0) {
        Correct(record, view, RangeEdit::Min, 0.0, u"Range Min Value Must >= 0.0",
                kRangeTipBelowMinimum);
    } else if (record.DetectRangeMin > kMaxDetectRangeMetres - r) {
        const double limit = kMaxDetectRangeMetres - r;
        Correct(record, view, RangeEdit::Min, limit, TipText("Range Min Value Must <= %.2f", limit),
                kRangeTipAboveMaximum);
    }
    const int gmin = GateOf(record.DetectRangeMin, r);
    const int gmax = GateOf(record.DetectRangeMax, r);
    if (gmin != gmax) {
        if (record.DetectRangeMax < record.DetectRangeMin + r / 2) {
            Correct(record, view, RangeEdit::Max, record.DetectRangeMin + r / 2,
                    TipText("Range Value Max - Min  Must >= %.2f", r / 2), kRangeTipTooNarrow);
        }
    } else if (gmax >= kHighSingleGate) {
        const double metres = 10.5 * r;
        Correct(record, view, RangeEdit::Min, metres,
                TipText("Range Min Value Must <= %.2f", metres), kRangeTipAboveMaximum);
    } else {
        Correct(record, view, RangeEdit::Max, (gmax + 1.5) * r,
                TipText("Range Max Value Must >= %.2f", (gmax + 1) * r), kRangeTipBelowMinimum);
    }
}

void CheckMaxRange(RadarParamSetting& record, IRangeCheckView& view) {
    const double r = record.RangeResolution;
    record.DetectRangeMax = view.ReadRangeEdit(RangeEdit::Max);
    if (record.DetectRangeMax < r) {
        Correct(record, view, RangeEdit::Max, r, TipText("Range Max Value Must >= %.2f", r),
                kRangeTipBelowMinimum);
    } else if (record.DetectRangeMax > kMaxDetectRangeMetres) {
        Correct(record, view, RangeEdit::Max, kMaxDetectRangeMetres, u"Range Max Value Must <= 8.4",
                kRangeTipAboveMaximum);
    }
    const int gmin = GateOf(record.DetectRangeMin, r);
    const int gmax = GateOf(record.DetectRangeMax, r);
    if (gmin != gmax) {
        if (record.DetectRangeMin > record.DetectRangeMax - r / 2) {
            Correct(record, view, RangeEdit::Min, record.DetectRangeMax - r / 2,
                    TipText("Range Value Max - Min  Must >= %.2f", r / 2), kRangeTipTooNarrow);
        }
    } else if (gmin == 0) {
        Correct(record, view, RangeEdit::Max, r, TipText("Range Max Value Must >= %.2f", r),
                kRangeTipBelowMinimum);
    } else {
        Correct(record, view, RangeEdit::Min, (gmin - 1.5) * r,
                TipText("Range Min Value Must <= %.2f", (gmin - 1) * r), kRangeTipAboveMaximum);
    }
}

std::vector<double> StateReportFrequencies(double rangeReportFreq) {
    std::vector<double> entries;
    for (double a = 1.0; a <= kMaxFreqLoopEnd; a += 1.0) {
        const double ratio = a / rangeReportFreq;
        if (std::fabs(ratio - std::trunc(ratio)) < kMultipleTolerance) entries.push_back(a);
    }
    return entries;
}

int NearestFrequencyIndex(const std::vector<double>& entries, double value) {
    int best = -1;
    for (int i = 0; i < static_cast<int>(entries.size()); ++i) {
        if (best < 0 || std::fabs(entries[i] - value) < std::fabs(entries[best] - value)) best = i;
    }
    return best;
}

std::string FrequencyText(double hz) {
    std::string text;
    FormatText(text, "%.1f", hz);
    return text;
}

bool IsFastResponse(double responseFreq) {
    return std::fabs(responseFreq - kFastResponseFreq) < kFastTolerance;
}

int RunParamSequence(IRadarParamLink& link, ParamSequence sequence, RadarParamSetting& copy) {
    switch (sequence) {
        case ParamSequence::Read:
            return ReadAllParameters(link, copy);
        case ParamSequence::Write:
            return WriteAllParameters(link, copy);
        case ParamSequence::ReadThresholds:
            return ReadThresholdsAfterGeneration(link, copy);
    }
    return kParamResultFailed;
}

int ReadAllParametersAllOrNothing(IRadarParamLink& link, RadarParamSetting& record) {
    RadarParamSetting copy = record;
    const int result = ReadAllParameters(link, copy);
    if (result == kParamResultSuccess) record = copy;
    return result;
}
