// ctest-labels: sim
// "params get/set/reset/save/load" against the simulator: what the sensor holds afterwards, the
// files written, and the exit status of refusals.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "cli/cli_test_support.h"
#include "pages/params/radar_param_setting.h"

namespace {

SensorParams FactoryParams() {
    SensorParams params;
    params.detect = {0, 9, 20, 10, 10, 20};
    for (int gate = 0; gate < 16; ++gate) {
        params.trigger[gate] = kDefaultTriggerThreshold[gate];
        params.hold[gate] = kDefaultHoldThreshold[gate];
    }
    return params;
}

class ParamsTest : public CliTest {
protected:
    std::string AppConfig() const { return Home() + "/appConfig.xml"; }
};

TEST_F(ParamsTest, GetShowsEveryKeyInTheRecordsUnits) {
    StartSim();
    const ProcessResult run = Cli({"params", "get"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto values = KeyValues(run.out);
    EXPECT_EQ(values.size(), 7u + 32u);
    EXPECT_EQ(SplitLines(run.out).size(), 39u);
    EXPECT_EQ(values.at("RangeResolution"), "0.70");
    EXPECT_EQ(values.at("DetectRangeMin"), "0.00");
    EXPECT_EQ(values.at("DetectRangeMax"), "6.30");
    EXPECT_EQ(values.at("ResponseFreq"), "2.0");
    EXPECT_EQ(values.at("StateReportFreq"), "1.0");
    EXPECT_EQ(values.at("RangeReportFreq"), "1.0");
    EXPECT_EQ(values.at("ObjectDisappearReportTime"), "20");
    for (int gate = 0; gate < 16; ++gate) {
        EXPECT_EQ(values.at("Gate" + std::to_string(gate) + "TriggerThreshold"),
                  std::to_string(kDefaultTriggerThreshold[gate]));
        EXPECT_EQ(values.at("Gate" + std::to_string(gate) + "HoldThreshold"),
                  std::to_string(kDefaultHoldThreshold[gate]));
    }

    const ProcessResult json = Cli({"params", "get", "--json"});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    EXPECT_EQ(json.out.rfind("{\"RangeResolution\":0.70,\"DetectRangeMin\":0.00,", 0), 0u);
    EXPECT_NE(json.out.find("\"Gate15HoldThreshold\":33}\n"), std::string::npos) << json.out;
}

TEST_F(ParamsTest, SetWritesTheNamedValuesAndKeepsTheOthers) {
    StartSim();
    const ProcessResult run =
        Cli({"params", "set", "DetectRangeMax=4.9", "Gate3TriggerThreshold=40",
             "objectdisappearreporttime=30", "StateReportFreq=2"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "Succeed setting parameters\n");
    SensorParams expected = FactoryParams();
    expected.detect[1] = 7;   // 4.9 m / 0.7 m
    expected.detect[3] = 20;  // 2 Hz x 10
    expected.detect[5] = 30;
    expected.trigger[3] = 40;
    EXPECT_EQ(ReadSensor(), expected);
    EXPECT_EQ(KeyValues(Cli({"params", "get"}).out).at("DetectRangeMax"), "4.90");
}

TEST_F(ParamsTest, BadAssignmentsChangeNothingOnTheSensor) {
    StartSim();
    for (const char* assignment : {"Nope=1", "DetectRangeMax=far", "Gate1HoldThreshold=-3"}) {
        EXPECT_EQ(Cli({"params", "set", "DetectRangeMax=2.1", assignment}).exitCode, 2);
    }
    EXPECT_EQ(ReadSensor(), FactoryParams());
}

TEST_F(ParamsTest, ResetWritesTheFactoryDefaults) {
    StartSim();
    ASSERT_EQ(Cli({"params", "set", "DetectRangeMin=1.4", "Gate0HoldThreshold=60"}).exitCode, 0);
    ASSERT_NE(ReadSensor(), FactoryParams());
    const ProcessResult run = Cli({"params", "reset"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ReadSensor(), FactoryParams());
}

TEST_F(ParamsTest, RefusalsExitWithOne) {
    StartSim({"--fail-status", "0x72:3"});
    const ProcessResult set =
        Cli({"params", "set", "DetectRangeMax=4.9", "Gate0TriggerThreshold=50"});
    EXPECT_EQ(set.exitCode, 1);
    EXPECT_NE(set.err.find("Failed to set parameters"), std::string::npos) << set.err;
    // The detect setting went first and stays applied; the refused thresholds do not.
    SensorParams expected = FactoryParams();
    expected.detect[1] = 7;
    EXPECT_EQ(ReadSensor(), expected);
    EXPECT_EQ(Cli({"params", "reset"}).exitCode, 1);
}

TEST_F(ParamsTest, RefusedReadExitsWithOne) {
    StartSim({"--fail-status", "0x73:3"});
    const ProcessResult get = Cli({"params", "get"});
    EXPECT_EQ(get.exitCode, 1);
    EXPECT_TRUE(get.out.empty());
    EXPECT_NE(get.err.find("Failed to read parameters"), std::string::npos) << get.err;
    EXPECT_EQ(Cli({"params", "save", Scratch("p.xml")}).exitCode, 1);
    EXPECT_FALSE(std::filesystem::exists(Scratch("p.xml")));
}

TEST_F(ParamsTest, SaveAndLoadThroughAFileKeepItsOtherContent) {
    StartSim();
    const std::string file = Scratch("setup.xml");
    WriteWholeFile(file,
                   "<AppConfig BaudRate=\"9600\"><Download DownloadFilePath=\"fw\"/></AppConfig>");
    ASSERT_EQ(Cli({"params", "set", "DetectRangeMax=3.5", "Gate7HoldThreshold=44"}).exitCode, 0);
    const SensorParams saved = ReadSensor();

    const ProcessResult save = Cli({"params", "save", file});
    ASSERT_EQ(save.exitCode, 0) << save.err;
    EXPECT_EQ(save.out, "Succeed saving parameters: " + file + "\n");
    const std::string text = ReadWholeFile(file);
    EXPECT_NE(text.find("BaudRate=\"9600\""), std::string::npos) << text;
    EXPECT_NE(text.find("<Download DownloadFilePath=\"fw\""), std::string::npos) << text;
    EXPECT_NE(text.find("DetectRangeMax=\"3.50\""), std::string::npos) << text;
    EXPECT_NE(text.find("Gate7HoldThreshold=\"44\""), std::string::npos) << text;

    ASSERT_EQ(Cli({"params", "reset"}).exitCode, 0);
    ASSERT_EQ(ReadSensor(), FactoryParams());
    const ProcessResult load = Cli({"params", "load", file});
    EXPECT_EQ(load.exitCode, 0) << load.err;
    EXPECT_EQ(ReadSensor(), saved);
    // Nothing but an explicit save without a file writes the tool's own settings.
    EXPECT_FALSE(std::filesystem::exists(AppConfig()));
}

TEST_F(ParamsTest, SaveWithoutAFileWritesTheToolsSettingsAndLoadReadsThem) {
    StartSim();
    ASSERT_EQ(Cli({"params", "set", "Gate2TriggerThreshold=70"}).exitCode, 0);
    ASSERT_EQ(Cli({"params", "get"}).exitCode, 0);
    EXPECT_FALSE(std::filesystem::exists(AppConfig()));
    EXPECT_EQ(Cli({"params", "load"}).exitCode, 1);  // nothing saved yet

    const ProcessResult save = Cli({"params", "save"});
    ASSERT_EQ(save.exitCode, 0) << save.err;
    EXPECT_NE(ReadWholeFile(AppConfig()).find("Gate2TriggerThreshold=\"70\""), std::string::npos);

    ASSERT_EQ(Cli({"params", "reset"}).exitCode, 0);
    ASSERT_EQ(Cli({"params", "load"}).exitCode, 0);
    EXPECT_EQ(ReadSensor().trigger[2], 70u);
}

TEST_F(ParamsTest, LoadKeepsTheSensorsValuesForKeysTheFileLacks) {
    StartSim();
    ASSERT_EQ(Cli({"params", "set", "DetectRangeMax=2.8"}).exitCode, 0);
    const std::string file = Scratch("partial.xml");
    WriteWholeFile(file, "<AppConfig><ParamSetting Gate5HoldThreshold=\"60\"/></AppConfig>");
    ASSERT_EQ(Cli({"params", "load", file}).exitCode, 0);
    SensorParams expected = FactoryParams();
    expected.detect[1] = 4;
    expected.hold[5] = 60;
    EXPECT_EQ(ReadSensor(), expected);
}

TEST_F(ParamsTest, FilesThatAreNotSettingsAreRefusedAndLeftAlone) {
    StartSim();
    struct Case {
        const char* name;
        const char* content;
    };
    const Case cases[] = {
        {"text.xml", "not xml at all"},
        {"other.xml", "<Other><ParamSetting DetectRangeMax=\"1.4\"/></Other>"},
        {"broken.xml", "<AppConfig><ParamSetting DetectRangeMax=\"1.4\"/>"},
    };
    for (const Case& c : cases) {
        const std::string file = Scratch(c.name);
        WriteWholeFile(file, c.content);
        EXPECT_EQ(Cli({"params", "save", file}).exitCode, 1) << c.name;
        EXPECT_EQ(Cli({"params", "load", file}).exitCode, 1) << c.name;
        EXPECT_EQ(ReadWholeFile(file), c.content) << c.name;
    }
    const std::string noSection = Scratch("nosection.xml");
    WriteWholeFile(noSection, "<AppConfig BaudRate=\"9600\"/>");
    const ProcessResult load = Cli({"params", "load", noSection});
    EXPECT_EQ(load.exitCode, 1);
    EXPECT_NE(load.err.find("ParamSetting"), std::string::npos) << load.err;
    EXPECT_EQ(Cli({"params", "load", Scratch("missing.xml")}).exitCode, 1);
    EXPECT_EQ(ReadSensor(), FactoryParams());
}

TEST_F(ParamsTest, MessagesFollowTheChosenLanguage) {
    StartSim();
    EXPECT_EQ(Cli({"--lang", "zh", "params", "reset"}).out, "写入参数成功\n");
    std::filesystem::create_directories(Home());
    WriteWholeFile(AppConfig(), "<AppConfig Language=\"CHS\"/>");
    EXPECT_EQ(Cli({"params", "reset"}).out, "写入参数成功\n");
    EXPECT_EQ(Cli({"--lang", "en", "params", "reset"}).out, "Succeed setting parameters\n");
    // Reading the settings never rewrites them.
    EXPECT_EQ(ReadWholeFile(AppConfig()), "<AppConfig Language=\"CHS\"/>");
}

}  // namespace
