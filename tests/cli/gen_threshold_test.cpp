// ctest-labels: sim
// "gen-threshold" against the simulator: the coefficients reach the sensor, the progress is
// shown, the new thresholds are printed, and a stop or a refusal exits with one.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "cli/cli_test_support.h"

namespace {

// A scan second takes 50 ms of wall time at this scale.
const std::vector<std::string> kFastSim = {"--time-scale", "20", "--scenario", "empty"};

class GenThresholdTest : public CliTest {};

TEST_F(GenThresholdTest, PrintsTheThresholdsTheSensorGenerated) {
    StartSim(kFastSim);
    ProcessOptions options;
    options.deadline = std::chrono::seconds(60);
    const ProcessResult run =
        Cli({"gen-threshold", "--trigger", "20", "--hold", "10", "--scan", "20"}, options);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const SensorParams sensor = ReadSensor();
    const auto values = KeyValues(run.out);
    ASSERT_EQ(values.size(), 32u) << run.out;
    for (int gate = 0; gate < 16; ++gate) {
        const std::string trigger = values.at("Gate" + std::to_string(gate) + "TriggerThreshold");
        const std::string hold = values.at("Gate" + std::to_string(gate) + "HoldThreshold");
        EXPECT_EQ(trigger, std::to_string(sensor.trigger[gate])) << gate;
        EXPECT_EQ(hold, std::to_string(sensor.hold[gate])) << gate;
        // Both come from the same loudest energy: they differ by the two coefficients.
        EXPECT_EQ(std::stoi(trigger) - std::stoi(hold), 10) << gate;
    }
    // The progress went to standard error and reached 100 %.
    const std::vector<std::string> progress = SplitLines(run.err);
    ASSERT_FALSE(progress.empty());
    EXPECT_NE(run.err.find("Generate progress: 100%"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Successfully generated."), std::string::npos) << run.err;
}

TEST_F(GenThresholdTest, JsonPrintsOneObject) {
    StartSim(kFastSim);
    const ProcessResult run = Cli({"gen-threshold", "--scan", "10", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const SensorParams sensor = ReadSensor();
    EXPECT_EQ(
        run.out.rfind("{\"Gate0TriggerThreshold\":" + std::to_string(sensor.trigger[0]) + ",", 0),
        0u)
        << run.out;
    EXPECT_NE(run.out.find("\"Gate15HoldThreshold\":" + std::to_string(sensor.hold[15]) + "}\n"),
              std::string::npos)
        << run.out;
}

TEST_F(GenThresholdTest, CtrlCStopsTheScanAndExitsWithOne) {
    StartSim(kFastSim);
    ProcessOptions options;
    options.deadline = std::chrono::seconds(30);
    options.interruptWhen = [](const std::string&, const std::string& err) {
        return err.find("Generate progress:") != std::string::npos;
    };
    // Ten minutes of scan (half a minute of wall time): only the stop ends it in time.
    const ProcessResult run = Cli({"gen-threshold", "--scan", "600"}, options);
    EXPECT_TRUE(run.interrupted);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Generate failed."), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.empty());
}

TEST_F(GenThresholdTest, ARefusedCommandExitsWithOne) {
    StartSim({"--fail-status", "0x09:3"});
    const ProcessResult run = Cli({"gen-threshold", "--scan", "10"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Generate failed."), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.empty());
}

}  // namespace
