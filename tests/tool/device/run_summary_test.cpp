#include "device/run_summary.h"

#include <gtest/gtest.h>

#include <vector>

#include "device/recording_index.h"
#include "support/test_recordings.h"

namespace {

TargetReport Report(int32_t state, int32_t distance) {
    TargetReport report;
    report.state = state;
    report.distance = distance;
    return report;
}

TEST(RunSummaryTest, FiguresOfARecordingWithKnownStates) {
    // Every report of the committed recording, at its time in a 500 ms replay.
    RecordingIndex index;
    ASSERT_TRUE(index.Build(test_recordings::Path("states_30.dat")));
    RunSummary summary;
    for (uint64_t n = 0; n < index.Count(); ++n) {
        const auto report = index.ReadReport(n);
        ASSERT_TRUE(report.has_value());
        summary.Add(*report, ReportTimeMs(n, 500));
    }
    const RunSummaryFigures f = summary.Figures(ReportTimeMs(index.Count(), 500));
    EXPECT_EQ(f.reports, 30u);
    EXPECT_EQ(f.totalMs, 15000u);
    EXPECT_EQ(f.nobodyMs, 8500u);
    EXPECT_EQ(f.movingMs, 4000u);
    EXPECT_EQ(f.motionlessMs, 2500u);
    EXPECT_EQ(f.otherMs, 0u);
    EXPECT_EQ(f.arrivals, 2u);
    EXPECT_EQ(f.presences, 2u);
    EXPECT_EQ(f.shortestPresenceMs, 3000u);
    EXPECT_EQ(f.longestPresenceMs, 3500u);
    EXPECT_DOUBLE_EQ(f.meanPresenceMs, 3250.0);
    EXPECT_EQ(f.distanceReports, 13u);
    EXPECT_EQ(f.minDistanceCm, 140);
    EXPECT_EQ(f.maxDistanceCm, 290);
    EXPECT_NEAR(f.meanDistanceCm, 2810.0 / 13.0, 1e-9);
}

TEST(RunSummaryTest, PresenceAtTheEdgesAndUnevenTimes) {
    struct Step {
        int32_t state;
        uint64_t timeMs;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        uint64_t endMs;
        uint64_t arrivals, presences, shortest, longest, nobody, moving, motionless, other;
    };
    const Case cases[] = {
        // Begins with presence: a presence, no arrival; still present at the end: closed there.
        {"edges", {{2, 0}, {3, 100}, {0, 400}, {2, 1000}}, 1600, 1, 2, 400, 600, 600, 700, 300, 0},
        {"nobody only", {{0, 0}, {1, 250}}, 1000, 0, 0, 0, 0, 1000, 0, 0, 0},
        {"unknown state", {{0, 0}, {9, 200}, {2, 300}}, 300, 1, 1, 0, 0, 200, 0, 0, 100},
        // A time going back counts as the one before; an end before the last report as that.
        {"backwards", {{2, 500}, {0, 400}, {0, 900}}, 100, 0, 1, 0, 0, 400, 0, 0, 0},
    };
    for (const Case& c : cases) {
        RunSummary summary;
        for (const Step& step : c.steps) summary.Add(Report(step.state, 100), step.timeMs);
        const RunSummaryFigures f = summary.Figures(c.endMs);
        EXPECT_EQ(f.arrivals, c.arrivals) << c.name;
        EXPECT_EQ(f.presences, c.presences) << c.name;
        EXPECT_EQ(f.shortestPresenceMs, c.shortest) << c.name;
        EXPECT_EQ(f.longestPresenceMs, c.longest) << c.name;
        EXPECT_EQ(f.nobodyMs, c.nobody) << c.name;
        EXPECT_EQ(f.movingMs, c.moving) << c.name;
        EXPECT_EQ(f.motionlessMs, c.motionless) << c.name;
        EXPECT_EQ(f.otherMs, c.other) << c.name;
        EXPECT_EQ(f.nobodyMs + f.movingMs + f.motionlessMs + f.otherMs, f.totalMs) << c.name;
    }
}

TEST(RunSummaryTest, NoReportsAndReset) {
    RunSummary summary;
    EXPECT_EQ(summary.Figures(5000).reports, 0u);
    EXPECT_EQ(summary.Figures(5000).totalMs, 0u);
    summary.Add(Report(2, 120), 0);
    summary.Reset();
    const RunSummaryFigures f = summary.Figures(1000);
    EXPECT_EQ(f.reports, 0u);
    EXPECT_EQ(f.presences, 0u);
    EXPECT_EQ(f.distanceReports, 0u);
}

}  // namespace
