// ctest-labels: unit
// A port the user may not open: the CLI's error line says how to get access. As root (whom file
// modes never stop) the CLI runs as the ordinary user nobody through setpriv.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "cli/cli_test_support.h"
#include "support/pty_pair.h"

namespace {

constexpr const char* kNobodyId = "65534";

TEST(CliPortPermission, APortTheUserMayNotOpenGetsTheAccessAdvice) {
    PtyPair pty;
    ASSERT_TRUE(pty.Valid());
    // Root's terminal is closed to others with 0600; an ordinary owner locks itself out with 0.
    ASSERT_EQ(chmod(pty.SlavePath().c_str(), geteuid() == 0 ? 0600 : 0), 0);
    std::vector<std::string> argv{CliProgramPath(), "--port", pty.SlavePath(), "info"};
    if (geteuid() == 0) {
        argv.insert(argv.begin(), {"setpriv", std::string("--reuid=") + kNobodyId,
                                   std::string("--regid=") + kNobodyId, "--clear-groups"});
    }
    ProcessOptions options;
    // Folders the user may look into without finding anything: no settings, no virtual ports.
    options.environment = {{"ORBO_HOME", "/nonexistent"}, {"XDG_RUNTIME_DIR", "/nonexistent"}};
    const ProcessResult run = RunProcess(argv, options);
    EXPECT_EQ(run.exitCode, 3) << run.err;
    EXPECT_NE(run.err.find("Failed to open device: " + pty.SlavePath() +
                           ": permission denied (add yourself to the dialout group: sudo "
                           "usermod -aG dialout $USER, then log in again;"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("uaccess"), std::string::npos) << run.err;
}

}  // namespace
