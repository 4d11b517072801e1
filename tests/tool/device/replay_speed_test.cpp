#include "device/replay_speed.h"

#include <gtest/gtest.h>

#include <string>

#include "support/comma_locale.h"

namespace {

TEST(ReplaySpeedTest, OnlyTheStepsAreTaken) {
    struct Case {
        const char* text;
        std::optional<double> expected;
    };
    const Case cases[] = {
        {"0.25", 0.25}, {".25", 0.25}, {"0.5", 0.5},  {"1", 1.0},   {"2", 2.0},
        {"4", 4.0},     {"16", 16.0},  {"16x", 16.0}, {"1.0", 1.0}, {"max", kReplaySpeedMax},
        {"3", {}},      {"0", {}},     {"-1", {}},    {"", {}},     {"x", {}},
        {"MAX", {}},    {"0,5", {}},   {"1e1", {}},   {" 2", {}},   {"32", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseReplaySpeed(c.text), c.expected) << c.text;
}

TEST(ReplaySpeedTest, ADecimalPointWhateverTheLocale) {
    ScopedCommaLocale comma;
    if (!comma.Available()) GTEST_SKIP() << comma.Reason();
    EXPECT_EQ(ParseReplaySpeed("0.25"), 0.25);
    EXPECT_EQ(ReplaySpeedName(0.25), "0.25");
}

TEST(ReplaySpeedTest, PacedIntervalDividesTheInterval) {
    struct Case {
        int intervalMs;
        double speed;
        int expected;
    };
    const Case cases[] = {
        {500, 1.0, 500},
        {500, 0.25, 2000},
        {500, 0.5, 1000},
        {500, 2.0, 250},
        {500, 4.0, 125},
        {500, 16.0, 31},
        {500, kReplaySpeedMax, 0},
        {0, 0.25, 0},
        {-20, 2.0, 0},
        {1, 16.0, 1},
        {100, 16.0, 6},
        {2000000000, 0.25, INT32_MAX},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PacedReplayIntervalMs(c.intervalMs, c.speed), c.expected)
            << c.intervalMs << " at " << c.speed;
    }
}

TEST(ReplaySpeedTest, EveryStepHasANameThatParsesBack) {
    for (const double speed : kReplaySpeeds) {
        EXPECT_EQ(ParseReplaySpeed(ReplaySpeedName(speed)), speed) << ReplaySpeedName(speed);
    }
}

}  // namespace
