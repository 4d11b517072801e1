// ctest-labels: unit
#include "controls/balloon_model.h"

#include <gtest/gtest.h>

namespace {

// Steps the expiry timer `ms` milliseconds; returns the last non-None action.
BalloonAction RunDisplay(BalloonModel& model, int ms) {
    BalloonAction last = BalloonAction::None;
    for (int t = 0; t < ms; t += kBalloonTickMs) {
        BalloonAction a = model.TickDisplay(true, false);
        if (a != BalloonAction::None) last = a;
    }
    return last;
}

TEST(BalloonModel, SameTitleAndTextKeepsOneMessageAndRestartsItsTime) {
    BalloonModel model;
    model.Show(u"Input Error", u"Invalid character 'a'", 3, -1);
    RunDisplay(model, 1000);
    EXPECT_EQ(model.Messages()[0].remainingMs, 2000);
    model.Show(u"Input Error", u"Invalid character 'a'", 2, -1);
    ASSERT_EQ(model.Messages().size(), 1u);
    EXPECT_EQ(model.Messages()[0].remainingMs, kBalloonDisplayMs);
    EXPECT_EQ(model.Messages()[0].icon, 2);
}

TEST(BalloonModel, SameIdReplacesTitleAndText) {
    BalloonModel model;
    model.Show(u"Input Error", u"Invalid character 'a'", 3, 1);
    model.Show(u"Other", u"Another text", 1, 7);
    model.Show(u"Input Error", u"Invalid character 'b'", 3, 1);
    ASSERT_EQ(model.Messages().size(), 2u);
    EXPECT_EQ(model.Messages()[0].id, 1);  // moved to the front
    EXPECT_EQ(model.Messages()[0].text, u"Invalid character 'b'");
    EXPECT_EQ(model.Messages()[1].id, 7);
}

TEST(BalloonModel, MessagesExpireThenTheBalloonFadesIn15Steps) {
    BalloonModel model;
    model.Show(u"A", u"first", 1, -1);
    RunDisplay(model, 1000);
    model.Show(u"B", u"second", 1, -1);  // newest on top
    ASSERT_EQ(model.LiveMessages().size(), 2u);
    EXPECT_EQ(model.LiveMessages()[0]->title, u"B");
    // The first expires 3 s after it was shown, the second 1 s later.
    EXPECT_EQ(RunDisplay(model, 2000), BalloonAction::Rerender);
    ASSERT_EQ(model.LiveMessages().size(), 1u);
    EXPECT_EQ(model.LiveMessages()[0]->title, u"B");
    EXPECT_EQ(RunDisplay(model, 1000), BalloonAction::StartFade);
    EXPECT_EQ(model.Phase(), BalloonPhase::Fading);
    int steps = 0;
    BalloonAction a;
    while ((a = model.TickFade()) == BalloonAction::SetOpacity) {
        ++steps;
        EXPECT_EQ(model.Alpha(), kBalloonOpaque - steps * kBalloonFadeStep);
    }
    EXPECT_EQ(a, BalloonAction::Hide);
    EXPECT_EQ(steps + 1, 15);
    EXPECT_TRUE(model.Messages().empty());
    EXPECT_EQ(model.Phase(), BalloonPhase::Hidden);
}

TEST(BalloonModel, HoverStopsExpiryAndLeavingGivesTwoSeconds) {
    BalloonModel model;
    model.Show(u"A", u"text", 1, -1);
    RunDisplay(model, 2900);
    EXPECT_TRUE(model.MouseEnter());
    EXPECT_FALSE(model.MouseEnter());
    EXPECT_EQ(model.TickDisplay(true, false), BalloonAction::None);  // timers stopped
    EXPECT_EQ(model.Messages()[0].remainingMs, 100);
    EXPECT_TRUE(model.MouseLeave());
    EXPECT_EQ(model.Messages()[0].remainingMs, kBalloonLeaveMs);
    EXPECT_EQ(RunDisplay(model, 1900), BalloonAction::None);
    EXPECT_EQ(model.TickDisplay(true, false), BalloonAction::StartFade);
}

TEST(BalloonModel, HoverDuringFadeMakesItOpaqueAgain) {
    BalloonModel model;
    model.Show(u"A", u"text", 1, -1);
    RunDisplay(model, kBalloonDisplayMs);
    model.TickFade();
    EXPECT_LT(model.Alpha(), kBalloonOpaque);
    EXPECT_TRUE(model.MouseEnter());
    EXPECT_EQ(model.Alpha(), kBalloonOpaque);
    EXPECT_EQ(model.TickFade(), BalloonAction::None);
}

TEST(BalloonModel, HiddenOwnerOrMovedOwnerHides) {
    BalloonModel model;
    model.Show(u"A", u"text", 1, -1);
    EXPECT_EQ(model.TickDisplay(false, false), BalloonAction::Hide);
    EXPECT_TRUE(model.Messages().empty());
    model.Show(u"A", u"text", 1, -1);
    EXPECT_EQ(model.TickDisplay(true, true), BalloonAction::Hide);
}

TEST(BalloonModel, LayoutBelowAnchorWithIcon) {
    std::vector<BalloonItemMetrics> items{{true, {50, 14}, {120, 12}}};
    BalloonLayout l = LayOutBalloon(items, RECT{100, 100, 104, 120}, SIZE{1920, 1080});
    ASSERT_EQ(l.items.size(), 1u);
    EXPECT_EQ(l.items[0].icon.left, 14);
    EXPECT_EQ(l.items[0].icon.top, 30);
    EXPECT_EQ(l.items[0].icon.bottom, 60);
    EXPECT_EQ(l.items[0].title.left, 54);
    EXPECT_EQ(l.items[0].title.top, 28);
    EXPECT_EQ(l.items[0].title.bottom, 44);
    EXPECT_EQ(l.items[0].text.top, 46);
    EXPECT_EQ(l.items[0].text.bottom, 60);
    EXPECT_EQ(l.items[0].text.right, 54 + 122);
    EXPECT_EQ(l.width, 216);  // 176 + 40, a multiple of 4
    EXPECT_EQ(l.height, 68);
    EXPECT_EQ(l.flags, 0);
    EXPECT_EQ(l.tail[0].x, 20);
    EXPECT_EQ(l.tail[0].y, 0);
    EXPECT_EQ(l.body.top, 20);
    EXPECT_EQ(l.closeButton.top, 32);
    EXPECT_EQ(l.position.x, 80);
    EXPECT_EQ(l.position.y, 122);
}

TEST(BalloonModel, LayoutNearTheScreenEdgesCentresAndGoesAbove) {
    std::vector<BalloonItemMetrics> items{{false, {50, 14}, {120, 12}}};
    BalloonLayout l = LayOutBalloon(items, RECT{1900, 1050, 1904, 1070}, SIZE{1920, 1080});
    EXPECT_EQ(l.flags, kBalloonCentred | kBalloonAbove);
    EXPECT_EQ(l.items[0].title.left, 24);
    EXPECT_EQ(l.items[0].title.top, 8);  // drawn 20 pixels higher
    EXPECT_EQ(l.tail[0].x, l.width / 2);
    EXPECT_EQ(l.tail[0].y, l.height);
    EXPECT_EQ(l.body.bottom, l.height - 20);
    EXPECT_EQ(l.closeButton.top, 12);
    EXPECT_EQ(l.position.x, 1900 - l.width / 2);
    EXPECT_EQ(l.position.y, 1050 - l.height - 2);
}

}  // namespace
