#include "draw/buffer_stretch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// Scales a 1-row strip of n pixels of `bpp` bytes (pixel i filled with byte i + 1) to m pixels
// and returns which source pixel (0-based) each destination pixel received.
std::vector<int> ScaleStrip(int n, int m, int bpp) {
    std::vector<uint8_t> src(size_t(n) * bpp), dst(size_t(m) * bpp, 0);
    for (int i = 0; i < n; ++i) std::memset(&src[size_t(i) * bpp], i + 1, bpp);
    StretchBufferOnBuffer(dst.data(), RECT{0, 0, m, 1}, m * bpp, src.data(), RECT{0, 0, n, 1},
                          n * bpp, bpp);
    std::vector<int> taken;
    for (int i = 0; i < m; ++i) {
        for (int b = 1; b < bpp; ++b) EXPECT_EQ(dst[size_t(i) * bpp + b], dst[size_t(i) * bpp]);
        taken.push_back(dst[size_t(i) * bpp] - 1);
    }
    return taken;
}

TEST(StretchBufferOnBuffer, NearestNeighbourWalkForEveryPixelSize) {
    struct Case {
        int n, m;
        std::vector<int> taken;
    } cases[] = {
        {2, 3, {0, 0, 1}},     // by 3/2
        {3, 2, {0, 1}},        // by 2/3
        {4, 4, {0, 1, 2, 3}},  // same size
        {1, 4, {0, 0, 0, 0}},  // one pixel widened
        {7, 3, {0, 2, 4}},     // floor(i x 7 / 3)
        {5, 10, {0, 0, 1, 1, 2, 2, 3, 3, 4, 4}},
    };
    for (int bpp : {1, 2, 3, 4, 6}) {
        for (const auto& c : cases) {
            EXPECT_EQ(ScaleStrip(c.n, c.m, bpp), c.taken)
                << c.n << " -> " << c.m << " at " << bpp << " bytes";
        }
    }
}

TEST(StretchBufferOnBuffer, RowsFollowTheSameWalk) {
    // 2 x 2 source to a 3 x 3 destination rectangle at (1, 1) of a 5 x 5 buffer.
    const uint32_t src[4] = {0xA, 0xB, 0xC, 0xD};
    std::vector<uint32_t> dst(25, 0);
    StretchBufferOnBuffer(dst.data(), RECT{1, 1, 4, 4}, 20, src, RECT{0, 0, 2, 2}, 8, 4);
    const uint32_t expected[25] = {
        0, 0,   0,   0,   0,  //
        0, 0xA, 0xA, 0xB, 0,  //
        0, 0xA, 0xA, 0xB, 0,  //
        0, 0xC, 0xC, 0xD, 0,  //
        0, 0,   0,   0,   0,
    };
    for (int i = 0; i < 25; ++i) EXPECT_EQ(dst[i], expected[i]) << i;
    // And by 2/3: a 3 x 3 source onto 2 x 2.
    const uint32_t big[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    uint32_t small[4] = {};
    StretchBufferOnBuffer(small, RECT{0, 0, 2, 2}, 8, big, RECT{0, 0, 3, 3}, 12, 4);
    EXPECT_EQ(std::vector<uint32_t>(small, small + 4), (std::vector<uint32_t>{1, 2, 4, 5}));
}

TEST(StretchBufferOnBuffer, SkipsPixelsOutsideTheRows) {
    const uint32_t src[2] = {7, 8};
    std::vector<uint32_t> dst(4, 0);
    // Destination from column -2 to 2 of a 4-pixel row: only columns 0 and 1 are written.
    StretchBufferOnBuffer(dst.data(), RECT{-2, 0, 2, 1}, 16, src, RECT{0, 0, 2, 1}, 8, 4);
    EXPECT_EQ(dst, (std::vector<uint32_t>{8, 8, 0, 0}));
    // Empty rectangles draw nothing.
    StretchBufferOnBuffer(dst.data(), RECT{0, 0, 0, 1}, 16, src, RECT{0, 0, 2, 1}, 8, 4);
    StretchBufferOnBuffer(dst.data(), RECT{0, 0, 2, 1}, 16, src, RECT{1, 0, 1, 1}, 8, 4);
    EXPECT_EQ(dst, (std::vector<uint32_t>{8, 8, 0, 0}));
    // A rectangle far wider than the row: only the row's own columns are visited, each taking
    // the source pixel of its place in the whole rectangle (the right half: pixel 1).
    std::vector<uint32_t> row(4, 0);
    StretchBufferOnBuffer(row.data(), RECT{-2000000000, 0, 2000000000, 1}, 16, src,
                          RECT{0, 0, 2, 1}, 8, 4);
    EXPECT_EQ(row, (std::vector<uint32_t>{8, 8, 8, 8}));
    // A tall one starting far above row 0: rows from 0 on take their own source rows.
    const uint32_t column[2] = {5, 6};
    std::vector<uint32_t> rows(3, 0);
    StretchBufferOnBuffer(rows.data(), RECT{0, -1000000000, 1, 3}, 4, column, RECT{0, 0, 1, 2}, 4,
                          4);
    EXPECT_EQ(rows, (std::vector<uint32_t>{6, 6, 6}));
}

TEST(AlphaStretchBufferOnBuffer, IntegerRuleOnChosenPixels) {
    struct Case {
        uint32_t d, s, expected;
        const char* why;
    } cases[] = {
        {0x8064C832, 0x80C83264, 0xC0A66453, "Ao = 256 - 64; channels by integer division"},
        {0xFF000000, 0x40FFFFFF, 0xFF404040, "quarter white over opaque black"},
        {0x8064C832, 0x00FFFFFF, 0x8064C832, "transparent source keeps the destination"},
        {0x00123456, 0x10ABCDEF, 0x10ABCDEF, "transparent destination takes the source"},
    };
    for (const auto& c : cases) {
        // A 1 x 1 source stretched over 2 x 1: both destination pixels composite it.
        uint32_t dst[2] = {c.d, c.d};
        AlphaStretchBufferOnBuffer_ARGB(dst, RECT{0, 0, 2, 1}, 8, &c.s, RECT{0, 0, 1, 1}, 4);
        EXPECT_EQ(dst[0], c.expected) << c.why;
        EXPECT_EQ(dst[1], c.expected) << c.why;
    }
}

TEST(GetRectByMode, AlignsByTheFlags) {
    struct Case {
        const char* why;
        RECT dst, src;
        int stretch, flags;
        RECT dstOut, srcOut;
    } cases[] = {
        {"right: destination left moves by the whole difference",
         {100, 0, 300, 10},
         {0, 0, 50, 10},
         0,
         0x04,
         {250, 0, 300, 10},
         {0, 0, 50, 10}},
        {"centre: wider destination moves by half",
         {0, 0, 100, 10},
         {0, 0, 40, 10},
         0,
         0x01,
         {30, 0, 100, 10},
         {0, 0, 40, 10}},
        {"centre: wider source moves by half",
         {0, 0, 40, 10},
         {5, 0, 105, 10},
         0,
         0x01,
         {0, 0, 40, 10},
         {35, 0, 105, 10}},
        {"vertical centre",
         {0, 0, 10, 100},
         {0, 0, 10, 20},
         0,
         0x10,
         {0, 40, 10, 100},
         {0, 0, 10, 20}},
        {"bottom", {0, 0, 10, 100}, {0, 0, 10, 20}, 0, 0x40, {0, 80, 10, 100}, {0, 0, 10, 20}},
        {"right and bottom with a taller source",
         {0, 0, 100, 10},
         {0, 0, 40, 30},
         0,
         0x44,
         {60, 0, 100, 10},
         {0, 20, 40, 30}},
        {"stretch fit keeps the aspect, centred where the destination stands",
         {10, 20, 210, 120},
         {0, 0, 50, 50},
         1,
         0x01,
         {60, 20, 160, 120},
         {0, 0, 50, 50}},
        {"stretch fit of a wide source",
         {0, 0, 100, 100},
         {0, 0, 300, 100},
         1,
         0x10,
         {0, 33, 100, 66},
         {0, 0, 300, 100}},
        {"stretch without centring changes nothing",
         {0, 0, 100, 100},
         {0, 0, 30, 10},
         1,
         0x04,
         {0, 0, 100, 100},
         {0, 0, 30, 10}},
        {"stretch of equal sizes aligns without stretching",
         {0, 0, 30, 10},
         {0, 0, 30, 10},
         1,
         0x11,
         {0, 0, 30, 10},
         {0, 0, 30, 10}},
        {"empty source changes nothing",
         {0, 0, 100, 100},
         {0, 0, 0, 10},
         1,
         0x11,
         {0, 0, 100, 100},
         {0, 0, 0, 10}},
    };
    for (const auto& c : cases) {
        RECT d = c.dst, s = c.src;
        GetRectByMode(&d, &s, c.stretch, c.flags);
        EXPECT_EQ((std::vector<int>{d.left, d.top, d.right, d.bottom}),
                  (std::vector<int>{c.dstOut.left, c.dstOut.top, c.dstOut.right, c.dstOut.bottom}))
            << c.why;
        EXPECT_EQ((std::vector<int>{s.left, s.top, s.right, s.bottom}),
                  (std::vector<int>{c.srcOut.left, c.srcOut.top, c.srcOut.right, c.srcOut.bottom}))
            << c.why;
    }
}

TEST(DrawBuffer, ChoosesCopyOrStretchAndTheAlphaRule) {
    const uint32_t s = 0x80C83264;
    // Stretch with alpha: integer rule on every scaled pixel.
    {
        uint32_t dst[4] = {0x8064C832, 0x8064C832, 0x8064C832, 0x8064C832};
        DrawBuffer(dst, RECT{0, 0, 2, 2}, 8, &s, RECT{0, 0, 1, 1}, 4, 4, 1, 1, 0);
        for (uint32_t v : dst) EXPECT_EQ(v, 0xC0A66453u);
    }
    // Same size with stretch set: a copy with the float rule, one pixel only.
    {
        uint32_t dst[2] = {0x8064C832, 0x8064C832};
        DrawBuffer(dst, RECT{0, 0, 1, 1}, 8, &s, RECT{0, 0, 1, 1}, 4, 4, 1, 1, 0);
        EXPECT_EQ(dst[0], 0xBFA66353u);
        EXPECT_EQ(dst[1], 0x8064C832u);
    }
    // Without alpha: plain copy, right-aligned.
    {
        uint32_t dst[4] = {};
        DrawBuffer(dst, RECT{0, 0, 4, 1}, 16, &s, RECT{0, 0, 1, 1}, 4, 4, 0, 0, 0x04);
        EXPECT_EQ(std::vector<uint32_t>(dst, dst + 4), (std::vector<uint32_t>{0, 0, 0, s}));
    }
    // 16-bit pixels never take the alpha path.
    {
        const uint16_t src16[1] = {0x1234};
        uint16_t dst16[3] = {};
        DrawBuffer(dst16, RECT{0, 0, 3, 1}, 6, src16, RECT{0, 0, 1, 1}, 2, 2, 1, 1, 0);
        EXPECT_EQ(std::vector<uint16_t>(dst16, dst16 + 3),
                  (std::vector<uint16_t>{0x1234, 0x1234, 0x1234}));
    }
}

}  // namespace
