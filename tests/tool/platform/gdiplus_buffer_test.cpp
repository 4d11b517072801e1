// ctest-labels: gui
#include "platform/gdiplus_buffer.h"

#include <gtest/gtest.h>

#include <QPainter>

#include <cstring>
#include <memory>
#include <vector>

#include "support/qt_test_app.h"
#include "tool/platform/gdiplus_test_images.h"

namespace {

class GdiplusBufferTest : public GuiTest {};

// Bytes B, G, R of a 24-bit pixel.
void ExpectBgr(const uint8_t* p, QRgb colour) {
    EXPECT_EQ(p[0], qBlue(colour));
    EXPECT_EQ(p[1], qGreen(colour));
    EXPECT_EQ(p[2], qRed(colour));
}

TEST_F(GdiplusBufferTest, ExactStrideOf24BitRowsIsNotOverrun) {
    // 101 pixels at 24 bits are 303 bytes, 304 with the row padding.
    constexpr int kWidth = 101;
    constexpr int kHeight = 3;
    constexpr int kStride = kWidth * 3;
    constexpr int kGuard = 16;
    UniqueBitmap bitmap = MakeBitmap(kWidth, kHeight, Distinct);

    // On the heap with its exact size, so that AddressSanitizer sees a write past the end.
    std::unique_ptr<uint8_t[]> exact(new uint8_t[kStride * kHeight]);
    ASSERT_EQ(1, Gdiplus_GetBitmapBuffer(bitmap.get(), nullptr, kPixelFormat24bppRGB, exact.get(),
                                         kStride));
    ExpectBgr(exact.get() + (kHeight - 1) * kStride + (kWidth - 1) * 3,
              Distinct(kWidth - 1, kHeight - 1));

    // Without a sanitizer: guard bytes after the last row stay as they were.
    std::vector<uint8_t> guarded(kStride * kHeight + kGuard, 0xAB);
    ASSERT_EQ(1, Gdiplus_GetBitmapBuffer(bitmap.get(), nullptr, kPixelFormat24bppRGB,
                                         guarded.data(), kStride));
    for (int i = 0; i < kGuard; ++i) EXPECT_EQ(guarded[kStride * kHeight + i], 0xAB) << i;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) ExpectBgr(&guarded[y * kStride + x * 3], Distinct(x, y));
    }
}

struct BufferCase {
    const char* name;
    int pixelFormat;
    RECT rect;
    int stride;
};

TEST_F(GdiplusBufferTest, CopiesTheAreaInTheRequestedFormat) {
    const BufferCase cases[] = {
        {"argb whole", kPixelFormat32bppARGB, {0, 0, 6, 4}, 6 * 4},
        {"argb inner, wide stride", kPixelFormat32bppARGB, {1, 1, 4, 3}, 40},
        {"rgb32 reaching outside", kPixelFormat32bppRGB, {3, 2, 60, 60}, 3 * 4},
        {"24 bits inner", kPixelFormat24bppRGB, {2, 0, 5, 4}, 12},
    };
    UniqueBitmap bitmap = MakeBitmap(6, 4, Distinct);
    for (const BufferCase& c : cases) {
        SCOPED_TRACE(c.name);
        const int left = c.rect.left;
        const int top = c.rect.top;
        const int width = std::min(c.rect.right, 6) - left;
        const int height = std::min(c.rect.bottom, 4) - top;
        std::vector<uint8_t> out(size_t(c.stride) * height, 0);
        ASSERT_EQ(
            1, Gdiplus_GetBitmapBuffer(bitmap.get(), &c.rect, c.pixelFormat, out.data(), c.stride));
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const QRgb expected = Distinct(left + x, top + y);
                if (c.pixelFormat == kPixelFormat24bppRGB) {
                    ExpectBgr(&out[y * c.stride + x * 3], expected);
                } else {
                    uint32_t value;
                    std::memcpy(&value, &out[y * c.stride + x * 4], 4);
                    EXPECT_EQ(value, expected) << x << "," << y;
                }
            }
        }
    }
}

TEST_F(GdiplusBufferTest, RefusesBadArguments) {
    UniqueBitmap bitmap = MakeBitmap(4, 4, Distinct);
    std::vector<uint8_t> out(256);
    const RECT outside{10, 10, 20, 20};
    const RECT empty{1, 1, 1, 3};
    struct Case {
        const char* name;
        const RECT* rect;
        int format;
        void* dst;
        int stride;
    } const cases[] = {
        {"null destination", nullptr, kPixelFormat32bppARGB, nullptr, 16},
        {"area outside", &outside, kPixelFormat32bppARGB, out.data(), 16},
        {"empty area", &empty, kPixelFormat32bppARGB, out.data(), 16},
        {"unknown format", nullptr, 0x12345, out.data(), 16},
        {"indexed of a 32-bit bitmap", nullptr, kPixelFormat8bppIndexed, out.data(), 16},
        {"stride shorter than the pixels", nullptr, kPixelFormat32bppARGB, out.data(), 15},
        {"zero stride", nullptr, kPixelFormat32bppARGB, out.data(), 0},
        {"negative stride", nullptr, kPixelFormat32bppARGB, out.data(), -16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(0, Gdiplus_GetBitmapBuffer(bitmap.get(), c.rect, c.format, c.dst, c.stride));
        EXPECT_EQ(kGpInvalidParameter, Gdiplus_BitmapLastError(bitmap.get()));
        EXPECT_EQ(0, Gdiplus_BitmapOK(bitmap.get()));  // and cleared
    }
    EXPECT_EQ(0, Gdiplus_GetBitmapBuffer(nullptr, nullptr, kPixelFormat32bppARGB, out.data(), 16));
}

TEST_F(GdiplusBufferTest, ImageBitsAreTheCallersMemory) {
    std::vector<uint32_t> pixels(4 * 3, 0xFF102030);
    UniqueBitmap bitmap(
        Gdiplus_LoadBitmapFromImageBits(pixels.data(), 4, 3, 16, kPixelFormat32bppARGB));
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->pixel(2, 1), 0xFF102030u);
    pixels[1 * 4 + 2] = 0xFF00FF00;
    EXPECT_EQ(bitmap->pixel(2, 1), 0xFF00FF00u);  // not a copy
    {
        QPainter painter(bitmap.get());
        painter.fillRect(QRect(0, 0, 1, 1), QColor(kBlue));
    }
    EXPECT_EQ(pixels[0], kBlue);  // drawing changes the caller's pixels

    std::vector<uint8_t> indexed(8 * 2, 9);  // entry 9 of the fixed palette is red
    UniqueBitmap palette(
        Gdiplus_LoadBitmapFromImageBits(indexed.data(), 8, 2, 8, kPixelFormat8bppIndexed));
    ASSERT_TRUE(palette);
    EXPECT_EQ(palette->pixel(3, 1), kRed);
}

TEST_F(GdiplusBufferTest, ImageBitsRefuseBadArguments) {
    std::vector<uint32_t> pixels(16);
    EXPECT_EQ(nullptr, Gdiplus_LoadBitmapFromImageBits(nullptr, 4, 4, 16, kPixelFormat32bppARGB));
    EXPECT_EQ(nullptr,
              Gdiplus_LoadBitmapFromImageBits(pixels.data(), 0, 4, 16, kPixelFormat32bppARGB));
    EXPECT_EQ(nullptr,
              Gdiplus_LoadBitmapFromImageBits(pixels.data(), 4, 0, 16, kPixelFormat32bppARGB));
    EXPECT_EQ(nullptr,
              Gdiplus_LoadBitmapFromImageBits(pixels.data(), 4, 4, 0, kPixelFormat32bppARGB));
    EXPECT_EQ(nullptr,
              Gdiplus_LoadBitmapFromImageBits(pixels.data(), 4, 4, 15, kPixelFormat32bppARGB));
    EXPECT_EQ(nullptr, Gdiplus_LoadBitmapFromImageBits(pixels.data(), 4, 4, 16, 0x777));
}

// Top row red, bottom row blue; the top-left pixel half transparent white.
UniqueBitmap TwoRows() {
    return MakeBitmap(3, 2, [](int x, int y) {
        if (x == 0 && y == 0) return qRgba(255, 255, 255, 0);
        return y == 0 ? kRed : kBlue;
    });
}

uint32_t Pixel32(const PixelBitmap& bitmap, int x, int row) {
    uint32_t value;
    std::memcpy(&value, bitmap.pixels + size_t(row) * bitmap.stride + x * 4, 4);
    return value;
}

TEST_F(GdiplusBufferTest, HBitmapRowOrderFollowsTheTopDownFlag) {
    UniqueBitmap bitmap = TwoRows();
    constexpr uint32_t kBackground = 0x00336699;  // 0x00RRGGBB
    UniqueHBitmap topDown(Gdiplus_GetHBitmap(bitmap.get(), kBackground, 1));
    ASSERT_TRUE(topDown);
    EXPECT_TRUE(topDown->topDown);
    EXPECT_EQ(topDown->bitsPerPixel, 32);
    EXPECT_EQ(topDown->width, 3);
    EXPECT_EQ(topDown->height, 2);
    EXPECT_EQ(Pixel32(*topDown, 1, 0), kRed);  // memory row 0 is the top row
    EXPECT_EQ(Pixel32(*topDown, 1, 1), kBlue);
    EXPECT_EQ(Pixel32(*topDown, 0, 0), 0xFF336699u);  // transparent: the background shows

    UniqueHBitmap bottomUp(Gdiplus_GetHBitmap(bitmap.get(), kBackground, 0));
    ASSERT_TRUE(bottomUp);
    EXPECT_FALSE(bottomUp->topDown);
    EXPECT_EQ(Pixel32(*bottomUp, 1, 0), kBlue);  // memory row 0 is the bottom row
    EXPECT_EQ(Pixel32(*bottomUp, 1, 1), kRed);
    EXPECT_EQ(Pixel32(*bottomUp, 0, 1), 0xFF336699u);

    EXPECT_EQ(nullptr, Gdiplus_GetHBitmap(nullptr, 0, 1));
}

TEST_F(GdiplusBufferTest, HBitmapKeepsTheImagesDepth) {
    UniqueBitmap source = TwoRows();
    UniqueBitmap rgb24(Gdiplus_ModifyBitmapFormat(source.get(), kPixelFormat24bppRGB));
    UniqueHBitmap bits24(Gdiplus_GetHBitmap(rgb24.get(), 0, 1));
    ASSERT_TRUE(bits24);
    EXPECT_EQ(bits24->bitsPerPixel, 24);
    EXPECT_EQ(bits24->stride, 12);
    ExpectBgr(bits24->pixels + 1 * 3, kRed);
    ExpectBgr(bits24->pixels + bits24->stride + 2 * 3, kBlue);

    UniqueBitmap indexed(Gdiplus_ModifyBitmapFormat(source.get(), kPixelFormat8bppIndexed));
    UniqueHBitmap bits8(Gdiplus_GetHBitmap(indexed.get(), 0, 1));
    ASSERT_TRUE(bits8);
    EXPECT_EQ(bits8->bitsPerPixel, 8);
    ASSERT_EQ(bits8->colorEntries.size(), 256u);
    EXPECT_EQ(bits8->colorEntries[bits8->pixels[1]], 0xFF0000u);  // red, as 0x00RRGGBB
    EXPECT_EQ(bits8->colorEntries[bits8->pixels[bits8->stride + 1]], 0x0000FFu);
}

}  // namespace
