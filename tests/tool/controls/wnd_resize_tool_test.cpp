// ctest-labels: gui
#include "controls/wnd_resize_tool.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QLabel>

#include <memory>

#include "tool/controls/controls_gui_support.h"

namespace {

constexpr int kFontPixels = 16;

// A 200 x 100 window with a label, and a button inside a frame.
class WndResizeToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = ShowActiveWindow(200, 100);
        ASSERT_NE(window, nullptr);
        label = Child(window.get(), QRect(10, 20, 50, 15));
        frame = Child(window.get(), QRect(100, 40, 80, 50));
        inner = Child(frame, QRect(5, 6, 30, 20));
    }
    void TearDown() override {
        window.reset();
        ProcessPendingEvents();
    }
    static QLabel* Child(QWidget* parent, const QRect& rect) {
        auto* child = new QLabel(QStringLiteral("Text"), parent);
        QFont font = child->font();
        font.setPixelSize(kFontPixels);
        child->setFont(font);
        child->setGeometry(rect);
        child->show();
        return child;
    }
    static int Pixels(QWidget* w) { return QFontInfo(w->font()).pixelSize(); }

    std::unique_ptr<QWidget> window;
    QLabel* label = nullptr;
    QLabel* frame = nullptr;
    QLabel* inner = nullptr;
};

TEST_F(WndResizeToolTest, DoublingTheWindowDoublesPositionsAndFonts) {
    CWndResizeTool tool;
    tool.AttachWindow(window.get());
    EXPECT_EQ(tool.EntryCount(), 3);
    window->resize(400, 200);
    double sx = 0;
    double sy = 0;
    ASSERT_EQ(tool.ResizeTo(window->width(), window->height(), &sx, &sy), 1);
    EXPECT_DOUBLE_EQ(sx, 2.0);
    EXPECT_DOUBLE_EQ(sy, 2.0);
    EXPECT_EQ(label->geometry(), QRect(20, 40, 100, 30));
    EXPECT_EQ(frame->geometry(), QRect(200, 80, 160, 100));
    EXPECT_EQ(inner->geometry(), QRect(10, 12, 60, 40));
    EXPECT_EQ(Pixels(label), 2 * kFontPixels);
    EXPECT_EQ(Pixels(inner), 2 * kFontPixels);
    // Back to the attached size: everything where it was.
    ASSERT_EQ(tool.ResizeTo(200, 100, &sx, &sy), 1);
    EXPECT_EQ(label->geometry(), QRect(10, 20, 50, 15));
    EXPECT_EQ(Pixels(label), kFontPixels);
}

TEST_F(WndResizeToolTest, WidthOnlyStretchesAndKeepsFonts) {
    CWndResizeTool tool;
    tool.AttachWindow(window.get());
    double sx = 0;
    double sy = 0;
    ASSERT_EQ(tool.ResizeTo(400, 100, &sx, &sy), 1);
    EXPECT_EQ(label->geometry(), QRect(20, 20, 100, 15));
    EXPECT_EQ(Pixels(label), kFontPixels);
    ASSERT_EQ(tool.ResizeTo(100, 50, &sx, &sy), 1);
    EXPECT_EQ(Pixels(label), kFontPixels / 2);
}

TEST_F(WndResizeToolTest, ZeroSizedWindowIsNotScaledUntilAttachedWithARealSize) {
    QWidget empty;
    auto* child = Child(&empty, QRect(1, 2, 3, 4));
    empty.resize(0, 0);
    CWndResizeTool tool;
    double sx = 0;
    double sy = 0;
    EXPECT_EQ(tool.ResizeTo(100, 100, &sx, &sy), 0) << "not attached";
    EXPECT_EQ(sx, 1.0);
    tool.AttachWindow(&empty);
    EXPECT_EQ(tool.ResizeTo(300, 200, &sx, &sy), 0);
    EXPECT_EQ(sx, 1.0);
    EXPECT_EQ(sy, 1.0);
    EXPECT_EQ(child->geometry(), QRect(1, 2, 3, 4));
    EXPECT_EQ(Pixels(child), kFontPixels);
}

TEST_F(WndResizeToolTest, TinySizesKeepOnePixelFontsAndDestroyedControlsAreSkipped) {
    CWndResizeTool tool;
    tool.AttachWindow(window.get());
    delete frame;  // and its child with it
    double sx = 0;
    double sy = 0;
    ASSERT_EQ(tool.ResizeTo(2, 1, &sx, &sy), 1);
    EXPECT_EQ(Pixels(label), 1);
}

// Leaves the frame alone and keeps every font.
struct FrameStays : IResizeCallback {
    QWidget* frame = nullptr;
    int CheckMove(QWidget* control, uintptr_t) override { return control == frame ? 0 : 1; }
    int CheckFont(QWidget*, uintptr_t) override { return 0; }
};

TEST_F(WndResizeToolTest, CallbackMayKeepControlsAndFonts) {
    CWndResizeTool tool;
    FrameStays callback;
    callback.frame = frame;
    tool.SetCallback(&callback, 7);
    tool.AttachWindow(window.get());
    double sx = 0;
    double sy = 0;
    ASSERT_EQ(tool.ResizeTo(400, 200, &sx, &sy), 1);
    EXPECT_EQ(frame->geometry(), QRect(100, 40, 80, 50));
    EXPECT_EQ(label->geometry(), QRect(20, 40, 100, 30));
    EXPECT_EQ(Pixels(label), kFontPixels);
}

}  // namespace
