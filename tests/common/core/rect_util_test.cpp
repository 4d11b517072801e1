#include "core/rect_util.h"

#include <gtest/gtest.h>

namespace {

bool Same(const RECT& a, const RECT& b) {
    return IsRectEqual(&a, &b) == 1;
}

TEST(RectUtil, SetRectAndPoint) {
    RECT rect;
    SetRectXY(&rect, 10, 20, 30, 40);
    EXPECT_TRUE(Same(rect, RECT{10, 20, 40, 60}));
    POINT point;
    SetPointXY(&point, -3, 4);
    EXPECT_EQ(point.x, -3);
    EXPECT_EQ(point.y, 4);
    EXPECT_EQ(IsRectEqual(&rect, nullptr), 0);
    const RECT other{10, 20, 40, 61};
    EXPECT_EQ(IsRectEqual(&rect, &other), 0);
}

TEST(RectUtil, BoundRectIntersects) {
    struct Case {
        RECT a, b, expected;
    } cases[] = {
        {{0, 0, 10, 10}, {20, 20, 30, 30}, {10, 10, 10, 10}},
        {{0, 0, 10, 10}, {5, 5, 30, 30}, {5, 5, 10, 10}},
        {{0, 0, 10, 10}, {2, 20, 8, 30}, {2, 10, 8, 10}},
        {{0, 0, 10, 10}, {0, 0, 10, 10}, {0, 0, 10, 10}},
    };
    for (const auto& c : cases) {
        RECT out;
        BoundRect(&out, &c.a, &c.b);
        EXPECT_TRUE(Same(out, c.expected))
            << out.left << "," << out.top << "," << out.right << "," << out.bottom;
    }
    RECT inPlace{0, 0, 10, 10};
    const RECT b{5, 5, 30, 30};
    BoundRect(&inPlace, &inPlace, &b);
    EXPECT_TRUE(Same(inPlace, RECT{5, 5, 10, 10}));
}

TEST(RectUtil, RelativeScaleAndMove) {
    RECT rect{10, 20, 50, 80};
    RECT relative;
    GetRelativeRect(&relative, &rect);
    EXPECT_TRUE(Same(relative, RECT{0, 0, 40, 60}));
    ScaleRect(&rect, 1.5, 0.5);
    EXPECT_TRUE(Same(rect, RECT{15, 10, 75, 40}));
    RECT odd{3, 3, -3, -3};
    ScaleRect(&odd, 0.5, 0.5);
    EXPECT_TRUE(Same(odd, RECT{1, 1, -1, -1}));  // truncated toward zero
    InflatRect(&rect, -5, 2);
    EXPECT_TRUE(Same(rect, RECT{10, 12, 70, 42}));
}

TEST(RectUtil, ParseRectFromString) {
    struct Case {
        const char* text;
        int result;
        RECT expected;
    } cases[] = {
        {"1,2,3,4", 1, {1, 2, 4, 6}},
        {" -5, 6, 10, 20,99", 1, {-5, 6, 5, 26}},
        {"1,2,3", 0, {0, 0, 0, 0}},
        {"1,2,x,4", 0, {0, 0, 0, 0}},
        {"1111111111,2,3,4444444444444444444", 0, {0, 0, 0, 0}},  // over 31 characters
    };
    for (const auto& c : cases) {
        RECT rect{9, 9, 9, 9};
        EXPECT_EQ(ParseRectFromString(c.text, &rect), c.result) << c.text;
        EXPECT_TRUE(Same(rect, c.expected)) << c.text;
    }
}

TEST(RectUtil, TextRectByDirectPlacesAndClips) {
    const RECT area{0, 0, 100, 50};
    struct Case {
        uint32_t flags;
        int width, height;
        RECT expected;
    } cases[] = {
        {0, 20, 10, {0, 0, 20, 10}},
        {kTextRectCenterX | kTextRectCenterY, 20, 10, {40, 20, 60, 30}},
        {kTextRectRight | kTextRectBottom, 20, 10, {80, 40, 100, 50}},
        {kTextRectCenterX, 200, 10, {0, 0, 100, 10}},
    };
    for (const auto& c : cases) {
        RECT out;
        GetTextRectByDirect(&area, c.width, c.height, c.flags, &out);
        EXPECT_TRUE(Same(out, c.expected)) << c.flags << ": " << out.left << "," << out.top << ","
                                           << out.right << "," << out.bottom;
    }
}

}  // namespace
