// The parameter page's rules that need no window: the range checks of the detection window, the
// report frequency lists, the response speed choice, and the device sequences run on a copy of
// the record so that a failure changes nothing.
//
// The range checks correct the window toward 0 .. 8.4 m, at least half a gate wide across two
// different gates. Each correction stores the new value in the record, writes it into the
// corrected edit, then shows a tip on that edit. A page's edit passes a text written into it
// while it notifies straight back to the page, so a check may run again nested inside a write;
// the checks read the record afresh after every write for that reason.
#pragma once

#include <string>
#include <vector>

#include "pages/params/radar_param_setting.h"

class IRadarParamLink;

// The far end of the detection window, in metres.
constexpr double kMaxDetectRangeMetres = 8.4;

// The tips of the range checks: title, icon (information) and ids.
constexpr const char16_t* kRangeTipTitle = u"Data Invalid";
constexpr int kRangeTipIcon = 1;
constexpr int kRangeTipBelowMinimum = 11;
constexpr int kRangeTipAboveMaximum = 12;
constexpr int kRangeTipTooNarrow = 1001;

enum class RangeEdit { Min, Max };

// The two range edits as a check sees them.
class IRangeCheckView {
public:
    virtual ~IRangeCheckView() = default;
    // The edit's text read as a number.
    virtual double ReadRangeEdit(RangeEdit edit) = 0;
    // Shows the value in the edit (may run a check nested, see above).
    virtual void WriteRangeEdit(RangeEdit edit, double metres) = 0;
    virtual void ShowRangeTip(RangeEdit edit, const std::u16string& text, int id) = 0;
};

// The checks run when the minimum or the maximum edit reports a change.
void CheckMinRange(RadarParamSetting& record, IRangeCheckView& view);
void CheckMaxRange(RadarParamSetting& record, IRangeCheckView& view);

// --- Report frequencies and response speed ---------------------------------------------------

// The range report list's entries: 1.0 to 8.0 Hz.
constexpr int kReportFrequencyCount = 8;
constexpr double kReportFrequencies[kReportFrequencyCount] = {1.0, 2.0, 3.0, 4.0,
                                                              5.0, 6.0, 7.0, 8.0};

// The state report frequencies offered for a range report frequency: the whole multiples of it
// from 1 to 8 Hz.
std::vector<double> StateReportFrequencies(double rangeReportFreq);

// The index of the entry nearest to `value` (the first of equally near entries); -1 when empty.
int NearestFrequencyIndex(const std::vector<double>& entries, double value);

// A list entry's text ("%.1f").
std::string FrequencyText(double hz);

// Fast is shown for a response speed within 0.1 of 2.0, Normal otherwise.
constexpr double kNormalResponseFreq = 1.0;
constexpr double kFastResponseFreq = 2.0;
bool IsFastResponse(double responseFreq);

// --- Device sequences on a copy ----------------------------------------------------------------

enum class ParamSequence {
    Read,            // detect setting, trigger and hold thresholds
    Write,           // the same three written
    ReadThresholds,  // both threshold tables, after threshold generation
};

// Runs the sequence on `copy`: a read fills the copy only, so the caller applies it (all or
// nothing) when the result is 0. Results as the device operations give them.
int RunParamSequence(IRadarParamLink& link, ParamSequence sequence, RadarParamSetting& copy);

// Reads into a copy of the record and applies it only when every read succeeded.
int ReadAllParametersAllOrNothing(IRadarParamLink& link, RadarParamSetting& record);
