// Helpers of the controls' gui tests: a shown, active top-level window to put controls in, the
// Chinese face mapped as the program maps it, and where screenshots go. Header-only (Qt).
#pragma once

#include <gtest/gtest.h>
#include <QTest>
#include <QWidget>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "controls/balloon_wnd.h"
#include "platform/dialog_items.h"
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

// A fixture with two edits of type Edit in a shown, active window, the first one focused.
template <class Edit>
class TwoEditsTest : public ::testing::Test {
protected:
    static constexpr int kEditId = 1201;
    static constexpr int kOtherId = 1202;

    void SetUp() override {
        window = ShowActiveWindow();
        ASSERT_NE(window, nullptr);
        edit = new Edit(window.get());
        other = new Edit(window.get());
        SetControlId(edit, kEditId);
        SetControlId(other, kOtherId);
        edit->setGeometry(10, 10, 200, 24);
        other->setGeometry(10, 50, 200, 24);
        edit->show();
        other->show();
        FocusEdit();
    }
    void TearDown() override {
        window.reset();
        ProcessPendingEvents();
    }

    void FocusEdit() {
        edit->setFocus();
        ASSERT_TRUE(ProcessEventsUntil([&] { return edit->hasFocus(); }));
    }

    // The edit's live balloon message with that id (any id when -2), or null.
    const BalloonMessage* Message(int id = -2) const {
        if (!edit->Balloon()) return nullptr;
        for (const BalloonMessage* m : edit->Balloon()->Model().LiveMessages())
            if (id == -2 || m->id == id) return m;
        return nullptr;
    }

    std::unique_ptr<QWidget> window;
    Edit* edit = nullptr;
    Edit* other = nullptr;
};
