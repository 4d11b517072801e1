// Qt for gui tests: one QApplication for the whole test program, and waiting for a condition
// while the window thread's events are processed. Header-only: only gui tests include Qt.
#pragma once

#include <gtest/gtest.h>
#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

// Qt warns (fatally in gui tests) when XDG_RUNTIME_DIR is missing, as it is under CTest in a
// container: a private one is made for the test program and removed at its end.
struct TestRuntimeDir {
    std::string path;
    TestRuntimeDir() {
        const char* given = getenv("XDG_RUNTIME_DIR");
        if (given != nullptr && *given != '\0') return;
        char name[] = "/tmp/orbo-gui-test-XXXXXX";
        if (mkdtemp(name) == nullptr) return;
        path = name;
        setenv("XDG_RUNTIME_DIR", name, 1);
    }
    ~TestRuntimeDir() {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove_all(path, ignored);
    }
};

// The test program's application, created on first use on the calling thread (the window thread
// from then on). Kept for the whole run: destroying it among static destructors is not safe.
inline QApplication& TestApplication() {
    static TestRuntimeDir runtimeDir;
    static int argc = 1;
    static char name[] = "orbo_gui_test";
    static char* argv[] = {name, nullptr};
    static QApplication* application = new QApplication(argc, argv);
    return *application;
}

// Processes the window thread's events until the condition holds (true) or the deadline passes
// (false).
inline bool ProcessEventsUntil(const std::function<bool()>& condition,
                               std::chrono::milliseconds deadline = std::chrono::seconds(10)) {
    TestApplication();
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Delivers everything already queued for the window thread (posted events, deferred deletes).
inline void ProcessPendingEvents() {
    TestApplication();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

// A fixture base whose members may be widgets: the application exists before they are made, and
// what they left queued is delivered after the test.
class GuiTest : public ::testing::Test {
protected:
    GuiTest() { TestApplication(); }
    void TearDown() override { ProcessPendingEvents(); }
};
