#include "draw/gradual_mask.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "core/ptr_array_ctrl.h"
#include "draw/packed_point.h"

namespace {

int SoftRule(double r, double d, double s) {
    return int(std::clamp(std::trunc(((r - d) / r * s + s) * 127.5), 0.0, 255.0));
}

struct MaskImage {
    int w, h;
    std::vector<uint8_t> px;
    MaskImage(int width, int height) : w(width), h(height), px(size_t(width) * height, 0) {}
    uint8_t At(int x, int y) const { return px[size_t(y) * w + x]; }
};

TEST(DrawGradualPointList, SoftDotsFollowTheRule) {
    MaskImage m(20, 20);
    CPtrArrayCtrl points;
    points.AddData(PackedPointToSlot(PackPoint(5, 5)));
    points.AddData(PackedPointToSlot(PackPoint(14, 12)));
    // Two points: radii 4 and 4 + (8 - 4) / 2 = 6, strengths 1 and 0.75.
    DrawGradualPointList(20, 20, &points, 4, 8, 1.0, 0.5, m.px.data());
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 20; ++x) {
            int expected = 0;
            const double d1 = std::hypot(x - 5, y - 5), d2 = std::hypot(x - 14, y - 12);
            if (d1 <= 4) expected = std::max(expected, SoftRule(4, d1, 1.0));
            if (d2 <= 6) expected = std::max(expected, SoftRule(6, d2, 0.75));
            ASSERT_EQ(m.At(x, y), expected) << x << "," << y;
        }
    }
    EXPECT_EQ(m.At(5, 5), 255);
    EXPECT_EQ(m.At(9, 5), 127);  // the rim: 127.5 x strength
}

TEST(DrawGradualPointList, KeepsTheLargerValue) {
    MaskImage m(9, 9);
    m.px.assign(m.px.size(), 200);
    CPtrArrayCtrl points;
    points.AddData(PackedPointToSlot(PackPoint(4, 4)));
    DrawGradualPointList(9, 9, &points, 3, 3, 1.0, 1.0, m.px.data());
    EXPECT_EQ(m.At(4, 4), 255);
    EXPECT_EQ(m.At(7, 4), 200);  // 127 at the rim is below what is there
}

TEST(DrawGradualPointList, DegenerateInputsStayInsideTheMask) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    CPtrArrayCtrl points;
    points.AddData(PackedPointToSlot(PackPoint(3, 3)));
    points.AddData(PackedPointToSlot(PackPoint(-1000000, 2000000000)));
    {
        // Radius 0: only the centre, at full strength.
        MaskImage m(7, 7);
        DrawGradualPointList(7, 7, &points, 0, 0, 0.5, 0.5, m.px.data());
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 7; ++x) EXPECT_EQ(m.At(x, y), (x == 3 && y == 3) ? 127 : 0);
    }
    {
        // A radius far beyond the mask covers it without leaving it.
        MaskImage m(7, 7);
        DrawGradualPointList(7, 7, &points, 1e300, 1e300, 1.0, 1.0, m.px.data());
        for (uint8_t v : m.px) EXPECT_EQ(v, 255);
    }
    for (double bad : {nan, -1.0, std::numeric_limits<double>::infinity()}) {
        MaskImage m(7, 7);
        DrawGradualPointList(7, 7, &points, bad, bad, 1.0, 1.0, m.px.data());
        DrawGradualPointList(7, 7, &points, 2, 2, nan, nan, m.px.data());
        for (uint8_t v : m.px) EXPECT_EQ(v, 0) << bad;
    }
    // A null mask uses a scratch mask: nothing to see, nothing to crash.
    DrawGradualPointList(7, 7, &points, 2, 2, 1, 1, nullptr);
}

TEST(DrawGradualLine, CrossSectionsMatchTheSoftDotRule) {
    MaskImage m(40, 20);
    // Horizontal band from (5, 10) to (35, 10), radius 4 to 8, strength 1 to 0.5.
    DrawGradualLine(40, 20, 5, 10, 35, 10, 4, 8, 1.0, 0.5, m.px.data());
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 40; ++x) {
            int expected = 0;
            if (x >= 5 && x <= 35) {
                const double f = (x - 5) / 30.0;
                const double r = 4 + f * 4, s = 1.0 - f * 0.5, d = std::abs(y - 10);
                if (d <= r) expected = SoftRule(r, d, s);
            }
            ASSERT_EQ(m.At(x, y), expected) << x << "," << y;
        }
    }
}

TEST(DrawGradualLine, ZeroLengthAndHugeValuesAreSafe) {
    MaskImage m(10, 10);
    DrawGradualLine(10, 10, 4, 4, 4, 4, 3, 3, 1, 1, m.px.data());
    for (uint8_t v : m.px) EXPECT_EQ(v, 0);
    DrawGradualLine(10, 10, -1e308, 5, 1e308, 5, 1e308, 1e308, 1, 1, m.px.data());
    DrawGradualLine(10, 10, 0, 0, 9, 9, 1e300, 1e300, 1, 1, m.px.data());
    EXPECT_GT(m.At(9, 0), 0);
}

TEST(DrawGradualMultiLine, JointsAreSeamlessAndEndsAreRound) {
    MaskImage m(40, 40);
    CPtrArrayCtrl points;
    points.AddData(PackedPointToSlot(PackPoint(5, 5)));
    points.AddData(PackedPointToSlot(PackPoint(30, 5)));
    points.AddData(PackedPointToSlot(PackPoint(30, 30)));
    DrawGradualMultiLine(40, 40, &points, 3, 3, 1.0, 1.0, m.px.data());
    // Along the whole centre line the value is full.
    for (int x = 5; x <= 30; ++x) EXPECT_EQ(m.At(x, 5), 255) << x;
    for (int y = 5; y <= 30; ++y) EXPECT_EQ(m.At(30, y), 255) << y;
    // The outer corner of the joint is filled by the round cap, as a soft dot there.
    EXPECT_EQ(m.At(32, 3), SoftRule(3, std::hypot(2, 2), 1.0));
    // Round cap at the start: behind the first point, up to half a pixel beyond the radius.
    EXPECT_EQ(m.At(2, 5), SoftRule(3, 3, 1.0));
    EXPECT_EQ(m.At(1, 5), 0);
    // Symmetric about the first segment's centre line, away from the second segment.
    for (int x = 2; x <= 26; ++x) EXPECT_EQ(m.At(x, 3), m.At(x, 7)) << x;
}

TEST(DrawGradualMultiLine, RadiusAndStrengthFollowTheDistanceTravelled) {
    MaskImage m(60, 10);
    CPtrArrayCtrl points;
    points.AddData(PackedPointToSlot(PackPoint(5, 5)));
    points.AddData(PackedPointToSlot(PackPoint(15, 5)));
    points.AddData(PackedPointToSlot(PackPoint(45, 5)));
    // Total length 40: at x = 25 (20 travelled) strength is halfway, 0.75.
    DrawGradualMultiLine(60, 10, &points, 2, 2, 1.0, 0.5, m.px.data());
    EXPECT_EQ(m.At(25, 5), SoftRule(2, 0, 0.75));
    EXPECT_EQ(m.At(5, 5), 255);
    EXPECT_EQ(m.At(45, 5), SoftRule(2, 0, 0.5));
    // Fewer than two points draw nothing.
    MaskImage e(10, 10);
    CPtrArrayCtrl one;
    one.AddData(PackedPointToSlot(PackPoint(5, 5)));
    DrawGradualMultiLine(10, 10, &one, 2, 2, 1, 1, e.px.data());
    for (uint8_t v : e.px) EXPECT_EQ(v, 0);
}

}  // namespace
