// ctest-labels: gui
// The program on a real X server (Xvfb, Qt's xcb platform plugin): it starts, shows its main
// window, and ends cleanly on a close request from the window system. This loads what offscreen
// tests never do (the xcb plugin and its libraries, the fonts through fontconfig).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "support/child_process.h"
#include "support/temp_dir.h"
#include "support/virtual_x_server.h"
#include "support/wait_until.h"
#include "support/whole_file.h"

namespace {

constexpr auto kWindowDeadline = std::chrono::seconds(60);
constexpr auto kExitDeadline = std::chrono::seconds(30);

TEST(ToolWindowSmoke, StartsShowsItsWindowAndClosesOnACloseRequest) {
    VirtualXServer server;
    ASSERT_FALSE(server.Name().empty()) << "Xvfb did not start (xvfb in scripts/install-deps)";
    ASSERT_NE(server.Connection(), nullptr) << "cannot connect to " << server.Name();

    TempDir home;
    std::filesystem::create_directory(home.Path() / "run");
    std::filesystem::permissions(home.Path() / "run", std::filesystem::perms::owner_all);
    SpawnOptions options;
    options.in = ChildStream::Null();
    options.out = ChildStream::AppendTo(home.File("tool.log"));
    options.err = ChildStream::AppendTo(home.File("tool.log"));
    options.environment = {{"DISPLAY", server.Name()},
                           {"QT_QPA_PLATFORM", "xcb"},
                           {"QT_FATAL_WARNINGS", "1"},
                           {"ORBO_HOME", home.Path().string()},
                           {"XDG_RUNTIME_DIR", home.File("run")}};
    options.unset = {"WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS"};
    ChildProcess tool;
    ASSERT_TRUE(tool.Start({BuiltProgramPath("Orbo_Zorvan_Tool")}, options)) << tool.Error();

    Display* display = server.Connection();
    Window window = 0;
    const bool shown = WaitUntil(
        [&] {
            if (tool.HasExited()) return true;
            window = FindShownWindow(display, DefaultRootWindow(display), kToolWindowTitle);
            return window != 0;
        },
        kWindowDeadline);
    ASSERT_TRUE(shown && window != 0) << "no window shown; log:\n"
                                      << ReadWholeFile(home.File("tool.log"));

    RequestClose(display, window);
    int status = -1;
    ASSERT_TRUE(WaitUntil([&] { return tool.HasExited(&status); }, kExitDeadline))
        << "the program did not end on the close request";
    EXPECT_TRUE(WIFEXITED(status)) << "status " << status << "; log:\n"
                                   << ReadWholeFile(home.File("tool.log"));
    EXPECT_EQ(WEXITSTATUS(status), 0) << ReadWholeFile(home.File("tool.log"));
    // The run ended through its way out: the settings file was written.
    EXPECT_TRUE(std::filesystem::exists(home.File("appConfig.xml")));
}

}  // namespace
