// ctest-labels: gui
#include "platform/gdiplus_pixels.h"

#include <gtest/gtest.h>

#include <memory>

#include "support/qt_test_app.h"
#include "tool/platform/gdiplus_test_images.h"

namespace {

class GdiplusPixelsTest : public GuiTest {};

// (200 x 77 + 100 x 150 + 50 x 29) >> 8
constexpr int kGreyOf200_100_50 = 124;

TEST_F(GdiplusPixelsTest, GreyKeepsFormatAndAlpha) {
    const struct {
        const char* name;
        int pixelFormat;
        int alpha;  // of the test pixel after conversion to the format
    } cases[] = {
        {"argb", kPixelFormat32bppARGB, 128},
        {"rgb32", kPixelFormat32bppRGB, 255},
        {"24 bits", kPixelFormat24bppRGB, 255},
    };
    UniqueBitmap argb = MakeBitmap(3, 2, [](int, int) { return qRgba(200, 100, 50, 128); });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        UniqueBitmap source(Gdiplus_ModifyBitmapFormat(argb.get(), c.pixelFormat));
        ASSERT_TRUE(source);
        UniqueBitmap grey(Gdiplus_Gray(source.get()));
        ASSERT_TRUE(grey);
        EXPECT_EQ(grey->format(), source->format());
        const QRgb pixel = grey->pixel(2, 1);
        EXPECT_EQ(qAlpha(pixel), c.alpha);
        if (c.alpha == 255) {
            EXPECT_EQ(pixel, qRgb(kGreyOf200_100_50, kGreyOf200_100_50, kGreyOf200_100_50));
        } else {
            EXPECT_EQ(pixel, qRgba(kGreyOf200_100_50, kGreyOf200_100_50, kGreyOf200_100_50, 128));
        }
        EXPECT_EQ(source->pixel(2, 1), argb->pixel(2, 1) | (c.alpha == 255 ? 0xFF000000 : 0))
            << "source untouched";
    }
}

TEST_F(GdiplusPixelsTest, GreyOfAnIndexedBitmapGreysItsPalette) {
    UniqueBitmap indexed(Gdiplus_CreateBitmap(4, 1, kPixelFormat8bppIndexed));
    ASSERT_TRUE(indexed);
    indexed->setColorTable({qRgb(200, 100, 50), qRgb(255, 0, 0)});
    indexed->setPixel(0, 0, 0);
    indexed->setPixel(1, 0, 1);
    UniqueBitmap grey(Gdiplus_Gray(indexed.get()));
    ASSERT_TRUE(grey);
    EXPECT_EQ(grey->format(), QImage::Format_Indexed8);
    EXPECT_EQ(grey->pixelIndex(1, 0), 1);
    EXPECT_EQ(grey->pixel(0, 0), qRgb(kGreyOf200_100_50, kGreyOf200_100_50, kGreyOf200_100_50));
    EXPECT_EQ(grey->pixel(1, 0), qRgb(76, 76, 76));  // 255 x 77 >> 8
    EXPECT_EQ(indexed->pixel(1, 0), kRed);
    EXPECT_EQ(nullptr, Gdiplus_Gray(nullptr));
}

// Alpha 0, 50, 100, ..., by column; 4 columns x 3 rows.
UniqueBitmap AlphaColumns() {
    return MakeBitmap(4, 3, [](int x, int) { return qRgba(10, 20, 30, x * 50); });
}

TEST_F(GdiplusPixelsTest, SetAlphaInRectAndRange) {
    UniqueBitmap bitmap = AlphaColumns();
    const RECT rect{1, 1, 4, 2};  // columns 1 to 3 of row 1
    ASSERT_EQ(1, Gdiplus_SetBitmapAlpha(bitmap.get(), &rect, 200, 40, 110));
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            const bool changed = y == 1 && (x == 1 || x == 2);  // alpha 50 and 100
            EXPECT_EQ(qAlpha(bitmap->pixel(x, y)), changed ? 200 : x * 50) << x << "," << y;
            EXPECT_EQ(bitmap->pixel(x, y) & RGB_MASK, qRgb(10, 20, 30) & RGB_MASK);
        }
    }
    ASSERT_EQ(1, Gdiplus_SetBitmapAlpha(bitmap.get(), nullptr, 7, 0, 0));
    EXPECT_EQ(qAlpha(bitmap->pixel(0, 2)), 7);
    const RECT outside{10, 10, 20, 20};
    ASSERT_EQ(1, Gdiplus_SetBitmapAlpha(bitmap.get(), &outside, 9, 0, 255));
    EXPECT_EQ(qAlpha(bitmap->pixel(3, 2)), 150);
    EXPECT_EQ(0, Gdiplus_SetBitmapAlpha(nullptr, nullptr, 1, 0, 255));
}

TEST_F(GdiplusPixelsTest, SetAlphaOnAnOpaqueFormatKeepsTheChange) {
    UniqueBitmap rgb(Gdiplus_CreateBitmap(2, 2, kPixelFormat24bppRGB));
    ASSERT_EQ(1, Gdiplus_SetBitmapAlpha(rgb.get(), nullptr, 60, 255, 255));
    EXPECT_EQ(rgb->format(), QImage::Format_ARGB32);
    EXPECT_EQ(qAlpha(rgb->pixel(1, 1)), 60);
}

TEST_F(GdiplusPixelsTest, RegionHoldsThePixelsAtOrAboveTheThreshold) {
    // Row 0: . X X . X ; row 1: X X X X X ; row 2: none.
    const char* rows[] = {".XX.X", "XXXXX", "....."};
    UniqueBitmap bitmap = MakeBitmap(5, 3, [&](int x, int y) {
        return rows[y][x] == 'X' ? qRgba(0, 0, 0, 128) : qRgba(0, 0, 0, 127);
    });
    std::unique_ptr<QRegion> region(Gdiplus_CreateRgnFromBitmap(bitmap.get(), 128));
    ASSERT_TRUE(region);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) EXPECT_EQ(region->contains(QPoint(x, y)), rows[y][x] == 'X');
    }
    std::unique_ptr<QRegion> all(Gdiplus_CreateRgnFromBitmap(bitmap.get(), 0));
    EXPECT_TRUE(all->xored(QRegion(0, 0, 5, 3)).isEmpty());
    EXPECT_EQ(nullptr, Gdiplus_CreateRgnFromBitmap(nullptr, 1));
}

TEST_F(GdiplusPixelsTest, RegionOfManyRunsIsComplete) {
    // A 120 x 100 checkerboard: 6000 runs, several batches.
    UniqueBitmap bitmap = MakeBitmap(
        120, 100, [](int x, int y) { return (x + y) % 2 == 0 ? kBlack : qRgba(0, 0, 0, 0); });
    std::unique_ptr<QRegion> region(Gdiplus_CreateRgnFromBitmap(bitmap.get(), 255));
    ASSERT_TRUE(region);
    int inside = 0;
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 120; ++x) {
            ASSERT_EQ(region->contains(QPoint(x, y)), (x + y) % 2 == 0) << x << "," << y;
            inside += region->contains(QPoint(x, y)) ? 1 : 0;
        }
    }
    EXPECT_EQ(inside, 6000);
}

}  // namespace
