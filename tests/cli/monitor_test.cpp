// ctest-labels: sim
// "monitor" against the simulator: report lines in each format, the ways a run ends (count,
// seconds, Ctrl-C, a lost link), recordings and their replay.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "cli/cli_test_support.h"

namespace {

// Reports come every 50 ms of wall time at this scale.
const std::vector<std::string> kFastSim = {"--time-scale", "20"};

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        files.push_back(entry.path().string());
    }
    return files;
}

std::vector<std::string> WithoutSeconds(const std::vector<std::string>& csvLines) {
    std::vector<std::string> fields;
    for (size_t i = 1; i < csvLines.size(); ++i) {
        fields.push_back(csvLines[i].substr(csvLines[i].find(',') + 1));
    }
    return fields;
}

class MonitorTest : public CliTest {};

TEST_F(MonitorTest, CountEndsTheRunAfterThatManyReadableLines) {
    StartSim(kFastSim);
    const ProcessResult run = Cli({"monitor", "--count", "5"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::string> lines = SplitLines(run.out);
    ASSERT_EQ(lines.size(), 5u) << run.out;
    const std::regex line(
        "[0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3}  (None|Presence|Presence\\(Motionless\\)) +"
        "[0-9]+\\.[0-9]{2} m  energy dB:( [0-9]+){16}");
    for (const std::string& text : lines) EXPECT_TRUE(std::regex_match(text, line)) << text;
    EXPECT_TRUE(run.err.empty()) << run.err;
}

TEST_F(MonitorTest, CsvAndJsonLinesCarryEveryField) {
    StartSim(kFastSim);
    const ProcessResult csv = Cli({"monitor", "--csv", "--count", "4"});
    ASSERT_EQ(csv.exitCode, 0) << csv.err;
    const std::vector<std::string> rows = SplitLines(csv.out);
    ASSERT_EQ(rows.size(), 5u);
    const std::regex row("[0-9]+\\.[0-9]{3},[0-3],[0-9]+(,[0-9]+\\.[0-9]{2}){16}");
    for (size_t i = 1; i < rows.size(); ++i) EXPECT_TRUE(std::regex_match(rows[i], row)) << rows[i];

    const ProcessResult json = Cli({"monitor", "--json", "--count", "3"});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    const std::regex object(
        "\\{\"seconds\":[0-9.]+,\"state\":[0-3],\"distance_cm\":[0-9]+,"
        "\"energy_db\":\\[[0-9]+\\.[0-9]{2}(,[0-9]+\\.[0-9]{2}){15}\\]\\}");
    const std::vector<std::string> objects = SplitLines(json.out);
    ASSERT_EQ(objects.size(), 3u);
    for (const std::string& text : objects) EXPECT_TRUE(std::regex_match(text, object)) << text;
}

TEST_F(MonitorTest, SecondsEndsTheRun) {
    StartSim(kFastSim);
    const ProcessResult run = Cli({"monitor", "--seconds", "0.8", "--csv"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_GT(SplitLines(run.out).size(), 2u);
    EXPECT_FALSE(run.timedOut);
}

TEST_F(MonitorTest, CtrlCStopsCleanlyWithTheReportOutputSwitchedOff) {
    StartSim(kFastSim);
    ProcessOptions options;
    options.deadline = std::chrono::seconds(30);
    options.interruptWhen = [](const std::string& out, const std::string&) {
        return SplitLines(out).size() >= 3;
    };
    const ProcessResult run = Cli({"monitor"}, options);
    EXPECT_TRUE(run.interrupted);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.signal, 0);
    EXPECT_GE(SplitLines(run.out).size(), 3u);

    // The sensor sends no more reports: a link that only listens hears nothing for a while in
    // which some thirty reports would have come.
    IRadarDevice* device = Orbo_Interface_RadarDevice_Serial_Create();
    ASSERT_NE(Orbo_Interface_RadarDevice_Serial_OpenByPortNum(
                  device, SerialPortNumberOf(SimPort()), kBaud, 8, 0, 0, eRADAR_PROTOCOL_VERSION_2,
                  0, 0, 0, kCmdModeAckTimeoutMs, kCmdModeSettleMs),
              0);
    ASSERT_NE(Orbo_Interface_RadarDevice_Start(device), 0);
    RadarDataBlock block;
    EXPECT_EQ(Orbo_Interface_RadarDevice_FetchDataBuffer(device, block, 1500), 0)
        << block.length << " bytes arrived";
    if (block.data != nullptr) Orbo_Interface_RadarDevice_CommitDataBuffer(device, block);
    Orbo_Interface_RadarDevice_Serial_Destroy(device);

    // And a new run switches it on again.
    EXPECT_EQ(Cli({"monitor", "--count", "2"}).exitCode, 0);
}

TEST_F(MonitorTest, ARecordingReplaysToTheSameReportsInTheSameOrder) {
    StartSim(kFastSim);
    const std::string folder = Scratch("recordings");
    std::filesystem::create_directories(folder);
    const ProcessResult live = Cli({"monitor", "--csv", "--seconds", "1", "--record", folder});
    ASSERT_EQ(live.exitCode, 0) << live.err;
    EXPECT_NE(live.err.find("Recording into " + folder + "/RadarData_"), std::string::npos)
        << live.err;
    const std::vector<std::string> files = FilesIn(folder);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(std::filesystem::path(files[0]).filename().string().rfind("RadarData_", 0), 0u);

    const ProcessResult replay = RunCli({"replay", files[0], "--interval", "0", "--csv"});
    ASSERT_EQ(replay.exitCode, 0) << replay.err;
    const std::vector<std::string> liveReports = WithoutSeconds(SplitLines(live.out));
    EXPECT_GE(liveReports.size(), 5u);
    EXPECT_EQ(WithoutSeconds(SplitLines(replay.out)), liveReports);
}

TEST_F(MonitorTest, RecordingsGoToTheSaveDataFolderAndNeverReplaceOne) {
    StartSim(kFastSim);
    ASSERT_EQ(Cli({"monitor", "--count", "2", "--record"}).exitCode, 0);
    ASSERT_EQ(Cli({"monitor", "--count", "2", "--record"}).exitCode, 0);
    const std::vector<std::string> files = FilesIn(Home() + "/SaveData");
    // Two runs within the same second still leave two recordings.
    EXPECT_EQ(files.size(), 2u);
    for (const std::string& file : files) {
        EXPECT_GT(std::filesystem::file_size(file), 0u) << file;
    }
    // The folder of the settings' "SaveDataPath" otherwise.
    WriteWholeFile(Home() + "/appConfig.xml", "<AppConfig SaveDataPath=\"Elsewhere\"/>");
    ASSERT_EQ(Cli({"monitor", "--count", "1", "--record"}).exitCode, 0);
    EXPECT_EQ(FilesIn(Home() + "/Elsewhere").size(), 1u);
}

TEST_F(MonitorTest, RecordIntoANamedFileCreatesItAndNeverReplacesOne) {
    StartSim(kFastSim);
    const std::string file = Scratch("mine.dat");
    const ProcessResult first = Cli({"monitor", "--count", "2", "--record", file});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    EXPECT_NE(first.err.find("Recording into " + file), std::string::npos) << first.err;
    const auto size = std::filesystem::file_size(file);
    EXPECT_GT(size, 0u);
    // A second run naming the same file is refused and leaves the first recording whole.
    const ProcessResult second = Cli({"monitor", "--count", "2", "--record", file});
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_NE(second.err.find("recording"), std::string::npos) << second.err;
    EXPECT_EQ(std::filesystem::file_size(file), size);
}

TEST_F(MonitorTest, ARecordingThatCannotBeCreatedIsReportedAndExitsWithOne) {
    StartSim(kFastSim);
    const std::string blocker = Scratch("plain-file");
    WriteWholeFile(blocker, "x");
    const ProcessResult run = Cli({"monitor", "--count", "3", "--record", blocker + "/sub"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("recording"), std::string::npos) << run.err;
    // The reports were still shown.
    EXPECT_EQ(SplitLines(run.out).size(), 3u);
}

TEST_F(MonitorTest, ALostLinkEndsTheRunWithThree) {
    StartSim({"--time-scale", "20", "--drop-link-after", "1500"});
    ProcessOptions options;
    options.deadline = std::chrono::seconds(30);
    const ProcessResult run = Cli({"monitor"}, options);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 3) << run.err;
    EXPECT_NE(run.err.find("lost"), std::string::npos) << run.err;
    EXPECT_FALSE(run.out.empty());
}

TEST_F(MonitorTest, AClosedOutputEndsTheRun) {
    StartSim(kFastSim);
    const std::string script = "\"" + CliProgramPath() + "\" --port \"" + SimPort() +
                               "\" monitor | head -n 2; echo \"status=${PIPESTATUS[0]}\"";
    ProcessOptions options;
    options.deadline = std::chrono::seconds(30);
    options.environment = {{"ORBO_HOME", Home()}, {"XDG_RUNTIME_DIR", m_sim->RuntimeDir()}};
    options.unset = {"ORBO_DEBUG"};
    const ProcessResult shell = RunProcess({"/bin/bash", "-c", script}, options);
    EXPECT_FALSE(shell.timedOut);
    // The pipeline ends only once monitor has ended, which it does at its first failed write.
    const std::vector<std::string> lines = SplitLines(shell.out);
    ASSERT_EQ(lines.size(), 3u) << shell.out << shell.err;
    EXPECT_EQ(lines[2], "status=0");
}

}  // namespace
