// "replay" of recordings made here byte by byte: the report lines in each format, the state
// names in both languages, pacing, --count, Ctrl-C and files that cannot be read.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "cli/cli_test_support.h"
#include "core/byte_order.h"

namespace {

// One target report frame as the sensor sends it: every gate with the same raw energy.
std::string ReportFrame(uint8_t state, uint16_t distanceCm, uint16_t rawEnergy) {
    std::string payload(70, '\0');
    payload[0] = 1;
    payload[1] = static_cast<char>(state);
    WriteLe16(&payload[2], distanceCm);
    for (int gate = 0; gate < 16; ++gate) WriteLe16(&payload[6 + 4 * gate], rawEnergy);
    return std::string("\xF4\xF3\xF2\xF1", 4) + std::string("\x46\x00", 2) + payload +
           std::string("\xF8\xF7\xF6\xF5", 4);
}

class ReplayTest : public CliTest {
protected:
    // Three reports (moving at 1.23 m, motionless at 1.50 m, nobody) with noise around them.
    std::string MakeRecording() {
        const std::string path = Scratch("RadarData_test.dat");
        WriteWholeFile(path, std::string("\x01\x02", 2) + ReportFrame(2, 123, 1000) +
                                 ReportFrame(3, 150, 10000) + "junk" + ReportFrame(1, 99, 50));
        return path;
    }

    static std::string Fields(const std::string& csvLine) {
        return csvLine.substr(csvLine.find(',') + 1);  // without the seconds
    }

    // The closing line of a replay that read its file to the end.
    static std::string Summary(const std::string& file, int reports, int skipped) {
        return "Replayed " + file + ": " + std::to_string(reports) +
               (reports == 1 ? " report, " : " reports, ") + std::to_string(skipped) +
               (skipped == 1 ? " byte" : " bytes") + " skipped as not frames\n";
    }
};

TEST_F(ReplayTest, CsvCarriesTheRawStateDistanceAndEnergies) {
    const ProcessResult run = RunCli({"replay", MakeRecording(), "--interval", "0", "--csv"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::string> lines = SplitLines(run.out);
    ASSERT_EQ(lines.size(), 4u) << run.out;
    EXPECT_EQ(lines[0].substr(0, 36), "seconds,state,distance_cm,gate0_db,g");
    EXPECT_EQ(std::count(lines[0].begin(), lines[0].end(), ','), 18);
    std::string twenty, forty, zero;
    for (int gate = 0; gate < 16; ++gate) twenty += ",20.00", forty += ",40.00", zero += ",0.00";
    EXPECT_EQ(Fields(lines[1]), "2,123" + twenty);
    EXPECT_EQ(Fields(lines[2]), "3,150" + forty);
    EXPECT_EQ(Fields(lines[3]), "1,99" + zero);
    EXPECT_EQ(run.err, Summary(Scratch("RadarData_test.dat"), 3, 6)) << run.err;
}

TEST_F(ReplayTest, JsonLinesAreOneObjectPerReport) {
    const ProcessResult run = RunCli({"replay", MakeRecording(), "--interval", "0", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::string> lines = SplitLines(run.out);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1].substr(0, 11), "{\"seconds\":");
    EXPECT_NE(lines[1].find(",\"state\":3,\"distance_cm\":150,\"energy_db\":[40.00,40.00,"),
              std::string::npos)
        << lines[1];
    EXPECT_EQ(lines[1].substr(lines[1].size() - 8), ",40.00]}");
}

TEST_F(ReplayTest, TextLinesNameTheStateAsThePageDoes) {
    const ProcessResult english = RunCli({"replay", MakeRecording(), "--interval", "0"});
    ASSERT_EQ(english.exitCode, 0) << english.err;
    std::vector<std::string> lines = SplitLines(english.out);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find("  Presence "), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find(" 1.23 m  energy dB: 20 20 "), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("  Presence(Motionless) "), std::string::npos) << lines[1];
    EXPECT_NE(lines[1].find(" 1.50 m  energy dB: 40 40 "), std::string::npos) << lines[1];
    // Nobody there: the distance the sensor sent is not shown.
    EXPECT_NE(lines[2].find("  None "), std::string::npos) << lines[2];
    EXPECT_NE(lines[2].find(" 0.00 m  energy dB: 0 0 "), std::string::npos) << lines[2];

    const ProcessResult chinese =
        RunCli({"--lang", "zh", "replay", MakeRecording(), "--interval", "0"});
    lines = SplitLines(chinese.out);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find("有人"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("有人(静止)"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find("无人"), std::string::npos) << lines[2];
}

TEST_F(ReplayTest, CountEndsTheReplayEarly) {
    const ProcessResult run =
        RunCli({"replay", MakeRecording(), "--interval", "0", "--csv", "--count", "2"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(SplitLines(run.out).size(), 3u);  // header and two reports
    // The pause after every report lets --count end the run before the end of the file.
    const ProcessResult paced =
        RunCli({"replay", MakeRecording(), "--interval", "60000", "--count", "1"});
    EXPECT_EQ(paced.exitCode, 0);
    EXPECT_EQ(paced.err, "Replayed " + Scratch("RadarData_test.dat") +
                             ": 1 report, 2 bytes skipped as not frames (stopped before the end "
                             "of the file)\n");
}

TEST_F(ReplayTest, PausesAfterEveryReportAsTheIntervalSays) {
    const auto start = std::chrono::steady_clock::now();
    const ProcessResult run = RunCli({"replay", MakeRecording(), "--interval", "300"});
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(SplitLines(run.out).size(), 3u);
    EXPECT_GE(elapsed, std::chrono::milliseconds(600));
}

TEST_F(ReplayTest, TheIntervalDefaultsToTheSettings) {
    std::filesystem::create_directories(Home());
    WriteWholeFile(Home() + "/appConfig.xml", "<AppConfig ReplayInterval=\"400\"/>");
    const auto start = std::chrono::steady_clock::now();
    const ProcessResult run = RunCli({"replay", MakeRecording()});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(800));
}

TEST_F(ReplayTest, CtrlCEndsAReplayWaitAtOnce) {
    ProcessOptions options;
    options.deadline = std::chrono::seconds(20);
    options.interruptWhen = [](const std::string& out, const std::string&) { return !out.empty(); };
    const auto start = std::chrono::steady_clock::now();
    // A pause of a minute after every report: only the interruption can end this in time.
    const ProcessResult run = RunCli({"replay", MakeRecording(), "--interval", "60000"}, options);
    EXPECT_TRUE(run.interrupted);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(SplitLines(run.out).size(), 1u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST_F(ReplayTest, AFileThatCannotBeReadExitsWithOne) {
    const ProcessResult missing = RunCli({"replay", Scratch("none.dat"), "--interval", "0"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("none.dat"), std::string::npos) << missing.err;
    const ProcessResult folder = RunCli({"replay", Scratch(""), "--interval", "0"});
    EXPECT_EQ(folder.exitCode, 1);
}

// Every replay that read its file ends with a count of what it found; a file without a single
// report is a failure, whatever else it holds.
TEST_F(ReplayTest, TheClosingLineCountsReportsAndSkippedBytes) {
    std::string random;
    uint32_t seed = 12345;
    for (int i = 0; i < 5000; ++i) {
        seed = seed * 1103515245u + 12345u;
        random.push_back(static_cast<char>(seed >> 24));
    }
    ASSERT_EQ(random.find("\xF4\xF3\xF2\xF1"), std::string::npos);
    const std::string report = ReportFrame(2, 123, 1000);
    std::string badTail = ReportFrame(3, 150, 1000);
    badTail[badTail.size() - 1] = 0;

    const struct {
        const char* what;
        std::string bytes;
        int reports;
        int skipped;
        int exitCode;
    } cases[] = {
        {"empty file", "", 0, 0, 1},
        {"random bytes", random, 0, 5000, 1},
        {"a frame with a bad tail", badTail, 0, 76 + 4, 1},
        {"a report cut short at the end", report.substr(0, 30), 0, 30, 1},
        {"one report", report, 1, 0, 0},
        {"reports among garbage", "ab" + report + random.substr(0, 100) + report + "x", 2, 103, 0},
        {"a report and an unfinished one", report + report.substr(0, 79), 1, 79, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string file = Scratch("case.dat");
        WriteWholeFile(file, c.bytes);
        const ProcessResult run = RunCli({"replay", file, "--interval", "0", "--csv"});
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(SplitLines(run.out).size(), 1u + c.reports);  // the header and the reports
        const std::string summary = Summary(file, c.reports, c.skipped);
        const std::string failure = "zorvan-cli: " + file + " holds no report\n";
        EXPECT_EQ(run.err, c.exitCode == 0 ? summary : summary + failure);
    }
}

}  // namespace
