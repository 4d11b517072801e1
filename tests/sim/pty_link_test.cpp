// ctest-labels: sim
// zorvan-sim's port: the link in the virtual port folder, its removal at the end, the command
// line and the link-drop fault.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include "sim/raw_link_client.h"
#include "support/process_runner.h"
#include "support/sim_process.h"
#include "support/wait_until.h"

using namespace simtest;

namespace {

bool IsLinkToCharacterDevice(const std::string& path) {
    struct stat link {
    }, target{};
    return lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode) &&
           stat(path.c_str(), &target) == 0 && S_ISCHR(target.st_mode);
}

bool Missing(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) != 0;
}

// Runs zorvan-sim with `args` to its end.
ProcessResult RunToEnd(const std::vector<std::string>& args) {
    std::vector<std::string> argv{SimProcess::ProgramPath()};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProcess(argv);
}

}  // namespace

TEST(SimLink, PortIsALinkInThePrivateVirtualFolderNamedAfterThePid) {
    SimProcess sim;
    ASSERT_TRUE(sim.Started()) << sim.Error();
    EXPECT_EQ(sim.PortPath(),
              sim.RuntimeDir() + "/orbo-serial/zorvan-sim-" + std::to_string(sim.Pid()));
    EXPECT_TRUE(IsLinkToCharacterDevice(sim.PortPath()));
}

TEST(SimLink, NameOptionNamesTheLink) {
    SimProcess sim({"--name", "bench-sensor"});
    ASSERT_TRUE(sim.Started()) << sim.Error();
    EXPECT_EQ(sim.PortPath(), sim.RuntimeDir() + "/orbo-serial/bench-sensor");
    EXPECT_TRUE(IsLinkToCharacterDevice(sim.PortPath()));
}

TEST(SimLink, LinkIsRemovedWhenEndedBySignal) {
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signalNumber);
        SimProcess sim;
        ASSERT_TRUE(sim.Started()) << sim.Error();
        RawLinkClient client;
        ASSERT_TRUE(client.Open(sim.PortPath()));  // a host has the port open meanwhile
        ASSERT_TRUE(sim.Signal(signalNumber));
        int status = -1;
        ASSERT_TRUE(WaitUntil([&] { return sim.HasExited(&status); }));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        EXPECT_TRUE(Missing(sim.PortPath()));
        EXPECT_TRUE(client.WaitGone(milliseconds(2000)));
    }
}

TEST(SimLink, DropLinkFaultClosesThePortRemovesTheLinkAndEnds) {
    SimProcess sim({"--drop-link-after", "300", "--time-scale", "20"});
    ASSERT_TRUE(sim.Started()) << sim.Error();
    RawLinkClient client;
    ASSERT_TRUE(client.Open(sim.PortPath()));
    ASSERT_TRUE(client.NextReport(milliseconds(2000)).has_value());
    EXPECT_TRUE(client.WaitGone(milliseconds(5000)));
    EXPECT_TRUE(WaitUntil([&] { return Missing(sim.PortPath()); }));
    int status = -1;
    ASSERT_TRUE(WaitUntil([&] { return sim.HasExited(&status); }));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST(SimLink, PortCanBeOpenedAgainAfterTheHostClosedIt) {
    SimProcess sim({"--time-scale", "20"});
    ASSERT_TRUE(sim.Started()) << sim.Error();
    for (int round = 0; round < 3; ++round) {
        RawLinkClient client;
        ASSERT_TRUE(client.Open(sim.PortPath())) << round;
        EXPECT_TRUE(client.NextReport(milliseconds(2000)).has_value()) << round;
    }
}

TEST(SimOptions, HelpDocumentsEveryOption) {
    const ProcessResult run = RunToEnd({"--help"});
    ASSERT_TRUE(run.started) << run.error;
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string& help = run.out;
    for (const char* option : {"--flash-dir",
                               "--name",
                               "--baud",
                               "--pace",
                               "--time-scale",
                               "--version-text",
                               "--serial-number",
                               "--device-id",
                               "--partitions",
                               "--partition-size",
                               "--packet-size",
                               "--start-in-bootloader",
                               "--app-partition",
                               "--running-mode",
                               "--no-ack",
                               "--fail-status",
                               "--refuse-packet",
                               "--short-ack",
                               "--broken-ack-tail",
                               "--ack-delay",
                               "--garbage",
                               "--broken-tail",
                               "--drop-link-after",
                               "--scenario",
                               "--seed",
                               "--erase-ms",
                               "--verbose",
                               "--help"}) {
        EXPECT_NE(help.find(std::string("  ") + option), std::string::npos) << option;
    }
}

TEST(SimOptions, BadCommandLinesEndWithStatusTwoAndNoPort) {
    const std::vector<std::vector<std::string>> cases = {
        {"--no-such-option"},
        {"--time-scale", "0"},
        {"--time-scale", "fast"},
        {"--baud"},
        {"--packet-size", "70000"},
        {"--partitions", "0"},
        {"--partitions", "0x1", "--app-partition", "1"},
        {"--fail-status", "0x71"},
        {"--name", "a/b"},
        {"--pace=yes"},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(args.front());
        const ProcessResult run = RunToEnd(args);
        ASSERT_TRUE(run.started) << run.error;
        EXPECT_EQ(run.exitCode, 2) << run.err;
        EXPECT_EQ(run.out, "");
    }
}
