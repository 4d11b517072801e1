#include "pages/target/target_plot_math.h"

#include <algorithm>
#include <cmath>

#include "core/text_format.h"
#include "pages/params/radar_param_setting.h"
#include "pages/target/target_page_settings.h"
#include "resources/string_table.h"

namespace {

constexpr double kGateWidthShare = 1.0 / kGateCount;

// The band colour of a state; false for a state of no class.
bool StateColour(uint8_t state, const TargetPageSettings& settings, uint32_t& colour) {
    switch (state) {
        case kNoStateYet:
            colour = kStateBandNoReportColour;
            return true;
        case kTargetStateNobody:
        case kTargetStateNobodyAlt:
            colour = settings.distanceNobodyColor;
            return true;
        case kTargetStateMoving:
            colour = settings.distanceMotionColor;
            return true;
        case kTargetStateMotionless:
            colour = settings.distanceMotionlessColor;
            return true;
        default:
            return false;
    }
}

}  // namespace

int ScaledSize(double size, double scale) {
    return static_cast<int>(size * scale);
}

std::vector<StateBandRun> StateBandRuns(const StateHistory& history, int left, int right,
                                        const TargetPageSettings& settings) {
    std::vector<StateBandRun> runs;
    const int width = right - left;
    if (width <= 0) return runs;
    const int64_t slots = static_cast<int64_t>(history.size());
    bool inRun = false;
    StateBandRun run;
    for (int x = left; x < right; ++x) {
        const int64_t scaled = static_cast<int64_t>(x - left) * slots;
        // Round half up: the columns are non-negative.
        const int64_t slot = std::min((2 * scaled + width) / (2 * width), slots - 1);
        uint32_t colour = 0;
        if (!StateColour(history[static_cast<size_t>(slot)], settings, colour)) continue;
        if (inRun && colour == run.colour) continue;
        if (inRun) {
            run.right = x;
            runs.push_back(run);
        }
        run = StateBandRun{x, right, colour};
        inRun = true;
    }
    if (inRun) {
        run.right = right;
        runs.push_back(run);
    }
    return runs;
}

int InactiveGateStart(int left, int right, const RadarParamSetting& record) {
    if (right <= left || !IsUsableRangeResolution(record.RangeResolution) ||
        !std::isfinite(record.DetectRangeMax)) {
        return std::max(left, right);
    }
    const double gates = std::trunc(record.DetectRangeMax / record.RangeResolution) + 1.0;
    const double offset = std::trunc(gates * (right - left) * kGateWidthShare);
    return static_cast<int>(
        std::clamp(left + offset, static_cast<double>(left), static_cast<double>(right)));
}

std::string TargetPlotTooltip(uintptr_t context, int wave, int sampleIndex, double value) {
    std::string text;
    if (context == kEnergyPlotContext) {
        static constexpr int kTips[] = {kStrEnergyTipTarget, kStrEnergyTipTrigger,
                                        kStrEnergyTipHold};
        if (wave >= 0 && wave < static_cast<int>(std::size(kTips))) {
            FormatText(text, LoadStringText(kTips[wave]), sampleIndex, value);
        }
    } else if (context == kDistancePlotContext && wave == 0) {
        const double seconds =
            (kStateHistoryLength - sampleIndex) * kDistancePlotSeconds / kStateHistoryLength;
        FormatText(text, LoadStringText(kStrDistanceTip), seconds, value);
    }
    return text;
}
