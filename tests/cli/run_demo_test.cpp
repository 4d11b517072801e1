// ctest-labels: sim
// scripts/run-demo (what "make run" runs): live reports of a simulator it starts itself, and a
// stop that ends both programs and removes the temporary folder.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <string>

#include "cli/cli_test_support.h"

namespace {

std::string ScriptPath() {
    return (std::filesystem::path(ORBO_SOURCE_DIR) / "scripts" / "run-demo").string();
}

class RunDemoTest : public CliTest {};

TEST_F(RunDemoTest, ShowsLiveReportsUntilInterruptedThenStopsEverything) {
    const std::string tmp = Scratch("tmp");
    std::filesystem::create_directories(tmp);
    ProcessOptions options;
    options.deadline = std::chrono::seconds(60);
    options.environment = {{"ORBO_BIN_DIR", std::filesystem::path(CliProgramPath()).parent_path()},
                           {"TMPDIR", tmp}};
    // Without a display the script runs the monitor.
    options.unset = {"ORBO_DEBUG", "DISPLAY", "WAYLAND_DISPLAY"};
    options.interruptWhen = [](const std::string& out, const std::string&) {
        return SplitLines(out).size() >= 2;
    };
    const ProcessResult run = RunProcess({ScriptPath(), "--time-scale", "10"}, options);
    ASSERT_TRUE(run.started) << run.error;
    EXPECT_TRUE(run.interrupted);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 130) << run.err;

    const std::regex report(
        "[0-9:.]{12}  [A-Za-z()]+ +[0-9]+\\.[0-9]{2} m  energy dB:( [0-9]+){16}");
    const auto lines = SplitLines(run.out);
    ASSERT_GE(lines.size(), 2u);
    for (const std::string& line : lines) EXPECT_TRUE(std::regex_match(line, report)) << line;

    std::smatch match;
    ASSERT_TRUE(std::regex_search(run.err, match,
                                  std::regex("on (.*/zorvan-demo\\.[^/]+)/run/orbo-serial/"
                                             "zorvan-sim-([0-9]+);")))
        << run.err;
    EXPECT_FALSE(std::filesystem::exists(match[1].str())) << match[1];
    // The simulator was stopped and reaped by the script.
    EXPECT_NE(kill(std::stoi(match[2].str()), 0), 0);
    EXPECT_TRUE(std::filesystem::is_empty(tmp));
    EXPECT_NE(run.err.find("run-demo: no display"), std::string::npos) << run.err;
}

TEST_F(RunDemoTest, MissingProgramsAreNamed) {
    ProcessOptions options;
    options.environment = {{"ORBO_BIN_DIR", Scratch("nothing-here")}};
    const ProcessResult run = RunProcess({ScriptPath()}, options);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("zorvan-sim is missing"), std::string::npos) << run.err;
}

}  // namespace
