// The command line itself: help for the program and every command, the version, usage errors
// (exit status 2) and ports that cannot be opened (exit status 3). No simulator runs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli/cli_test_support.h"
#include "core/file_version.h"
#include "core/unique_fd.h"
#include "support/pty_pair.h"

namespace {

const std::vector<std::string> kCommands = {"ports",  "info",          "params",   "monitor",
                                            "replay", "gen-threshold", "firmware", "flash"};

class CliUsageTest : public CliTest {};

// What /proc calls this process.
std::string OwnCommandName() {
    std::ifstream comm("/proc/self/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

TEST_F(CliUsageTest, ProgramHelpListsEveryCommandOptionAndExitStatus) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--help"}, {"-h"}, {"help"}}) {
        const ProcessResult run = RunCli(args);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out.rfind("Usage: zorvan-cli ", 0), 0u) << run.out;
        for (const std::string& command : kCommands) {
            EXPECT_NE(run.out.find("\n  " + command + " "), std::string::npos) << command;
        }
        for (const char* option : {"--port", "--baud", "--line", "--lang", "--verbose", "--json"}) {
            EXPECT_NE(run.out.find(option), std::string::npos) << option;
        }
        EXPECT_NE(run.out.find("Exit status:"), std::string::npos);
        EXPECT_TRUE(run.err.empty()) << run.err;
    }
}

TEST_F(CliUsageTest, EveryCommandHasItsHelpBothWays) {
    for (const std::string& command : kCommands) {
        const ProcessResult byHelp = RunCli({"help", command});
        const ProcessResult byOption = RunCli({command, "--help"});
        ASSERT_EQ(byHelp.exitCode, 0) << command << ": " << byHelp.err;
        ASSERT_EQ(byOption.exitCode, 0) << command << ": " << byOption.err;
        EXPECT_EQ(byHelp.out.rfind("Usage: zorvan-cli " + command, 0), 0u) << byHelp.out;
        EXPECT_EQ(byHelp.out, byOption.out) << command;
        EXPECT_GT(SplitLines(byHelp.out).size(), 2u) << command;
    }
}

TEST_F(CliUsageTest, HelpLinesFitEightyColumns) {
    std::vector<std::string> texts{RunCli({"--help"}).out};
    for (const std::string& command : kCommands) texts.push_back(RunCli({"help", command}).out);
    for (const std::string& text : texts) {
        for (const std::string& line : SplitLines(text)) {
            EXPECT_LE(line.size(), 80u) << line;
        }
    }
}

TEST_F(CliUsageTest, VersionIsTheVersionTheProgramCarries) {
    char version[64] = {};
    ASSERT_NE(GetFileVersionA(CliProgramPath().c_str(), version, sizeof version), 0);
    const ProcessResult run = RunCli({"--version"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "zorvan-cli " + std::string(version) + "\n");
}

TEST_F(CliUsageTest, UsageErrorsExitWithTwoAndExplainOnStandardError) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"help", "frobnicate"},
        {"--bogus", "info"},
        {"info", "--bogus"},
        {"info", "extra"},
        {"ports", "extra"},
        {"--verbose=1", "info"},
        {"info", "--port"},
        {"--port=", "info"},
        {"--baud", "0", "info"},
        {"--baud", "fast", "info"},
        {"--baud", "-9600", "info"},
        {"--line", "9X3", "info"},
        {"--line", "8N", "info"},
        {"--lang", "fr", "info"},
        {"params"},
        {"params", "frob"},
        {"params", "get", "extra"},
        {"params", "set"},
        {"params", "set", "DetectRangeMax"},
        {"params", "set", "NoSuchKey=1"},
        {"params", "set", "DetectRangeMax=abc"},
        {"params", "set", "DetectRangeMax=4,9"},
        {"params", "set", "DetectRangeMax=nan"},
        {"params", "set", "DetectRangeMax=1e999"},
        {"params", "set", "Gate0TriggerThreshold=-1"},
        {"params", "set", "Gate0TriggerThreshold=40.5"},
        {"params", "set", "Gate15HoldThreshold=4294967296"},
        {"params", "set", "Gate16HoldThreshold=40"},
        {"params", "set", "RangeResolution=0"},
        {"params", "set", "StateReportFreq=-1"},
        {"params", "set", "DetectRangeMax=4.9", "Bogus=2"},
        {"params", "save", "a.xml", "b.xml"},
        {"params", "load", "a.xml", "b.xml"},
        {"monitor", "extra"},
        {"monitor", "--count", "0"},
        {"monitor", "--count", "many"},
        {"monitor", "--seconds", "0"},
        {"monitor", "--seconds", "x"},
        {"monitor", "--csv", "--json"},
        {"monitor", "--interval", "5"},
        {"replay"},
        {"replay", "a.dat", "b.dat"},
        {"replay", "a.dat", "--interval", "-1"},
        {"replay", "a.dat", "--interval", "soon"},
        {"gen-threshold", "--scan", "0"},
        {"gen-threshold", "--scan", "65536"},
        {"gen-threshold", "--trigger", "-2"},
        {"gen-threshold", "--hold", "x"},
        {"firmware"},
        {"firmware", "erase"},
        {"firmware", "info", "extra"},
        {"flash", "image.bin"},
        {"flash", "--partition", "0"},
        {"flash", "--partition", "32", "image.bin"},
        {"flash", "--partition", "x", "image.bin"},
        {"flash", "--partition", "0", "a.bin", "b.bin"},
    };
    for (const std::vector<std::string>& args : cases) {
        std::string shown;
        for (const std::string& arg : args) shown += arg + " ";
        const ProcessResult run = RunCli(args);
        EXPECT_EQ(run.exitCode, 2) << shown << "\n" << run.out << run.err;
        EXPECT_TRUE(run.out.empty()) << shown << run.out;
        EXPECT_EQ(run.err.rfind("zorvan-cli: ", 0), 0u) << shown << run.err;
    }
    // None of them touched the settings.
    EXPECT_FALSE(std::filesystem::exists(Home() + "/appConfig.xml"));
}

TEST_F(CliUsageTest, OptionsMayStandBeforeOrAfterTheCommandAndTakeEitherForm) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--port", "/nonexistent/tty", "info"},
          {"info", "--port", "/nonexistent/tty"},
          {"info", "--port=/nonexistent/tty"},
          {"--baud=9600", "--line=7e2", "--lang", "zh", "info", "--port", "/nonexistent/tty"}}) {
        // A port that does not exist: the options were all accepted.
        EXPECT_EQ(RunCli(args).exitCode, 3) << args.back();
    }
}

TEST_F(CliUsageTest, PortThatCannotBeOpenedExitsWithThree) {
    const std::string image = Scratch("image.bin");
    WriteWholeFile(image, "abcd");
    const std::vector<std::vector<std::string>> commands = {
        {"info"},
        {"params", "get"},
        {"params", "set", "DetectRangeMax=4.9"},
        {"params", "reset"},
        {"params", "save", Scratch("saved.xml")},
        {"monitor", "--count", "1"},
        {"gen-threshold", "--scan", "1"},
        {"firmware", "info"},
        {"flash", "--partition", "0", image},
    };
    for (const std::string& port : {std::string("/nonexistent/tty"), std::string("77")}) {
        for (std::vector<std::string> args : commands) {
            args.insert(args.begin(), {"--port", port});
            const ProcessResult run = RunCli(args);
            EXPECT_EQ(run.exitCode, 3) << port << " " << args[2] << "\n" << run.err;
            EXPECT_FALSE(run.err.empty());
        }
    }
    EXPECT_FALSE(std::filesystem::exists(Scratch("saved.xml")));
}

// The error line says why the port failed; the cause comes from the device library.
TEST_F(CliUsageTest, OpenFailureNamesItsCauseOnTheSameLine) {
    const std::string regular = Scratch("not-a-port");
    WriteWholeFile(regular, "text");
    PtyPair silent;
    ASSERT_TRUE(silent.Valid());
    PtyPair held;
    ASSERT_TRUE(held.Valid());
    // This test process holds the port's lock, as another program would.
    UniqueFd holder(open(held.SlavePath().c_str(), O_RDWR | O_NOCTTY));
    ASSERT_GE(holder.Get(), 0);
    ASSERT_EQ(flock(holder.Get(), LOCK_EX | LOCK_NB), 0);

    const struct {
        std::string port;
        std::string cause;
    } cases[] = {
        {"/nonexistent/tty", "no such port"},
        {regular, "not a serial port"},
        {"/dev/null", "not a serial port"},
        {held.SlavePath(), "in use by another program: " + OwnCommandName() + " (pid " +
                               std::to_string(getpid()) + ")"},
        {silent.SlavePath(), "the sensor did not answer within 500 ms"},
    };
    for (const auto& c : cases) {
        const ProcessResult run = RunCli({"--port", c.port, "info"});
        EXPECT_EQ(run.exitCode, 3) << c.port;
        EXPECT_EQ(run.err, "zorvan-cli: Failed to open device: " + c.port + ": " + c.cause + "\n");
    }
}

TEST_F(CliUsageTest, VerboseSendsTheLibraryLinesToStandardError) {
    const ProcessResult quiet = RunCli({"--port", "/nonexistent/tty", "info"});
    const ProcessResult verbose = RunCli({"--port", "/nonexistent/tty", "--verbose", "info"});
    EXPECT_EQ(verbose.exitCode, 3);
    EXPECT_NE(verbose.err.find("/nonexistent/tty"), std::string::npos);
    EXPECT_GT(SplitLines(verbose.err).size(), SplitLines(quiet.err).size() + 1);
    EXPECT_EQ(verbose.err.find('\r'), std::string::npos);
}

TEST_F(CliUsageTest, NoPortPresentExitsWithThreeAndSeveralNeedAChoice) {
    const ProcessResult list = RunCli({"ports", "--json"});
    ASSERT_EQ(list.exitCode, 0);
    // Hardware ports of the machine are listed too; the private runtime folder adds none.
    const size_t present = std::count(list.out.begin(), list.out.end(), '{');
    const ProcessResult run = RunCli({"info"});
    if (present == 0) {
        EXPECT_EQ(run.exitCode, 3);
        EXPECT_NE(run.err.find("No Device Detected"), std::string::npos);
    } else if (present > 1) {
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_NE(run.err.find("--port"), std::string::npos);
    } else {
        EXPECT_NE(run.exitCode, 2);
    }
}

}  // namespace
