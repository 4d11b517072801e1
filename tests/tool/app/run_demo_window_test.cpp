// ctest-labels: gui sim
// scripts/run-demo (what "make run" runs) with a display: the simulator on a virtual port and
// the desktop program; closing the window stops the simulator and removes the temporary folder.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <string>

#include "support/child_process.h"
#include "support/temp_dir.h"
#include "support/virtual_x_server.h"
#include "support/wait_until.h"
#include "support/whole_file.h"

namespace {

constexpr auto kWindowDeadline = std::chrono::seconds(60);
constexpr auto kExitDeadline = std::chrono::seconds(30);

std::string ScriptPath() {
    return (std::filesystem::path(ORBO_SOURCE_DIR) / "scripts" / "run-demo").string();
}

TEST(RunDemoWindow, OpensTheProgramBesideTheSimulatorAndStopsItWhenTheWindowCloses) {
    VirtualXServer server;
    ASSERT_FALSE(server.Name().empty()) << "Xvfb did not start (xvfb in scripts/install-deps)";
    Display* display = server.Connection();
    ASSERT_NE(display, nullptr);

    TempDir scratch;
    const std::filesystem::path tmp = scratch.Path() / "tmp";
    const std::filesystem::path session = scratch.Path() / "session";
    std::filesystem::create_directories(tmp);
    std::filesystem::create_directory(session);
    std::filesystem::permissions(session, std::filesystem::perms::owner_all);
    const std::string log = scratch.File("run-demo.log");

    SpawnOptions options;
    options.in = ChildStream::Null();
    options.out = ChildStream::AppendTo(log);
    options.err = ChildStream::AppendTo(log);
    options.environment = {
        {"ORBO_BIN_DIR", std::filesystem::path(BuiltProgramPath("zorvan-sim")).parent_path()},
        {"TMPDIR", tmp.string()},
        {"DISPLAY", server.Name()},
        {"QT_QPA_PLATFORM", "xcb"},
        {"XDG_RUNTIME_DIR", session.string()}};
    options.unset = {"WAYLAND_DISPLAY", "ORBO_DEBUG", "DBUS_SESSION_BUS_ADDRESS",
                     "QT_FATAL_WARNINGS"};
    ChildProcess demo;
    ASSERT_TRUE(demo.Start({ScriptPath(), "--time-scale", "10"}, options)) << demo.Error();

    Window window = 0;
    ASSERT_TRUE(WaitUntil(
        [&] {
            if (demo.HasExited()) return true;
            window = FindShownWindow(display, DefaultRootWindow(display), kToolWindowTitle);
            return window != 0;
        },
        kWindowDeadline));
    ASSERT_NE(window, 0u) << ReadWholeFile(log);

    // The simulator's port is a link in the session's runtime folder, where the program lists
    // its ports.
    std::smatch match;
    const std::string said = ReadWholeFile(log);
    const std::regex portLine("simulated sensor on (" + session.string() +
                              "/orbo-serial/zorvan-sim-([0-9]+));");
    ASSERT_TRUE(std::regex_search(said, match, portLine)) << said;
    const std::string port = match[1].str();
    const pid_t sim = std::stoi(match[2].str());
    EXPECT_TRUE(std::filesystem::is_symlink(port));

    RequestClose(display, window);
    int status = -1;
    ASSERT_TRUE(WaitUntil([&] { return demo.HasExited(&status); }, kExitDeadline))
        << ReadWholeFile(log);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << ReadWholeFile(log);
    EXPECT_NE(kill(sim, 0), 0) << "the simulator was left running";
    EXPECT_FALSE(std::filesystem::exists(port));
    EXPECT_TRUE(std::filesystem::is_empty(tmp));
}

}  // namespace
