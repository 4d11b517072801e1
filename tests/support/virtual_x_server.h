// An X server of a test's own (Xvfb) and the little the tests ask of it through Xlib: find a
// shown window by its title, and send it a close request as a window manager's close button
// does. Header-only: only the tests that link X11 include it.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <string>

#include "support/child_process.h"
#include "support/first_line.h"

// The title the program's main window begins with.
constexpr const char* kToolWindowTitle = "Orbo_Zorvan_Tool";

constexpr int kXServerStartMs = 20000;

// An X server of our own: Xvfb on the first free display, reported through -displayfd.
class VirtualXServer {
public:
    VirtualXServer() {
        const std::string number = StartAndReadFirstLine(
            m_server,
            {"Xvfb", "-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1280x800x24"},
            kXServerStartMs);
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

// A mapped window whose title begins with `titlePrefix`, searched through the tree; 0 when none.
inline Window FindShownWindow(Display* display, Window parent, const char* titlePrefix) {
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
            if (std::string(name).rfind(titlePrefix, 0) == 0 &&
                XGetWindowAttributes(display, children[i], &attributes) != 0 &&
                attributes.map_state == IsViewable && attributes.width > 0) {
                found = children[i];
            }
            XFree(name);
        }
        if (found == 0) found = FindShownWindow(display, children[i], titlePrefix);
    }
    if (children != nullptr) XFree(children);
    return found;
}

// What the close button does: WM_DELETE_WINDOW through WM_PROTOCOLS.
inline void RequestClose(Display* display, Window window) {
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
