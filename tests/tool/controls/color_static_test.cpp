// ctest-labels: gui
#include "controls/color_static.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <memory>

#include "tool/controls/controls_gui_support.h"

namespace {

class ColorStaticTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = ShowActiveWindow(240, 120);
        ASSERT_NE(window, nullptr);
        label = new CColorStatic(window.get());
        label->setGeometry(10, 10, 200, 90);
        label->show();
    }
    void TearDown() override {
        window.reset();
        ProcessPendingEvents();
    }
    QImage Shot() const { return label->grab().toImage().convertToFormat(QImage::Format_RGB32); }

    std::unique_ptr<QWidget> window;
    CColorStatic* label = nullptr;
};

// Counts pixels of the image that differ from the background colour.
int InkPixels(const QImage& image, QRgb background, const QRect& within) {
    int ink = 0;
    for (int y = within.top(); y <= within.bottom(); ++y)
        for (int x = within.left(); x <= within.right(); ++x)
            if (image.pixel(x, y) != background) ++ink;
    return ink;
}

TEST_F(ColorStaticTest, StaticStyleIsWhiteTextOnDarkSlate) {
    const QString text = QStringLiteral("目标状态\n有人");
    label->SetStaticStyle(nullptr, &text, 12);
    EXPECT_EQ(label->BkColour(), kStaticStyleBackground);
    EXPECT_EQ(label->TextColour(), kStaticStyleText);
    EXPECT_EQ(label->LineSpacing(), 0);
    EXPECT_EQ(label->text(), text);
    QImage shot = Shot();
    const QRgb slate = qRgb(0x2A, 0x32, 0x3C);
    EXPECT_EQ(shot.pixel(0, 0), slate);
    EXPECT_GT(InkPixels(shot, slate, shot.rect()), 20) << "the text is drawn";
}

TEST_F(ColorStaticTest, SpreadLinesLandInThirdsOfTheArea) {
    label->SetBkColour(RGB(0, 0, 0));
    label->SetTextColour(RGB(255, 255, 255));
    label->SetStringFormat(Qt::AlignLeft | Qt::AlignVCenter);
    label->SetLineSpacing(0);
    label->SetWindowText(QStringLiteral("A\nB\nC"));
    QImage shot = Shot();
    // Three lines spread evenly: each third of the height holds ink, the top rows none.
    const int third = shot.height() / 3;
    for (int i = 0; i < 3; ++i)
        EXPECT_GT(InkPixels(shot, qRgb(0, 0, 0), QRect(0, i * third, 40, third)), 0) << i;
    EXPECT_EQ(InkPixels(shot, qRgb(0, 0, 0), QRect(0, 0, 40, 4)), 0);
}

TEST_F(ColorStaticTest, SegmentsReplaceTheTextUntilTheTextIsSetAgain) {
    label->SetBkColour(RGB(0, 0, 0));
    label->SetWindowText(QStringLiteral("plain"));
    label->AddSegment(TextSegment{QStringLiteral("1.25"), QStringLiteral("黑体"), 20, 700,
                                  RGB(255, 0, 0), Qt::AlignHCenter, 0});
    label->AddSegment(TextSegment{QStringLiteral("mm"), QStringLiteral("黑体"), 14, 400,
                                  RGB(0, 255, 0), Qt::AlignHCenter, 0});
    QImage shot = Shot();
    int red = 0;
    int green = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) {
            QColor c(shot.pixel(x, y));
            if (c.red() > 200 && c.green() < 60) ++red;
            if (c.green() > 150 && c.red() < 100) ++green;
        }
    EXPECT_GT(red, 10);
    EXPECT_GT(green, 3);
    label->SetWindowText(QStringLiteral("plain"));
    EXPECT_TRUE(label->Segments().empty());
}

// An owner that draws the whole control itself.
struct FillingCallback : IStaticDrawCallback {
    int before = 0;
    int after = 0;
    int OnBeforeDraw(QPainter* painter, const QRect& rect, uintptr_t context) override {
        ++before;
        painter->fillRect(rect, QColor(0, 0, 255));
        return context == 1 ? 1 : 0;
    }
    int OnAfterDraw(QPainter*, const QRect&, uintptr_t) override { return ++after; }
};

TEST_F(ColorStaticTest, DrawCallbackMayReplaceTheDefaultDrawing) {
    FillingCallback callback;
    label->SetBkColour(RGB(0, 255, 0));
    label->SetDrawCallback(&callback, 1);
    EXPECT_EQ(Shot().pixel(5, 5), qRgb(0, 0, 255));
    label->SetDrawCallback(&callback, 0);
    EXPECT_EQ(Shot().pixel(5, 5), qRgb(0, 255, 0));
    EXPECT_EQ(callback.before, 2);
    EXPECT_EQ(callback.after, 2);
    label->SetDrawCallback(nullptr, 0);
}

TEST_F(ColorStaticTest, OnlyAnOpaqueDefaultBackgroundSparesPaintingWhatLiesUnderTheLabel) {
    FillingCallback callback;
    label->SetBkColour(RGB(10, 20, 30));
    EXPECT_TRUE(label->testAttribute(Qt::WA_OpaquePaintEvent));
    label->SetTransparentBackground();
    EXPECT_FALSE(label->testAttribute(Qt::WA_OpaquePaintEvent));
    label->SetBkColour(RGB(10, 20, 30));
    label->SetDrawCallback(&callback, 1);
    EXPECT_FALSE(label->testAttribute(Qt::WA_OpaquePaintEvent)) << "the owner may leave gaps";
    label->SetDrawCallback(nullptr, 0);
    EXPECT_TRUE(label->testAttribute(Qt::WA_OpaquePaintEvent));
    EXPECT_EQ(Shot().pixel(5, 5), qRgb(10, 20, 30));
}

TEST_F(ColorStaticTest, BackgroundImageIsStretchedOverTheControl) {
    QImage image(2, 1, QImage::Format_RGB32);
    image.setPixel(0, 0, qRgb(255, 0, 0));
    image.setPixel(1, 0, qRgb(0, 0, 255));
    label->SetBackgroundImage(&image);
    QImage shot = Shot();
    EXPECT_GT(QColor(shot.pixel(5, 45)).red(), 200);
    EXPECT_GT(QColor(shot.pixel(195, 45)).blue(), 200);
}

}  // namespace
