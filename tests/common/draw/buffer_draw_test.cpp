// The sample picture of common/draw/README.md: thick lines, an alpha gradient over a
// checkerboard, the heat-map table and the 50 default colours, drawn with the library's own
// primitives, written as a BMP and read back by ImageMagick. With ORBO_DRAW_SAMPLE_DIR set the
// BMP is also left there as draw_sample.bmp (convert it to PNG for the README).
#include "draw/buffer_draw.h"

#include "draw/alpha_blend_internal.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "common/draw/image_magick_reader.h"
#include "support/temp_dir.h"

namespace {

constexpr int kWidth = 420;
constexpr int kHeight = 320;
constexpr uint32_t kWhite = 0xFFFFFFFF;
constexpr uint32_t kCheckLight = 0xFFC8C8C8;
constexpr uint32_t kCheckDark = 0xFF646464;
constexpr RECT kGradient = {10, 120, 410, 190};
constexpr RECT kHeatStrip = {10, 198, 410, 212};
constexpr int kSwatchLeft = 10, kSwatchTop = 220, kSwatchWidth = 40, kSwatchHeight = 18;

uint32_t PixelOf(COLORREF c) {
    return 0xFF000000u | uint32_t(GetRValue(c)) << 16 | uint32_t(GetGValue(c)) << 8 | GetBValue(c);
}

// Strong colours of the table for thickness 1 to 5: red, royal blue, forest green, orange, navy.
uint32_t LineColour(int t) {
    const int cells[5][2] = {{3, 3}, {4, 1}, {2, 6}, {1, 4}, {4, 8}};
    return PixelOf(gCommonColorTable[cells[t - 1][0]][cells[t - 1][1]]);
}

uint32_t GradientSource(int x, int y) {
    const uint32_t alpha = uint32_t(x * 255 / (kGradient.right - kGradient.left - 1));
    const uint32_t rgb = y < (kGradient.bottom - kGradient.top) / 2 ? 0xE02020 : 0x2040E0;
    return alpha << 24 | rgb;
}

uint32_t Checker(int x, int y) {
    return ((x / 10 + y / 10) % 2) ? kCheckDark : kCheckLight;
}

struct Sample {
    UniqueHBitmap bitmap;
    uint32_t* px = nullptr;
    int stride = 0;
    uint32_t& At(int x, int y) { return px[size_t(y) * (stride / 4) + x]; }
};

Sample DrawSample() {
    Sample s;
    void* pixels = nullptr;
    s.bitmap.reset(CreateHBitmap(&pixels, kWidth, kHeight, 32, nullptr, 0));
    if (!s.bitmap) return s;
    s.px = static_cast<uint32_t*>(pixels);
    s.stride = s.bitmap->stride;
    DrawColorOnBuffer(kWhite, pixels, RECT{0, 0, kWidth, kHeight}, s.stride);

    // Lines of thickness 1 to 5: shallow ones on the left, steep ones on the right.
    for (int t = 1; t <= 5; ++t) {
        const std::vector<uint32_t> run(t, LineColour(t));
        DrawLineOnBuffer(pixels, PackPoint(10, 2 + 18 * t), PackPoint(200, 18 + 18 * t), kWidth,
                         kHeight, s.stride, 4, t, run.data(), nullptr);
        DrawLineOnBuffer(pixels, PackPoint(220 + 38 * (t - 1), 110),
                         PackPoint(246 + 38 * (t - 1), 10), kWidth, kHeight, s.stride, 4, t,
                         run.data(), nullptr);
    }

    // Checkerboard, then a source whose alpha rises from 0 to 255 composited over it.
    for (int y = kGradient.top; y < kGradient.bottom; ++y)
        for (int x = kGradient.left; x < kGradient.right; ++x)
            s.At(x, y) = Checker(x - kGradient.left, y - kGradient.top);
    const int gw = kGradient.right - kGradient.left, gh = kGradient.bottom - kGradient.top;
    std::vector<uint32_t> gradient(size_t(gw) * gh);
    for (int y = 0; y < gh; ++y)
        for (int x = 0; x < gw; ++x) gradient[size_t(y) * gw + x] = GradientSource(x, y);
    AlphaDrawBufferOnBuffer_ARGB(pixels, kGradient, s.stride, gradient.data(), RECT{0, 0, gw, gh},
                                 gw * 4);

    // The heat-map table, scaled from 256 entries to the strip's width.
    uint32_t table[256];
    InitHotImageColorTable(table);
    StretchBufferOnBuffer(pixels, kHeatStrip, s.stride, table, RECT{0, 0, 256, 1}, 256 * 4, 4);

    // The 50 default colours in their table layout.
    for (int row = 0; row < 5; ++row) {
        for (int col = 0; col < 10; ++col) {
            const int left = kSwatchLeft + col * kSwatchWidth,
                      top = kSwatchTop + row * kSwatchHeight;
            DrawColorOnBuffer(
                PixelOf(gCommonColorTable[row][col]), pixels,
                RECT{left + 1, top + 1, left + kSwatchWidth - 1, top + kSwatchHeight - 1},
                s.stride);
        }
    }
    return s;
}

TEST(SamplePicture, DrawsWritesAndReadsBack) {
    Sample s = DrawSample();
    ASSERT_NE(s.bitmap, nullptr);
    TempDir dir;
    const std::string path = dir.File("draw_sample.bmp");
    ASSERT_EQ(SaveRgbBufferToBmpFile(s.px, kWidth, kHeight, 32, s.stride, nullptr, 0, path.c_str()),
              1);
    if (const char* keep = std::getenv("ORBO_DRAW_SAMPLE_DIR")) {
        std::filesystem::copy_file(path, std::filesystem::path(keep) / "draw_sample.bmp",
                                   std::filesystem::copy_options::overwrite_existing);
    }
    const DecodedImage img = ReadWithImageMagick(path, dir.File("raw"));
    ASSERT_TRUE(img.ok);
    ASSERT_EQ(img.width, kWidth);
    ASSERT_EQ(img.height, kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            ASSERT_EQ(img.Argb(x, y) & 0xFFFFFF, s.At(x, y) & 0xFFFFFF) << x << "," << y;

    // What the picture must show.
    // Each shallow line starts with a full T x T brush square in its colour.
    for (int t = 1; t <= 5; ++t)
        for (int j = 0; j < t; ++j)
            for (int i = 0; i < t; ++i) EXPECT_EQ(s.At(10 + i, 2 + 18 * t + j), LineColour(t)) << t;
    // The gradient: the checkerboard shows through at the left, the colour covers the right.
    EXPECT_EQ(s.At(kGradient.left, kGradient.top), kCheckLight);
    EXPECT_EQ(s.At(kGradient.left, kGradient.top + 10), kCheckDark);
    EXPECT_EQ(s.At(kGradient.right - 1, kGradient.top), 0xFFE02020u);
    EXPECT_EQ(s.At(kGradient.right - 1, kGradient.bottom - 1), 0xFF2040E0u);
    const uint32_t middle = s.At(kGradient.left + 200, kGradient.top + 5);
    EXPECT_EQ(middle, BlendArgbFloat(Checker(200, 5), GradientSource(200, 5)));
    EXPECT_NE(middle, Checker(200, 5));
    // The strip runs through the heat table from its "nothing" colour to red.
    uint32_t table[256];
    InitHotImageColorTable(table);
    EXPECT_EQ(s.At(kHeatStrip.left, kHeatStrip.top), table[0]);
    EXPECT_EQ(s.At(kHeatStrip.right - 1, kHeatStrip.bottom - 1), table[255]);
    // Every swatch holds its table colour.
    for (int i = 0; i < 50; ++i) {
        const int row = i % 5, col = (i / 5) % 10;
        EXPECT_EQ(s.At(kSwatchLeft + col * kSwatchWidth + 20, kSwatchTop + row * kSwatchHeight + 9),
                  PixelOf(CommonColor(i)))
            << i;
    }
}

}  // namespace
