#include "draw/buffer_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <utility>
#include <vector>

#include "core/ptr_array_ctrl.h"

namespace {

using Pixel = std::pair<int, int>;

// The corners of the path by the closed form of the error walk: the minor coordinate after i
// major steps is the minor distance x i / major distance, rounded half up.
std::vector<Pixel> Corners(int x0, int y0, int x1, int y1) {
    const int dx = std::abs(x1 - x0), dy = std::abs(y1 - y0);
    const int sx = x1 > x0 ? 1 : (x1 < x0 ? -1 : 0), sy = y1 > y0 ? 1 : (y1 < y0 ? -1 : 0);
    std::vector<Pixel> path;
    if (dx >= dy) {
        for (int i = 0; i <= dx; ++i)
            path.push_back({x0 + sx * i, y0 + sy * (dx ? (2 * i * dy + dx) / (2 * dx) : 0)});
    } else {
        for (int i = 0; i <= dy; ++i)
            path.push_back({x0 + sx * ((2 * i * dx + dy) / (2 * dy)), y0 + sy * i});
    }
    return path;
}

std::set<Pixel> UnionOfSquares(const std::vector<Pixel>& corners, int t) {
    std::set<Pixel> s;
    for (auto [x, y] : corners)
        for (int j = 0; j < t; ++j)
            for (int i = 0; i < t; ++i) s.insert({x + i, y + j});
    return s;
}

struct Canvas {
    int width, height;
    std::vector<uint32_t> px;
    Canvas(int w, int h) : width(w), height(h), px(size_t(w) * h, 0) {}
    std::set<Pixel> Painted() const {
        std::set<Pixel> s;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (px[size_t(y) * width + x] != 0) s.insert({x, y});
        return s;
    }
    void Line(int x0, int y0, int x1, int y1, int t, CPtrCtrl* points = nullptr) {
        const std::vector<uint32_t> run(std::max(1, t), 0xFF00FF00);
        DrawLineOnBuffer(px.data(), PackPoint(x0, y0), PackPoint(x1, y1), width, height, width * 4,
                         4, t, run.data(), points);
    }
};

std::vector<Pixel> Points(CPtrArrayCtrl& list) {
    std::vector<Pixel> out;
    for (int i = 0; i < list.GetCount(); ++i) {
        const PackedPoint p = SlotToPackedPoint(list.GetAt(i));
        out.push_back({PackedPointX(p), PackedPointY(p)});
    }
    return out;
}

TEST(DrawLineOnBuffer, ShallowLineOfThicknessOnePaintsThePath) {
    Canvas c(8, 4);
    CPtrArrayCtrl points;
    c.Line(0, 0, 3, 1, 1, &points);
    const std::vector<Pixel> path = {{0, 0}, {1, 0}, {2, 1}, {3, 1}};
    EXPECT_EQ(c.Painted(), std::set<Pixel>(path.begin(), path.end()));
    EXPECT_EQ(Points(points), path);
}

TEST(DrawLineOnBuffer, ThickLineIsTheUnionOfSquaresAtThePathCorners) {
    Canvas c(8, 5);
    c.Line(0, 0, 3, 1, 2);
    EXPECT_EQ(c.Painted(), UnionOfSquares({{0, 0}, {1, 0}, {2, 1}, {3, 1}}, 2));
}

TEST(DrawLineOnBuffer, EveryDirectionAndThicknessMatchesTheClosedForm) {
    const Pixel ends[] = {{9, 3}, {3, 9}, {0, 2}, {1, 10}, {12, 12}, {10, 7}, {4, 4}, {11, 0}};
    const Pixel starts[] = {{2, 2}, {10, 9}, {6, 6}};
    for (int t = 1; t <= 4; ++t) {
        for (auto [x0, y0] : starts) {
            for (auto [x1, y1] : ends) {
                Canvas c(16, 16);
                CPtrArrayCtrl points;
                c.Line(x0, y0, x1, y1, t, &points);
                const auto corners = Corners(x0, y0, x1, y1);
                ASSERT_EQ(c.Painted(), UnionOfSquares(corners, t))
                    << "(" << x0 << "," << y0 << ") to (" << x1 << "," << y1 << ") T=" << t;
                if (t == 1) {
                    // With thickness 1 the point list is the path, without repeats.
                    EXPECT_EQ(Points(points), corners);
                } else {
                    // Every point lies inside a square of the path, and none repeats its
                    // predecessor.
                    const auto painted = UnionOfSquares(corners, t);
                    const auto list = Points(points);
                    ASSERT_FALSE(list.empty());
                    EXPECT_EQ(list.front(), corners.front());
                    for (size_t i = 0; i < list.size(); ++i) {
                        EXPECT_TRUE(painted.count(list[i]));
                        if (i > 0) {
                            EXPECT_NE(list[i], list[i - 1]);
                        }
                    }
                }
            }
        }
    }
}

TEST(DrawLineOnBuffer, EndpointsAreClampedToWhereAWholeBrushFits) {
    struct Case {
        Pixel from, to;
        int t;
        Pixel clampedFrom, clampedTo;
    } cases[] = {
        {{-5, 3}, {100, 3}, 2, {0, 3}, {8, 3}},
        {{4, -7}, {4, 50}, 3, {4, 0}, {4, 5}},
        {{20, 20}, {0, 0}, 1, {9, 7}, {0, 0}},
        {{9, 7}, {9, 7}, 2, {8, 6}, {8, 6}},
    };
    for (const auto& k : cases) {
        Canvas c(10, 8);
        c.Line(k.from.first, k.from.second, k.to.first, k.to.second, k.t);
        const auto corners = Corners(k.clampedFrom.first, k.clampedFrom.second, k.clampedTo.first,
                                     k.clampedTo.second);
        EXPECT_EQ(c.Painted(), UnionOfSquares(corners, k.t))
            << k.from.first << "," << k.from.second << " T=" << k.t;
    }
}

TEST(DrawLineOnBuffer, ABrushLargerThanTheBufferDrawsNothing) {
    for (int t : {9, 11, 1000}) {
        Canvas c(10, 8);
        CPtrArrayCtrl points;
        c.Line(0, 0, 5, 5, t, &points);
        EXPECT_TRUE(c.Painted().empty()) << t;
        EXPECT_EQ(points.GetCount(), 0) << t;
    }
}

TEST(DrawLineOnBuffer, NullBufferOnlyCollectsPoints) {
    CPtrArrayCtrl points;
    const uint32_t run = 1;
    DrawLineOnBuffer(nullptr, PackPoint(0, 0), PackPoint(3, 1), 8, 4, 32, 4, 1, &run, &points);
    EXPECT_EQ(Points(points), (std::vector<Pixel>{{0, 0}, {1, 0}, {2, 1}, {3, 1}}));
}

TEST(DrawLineOnBuffer, RowsTakeTheRunAndOtherPixelSizesWork) {
    // 3 bytes per pixel, thickness 2, a run of two different pixels.
    const int w = 6, h = 4, stride = 20;
    std::vector<uint8_t> buf(stride * h, 0);
    const uint8_t run[6] = {1, 2, 3, 4, 5, 6};
    DrawLineOnBuffer(buf.data(), PackPoint(1, 1), PackPoint(1, 1), w, h, stride, 3, 2, run,
                     nullptr);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const uint8_t* p = &buf[y * stride + x * 3];
            const bool inside = x >= 1 && x < 3 && y >= 1 && y < 3;
            const uint8_t* expected = inside ? run + 3 * (x - 1) : nullptr;
            for (int b = 0; b < 3; ++b)
                EXPECT_EQ(p[b], expected ? expected[b] : 0) << x << "," << y;
        }
    }
}

TEST(DrawLineOnBuffer, RefusesRowsThatDoNotFitTheStride) {
    std::vector<uint32_t> buf(16, 0);
    const uint32_t run = 7;
    DrawLineOnBuffer(buf.data(), PackPoint(0, 0), PackPoint(7, 0), 8, 2, 16, 4, 1, &run, nullptr);
    for (uint32_t v : buf) EXPECT_EQ(v, 0u);
}

}  // namespace
