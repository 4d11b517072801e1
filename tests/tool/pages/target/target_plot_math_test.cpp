// ctest-labels: unit
#include "pages/target/target_plot_math.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "pages/params/radar_param_setting.h"
#include "pages/target/target_page_settings.h"
#include "resources/string_table.h"

// Readable failures.
void PrintTo(const StateBandRun& run, std::ostream* out) {
    *out << "[" << run.left << "," << run.right << ") " << std::hex << run.colour;
}

namespace {

constexpr uint32_t kNobody = 0xFF15BC59;
constexpr uint32_t kMotion = 0xFFFC5D45;
constexpr uint32_t kMotionless = 0xFF3478FF;
constexpr uint32_t kBlack = kStateBandNoReportColour;

StateHistory EmptyHistory() {
    StateHistory history;
    history.fill(kNoStateYet);
    return history;
}

TEST(StateBand, FirstReportColoursOnlyTheRightmostColumns) {
    StateHistory history = EmptyHistory();
    history.back() = kTargetStateMotionless;
    // 480 columns: slot 239 from round(x / 2) = 239, i.e. x = 477.
    const auto runs = StateBandRuns(history, 0, 480, TargetPageSettings());
    EXPECT_EQ(runs, (std::vector<StateBandRun>{{0, 477, kBlack}, {477, 480, kMotionless}}));
}

TEST(StateBand, AlternatingNobodyStatesMakeOneRun) {
    StateHistory history;
    for (size_t i = 0; i < history.size(); ++i) history[i] = i % 2;
    EXPECT_EQ(StateBandRuns(history, 10, 250, TargetPageSettings()),
              (std::vector<StateBandRun>{{10, 250, kNobody}}));
}

TEST(StateBand, RunsFollowTheClassesAndForeignStatesContinueThem) {
    StateHistory history;
    for (size_t i = 0; i < history.size(); ++i) {
        history[i] = i < 80 ? kTargetStateMoving : (i < 160 ? 9 : kTargetStateNobody);
    }
    // One column per slot: the foreign states (80..159) continue the motion run.
    EXPECT_EQ(StateBandRuns(history, 0, 240, TargetPageSettings()),
              (std::vector<StateBandRun>{{0, 160, kMotion}, {160, 240, kNobody}}));
}

TEST(StateBand, LeadingForeignStatesStayUnfilled) {
    StateHistory history = EmptyHistory();
    for (size_t i = 0; i < 120; ++i) history[i] = 42;
    EXPECT_EQ(StateBandRuns(history, 0, 240, TargetPageSettings()),
              (std::vector<StateBandRun>{{120, 240, kBlack}}));
}

TEST(StateBand, CollapsedOrNarrowPlots) {
    const StateHistory history = EmptyHistory();
    for (const auto& [left, right] : std::vector<std::pair<int, int>>{{0, 0}, {5, 5}, {9, 3}}) {
        EXPECT_TRUE(StateBandRuns(history, left, right, TargetPageSettings()).empty());
    }
    StateHistory one = EmptyHistory();
    one.front() = kTargetStateMoving;
    // One column shows slot 0.
    EXPECT_EQ(StateBandRuns(one, 0, 1, TargetPageSettings()),
              (std::vector<StateBandRun>{{0, 1, kMotion}}));
}

TEST(InactiveGates, ShadingStartsAfterTheGateOfTheDetectionRange) {
    const struct {
        double rangeMax;
        double resolution;
        int left;
        int right;
        int expected;
    } cases[] = {
        {6.3, 0.7, 0, 160, 100},   // gates 10 to 15 shaded
        {8.4, 0.7, 0, 160, 130},   // gates 13 to 15
        {6.3, 0.7, 50, 370, 250},  // offset by the plot's left edge
        {20.0, 0.7, 0, 160, 160},  // beyond the last gate: nothing
        {6.3, 0.0, 0, 160, 160},   // unusable resolution: nothing
        {6.3, 0.7, 40, 40, 40},    // collapsed plot
    };
    for (const auto& c : cases) {
        RadarParamSetting record;
        record.DetectRangeMax = c.rangeMax;
        record.RangeResolution = c.resolution;
        EXPECT_EQ(InactiveGateStart(c.left, c.right, record), c.expected)
            << c.rangeMax << " " << c.resolution;
    }
}

TEST(TargetPlotTooltip, TextsPerPlotAndWave) {
    SetSelectedLanguage(UiLanguage::English);
    const struct {
        uintptr_t context;
        int wave;
        int index;
        double value;
        const char* expected;
    } cases[] = {
        {kEnergyPlotContext, 0, 4, 37.26, "RG No.4 Target Energy: 37.3 dB"},
        {kEnergyPlotContext, 1, 2, 45.0, "RG No.2 Trigger Energy: 45.0 dB"},
        {kEnergyPlotContext, 2, 15, 33.0, "RG No.15 Hold Energy: 33.0 dB"},
        {kEnergyPlotContext, 3, 0, 1.0, ""},
        {kDistancePlotContext, 0, 239, 1.23, "No. 0.2s Range: 1.2 m"},
        {kDistancePlotContext, 0, 0, 4.56, "No. 60.0s Range: 4.6 m"},
        {kDistancePlotContext, 1, 0, 1.0, ""},
        {7, 0, 0, 1.0, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TargetPlotTooltip(c.context, c.wave, c.index, c.value), c.expected)
            << c.context << "/" << c.wave;
    }
}

TEST(ScaledSize, TruncatesTowardsZero) {
    EXPECT_EQ(ScaledSize(15, 1.0), 15);
    EXPECT_EQ(ScaledSize(15, 1.39), 20);
    EXPECT_EQ(ScaledSize(8, 0.99), 7);
}

}  // namespace
