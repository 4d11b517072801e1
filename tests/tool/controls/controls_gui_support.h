// Helpers of the controls' gui tests: a shown, active top-level window to put controls in, the
// Chinese face mapped as the program maps it, and where screenshots go. Header-only (Qt).
#pragma once

#include <QTest>
#include <QWidget>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "platform/font_substitution.h"
#include "support/qt_test_app.h"

// A top-level window of the given size, shown and active (so focus changes send their events).
inline std::unique_ptr<QWidget> ShowActiveWindow(int width = 400, int height = 200) {
    TestApplication();
    InstallFontSubstitutions();
    auto window = std::make_unique<QWidget>();
    window->resize(width, height);
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window.get())) return nullptr;
    return window;
}

// build/screenshots/controls (beside build/bin), created on demand.
inline std::filesystem::path ScreenshotFolder() {
    const char* bin = std::getenv("ORBO_TEST_BIN_DIR");
    std::filesystem::path folder = bin ? std::filesystem::path(bin).parent_path() / "screenshots"
                                       : std::filesystem::path("screenshots");
    folder /= "controls";
    std::filesystem::create_directories(folder);
    return folder;
}
