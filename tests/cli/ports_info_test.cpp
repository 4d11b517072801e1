// ctest-labels: sim
// "ports" and "info" against the simulator.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "cli/cli_test_support.h"

namespace {

class PortsInfoTest : public CliTest {};

TEST_F(PortsInfoTest, PortsListsTheSimulatorWithANumberThatOpensIt) {
    StartSim();
    const ProcessResult list = RunCli({"ports"});
    ASSERT_EQ(list.exitCode, 0) << list.err;
    int number = 0;
    for (const std::string& line : SplitLines(list.out)) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, std::regex(" *([0-9]+)  (.+)"))) << line;
        if (match[2] == SimPort()) number = std::stoi(match[1]);
    }
    ASSERT_GT(number, 0) << list.out;

    const ProcessResult json = RunCli({"ports", "--json"});
    EXPECT_EQ(json.exitCode, 0);
    EXPECT_NE(
        json.out.find("{\"number\":" + std::to_string(number) + ",\"path\":\"" + SimPort() + "\"}"),
        std::string::npos)
        << json.out;

    const ProcessResult info = RunCli({"--port", std::to_string(number), "info"});
    EXPECT_EQ(info.exitCode, 0) << info.err;
    EXPECT_EQ(info.out, "Ver: v1.5.2\nSN: ZV2403150001\n");
}

TEST_F(PortsInfoTest, InfoShowsTheVersionAndSerialNumberTheSensorGives) {
    StartSim({"--version-text", "v9.8.7", "--serial-number", "SN-42"});
    const ProcessResult text = Cli({"info"});
    EXPECT_EQ(text.exitCode, 0) << text.err;
    EXPECT_EQ(text.out, "Ver: v9.8.7\nSN: SN-42\n");
    EXPECT_TRUE(text.err.empty()) << text.err;

    const ProcessResult json = Cli({"info", "--json"});
    EXPECT_EQ(json.exitCode, 0) << json.err;
    EXPECT_EQ(json.out, "{\"port\":\"" + SimPort() +
                            "\",\"version\":\"v9.8.7\",\"serialNumber\":\"SN-42\"}\n");
}

TEST_F(PortsInfoTest, InfoOfASensorThatDoesNotAnswerExitsWithThree) {
    StartSim({"--no-ack", "0xFF"});
    const ProcessResult run = Cli({"info"});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_TRUE(run.out.empty());
    EXPECT_NE(run.err.find("Failed to open device"), std::string::npos) << run.err;
}

TEST_F(PortsInfoTest, InfoWithoutASerialNumberShowsWhatCameAndExitsWithOne) {
    StartSim({"--fail-status", "0x11:1"});
    const ProcessResult run = Cli({"info"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "Ver: v1.5.2\nSN: Unknown\n");
    EXPECT_NE(run.err.find("serial number"), std::string::npos) << run.err;
}

}  // namespace
