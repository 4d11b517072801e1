#include "misc/colour_space.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <thread>
#include <vector>

namespace {

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};

void PrintTo(const Rgb& c, std::ostream* os) {
    *os << "(" << int(c.r) << ", " << int(c.g) << ", " << int(c.b) << ")";
}

Rgb Hsv(double h, double s, double v) {
    Rgb c{};
    HSVToRGB(h, s, v, &c.r, &c.g, &c.b);
    return c;
}

Rgb Hls(double h, double l, double s) {
    Rgb c{};
    HLSToRGB(&c.r, &c.g, &c.b, h, l, s);
    return c;
}

Rgb YuvToRgb(int y, int u, int v) {
    Rgb c{};
    YUVToRGB(y, u, v, &c.r, &c.g, &c.b);
    return c;
}

Rgb RgbToYuv(int r, int g, int b) {
    Rgb c{};
    RGBToYUV(r, g, b, &c.r, &c.g, &c.b);
    return c;
}

// The formulas written out independently of the library's folded tables: three separately
// rounded products (halves away from zero), summed, clamped.
int RoundHalfAway(double x) {
    return static_cast<int>(x < 0 ? -std::floor(-x + 0.5) : std::floor(x + 0.5));
}
int Clamp(int x) {
    return x < 0 ? 0 : x > 255 ? 255 : x;
}

Rgb ReferenceRgbToYuv(int r, int g, int b) {
    int y = RoundHalfAway(0.257 * r) + RoundHalfAway(0.504 * g) + RoundHalfAway(0.098 * b) + 16;
    int u = RoundHalfAway(-0.148 * r) + RoundHalfAway(-0.291 * g) + RoundHalfAway(0.439 * b) + 128;
    int v = RoundHalfAway(0.439 * r) + RoundHalfAway(-0.368 * g) + RoundHalfAway(-0.071 * b) + 128;
    return {uint8_t(Clamp(y)), uint8_t(Clamp(u)), uint8_t(Clamp(v))};
}

Rgb ReferenceYuvToRgb(int y, int u, int v) {
    int yy = RoundHalfAway(1.164 * (y - 16));
    int r = yy + RoundHalfAway(1.596 * (v - 128));
    int g = yy + RoundHalfAway(-0.392 * (u - 128)) + RoundHalfAway(-0.813 * (v - 128));
    int b = yy + RoundHalfAway(2.017 * (u - 128));
    return {uint8_t(Clamp(r)), uint8_t(Clamp(g)), uint8_t(Clamp(b))};
}

}  // namespace

TEST(HSVToRGB, ConvertsKnownColours) {
    struct Case {
        double h, s, v;
        Rgb expected;
    };
    const Case cases[] = {
        {0, 1, 1, {255, 0, 0}},       {120, 1, 1, {0, 255, 0}},   {240, 1, 1, {0, 0, 255}},
        {60, 1, 1, {255, 255, 0}},    {180, 1, 1, {0, 255, 255}}, {300, 1, 1, {255, 0, 255}},
        {360, 1, 1, {255, 0, 255}},    // sector 6 takes the last sector's formula
        {-60, 1, 1, {255, 0, 255}},    // a negative sector too
        {0, 0, 0.5, {127, 127, 127}},  // truncation, not rounding
        {0, 0, 1, {255, 255, 255}},   {30, 1, 1, {255, 127, 0}},  {210, 0.5, 0.8, {102, 153, 204}},
        {0, 1, 2, {255, 0, 0}},  // beyond 1 saturates at 255
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Hsv(c.h, c.s, c.v), c.expected) << "hsv " << c.h << " " << c.s << " " << c.v;
    }
}

TEST(HSVToRGB, NonFiniteInputGivesBlackInsteadOfUndefinedBytes) {
    // A NaN hue falls to the last sector's formula; its NaN channel becomes 0.
    EXPECT_EQ(Hsv(NAN, 1, 1), (Rgb{255, 0, 0}));
    EXPECT_EQ(Hsv(INFINITY, 1, NAN), (Rgb{0, 0, 0}));
}

TEST(HSVToRGB, AcceptsNullOutputs) {
    uint8_t g = 1;
    HSVToRGB(120, 1, 1, nullptr, &g, nullptr);
    EXPECT_EQ(g, 255);
}

TEST(RGBToHSV, GivesHueSaturationValue) {
    struct Case {
        int r, g, b;
        double h, s, v;
    };
    const Case cases[] = {
        {255, 0, 0, 0, 1, 1},       {0, 0, 255, 240, 1, 1},
        {0, 255, 0, 120, 1, 1},     {128, 128, 128, 0, 0, 128 / 255.0},
        {0, 0, 0, 0, 0, 0},         {255, 0, 255, 300, 1, 1},
        {255 + 256, 0, 0, 0, 1, 1},  // only the low byte counts
    };
    for (const Case& c : cases) {
        double h = -1, s = -1, v = -1;
        RGBToHSV(c.r, c.g, c.b, &h, &s, &v);
        EXPECT_NEAR(h, c.h, 1e-9) << c.r << " " << c.g << " " << c.b;
        EXPECT_NEAR(s, c.s, 1e-9);
        EXPECT_NEAR(v, c.v, 1e-9);
    }
}

TEST(RGBToHSV, RoundTripsEveryPrimaryMixWithinOneStep) {
    for (int r = 0; r < 256; r += 15) {
        for (int g = 0; g < 256; g += 17) {
            for (int b = 0; b < 256; b += 51) {
                double h, s, v;
                RGBToHSV(r, g, b, &h, &s, &v);
                ASSERT_GE(h, 0.0);
                ASSERT_LT(h, 360.0);
                Rgb back = Hsv(h, s, v);
                // Truncation may lose at most one step per channel.
                EXPECT_LE(std::abs(back.r - r), 1);
                EXPECT_LE(std::abs(back.g - g), 1);
                EXPECT_LE(std::abs(back.b - b), 1);
            }
        }
    }
}

TEST(RGBToHLS, GivesHueLightnessSaturation) {
    struct Case {
        int r, g, b;
        double h, l, s;
    };
    const Case cases[] = {
        {255, 0, 0, 0, 0.5, 1},
        {0, 0, 255, 240, 0.5, 1},
        {128, 128, 128, 0, 128 / 255.0, 0},
        {255, 255, 255, 0, 1, 0},
        {255, 128, 128, 0, (1 + 128 / 255.0) / 2, (1 - 128 / 255.0) / (2 - 1 - 128 / 255.0)},
        {0, 64, 0, 120, 32 / 255.0, 1},
        {255, 0, 128, 360 - 128 / 255.0 * 60, 0.5, 1},
    };
    for (const Case& c : cases) {
        double h = -1, l = -1, s = -1;
        RGBToHLS(&h, &l, &s, c.r, c.g, c.b);
        EXPECT_NEAR(h, c.h, 1e-9) << c.r << " " << c.g << " " << c.b;
        EXPECT_NEAR(l, c.l, 1e-9);
        EXPECT_NEAR(s, c.s, 1e-9);
    }
}

TEST(HLSToRGB, ConvertsKnownColours) {
    struct Case {
        double h, l, s;
        Rgb expected;
    };
    const Case cases[] = {
        {0, 0.5, 1, {255, 0, 0}},      {120, 0.5, 1, {0, 255, 0}},   {240, 0.5, 1, {0, 0, 255}},
        {0, 1, 0.3, {255, 255, 255}},  // lightness 1: white whatever the saturation
        {90, 1, 1, {255, 255, 255}},   {0, 0.5, 0, {127, 127, 127}}, {0, 0, 1, {0, 0, 0}},
        {300, 0.25, 1, {127, 0, 127}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Hls(c.h, c.l, c.s), c.expected) << "hls " << c.h << " " << c.l << " " << c.s;
    }
}

TEST(HLSToRGB, RoundTripsWithinOneStep) {
    for (int r = 0; r < 256; r += 15) {
        for (int g = 0; g < 256; g += 17) {
            for (int b = 0; b < 256; b += 51) {
                double h, l, s;
                RGBToHLS(&h, &l, &s, r, g, b);
                Rgb back = Hls(h, l, s);
                EXPECT_LE(std::abs(back.r - r), 1) << r << " " << g << " " << b;
                EXPECT_LE(std::abs(back.g - g), 1) << r << " " << g << " " << b;
                EXPECT_LE(std::abs(back.b - b), 1) << r << " " << g << " " << b;
            }
        }
    }
}

TEST(RGBToYUV, GivesVideoRangeValues) {
    EXPECT_EQ(RgbToYuv(0, 0, 0), (Rgb{16, 128, 128}));
    EXPECT_EQ(RgbToYuv(255, 255, 255), (Rgb{236, 128, 128}));  // rounded products sum to 220
    EXPECT_EQ(RgbToYuv(255, 0, 0), (Rgb{82, 90, 240}));
}

TEST(YUVToRGB, GivesFullRangeValues) {
    EXPECT_EQ(YuvToRgb(16, 128, 128), (Rgb{0, 0, 0}));
    EXPECT_EQ(YuvToRgb(235, 128, 128), (Rgb{255, 255, 255}));
    EXPECT_EQ(YuvToRgb(81, 90, 240), (Rgb{255, 0, 0}));
}

TEST(RGBToYUV, EqualsSeparatelyRoundedProductsForEveryColour) {
    InitLookupTable();
    for (int r = 0; r < 256; ++r) {
        for (int g = 0; g < 256; g += 3) {
            for (int b = 0; b < 256; b += 5) {
                ASSERT_EQ(RgbToYuv(r, g, b), ReferenceRgbToYuv(r, g, b))
                    << r << " " << g << " " << b;
                ASSERT_EQ(YuvToRgb(r, g, b), ReferenceYuvToRgb(r, g, b))
                    << r << " " << g << " " << b;
            }
        }
    }
}

TEST(YUVLookupTable, ThreadsConvertingAtOnceAgree) {
    std::vector<std::thread> threads;
    std::vector<Rgb> results(8);
    for (size_t i = 0; i < results.size(); ++i) {
        threads.emplace_back([&results, i] { results[i] = RgbToYuv(255, 255, 255); });
    }
    for (auto& t : threads) t.join();
    for (const Rgb& c : results) EXPECT_EQ(c, (Rgb{236, 128, 128}));
}

// ---- images ----

namespace {

std::vector<uint8_t> MakeRgbImage(int w, int h, size_t stride, uint32_t seed) {
    std::vector<uint8_t> image(stride * h, 0xEE);
    uint32_t x = seed;
    for (int row = 0; row < h; ++row) {
        for (int i = 0; i < 3 * w; ++i) {
            x = x * 1664525u + 1013904223u;
            image[row * stride + i] = static_cast<uint8_t>(x >> 24);
        }
    }
    return image;
}

// Expected planar YUV computed pixel by pixel with RGBToYUV and the averaging rule.
std::vector<uint8_t> ReferenceImageToYuv(const std::vector<uint8_t>& rgb, int w, int h,
                                         size_t stride, int cw, int ch, bool vFirst, bool bgr,
                                         uint8_t fill) {
    size_t ySize = size_t(w) * h, cSize = size_t(cw) * ch;
    std::vector<uint8_t> out(ySize + 2 * cSize, fill);
    int sx = cw == w ? 1 : 2, sy = ch == h ? 1 : 2;
    size_t uOff = vFirst ? ySize + cSize : ySize, vOff = vFirst ? ySize : ySize + cSize;
    for (int cy = 0; cy < ch; ++cy) {
        for (int cx = 0; cx < cw; ++cx) {
            int uSum = 0, vSum = 0;
            for (int dy = 0; dy < sy; ++dy) {
                for (int dx = 0; dx < sx; ++dx) {
                    int px = cx * sx + dx, py = cy * sy + dy;
                    const uint8_t* p = &rgb[py * stride + 3 * px];
                    Rgb yuv = bgr ? RgbToYuv(p[2], p[1], p[0]) : RgbToYuv(p[0], p[1], p[2]);
                    out[size_t(py) * w + px] = yuv.r;
                    uSum += yuv.g;
                    vSum += yuv.b;
                }
            }
            int shift = (sx == 2) + (sy == 2);
            out[uOff + size_t(cy) * cw + cx] = uint8_t(uSum >> shift);
            out[vOff + size_t(cy) * cw + cx] = uint8_t(vSum >> shift);
        }
    }
    return out;
}

std::vector<uint8_t> ReferenceYuvToImage(const std::vector<uint8_t>& yuv, int w, int h,
                                         size_t stride, int cw, int ch, bool vFirst, bool bgr,
                                         uint8_t fill) {
    std::vector<uint8_t> out(stride * h, fill);
    size_t ySize = size_t(w) * h, cSize = size_t(cw) * ch;
    size_t uOff = vFirst ? ySize + cSize : ySize, vOff = vFirst ? ySize : ySize + cSize;
    int sx = cw == w ? 1 : 2, sy = ch == h ? 1 : 2;
    for (int py = 0; py < ch * sy; ++py) {
        for (int px = 0; px < cw * sx; ++px) {
            size_t c = size_t(py / sy) * cw + px / sx;
            Rgb rgb = YuvToRgb(yuv[size_t(py) * w + px], yuv[uOff + c], yuv[vOff + c]);
            uint8_t* p = &out[py * stride + 3 * px];
            p[0] = bgr ? rgb.b : rgb.r;
            p[1] = rgb.g;
            p[2] = bgr ? rgb.r : rgb.b;
        }
    }
    return out;
}

using ToYuv = void (*)(int, int, const uint8_t*, uint8_t*, int, int, int);
using FromYuv = void (*)(int, int, const uint8_t*, int, uint8_t*, int, int);

struct Layout {
    const char* name;
    ToYuv toYuv;
    FromYuv fromYuv;
    bool halfWidth, halfHeight;
};

const Layout kLayouts[] = {
    {"420", RGB888ToYUV420, YUV420ToRGB888, true, true},
    {"422", RGB888ToYUV422, YUV422ToRGB888, true, false},
    {"444", RGB888ToYUV444, YUV444ToRGB888, false, false},
};

}  // namespace

TEST(RGB888ToYUV, ImagesEqualPixelByPixelConversionIncludingOddSizesAndStrides) {
    struct Size {
        int w, h, padding;
    };
    // Wide rows take the vectorised path for whole blocks of 16 pixels and finish the rest
    // pixel by pixel; both must agree with the reference.
    const Size sizes[] = {{2, 2, 0},  {6, 4, 5},  {7, 5, 1},  {1, 1, 0},  {9, 3, 3},
                          {16, 2, 0}, {37, 6, 2}, {64, 4, 0}, {99, 7, 5}, {130, 3, 1}};
    for (const Layout& layout : kLayouts) {
        for (const Size& size : sizes) {
            for (int flags = 0; flags < 4; ++flags) {
                bool vFirst = flags & 1, bgr = flags & 2;
                size_t stride = 3 * size.w + size.padding;
                int cw = layout.halfWidth ? size.w / 2 : size.w;
                int ch = layout.halfHeight ? size.h / 2 : size.h;
                auto rgb = MakeRgbImage(size.w, size.h, stride, 7 + flags);
                auto expected =
                    ReferenceImageToYuv(rgb, size.w, size.h, stride, cw, ch, vFirst, bgr, 0xA5);
                std::vector<uint8_t> yuv(expected.size(), 0xA5);
                // A negative height counts as its magnitude.
                layout.toYuv(size.w, -size.h, rgb.data(), yuv.data(), vFirst, int(stride), bgr);
                EXPECT_EQ(yuv, expected)
                    << layout.name << " " << size.w << "x" << size.h << " flags " << flags;

                auto expectedRgb =
                    ReferenceYuvToImage(yuv, size.w, size.h, stride, cw, ch, vFirst, bgr, 0x5A);
                std::vector<uint8_t> back(stride * size.h, 0x5A);
                layout.fromYuv(-size.w, size.h, yuv.data(), vFirst, back.data(), int(stride), bgr);
                EXPECT_EQ(back, expectedRgb)
                    << layout.name << " " << size.w << "x" << size.h << " flags " << flags;
            }
        }
    }
}

// Planes of arbitrary bytes (not only what an RGB image gives) drive every sum past both ends of
// [0, 255]: the vectorised rows must clamp exactly as pixel-by-pixel conversion does.
TEST(YUV420ToRGB888, ArbitraryPlanesEqualPixelByPixelConversion) {
    const int w = 130, h = 6;
    const int cw = w / 2, ch = h / 2;
    for (int flags = 0; flags < 4; ++flags) {
        const bool vFirst = flags & 1, bgr = flags & 2;
        const size_t stride = 3 * w + 2;
        const int planeBytes = w * h + 2 * cw * ch;  // a multiple of 3: one "row" of that many
        std::vector<uint8_t> yuv = MakeRgbImage(planeBytes / 3, 1, planeBytes, 99 + flags);
        auto expected = ReferenceYuvToImage(yuv, w, h, stride, cw, ch, vFirst, bgr, 0x5A);
        std::vector<uint8_t> back(stride * h, 0x5A);
        YUV420ToRGB888(w, h, yuv.data(), vFirst, back.data(), int(stride), bgr);
        EXPECT_EQ(back, expected) << "flags " << flags;
    }
}

TEST(RGB888ToYUV420, FourWhitePixelsGiveWhiteYAndNeutralChroma) {
    const std::vector<uint8_t> white(12, 255);
    std::vector<uint8_t> yuv(6, 0);
    RGB888ToYUV420(2, 2, white.data(), yuv.data(), 0, 6, 0);
    EXPECT_EQ(yuv, (std::vector<uint8_t>{236, 236, 236, 236, 128, 128}));
}

TEST(YUV420ToRGB888, BgrFlagOnlyChangesByteOrder) {
    const uint8_t yuv[] = {81, 81, 81, 81, 90, 240};
    uint8_t rgb[12] = {};
    YUV420ToRGB888(2, 2, yuv, 0, rgb, 6, 0);
    EXPECT_EQ(rgb[0], 0xFF);
    EXPECT_EQ(rgb[1], 0x00);
    EXPECT_EQ(rgb[2], 0x00);
    YUV420ToRGB888(2, 2, yuv, 0, rgb, 6, 1);
    EXPECT_EQ(rgb[0], 0x00);
    EXPECT_EQ(rgb[1], 0x00);
    EXPECT_EQ(rgb[2], 0xFF);
    // V first: the same bytes read the other way round.
    const uint8_t swapped[] = {81, 81, 81, 81, 240, 90};
    YUV420ToRGB888(2, 2, swapped, 1, rgb, 6, 0);
    EXPECT_EQ(rgb[0], 0xFF);
    EXPECT_EQ(rgb[2], 0x00);
}

TEST(RGB888ToYUV, NullBuffersAndShortStridesChangeNothing) {
    std::vector<uint8_t> rgb(4 * 4 * 3, 200);
    for (const Layout& layout : kLayouts) {
        std::vector<uint8_t> yuv(4 * 4 * 3, 7);
        layout.toYuv(4, 4, nullptr, yuv.data(), 0, 12, 0);
        layout.toYuv(4, 4, rgb.data(), yuv.data(), 0, 11, 0);  // rows would overlap
        layout.toYuv(4, 4, rgb.data(), yuv.data(), 0, -12, 0);
        layout.toYuv(4, 4, rgb.data(), nullptr, 0, 12, 0);
        EXPECT_EQ(yuv, std::vector<uint8_t>(yuv.size(), 7)) << layout.name;
        std::vector<uint8_t> out(rgb.size(), 9);
        layout.fromYuv(4, 4, nullptr, 0, out.data(), 12, 0);
        layout.fromYuv(4, 4, yuv.data(), 0, out.data(), 0, 0);
        layout.fromYuv(4, 4, yuv.data(), 0, nullptr, 12, 0);
        EXPECT_EQ(out, std::vector<uint8_t>(out.size(), 9)) << layout.name;
    }
}
