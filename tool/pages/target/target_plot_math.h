// The target page's plot arithmetic, Qt-free: the state band of the distance plot, the shading
// of the gates beyond the detection range on the energy plot, the tooltip texts of both plots and
// the scaling of sizes with the page's scale. Any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/acquisition_engine.h"

struct RadarParamSetting;
struct TargetPageSettings;

// The plots tell their listeners apart by these contexts.
constexpr uintptr_t kEnergyPlotContext = 0;
constexpr uintptr_t kDistancePlotContext = 1;

// The distance plot spans the history as one minute, whatever the real report rate.
constexpr double kDistancePlotSeconds = 60.0;

// A size scaled with the page's scale, truncated towards zero.
int ScaledSize(double size, double scale);

// One filled piece of the state band: columns [left, right), colour 0xAARRGGBB.
struct StateBandRun {
    int left = 0;
    int right = 0;
    uint32_t colour = 0;
    bool operator==(const StateBandRun&) const = default;
};

// Colour of the slots without a report yet.
constexpr uint32_t kStateBandNoReportColour = 0xFF000000;

// The runs of the state band over the columns [left, right): column x shows the history slot
// min(round((x - left) * N / W), N - 1) with W = right - left; neighbouring columns of the same
// class (no report, nobody, motion, motionless) form one run. A slot whose state belongs to no
// class continues the run it is in; leading columns of such slots are left unfilled. No runs for
// W <= 0 (a collapsed plot).
std::vector<StateBandRun> StateBandRuns(const StateHistory& history, int left, int right,
                                        const TargetPageSettings& settings);

// The first column of the shaded gates on an energy plot spanning [left, right): the gates
// after the one holding DetectRangeMax, at 1/16 of the width each. `right` (nothing shaded) when
// the resolution is not a usable number; never outside [left, right].
int InactiveGateStart(int left, int right, const RadarParamSetting& record);

// The tooltip of a plot sample (context, wave, sample index, value); empty for other contexts
// and waves.
std::string TargetPlotTooltip(uintptr_t context, int wave, int sampleIndex, double value);
