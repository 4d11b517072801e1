#include "draw/buffer_alpha.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "draw/alpha_blend_internal.h"
#include "draw/alpha_blend_rows_internal.h"

namespace {

uint32_t BlendOne(uint32_t d, uint32_t s) {
    AlphaDrawBufferOnBuffer_ARGB(&d, RECT{0, 0, 1, 1}, 4, &s, RECT{0, 0, 1, 1}, 4);
    return d;
}

// The rule as written, in double precision, for a loose comparison.
uint32_t LiteralRule(uint32_t d, uint32_t s) {
    const double as = (s >> 24) / 255.0, ad = (d >> 24) / 255.0;
    if ((s >> 24) == 0) return d;
    if ((d >> 24) == 0) return s;
    const double ao = 1 - (1 - ad) * (1 - as);
    uint32_t out = uint32_t(std::clamp(std::trunc(ao * 255), 0.0, 255.0)) << 24;
    for (int shift = 0; shift < 24; shift += 8) {
        const double dc = (d >> shift) & 0xFF, sc = (s >> shift) & 0xFF;
        const double v = std::trunc(dc * (1 - as) * ad / ao + sc * as / ao);
        out |= uint32_t(std::clamp(v, 0.0, 255.0)) << shift;
    }
    return out;
}

TEST(AlphaDrawBufferOnBuffer, FloatRuleOnChosenPixels) {
    struct Case {
        uint32_t d, s, expected;
        const char* why;
    } cases[] = {
        {0x8064C832, 0x80C83264, 0xBFA66353, "half over half: alpha 191, channels between"},
        {0x8064C832, 0x00C83264, 0x8064C832, "transparent source keeps the destination"},
        {0x0064C832, 0x40C83264, 0x40C83264, "transparent destination takes the source"},
        {0x00000000, 0x00FFFFFF, 0x00000000, "both transparent: destination stays"},
        {0x8064C832, 0xFFC83264, 0xFFC83264, "opaque source replaces"},
        {0xFF000000, 0x40C8640A, 0xFF321902, "quarter over opaque black"},
        {0x40556677, 0x90556677, 0xAB556677, "equal colours stay equal"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BlendOne(c.d, c.s), c.expected) << c.why;
        EXPECT_EQ(BlendArgbFloat(c.d, c.s), c.expected) << c.why;
    }
}

TEST(AlphaDrawBufferOnBuffer, EveryVectorFormGivesThePixelRuleAtEveryWidth) {
    std::mt19937 rng(12345);
    int forms = 0;
    for (const BlendArgbRowFn* row = BlendArgbRowVariants(); *row != nullptr; ++row, ++forms) {
        for (int width = 1; width <= 37; ++width) {
            std::vector<uint32_t> dst(width), src(width);
            for (auto& v : dst) v = rng();
            for (auto& v : src) v = rng();
            // Some pixels with the special alphas, and a run of opaque ones.
            src[0] &= 0x00FFFFFF;
            dst[width - 1] &= 0x00FFFFFF;
            for (int i = 8; i < 16 && i < width; ++i) src[i] |= 0xFF000000;
            for (int i = 16; i < 24 && i < width; ++i) src[i] &= 0x00FFFFFF;
            std::vector<uint32_t> expected(width);
            for (int x = 0; x < width; ++x) expected[x] = BlendArgbFloat(dst[x], src[x]);
            (*row)(dst.data(), src.data(), width);
            ASSERT_EQ(dst, expected) << "form " << forms << ", width " << width;
        }
    }
    EXPECT_GE(forms, 1);
    // And through the buffer function, over rows with a stride.
    std::vector<uint32_t> dst(19 * 3), src(19 * 3);
    for (auto& v : dst) v = rng();
    for (auto& v : src) v = rng();
    std::vector<uint32_t> expected = dst;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 17; ++x)
            expected[y * 19 + x] = BlendArgbFloat(dst[y * 19 + x], src[y * 19 + x]);
    AlphaDrawBufferOnBuffer_ARGB(dst.data(), RECT{0, 0, 17, 3}, 19 * 4, src.data(),
                                 RECT{0, 0, 17, 3}, 19 * 4);
    EXPECT_EQ(dst, expected);
}

// The rule evaluated literally in double precision differs from ours only by rounding: at most
// one step per channel.
TEST(AlphaDrawBufferOnBuffer, AgreesWithTheRuleAsWrittenWithinOneStep) {
    std::mt19937 rng(777);
    for (int i = 0; i < 200000; ++i) {
        const uint32_t d = rng(), s = rng();
        const uint32_t ours = BlendArgbFloat(d, s), literal = LiteralRule(d, s);
        for (int shift = 0; shift < 32; shift += 8) {
            const int a = (ours >> shift) & 0xFF, b = (literal >> shift) & 0xFF;
            ASSERT_LE(std::abs(a - b), 1) << std::hex << d << " " << s;
        }
        // The alpha is the exact quotient: ao x 255 = (255^2 - (255 - Ad)(255 - As)) / 255,
        // where the double evaluation may land just below a whole number.
        if ((s >> 24) != 0) {
            const uint32_t exact = (65025 - (255 - (d >> 24)) * (255 - (s >> 24))) / 255;
            ASSERT_EQ(ours >> 24, exact) << std::hex << d << " " << s;
        }
    }
}

TEST(AlphaDrawBufferOnBuffer, CompositesOnlyTheCommonArea) {
    std::vector<uint32_t> dst(6 * 4, 0xFF000000), src(3 * 5, 0xFFFFFFFF);
    AlphaDrawBufferOnBuffer_ARGB(dst.data(), RECT{2, 1, 6, 3}, 24, src.data(), RECT{0, 0, 3, 5},
                                 12);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(dst[y * 6 + x],
                      (x >= 2 && x < 5 && y >= 1 && y < 3) ? 0xFFFFFFFFu : 0xFF000000u)
                << x << "," << y;
}

TEST(SetAlphaBufferColor, AlphaComesFromTheMask) {
    const uint8_t mask[2 * 3] = {255, 0, 2, 128, 64, 1};
    std::vector<uint32_t> dst(4 * 2, 0xDEADBEEF);
    SetAlphaBufferColor_ARGB(0x80112233, dst.data(), RECT{1, 0, 4, 2}, 16, mask, RECT{0, 0, 3, 2},
                             3);
    const uint32_t expected[8] = {
        0xDEADBEEF, 0x7F112233, 0x00112233, 0x01112233,
        0xDEADBEEF, 0x40112233, 0x20112233, 0x00112233,
    };
    for (int i = 0; i < 8; ++i) EXPECT_EQ(dst[i], expected[i]) << i;
}

TEST(DrawPointByPen, BlendsThePenCentredAndClipped) {
    const int w = 5, h = 4;
    std::vector<uint32_t> dst(w * h, 0xFF000000);
    dst[0] = 0x00000000;  // a transparent pixel takes the pen pixel unchanged
    const std::vector<uint32_t> pen(3 * 3, 0xFFFFFFFF);
    DrawPointByPen(dst.data(), w, h, 1, 1, pen.data(), 128, 3, 3, 1, 1, 1, 1);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint32_t expected = 0xFF000000;
            if (x <= 2 && y <= 2) expected = 0xFF7F7F7F;  // l = 127 over opaque black
            if (x == 0 && y == 0) expected = 0xFFFFFFFF;
            EXPECT_EQ(dst[y * w + x], expected) << x << "," << y;
        }
    }
    // At a corner the pen is cut to the buffer.
    std::vector<uint32_t> small(2 * 2, 0xFF000000);
    DrawPointByPen(small.data(), 2, 2, 0, 0, pen.data(), 255, 3, 3, 1, 1, 1, 1);
    EXPECT_EQ(small[0], 0xFFFEFEFEu);  // l = (255 x 255) >> 8 = 254
    EXPECT_EQ(small[1], 0xFFFEFEFEu);
    EXPECT_EQ(small[2], 0xFFFEFEFEu);
    EXPECT_EQ(small[3], 0xFFFEFEFEu);
}

TEST(DrawPointByPen, FlagsPickWidthOrHeightPerAxis) {
    // A 4 x 2 pen at (4, 4): offsets and extents by the flags.
    std::vector<uint32_t> pen(4 * 2);
    for (int i = 0; i < 8; ++i) pen[i] = 0xFF000000u | uint32_t(i + 1);
    struct Case {
        int flags[4];
        int x0, y0, cols, rows;
    } cases[] = {
        {{1, 1, 1, 1}, 2, 3, 4, 2},  // centred: half width 2 left, half height 1 up
        {{0, 1, 1, 1}, 3, 3, 4, 2},  // x offset by half the height
        {{1, 0, 1, 1}, 2, 3, 2, 2},  // x extent by the height
        {{1, 1, 0, 1}, 2, 2, 4, 2},  // y offset by half the width
        {{1, 1, 1, 0}, 2, 3, 4, 2},  // y extent by the width, cut to the pen's 2 rows
    };
    for (const auto& c : cases) {
        std::vector<uint32_t> dst(10 * 10, 0x00000000);
        DrawPointByPen(dst.data(), 10, 10, 4, 4, pen.data(), 255, 4, 2, c.flags[0], c.flags[1],
                       c.flags[2], c.flags[3]);
        for (int y = 0; y < 10; ++y) {
            for (int x = 0; x < 10; ++x) {
                const bool inside =
                    x >= c.x0 && x < c.x0 + c.cols && y >= c.y0 && y < c.y0 + c.rows;
                const uint32_t expected = inside ? pen[(y - c.y0) * 4 + (x - c.x0)] : 0u;
                ASSERT_EQ(dst[y * 10 + x], expected) << c.flags[0] << c.flags[1] << c.flags[2]
                                                     << c.flags[3] << " at " << x << "," << y;
            }
        }
    }
}

}  // namespace
