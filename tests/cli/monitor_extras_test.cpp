// ctest-labels: sim
// "monitor --max-hold --summary" against the simulator: the maxima of the reports shown, held
// against the thresholds the sensor holds, and the summary's lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_test_support.h"

namespace {

// Reports come every 50 ms of wall time at this scale.
const std::vector<std::string> kFastSim = {"--time-scale", "20"};

class MonitorExtrasTest : public CliTest {};

TEST_F(MonitorExtrasTest, MaxHoldIsHeldAgainstTheSensorsThresholds) {
    StartSim(kFastSim);
    ASSERT_EQ(Cli({"params", "set", "Gate2TriggerThreshold=7"}).exitCode, 0);
    const ProcessResult run = Cli({"monitor", "--csv", "--count", "6", "--max-hold", "--summary"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::string> rows = SplitLines(run.out);
    ASSERT_EQ(rows.size(), 7u);
    // The maxima of the rows shown, gate by gate.
    std::vector<double> maxima(16, 0.0);
    for (size_t i = 1; i < rows.size(); ++i) {
        std::vector<std::string> fields;
        std::stringstream row(rows[i]);
        for (std::string field; std::getline(row, field, ',');) fields.push_back(field);
        ASSERT_EQ(fields.size(), 19u);
        for (int gate = 0; gate < 16; ++gate) {
            maxima[gate] = std::max(maxima[gate], std::stod(fields[3 + gate]));
        }
    }
    EXPECT_NE(run.err.find("Max-hold over 6 reports (trigger thresholds read from the sensor)"),
              std::string::npos)
        << run.err;
    char gate2[96];
    std::snprintf(gate2, sizeof gate2, "   2  %6.2f           7  %11.2f", maxima[2],
                  7.0 - maxima[2]);
    EXPECT_NE(run.err.find(gate2), std::string::npos) << gate2 << "\n" << run.err;
    EXPECT_TRUE(
        std::regex_search(run.err, std::regex("Summary: 6 reports over [0-9]+\\.[0-9]{3} s\n"
                                              "  None: [0-9.]+ s, Presence: [0-9.]+ s, "
                                              "Presence\\(Motionless\\): [0-9.]+ s\n"
                                              "  arrivals: [0-9]+\n")))
        << run.err;
}

}  // namespace
