// ctest-labels: unit
// Sensor time on a stepped wall clock: it starts at 0 when the clock is made, runs at the time
// scale, and WallAt gives the first wall millisecond at which a sensor time is reached.
#include "sim_clock.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class SimClockScale : public ::testing::TestWithParam<double> {};

TEST_P(SimClockScale, SensorTimeRunsAtTheScaleFromTheStart) {
    const double scale = GetParam();
    SteppedClock wall(5'000);
    const SimClock clock(wall, scale);
    EXPECT_EQ(clock.StartMs(), 5'000u);
    EXPECT_EQ(clock.SimNow(clock.WallNow()), 0u);
    EXPECT_EQ(clock.SimNow(4'000), 0u);  // before the start
    for (const uint64_t step : {1u, 9u, 90u, 900u}) {
        wall.Step(step);
        const uint64_t elapsed = wall.NowMs() - clock.StartMs();
        EXPECT_EQ(clock.SimNow(clock.WallNow()),
                  static_cast<uint64_t>(std::floor(static_cast<double>(elapsed) * scale)))
            << elapsed;
    }
}

TEST_P(SimClockScale, WallAtIsTheFirstMillisecondThatReachesTheSensorTime) {
    const double scale = GetParam();
    SteppedClock wall(123);
    const SimClock clock(wall, scale);
    for (const uint64_t simMs : {0u, 1u, 7u, 100u, 1'000u, 12'345u}) {
        const uint64_t at = clock.WallAt(simMs);
        EXPECT_GE(clock.SimNow(at), simMs) << simMs;
        if (at > clock.StartMs()) {
            EXPECT_LT(clock.SimNow(at - 1), simMs) << simMs;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Scales, SimClockScale, ::testing::Values(1.0, 20.0, 0.5, 3.7, 0.01));

}  // namespace
