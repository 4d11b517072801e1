// ctest-labels: unit
#include "controls/resize_math.h"

#include <gtest/gtest.h>

namespace {

TEST(ResizeMath, FactorsFollowTheRememberedSize) {
    struct Case {
        int w, h;
        bool keep;
        double sx, sy, m;
    } cases[] = {
        {800, 600, false, 1.0, 1.0, 1.0},  {1600, 1200, false, 2.0, 2.0, 2.0},
        {1600, 600, false, 2.0, 1.0, 1.0}, {400, 300, false, 0.5, 0.5, 0.5},
        {1600, 900, true, 1.5, 1.5, 1.5},
    };
    for (const Case& c : cases) {
        ResizeFactors f;
        ASSERT_EQ(ComputeResizeFactors(800, 600, c.w, c.h, c.keep, &f), 1);
        EXPECT_DOUBLE_EQ(f.sx, c.sx);
        EXPECT_DOUBLE_EQ(f.sy, c.sy);
        EXPECT_DOUBLE_EQ(f.m, c.m);
    }
}

TEST(ResizeMath, NoRememberedSizeRefusesToScale) {
    for (auto [w, h] : {std::pair{0, 0}, std::pair{0, 600}, std::pair{800, 0}, std::pair{-1, 5}}) {
        ResizeFactors f;
        f.sx = f.sy = 7;
        EXPECT_EQ(ComputeResizeFactors(w, h, 1600, 1200, false, &f), 0);
        EXPECT_EQ(f.sx, 1.0);
        EXPECT_EQ(f.sy, 1.0);
        EXPECT_EQ(f.m, 1.0);
    }
}

TEST(ResizeMath, GeometryTruncatesEdgesNotSizes) {
    ScaledGeometry g = ScaleRemembered(RECT{10, 20, 31, 45}, 1.5, 0.5);
    EXPECT_EQ(g.x, 15);
    EXPECT_EQ(g.y, 10);
    EXPECT_EQ(g.width, 46 - 15);   // trunc(46.5) - 15
    EXPECT_EQ(g.height, 22 - 10);  // trunc(22.5) - 10
    ScaledGeometry same = ScaleRemembered(RECT{3, 4, 50, 60}, 1.0, 1.0);
    EXPECT_EQ(same.x, 3);
    EXPECT_EQ(same.width, 47);
}

TEST(ResizeMath, FontHeightsScaleAndStayAtLeastOnePixel) {
    struct Case {
        int height;
        double m;
        int scaled;
    } cases[] = {
        {-16, 0.5, -8}, {16, 2.0, 32}, {-13, 1.5, -19}, {12, 0.01, 1}, {-12, 0.0, -1}, {0, 2.0, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(ScaleFontHeight(c.height, c.m), c.scaled) << c.height;
}

}  // namespace
