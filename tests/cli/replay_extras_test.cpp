// "replay" of the committed recording of known states: --from/--to, --speed, --summary and
// --max-hold, and its CSV beside the rows the shared formatter makes of the indexed reports.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "cli/cli_test_support.h"
#include "device/recording_index.h"
#include "device/report_csv.h"
#include "support/test_recordings.h"

namespace {

using test_recordings::States30Distance;

// Generous: only catches a replay that hangs.
constexpr auto kHangDeadline = std::chrono::seconds(30);

std::string WithoutSeconds(const std::string& csvRow) {
    return csvRow.substr(csvRow.find(',') + 1);
}

class ReplayExtrasTest : public CliTest {
protected:
    const std::string m_file = test_recordings::Path("states_30.dat");

    // The distances of the CSV rows (header skipped).
    static std::vector<int> Distances(const std::string& csv) {
        std::vector<int> distances;
        const std::vector<std::string> lines = SplitLines(csv);
        for (size_t i = 1; i < lines.size(); ++i) {
            const std::string fields = WithoutSeconds(lines[i]);
            distances.push_back(std::stoi(fields.substr(fields.find(',') + 1)));
        }
        return distances;
    }

    static bool Contains(const std::string& text, const std::string& part) {
        return text.find(part) != std::string::npos;
    }
};

TEST_F(ReplayExtrasTest, FromAndToBoundTheReports) {
    struct Case {
        std::vector<std::string> options;
        int first, last;  // report numbers from 1, both included
        int skipped;      // the noise between them; never the unfinished frame at the end
    };
    const Case cases[] = {
        {{"--from", "1", "--to", "30"}, 1, 30, 6},
        {{"--from", "5"}, 5, 30, 3},
        {{"--to", "3"}, 1, 3, 0},
        {{"--from", "12", "--to", "12"}, 12, 12, 0},
        {{"--from", "21", "--to", "99"}, 21, 30, 0},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"replay", m_file, "--speed", "max", "--csv"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const ProcessResult run = RunCli(args);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        std::vector<int> expected;
        for (int n = c.first; n <= c.last; ++n) expected.push_back(States30Distance(n - 1));
        EXPECT_EQ(Distances(run.out), expected) << c.first << ".." << c.last;
        EXPECT_TRUE(Contains(run.err, "(reports " + std::to_string(c.first) + " to " +
                                          std::to_string(c.last) +
                                          " of 30): " + std::to_string(c.last - c.first + 1) +
                                          (c.last == c.first ? " report, " : " reports, ") +
                                          std::to_string(c.skipped) + " bytes skipped"))
            << run.err;
    }
}

TEST_F(ReplayExtrasTest, RangesThatCannotBeReplayedAreRefused) {
    struct Case {
        std::vector<std::string> options;
        int exitCode;
        const char* message;
    };
    const Case cases[] = {
        {{"--from", "0"}, 2, "--from takes a report number (1 or more), not '0'"},
        {{"--to", "-2"}, 2, "--to takes a report number"},
        {{"--from", "6", "--to", "5"}, 2, "--from 6 comes after --to 5"},
        {{"--from", "31"}, 1, "holds only 30 reports, none from 31"},
        {{"--speed", "3"}, 2, "--speed takes 0.25, 0.5, 1, 2, 4, 16 or max, not '3'"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"replay", m_file, "--interval", "0"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const ProcessResult run = RunCli(args);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_TRUE(Contains(run.err, c.message)) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
    }
    WriteWholeFile(Scratch("noise.dat"), std::string("no frames at all"));
    const ProcessResult empty = RunCli({"replay", Scratch("noise.dat"), "--from", "1"});
    EXPECT_EQ(empty.exitCode, 1);
    EXPECT_TRUE(Contains(empty.err, "holds no report")) << empty.err;
}

TEST_F(ReplayExtrasTest, SpeedDividesTheIntervalAndReplaysEverything) {
    struct Case {
        const char* speed;
        const char* interval;
        const char* pace;
    };
    // 16x of a 30-report file at 500 ms: a report every 31 ms, about 1 s in all.
    for (const Case& c :
         {Case{"16", "500", "Replay speed 16x: a report every 31 ms (1x: 500 ms)"},
          Case{"max", "500", "Replay speed max: no pause between reports (1x: 500 ms)"},
          Case{"4", "40", "Replay speed 4x: a report every 10 ms (1x: 40 ms)"},
          Case{"0.25", "4", "Replay speed 0.25x: a report every 16 ms"}}) {
        ProcessOptions options;
        options.deadline = std::chrono::duration_cast<std::chrono::milliseconds>(kHangDeadline);
        const ProcessResult run = RunCli(
            {"replay", m_file, "--interval", c.interval, "--speed", c.speed, "--csv"}, options);
        ASSERT_FALSE(run.timedOut) << c.speed;
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_TRUE(Contains(run.err, c.pace)) << run.err;
        EXPECT_EQ(Distances(run.out).size(), 30u);
    }
}

TEST_F(ReplayExtrasTest, SummaryOfAFileWithKnownStates) {
    // The summary times reports at the 1x interval, whatever the speed.
    const ProcessResult run =
        RunCli({"replay", m_file, "--interval", "500", "--speed", "max", "--summary"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Contains(run.err,
                         "Summary: 30 reports over 15.000 s\n"
                         "  None: 8.500 s, Presence: 4.000 s, "
                         "Presence(Motionless): 2.500 s\n"
                         "  arrivals: 2\n"
                         "  presences: 2, shortest 3.000 s, mean 3.250 s, longest 3.500 s\n"
                         "  distance: min 1.40 m, mean 2.16 m, max 2.90 m\n"))
        << run.err;
    // Part of the file: reports 3 to 7 are two without and three with somebody.
    const ProcessResult part = RunCli({"replay", m_file, "--interval", "500", "--speed", "max",
                                       "--from", "3", "--to", "7", "--summary"});
    ASSERT_EQ(part.exitCode, 0) << part.err;
    EXPECT_TRUE(Contains(part.err,
                         "Summary: 5 reports over 2.500 s\n"
                         "  None: 1.000 s, Presence: 1.500 s"))
        << part.err;
}

TEST_F(ReplayExtrasTest, MaxHoldPrintsEachGatesMaximumAndHeadroom) {
    RecordingIndex index;
    ASSERT_TRUE(index.Build(m_file));
    struct Case {
        const char* appConfig;  // null: none
        const char* source;
        uint32_t gate0Threshold;
    };
    for (const Case& c :
         {Case{nullptr, "factory defaults", 48},
          Case{"<AppConfig><ParamSetting Gate0TriggerThreshold=\"20\"/></AppConfig>",
               "of appConfig.xml", 20}}) {
        if (c.appConfig != nullptr) WriteWholeFile(Home() + "/appConfig.xml", c.appConfig);
        const ProcessResult run = RunCli({"replay", m_file, "--speed", "max", "--max-hold"});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_TRUE(Contains(run.err, std::string("Max-hold over 30 reports (trigger thresholds ") +
                                          c.source + "):\ngate  max dB  trigger dB  headroom dB\n"))
            << run.err;
        for (int gate = 0; gate < kGateCount; ++gate) {
            double maximum = 0.0;
            for (uint64_t n = 0; n < index.Count(); ++n) {
                maximum = std::max(maximum, test_recordings::States30EnergyDb(n, gate));
            }
            const uint32_t threshold =
                gate == 0 ? c.gate0Threshold : kDefaultTriggerThreshold[gate];
            const double headroom = threshold - maximum;
            char row[128];
            std::snprintf(row, sizeof row, "%4d  %6.2f  %10u  %11.2f%s\n", gate, maximum, threshold,
                          headroom, headroom < 0 ? "  would trigger" : "");
            EXPECT_TRUE(Contains(run.err, row)) << row << run.err;
        }
    }
}

TEST_F(ReplayExtrasTest, CsvEqualsTheSharedRowsOfTheIndexedReports) {
    const ProcessResult run = RunCli({"replay", m_file, "--speed", "max", "--csv"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::string> lines = SplitLines(run.out);
    RecordingIndex index;
    ASSERT_TRUE(index.Build(m_file));
    ASSERT_EQ(lines.size(), index.Count() + 1);
    EXPECT_EQ(lines[0], ReportCsvHeader());
    for (uint64_t n = 0; n < index.Count(); ++n) {
        // The seconds are the replay's own clock; the rest is the report.
        EXPECT_EQ(WithoutSeconds(lines[n + 1]),
                  WithoutSeconds(ReportCsvRow(*index.ReadReport(n), 0)))
            << "report " << n;
    }
}

}  // namespace
