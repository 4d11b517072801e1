// ctest-labels: unit
// The simulator's threshold scan in-process, driven by a stepped wall clock through the time
// scale: progress at the start, once a sensor second and at the end, the final 100 % repeated,
// and the thresholds the loudest energies give.
#include "threshold_scan.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "sim_clock.h"

namespace {

constexpr double kTimeScale = 20.0;  // one sensor second every 50 wall milliseconds
constexpr uint64_t kWallPerSensorSecondMs = 50;
constexpr uint16_t kScanSeconds = 5;

class ThresholdScanTest : public ::testing::Test {
protected:
    ThresholdScanTest() : m_wall(1000), m_clock(m_wall, kTimeScale) {}

    uint64_t SimNow() const { return m_clock.SimNow(m_wall.NowMs()); }
    std::optional<GeneratedThresholds> Advance() {
        return m_scan.Advance(SimNow(), m_room, m_progress);
    }

    SteppedClock m_wall;
    SimClock m_clock;
    const RoomScenario m_room{ScenarioKind::Room, 7};
    ThresholdScan m_scan;
    std::vector<uint16_t> m_progress;
};

TEST_F(ThresholdScanTest, ProgressComesAtTheStartEverySecondAndAtTheEndThenRepeats) {
    m_wall.Step(123);
    m_scan.Arm(5, 3, kScanSeconds);
    EXPECT_TRUE(m_scan.Armed());
    EXPECT_FALSE(m_scan.NextEventMs().has_value());  // armed scans wait for command mode to end
    m_scan.Start(SimNow());
    const uint64_t startMs = SimNow();

    EXPECT_FALSE(Advance().has_value());
    EXPECT_EQ(m_progress, (std::vector<uint16_t>{0}));
    std::optional<GeneratedThresholds> result;
    for (int second = 1; second <= kScanSeconds + ThresholdScan::kFinalRepeats; ++second) {
        // Just before the second is up nothing new is due.
        m_wall.Step(kWallPerSensorSecondMs - 1);
        const size_t before = m_progress.size();
        EXPECT_FALSE(Advance().has_value());
        EXPECT_EQ(m_progress.size(), before) << second;
        m_wall.Step(1);
        const auto finished = Advance();
        if (finished) result = finished;
        EXPECT_EQ(finished.has_value(), second == kScanSeconds) << second;
        ASSERT_EQ(m_progress.size(), before + 1) << second;
        EXPECT_EQ(m_progress.back(), std::min(100, second * 100 / kScanSeconds)) << second;
        EXPECT_EQ(SimNow(), startMs + second * 1000ull);
    }
    EXPECT_TRUE(result.has_value());
    EXPECT_FALSE(m_scan.NextEventMs().has_value());
    m_wall.Step(10 * kWallPerSensorSecondMs);
    Advance();
    EXPECT_EQ(m_progress.size(), 1u + kScanSeconds + ThresholdScan::kFinalRepeats);
}

// A loop that wakes late catches up: one long step gives every progress value that fell due.
TEST_F(ThresholdScanTest, OneLongStepGivesEveryProgressValueDue) {
    m_scan.Arm(5, 3, kScanSeconds);
    m_scan.Start(SimNow());
    m_wall.Step(3 * kWallPerSensorSecondMs);
    EXPECT_FALSE(Advance().has_value());
    EXPECT_EQ(m_progress, (std::vector<uint16_t>{0, 20, 40, 60}));
    m_wall.Step(20 * kWallPerSensorSecondMs);
    EXPECT_TRUE(Advance().has_value());
    EXPECT_EQ(m_progress, (std::vector<uint16_t>{0, 20, 40, 60, 80, 100, 100, 100, 100}));
}

// Each gate's thresholds are its loudest sampled energy plus the coefficient, within 10 to 95 dB.
TEST_F(ThresholdScanTest, ThresholdsAreTheLoudestEnergyPlusTheCoefficientWithinLimits) {
    struct Case {
        uint16_t trigger, hold;
    };
    for (const Case c : {Case{5, 3}, Case{0, 0}, Case{90, 95}}) {
        ThresholdScan scan;
        scan.Arm(c.trigger, c.hold, 2);
        const uint64_t startMs = 40'000;
        scan.Start(startMs);
        std::vector<uint16_t> progress;
        const auto result = scan.Advance(startMs + 2000, m_room, progress);
        ASSERT_TRUE(result.has_value());
        for (int g = 0; g < kGateCount; ++g) {
            double loudest = 0;
            for (uint64_t t = startMs; t <= startMs + 2000; t += ThresholdScan::kSamplePeriodMs) {
                loudest = std::max(loudest, EnergyDb(m_room.EnergiesAt(t)[g]));
            }
            auto expect = [loudest](uint16_t coefficient) {
                return static_cast<uint32_t>(std::clamp<long>(std::lround(loudest + coefficient),
                                                              ThresholdScan::kMinThresholdDb,
                                                              kMaxThresholdDb));
            };
            EXPECT_EQ(result->trigger[g], expect(c.trigger)) << g << " " << c.trigger;
            EXPECT_EQ(result->hold[g], expect(c.hold)) << g << " " << c.hold;
        }
    }
}

TEST_F(ThresholdScanTest, ArmingAgainAbandonsTheRunningScan) {
    m_scan.Arm(5, 3, kScanSeconds);
    m_scan.Start(SimNow());
    Advance();
    m_scan.Arm(5, 3, kScanSeconds);
    m_wall.Step(10 * kWallPerSensorSecondMs);
    EXPECT_FALSE(Advance().has_value());
    EXPECT_EQ(m_progress, (std::vector<uint16_t>{0}));
    m_scan.Cancel();
    m_scan.Start(SimNow());  // nothing armed any more
    EXPECT_FALSE(m_scan.NextEventMs().has_value());
}

}  // namespace
