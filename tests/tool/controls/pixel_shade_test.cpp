// ctest-labels: unit
#include "controls/pixel_shade.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

uint32_t Expected(uint32_t d, uint32_t argb) {
    const uint32_t a = argb >> 24;
    uint32_t out = 0xFF000000u;
    for (int shift : {0, 8, 16}) {
        const double c = (argb >> shift) & 0xFF;
        const double v = (d >> shift) & 0xFF;
        out |= uint32_t(std::lround((c * a + v * (255 - a)) / 255.0)) << shift;
    }
    return out;
}

// Every destination channel value against a few colours, through both the vector and the
// one-pixel code (rows of 7 pixels: four at once, then three alone).
TEST(PixelShadeTest, EveryChannelValueRoundsTheExactBlend) {
    const uint32_t colours[] = {0xBFC3C3C3, 0x80FF0000, 0x01123456, 0xFEFFFFFF, 0x7F000000};
    for (uint32_t colour : colours) {
        std::vector<uint32_t> pixels(256 * 7);
        for (uint32_t v = 0; v < 256; ++v)
            for (int i = 0; i < 7; ++i)
                pixels[v * 7 + i] = (uint32_t(i * 37) << 24) | (v << 16) | ((255 - v) << 8) | v;
        const std::vector<uint32_t> before = pixels;
        ShadeArea(pixels.data(), 7, 256, 7 * 4, RECT{0, 0, 7, 256}, colour);
        for (size_t i = 0; i < pixels.size(); ++i)
            ASSERT_EQ(pixels[i], Expected(before[i], colour)) << std::hex << colour << " at " << i;
    }
}

TEST(PixelShadeTest, OnlyTheAreaInsideTheBufferChanges) {
    struct Case {
        RECT area;
        int changed;
    };
    const Case cases[] = {
        {{2, 1, 5, 3}, 6},    // inside
        {{-3, -2, 2, 1}, 2},  // over the top-left corner
        {{6, 3, 20, 20}, 2},  // over the bottom-right corner
        {{8, 0, 12, 4}, 0},   // right of the buffer
        {{3, 2, 3, 4}, 0},    // empty
        {{5, 3, 2, 1}, 0},    // inverted
    };
    for (const Case& c : cases) {
        // 8 x 4 pixels in rows of 10: the two spare pixels of each row never change.
        std::vector<uint32_t> pixels(10 * 4, 0xFF000000u);
        ShadeArea(pixels.data(), 8, 4, 10 * 4, c.area, 0x80FFFFFF);
        int changed = 0;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 10; ++x) {
                const bool inside = x >= c.area.left && x < c.area.right && y >= c.area.top &&
                                    y < c.area.bottom && x < 8;
                const uint32_t p = pixels[size_t(y * 10 + x)];
                EXPECT_EQ(p, inside ? 0xFF808080u : 0xFF000000u) << x << "," << y;
                changed += p != 0xFF000000u;
            }
        EXPECT_EQ(changed, c.changed);
    }
}

TEST(PixelShadeTest, TransparentColoursAndBadBuffersChangeNothing) {
    std::vector<uint32_t> pixels(16, 0xFF123456u);
    ShadeArea(pixels.data(), 4, 4, 16, RECT{0, 0, 4, 4}, 0x00FFFFFF);
    ShadeArea(pixels.data(), 4, 4, 12, RECT{0, 0, 4, 4}, 0xFFFFFFFF);  // rows shorter than 4 pixels
    ShadeArea(nullptr, 4, 4, 16, RECT{0, 0, 4, 4}, 0xFFFFFFFF);
    for (uint32_t p : pixels) EXPECT_EQ(p, 0xFF123456u);
    ShadeArea(pixels.data(), 4, 4, 16, RECT{0, 0, 4, 4}, 0xFFABCDEF);
    for (uint32_t p : pixels) EXPECT_EQ(p, 0xFFABCDEFu);
}

}  // namespace
