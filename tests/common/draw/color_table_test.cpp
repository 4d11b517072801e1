#include "draw/color_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

#include "misc/colour_space.h"

namespace {

uint32_t Hsv(double h, double s, double v) {
    uint8_t r, g, b;
    HSVToRGB(h, s, v, &r, &g, &b);
    return 0xFF000000u | r << 16 | g << 8 | b;
}

TEST(CommonColorTable, FiftyDistinctColoursBeforeARepeat) {
    std::set<COLORREF> seen;
    for (int i = 0; i < 50; ++i) seen.insert(CommonColor(i));
    EXPECT_EQ(seen.size(), 50u);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(CommonColor(i + 50), CommonColor(i));
    // Index i walks the rows first: 0 -> [0][0], 1 -> [1][0], 5 -> [0][1].
    EXPECT_EQ(CommonColor(0), 0xF0FAFFu);
    EXPECT_EQ(CommonColor(1), 0x57CFE3u);
    EXPECT_EQ(CommonColor(4), 0xEBCE87u);
    EXPECT_EQ(CommonColor(5), 0xADDEFFu);
    EXPECT_EQ(CommonColor(49), 0xFF0000u);
    EXPECT_EQ(gCommonColorTable[3][9], 0x0000FFu);  // pure red as a COLORREF
}

TEST(HotImageColorTable, RunsFromGreenToRedAfterAMutedBlue) {
    uint32_t table[256];
    InitHotImageColorTable(table);
    EXPECT_EQ(table[0], Hsv(247.5, 0.564655172413793, 0.9098039215686274));
    EXPECT_GT(table[0] & 0xFF, (table[0] >> 16) & 0xFF);  // bluish
    EXPECT_EQ(table[255], 0xFFFF0000u);                   // hue 0: red
    EXPECT_EQ(table[1], Hsv(30480.0 / 255.0, 1, 1));
    EXPECT_EQ((table[1] >> 8) & 0xFF, 0xFFu);  // green at full value
    for (int i = 1; i < 256; ++i) {
        EXPECT_EQ(table[i], Hsv((30600.0 - 120.0 * i) / 255.0, 1, 1)) << i;
        EXPECT_EQ(table[i] >> 24, 0xFFu);
    }
}

TEST(HotImageColorTable, TwoColourTableBlendsHueAndAveragesTheRest) {
    uint32_t table[256];
    // Pure red (hue 0) to pure blue (hue 240), both saturation 1, value 1.
    InitHotImageColorTable2(table, RGB(255, 0, 0), RGB(0, 0, 255));
    EXPECT_EQ(table[0], 0xFFFF0000u);
    EXPECT_EQ(table[128], Hsv(120.0, 1, 1));  // hue halfway: green
    EXPECT_EQ(table[255], Hsv(240.0 * 255 / 256, 1, 1));
    // Black and white: hues 0, saturations 0, values 0 and 1: a grey ramp at value 0.5.
    InitHotImageColorTable2(table, RGB(0, 0, 0), RGB(255, 255, 255));
    for (int i = 0; i < 256; ++i) EXPECT_EQ(table[i], 0xFF7F7F7Fu) << i;
}

TEST(ImageDataToHotImage, MapsValuesToIndicesAndPixels) {
    uint32_t table[256];
    for (int i = 0; i < 256; ++i) table[i] = 0xFF000000u | uint32_t(i) * 0x010101u;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double v, minimum, maximum;
        int index;
    } cases[] = {
        {0.5, 0, 1, 128},   {1.0, 0, 1, 255}, {0.0, 0, 1, 0},  {-3, 0, 1, 0},     {7, 0, 1, 255},
        {0.999, 0, 1, 255}, {0.25, 0, 1, 64}, {0.2, 0, 1, 51}, {15, 10, 20, 128}, {5, 5, 5, 0},
        {6, 5, 5, 255},     {4, 5, 5, 0},     {nan, 0, 1, 0},  {0.5, nan, 1, 0},  {inf, 0, 1, 255},
        {-inf, 0, 1, 0},    {0.75, 1, 0, 64},  // reversed range: (0.75 - 1) x 256 / -1
    };
    for (const auto& c : cases) {
        uint32_t pixel = 0;
        uint8_t index = 0;
        ImageDataToHotImage(&c.v, 1, c.minimum, c.maximum, table, &pixel, &index);
        EXPECT_EQ(index, c.index) << c.v << " in " << c.minimum << ".." << c.maximum;
        EXPECT_EQ(pixel, table[c.index]) << c.v;
    }
}

TEST(ImageDataToHotImage, EitherOutputMayBeAbsent) {
    const double values[3] = {0.0, 0.5, 1.0};
    uint8_t indices[3] = {9, 9, 9};
    ImageDataToHotImage(values, 3, 0, 1, nullptr, nullptr, indices);
    EXPECT_EQ(indices[0], 0);
    EXPECT_EQ(indices[1], 128);
    EXPECT_EQ(indices[2], 255);
    uint32_t table[256] = {};
    table[128] = 42;
    uint32_t pixels[3] = {};
    ImageDataToHotImage(values, 3, 0, 1, table, pixels, nullptr);
    EXPECT_EQ(pixels[1], 42u);
}

}  // namespace
