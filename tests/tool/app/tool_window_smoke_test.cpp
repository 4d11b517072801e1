// ctest-labels: gui
// The program on a real X server (Xvfb, Qt's xcb platform plugin): it starts, shows its main
// window, and ends cleanly on a close request from the window system. This loads what offscreen
// tests never do (the xcb plugin and its libraries, the fonts through fontconfig).
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "support/child_process.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"

namespace {

constexpr int kServerStartMs = 20000;
constexpr auto kWindowDeadline = std::chrono::seconds(60);
constexpr auto kExitDeadline = std::chrono::seconds(30);
constexpr const char* kWindowTitle = "Orbo_Zorvan_Tool";

// An X server of our own: Xvfb on the first free display, reported through -displayfd.
class VirtualXServer {
public:
    VirtualXServer() {
        int fds[2];
        if (pipe(fds) != 0) return;
        SpawnOptions options;
        options.out = ChildStream::Descriptor(fds[1]);
        options.err = ChildStream::Null();
        m_server.Start({"Xvfb", "-displayfd", "1", "-nolisten", "tcp", "-screen", "0",
                        "1280x800x24"},
                       options);
        close(fds[1]);
        std::string number;
        pollfd wait{fds[0], POLLIN, 0};
        char c = 0;
        while (poll(&wait, 1, kServerStartMs) == 1 && read(fds[0], &c, 1) == 1 && c != '\n') {
            number.push_back(c);
        }
        close(fds[0]);
        if (!number.empty()) m_display = ":" + number;
    }
    ~VirtualXServer() {
        if (m_connection != nullptr) XCloseDisplay(m_connection);
    }
    const std::string& Name() const { return m_display; }
    Display* Connection() {
        if (m_connection == nullptr && !m_display.empty()) {
            m_connection = XOpenDisplay(m_display.c_str());
        }
        return m_connection;
    }

private:
    ChildProcess m_server;
    std::string m_display;
    Display* m_connection = nullptr;
};

// A mapped window whose title begins with the program's name, searched through the tree.
Window FindShownWindow(Display* display, Window parent) {
    Window root = 0;
    Window parentOfParent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, parent, &root, &parentOfParent, &children, &count) == 0) return 0;
    Window found = 0;
    for (unsigned int i = 0; i < count && found == 0; ++i) {
        char* name = nullptr;
        if (XFetchName(display, children[i], &name) != 0 && name != nullptr) {
            XWindowAttributes attributes{};
            if (std::string(name).rfind(kWindowTitle, 0) == 0 &&
                XGetWindowAttributes(display, children[i], &attributes) != 0 &&
                attributes.map_state == IsViewable && attributes.width > 0) {
                found = children[i];
            }
            XFree(name);
        }
        if (found == 0) found = FindShownWindow(display, children[i]);
    }
    if (children != nullptr) XFree(children);
    return found;
}

// What the close button does: WM_DELETE_WINDOW through WM_PROTOCOLS.
void RequestClose(Display* display, Window window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XFlush(display);
}

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
            window = FindShownWindow(display, DefaultRootWindow(display));
            return window != 0;
        },
        kWindowDeadline);
    ASSERT_TRUE(shown && window != 0) << "no window shown; log:\n"
                                      << ReadTextFile(home.File("tool.log"));

    RequestClose(display, window);
    int status = -1;
    ASSERT_TRUE(WaitUntil([&] { return tool.HasExited(&status); }, kExitDeadline))
        << "the program did not end on the close request";
    EXPECT_TRUE(WIFEXITED(status)) << "status " << status << "; log:\n"
                                   << ReadTextFile(home.File("tool.log"));
    EXPECT_EQ(WEXITSTATUS(status), 0) << ReadTextFile(home.File("tool.log"));
    // The run ended through its way out: the settings file was written.
    EXPECT_TRUE(std::filesystem::exists(home.File("appConfig.xml")));
}

}  // namespace
