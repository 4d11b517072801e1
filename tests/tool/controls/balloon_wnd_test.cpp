// ctest-labels: gui
#include "controls/balloon_wnd.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QPainter>

#include <memory>

#include "tool/controls/controls_gui_support.h"

namespace {

class BalloonWndTest : public ::testing::Test {
protected:
    void SetUp() override {
        owner = ShowActiveWindow(300, 120);
        ASSERT_NE(owner, nullptr);
        balloon = new CBalloonWnd(owner.get());
        balloon->CreateBalloon(owner.get());
        const QPoint at = owner->mapToGlobal(QPoint(40, 20));
        anchor = RECT{at.x(), at.y(), at.x() + 4, at.y() + 20};
    }
    void TearDown() override {
        owner.reset();
        ProcessPendingEvents();
    }

    // Opacity of the rendered body (a pixel inside the bubble, left of the messages).
    int BodyAlpha() const {
        QImage shot = balloon->grab().toImage().convertToFormat(QImage::Format_ARGB32);
        return qAlpha(shot.pixel(8, shot.height() / 2));
    }

    std::unique_ptr<QWidget> owner;
    CBalloonWnd* balloon = nullptr;
    RECT anchor{};
};

TEST_F(BalloonWndTest, ShowBeforeCreateDoesNothing) {
    CBalloonWnd loose;
    EXPECT_EQ(loose.Show(u"t", u"x", 1, owner.get(), anchor, -1), 0);
    EXPECT_FALSE(loose.isVisible());
}

TEST_F(BalloonWndTest, MessageAppearsThenFadesOutAndHides) {
    ASSERT_EQ(balloon->Show(u"Data Invalid", u"MinValue Must >= 10", 3, owner.get(), anchor, 13),
              1);
    EXPECT_TRUE(balloon->isVisible());
    EXPECT_EQ(balloon->Alpha(), kBalloonOpaque);
    EXPECT_EQ(BodyAlpha(), 255);
    EXPECT_TRUE(balloon->IsDisplayTimerActive());
    // Below the anchor, the tail at its left: the window starts 20 pixels left of the anchor.
    EXPECT_EQ(balloon->geometry().left(), anchor.left - 20);
    EXPECT_EQ(balloon->geometry().top(), anchor.bottom + 2);

    for (int t = 0; t < kBalloonDisplayMs - kBalloonTickMs; t += kBalloonTickMs)
        balloon->StepDisplayTimer();
    EXPECT_TRUE(balloon->IsDisplayTimerActive());
    balloon->StepDisplayTimer();  // the message expires: the fade starts
    EXPECT_FALSE(balloon->IsDisplayTimerActive());
    EXPECT_TRUE(balloon->IsFadeTimerActive());
    int previousAlpha = kBalloonOpaque;
    int steps = 0;
    while (balloon->isVisible()) {
        balloon->StepFadeTimer();
        ++steps;
        if (!balloon->isVisible()) break;
        EXPECT_LT(balloon->Alpha(), previousAlpha);
        previousAlpha = balloon->Alpha();
        const int drawn = BodyAlpha();
        EXPECT_NEAR(drawn, balloon->Alpha(), 2) << "the fade is drawn";
        ASSERT_LT(steps, 20);
    }
    EXPECT_EQ(steps, 15);
    EXPECT_TRUE(balloon->Model().Messages().empty());
    EXPECT_FALSE(balloon->IsFadeTimerActive());
}

TEST_F(BalloonWndTest, SameIdReplacesTheMessageAndOtherIdsStack) {
    balloon->Show(u"Input Error", u"Invalid character 'a'", 3, owner.get(), anchor, 1);
    const int oneHeight = balloon->height();
    for (int i = 0; i < 10; ++i) balloon->StepDisplayTimer();
    balloon->Show(u"Input Error", u"Invalid character 'b'", 3, owner.get(), anchor, 1);
    auto live = balloon->Model().LiveMessages();
    ASSERT_EQ(live.size(), 1u);
    EXPECT_EQ(live[0]->text, u"Invalid character 'b'");
    EXPECT_EQ(live[0]->remainingMs, kBalloonDisplayMs) << "its time starts again";
    balloon->Show(u"Data Invalid", u"MinValue Suggest >= 15", 2, owner.get(), anchor, 11);
    live = balloon->Model().LiveMessages();
    ASSERT_EQ(live.size(), 2u);
    EXPECT_EQ(live[0]->id, 11) << "newest on top";
    EXPECT_GT(balloon->height(), oneHeight);
}

TEST_F(BalloonWndTest, FadesOutOnItsOwnTimers) {
    balloon->SetDisplayTime(300);
    balloon->Show(u"Note", u"short", 1, owner.get(), anchor, -1);
    EXPECT_TRUE(ProcessEventsUntil([&] { return balloon->IsFadeTimerActive(); }));
    EXPECT_TRUE(ProcessEventsUntil([&] { return !balloon->isVisible(); }));
}

TEST_F(BalloonWndTest, HiddenOwnerHidesTheBalloon) {
    balloon->Show(u"Note", u"text", 1, owner.get(), anchor, -1);
    owner->hide();
    balloon->StepDisplayTimer();
    EXPECT_FALSE(balloon->isVisible());
    EXPECT_TRUE(balloon->Model().Messages().empty());
}

TEST_F(BalloonWndTest, HoverHoldsTheMessageAndTheCloseButtonHides) {
    balloon->Show(u"Note", u"text", 1, owner.get(), anchor, -1);
    for (int i = 0; i < 25; ++i) balloon->StepDisplayTimer();
    const QPointF inside(10, balloon->height() / 2);
    QEnterEvent enter(inside, inside, balloon->mapToGlobal(inside));
    QApplication::sendEvent(balloon, &enter);
    EXPECT_FALSE(balloon->IsDisplayTimerActive()) << "hovering stops expiry";
    EXPECT_EQ(balloon->Model().Messages()[0].remainingMs, 500);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(balloon, &leave);
    EXPECT_TRUE(balloon->IsDisplayTimerActive());
    EXPECT_EQ(balloon->Model().Messages()[0].remainingMs, kBalloonLeaveMs);
    QTest::mouseClick(balloon, Qt::LeftButton, Qt::NoModifier, balloon->CloseButtonRect().center());
    EXPECT_FALSE(balloon->isVisible());
    EXPECT_TRUE(balloon->Model().Messages().empty());
}

TEST_F(BalloonWndTest, RegionLeavesOutOnlyTheKeyColour) {
    QImage image(6, 3, QImage::Format_RGB32);
    image.fill(QColor(255, 0, 0));
    image.setPixel(1, 0, qRgb(255, 255, 255));
    image.setPixel(2, 0, qRgb(0, 0, 0));
    image.setPixel(4, 1, qRgb(255, 16, 16));  // still the key
    image.setPixel(5, 1, qRgb(255, 17, 0));   // not the key
    QRegion region = CBalloonWnd::BitmapToRegion(image);
    EXPECT_EQ(region, QRegion(1, 0, 2, 1).united(QRegion(5, 1, 1, 1)));
    EXPECT_TRUE(CBalloonWnd::BitmapToRegion(QImage()).isEmpty());

    // More runs than one batch holds.
    QImage stripes(4001, 2, QImage::Format_RGB32);
    stripes.fill(QColor(255, 0, 0));
    for (int x = 0; x < stripes.width(); x += 2) stripes.setPixel(x, 1, qRgb(0, 0, 0));
    QRegion many = CBalloonWnd::BitmapToRegion(stripes);
    EXPECT_EQ(many.rectCount(), 2001);
    EXPECT_TRUE(many.contains(QPoint(4000, 1)));
    EXPECT_FALSE(many.contains(QPoint(1, 1)));
}

}  // namespace
