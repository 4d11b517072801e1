#include "pages/target/max_hold.h"

#include <gtest/gtest.h>

#include "device/recording_index.h"
#include "pages/params/radar_param_setting.h"
#include "support/test_recordings.h"

namespace {

TargetReport Energies(std::initializer_list<std::pair<int, double>> gates) {
    TargetReport report;
    for (const auto& [gate, db] : gates) report.gateEnergy[gate] = db;
    return report;
}

TEST(MaxHoldTest, KeepsEachGatesMaximumAndResets) {
    MaxHold hold;
    EXPECT_EQ(hold.Count(), 0u);
    hold.Add(Energies({{0, 10.0}, {3, 40.0}, {15, 5.5}}));
    hold.Add(Energies({{0, 12.0}, {3, 20.0}}));
    hold.Add(Energies({{0, 11.0}, {7, 33.5}}));
    EXPECT_EQ(hold.Count(), 3u);
    const GateValues& maxima = hold.Maxima();
    EXPECT_DOUBLE_EQ(maxima[0], 12.0);
    EXPECT_DOUBLE_EQ(maxima[3], 40.0);
    EXPECT_DOUBLE_EQ(maxima[7], 33.5);
    EXPECT_DOUBLE_EQ(maxima[15], 5.5);
    EXPECT_DOUBLE_EQ(maxima[1], 0.0);

    hold.Reset();
    EXPECT_EQ(hold.Count(), 0u);
    for (const double value : hold.Maxima()) EXPECT_EQ(value, 0.0);
    // After a reset the old maxima are gone: lower energies are the new maxima.
    hold.Add(Energies({{3, 25.0}}));
    EXPECT_DOUBLE_EQ(hold.Maxima()[3], 25.0);
    EXPECT_DOUBLE_EQ(hold.Maxima()[0], 0.0);
}

TEST(MaxHoldTest, HeadroomIsThresholdMinusMaximum) {
    MaxHold hold;
    hold.Add(Energies({{0, 30.0}, {3, 40.0}, {5, 35.0}}));
    const RadarParamSetting record;  // factory thresholds: 48, 48, 45, 37, 35, 35, ...
    const GateValues headroom = hold.Headroom(record.TriggerThreshold);
    struct Case {
        int gate;
        double expected;
    };
    // Below 0: that gate would have triggered; exactly at the threshold leaves 0.
    for (const Case& c :
         {Case{0, 18.0}, Case{1, 48.0}, Case{3, -3.0}, Case{5, 0.0}, Case{15, 33.0}}) {
        EXPECT_DOUBLE_EQ(headroom[c.gate], c.expected) << "gate " << c.gate;
    }
}

TEST(MaxHoldTest, MaximaOfARecording) {
    RecordingIndex index;
    ASSERT_TRUE(index.Build(test_recordings::Path("states_30.dat")));
    MaxHold hold;
    for (uint64_t n = 0; n < index.Count(); ++n) hold.Add(*index.ReadReport(n));
    for (int gate = 0; gate < kGateCount; ++gate) {
        double expected = 0.0;
        for (uint64_t n = 0; n < test_recordings::kStates30Reports; ++n) {
            expected = std::max(expected, test_recordings::States30EnergyDb(n, gate));
        }
        EXPECT_NEAR(hold.Maxima()[gate], expected, 1e-9) << "gate " << gate;
    }
}

}  // namespace
