// ctest-labels: unit
// The simulator's line pacing on a stepped clock: at most baud/10 bytes a second after the
// first burst, whatever the steps, no credit saved up beyond one burst, nothing held back
// without pacing.
#include "line_pacer.h"

#include <gtest/gtest.h>

#include <string>

#include "sim_clock.h"

namespace {

double BytesPerMs(uint32_t baud) {
    return baud / 10.0 / 1000.0;
}

struct PaceCase {
    uint32_t baud;
    uint64_t stepMs;
};

class LinePacerRate : public ::testing::TestWithParam<PaceCase> {};

// A sender that takes everything it may at every step sends the burst plus the line rate's
// worth of the elapsed time, never more, and no less than one byte short of it.
TEST_P(LinePacerRate, TakingAllItMayFollowsTheLineRate) {
    const auto [baud, stepMs] = GetParam();
    constexpr uint64_t kRunMs = 3000;
    constexpr double kRoundingSlack = 1e-6;  // the sums of fractional bytes a millisecond
    SteppedClock wall(777);
    LinePacer pacer(baud);
    const double burst = std::max(1.0, BytesPerMs(baud) * LinePacer::kBurstMs);
    uint64_t sent = 0;
    for (uint64_t elapsed = 0; elapsed <= kRunMs; elapsed += stepMs) {
        const size_t allowed = pacer.Allowance(wall.NowMs());
        pacer.Consume(allowed);
        sent += allowed;
        EXPECT_EQ(pacer.Allowance(wall.NowMs()), 0u);
        const double limit = burst + BytesPerMs(baud) * static_cast<double>(elapsed);
        ASSERT_LE(static_cast<double>(sent), limit + kRoundingSlack) << elapsed;
        ASSERT_GE(static_cast<double>(sent) + 1.0, std::min(limit, BytesPerMs(baud) * elapsed))
            << elapsed;
        wall.Step(stepMs);
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, LinePacerRate,
                         ::testing::Values(PaceCase{9600, 1}, PaceCase{115200, 1},
                                           PaceCase{256000, 1}, PaceCase{256000, 3},
                                           PaceCase{921600, 7}, PaceCase{2000000, 1}),
                         [](const auto& info) {
                             return std::to_string(info.param.baud) + "Baud" +
                                    std::to_string(info.param.stepMs) + "MsSteps";
                         });

TEST(LinePacer, TheFirstCallAllowsOneBurst) {
    LinePacer pacer(256000);
    EXPECT_EQ(pacer.Allowance(50), 256u);  // 25.6 bytes a millisecond, 10 ms
}

TEST(LinePacer, IdleTimeSavesUpNoMoreThanOneBurst) {
    SteppedClock wall;
    LinePacer pacer(115200);
    pacer.Consume(pacer.Allowance(wall.NowMs()));
    wall.Step(60'000);
    EXPECT_EQ(pacer.Allowance(wall.NowMs()), 115u);  // 11.52 bytes a millisecond, 10 ms
}

// The wake-up time given after the allowance is spent is the first millisecond at which a
// byte may pass again.
TEST(LinePacer, TheNextByteComesWhenItsBitTimesHavePassed) {
    SteppedClock wall(100);
    LinePacer pacer(300);  // 0.03 bytes a millisecond; a burst is one byte
    EXPECT_FALSE(pacer.NextByteMs().has_value());
    EXPECT_EQ(pacer.Allowance(wall.NowMs()), 1u);
    EXPECT_FALSE(pacer.NextByteMs().has_value());
    pacer.Consume(1);
    ASSERT_TRUE(pacer.NextByteMs().has_value());
    const uint64_t next = *pacer.NextByteMs();
    EXPECT_EQ(next, 134u);  // 1 / 0.03 = 33.3 ms
    wall.Step(next - 1 - wall.NowMs());
    EXPECT_EQ(pacer.Allowance(wall.NowMs()), 0u);
    wall.Step(1);
    EXPECT_EQ(pacer.Allowance(wall.NowMs()), 1u);
}

TEST(LinePacer, WithoutPacingEverythingPassesAtOnce) {
    LinePacer pacer(0);
    EXPECT_FALSE(pacer.Paced());
    EXPECT_EQ(pacer.Allowance(0), SIZE_MAX);
    pacer.Consume(1'000'000);
    EXPECT_EQ(pacer.Allowance(0), SIZE_MAX);
    EXPECT_FALSE(pacer.NextByteMs().has_value());
}

}  // namespace
