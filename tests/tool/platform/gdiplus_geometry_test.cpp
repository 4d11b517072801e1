// ctest-labels: gui
#include "platform/gdiplus_geometry.h"

#include <gtest/gtest.h>

#include "support/qt_test_app.h"
#include "tool/platform/gdiplus_test_images.h"

namespace {

class GdiplusGeometryTest : public GuiTest {};

constexpr QRgb kFill = 0xFF123456;

// Left half red, right half blue.
UniqueBitmap Halves(int width, int height) {
    return MakeBitmap(width, height, [=](int x, int) { return x < width / 2 ? kRed : kBlue; });
}

TEST_F(GdiplusGeometryTest, ResizeSizesByMode) {
    UniqueBitmap source = Halves(200, 100);
    const struct {
        int mode;
        QSize size;
    } cases[] = {
        {kResizeStretch, {100, 100}}, {kResizeFit, {100, 50}},       {kResizeFill, {200, 100}},
        {kResizeByWidth, {100, 50}},  {kResizeByHeight, {200, 100}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        UniqueBitmap resized(Gdiplus_ResizeBitmap(source.get(), 100, 100, c.mode, kFill));
        ASSERT_TRUE(resized);
        EXPECT_EQ(resized->size(), c.size);
        EXPECT_EQ(resized->format(), QImage::Format_ARGB32);
        // The halves stay halves: nothing of the fill colour shows.
        const int w = c.size.width();
        const int h = c.size.height();
        EXPECT_EQ(resized->pixel(w / 4, h / 2), kRed);
        EXPECT_EQ(resized->pixel(w * 3 / 4, h / 2), kBlue);
        EXPECT_EQ(resized->pixel(0, 0), kRed);
        EXPECT_EQ(resized->pixel(w - 1, h - 1), kBlue);
    }
}

TEST_F(GdiplusGeometryTest, ResizeRefusesBadArguments) {
    UniqueBitmap source = Halves(20, 10);
    EXPECT_EQ(nullptr, Gdiplus_ResizeBitmap(source.get(), 10, 10, 5, kFill));
    EXPECT_EQ(nullptr, Gdiplus_ResizeBitmap(source.get(), 10, 10, -1, kFill));
    EXPECT_EQ(nullptr, Gdiplus_ResizeBitmap(source.get(), 0, 10, kResizeStretch, kFill));
    EXPECT_EQ(nullptr, Gdiplus_ResizeBitmap(source.get(), 10, -3, kResizeFit, kFill));
    EXPECT_EQ(nullptr, Gdiplus_ResizeBitmap(nullptr, 10, 10, kResizeStretch, kFill));
    // A result that truncates to nothing: 20 x 10 fitted into 1 x 1 is 1 x 0.
    EXPECT_EQ(nullptr, Gdiplus_ResizeBitmap(source.get(), 1, 1, kResizeFit, kFill));
    EXPECT_EQ(nullptr, Gdiplus_StretchBitmap(source.get(), 0, 5));
    EXPECT_EQ(nullptr, Gdiplus_StretchBitmap(nullptr, 5, 5));
}

TEST_F(GdiplusGeometryTest, StretchCoversTheWholeResult) {
    UniqueBitmap source = MakeQuadrants(2, 2);
    UniqueBitmap stretched(Gdiplus_StretchBitmap(source.get(), 40, 20));
    ASSERT_TRUE(stretched);
    EXPECT_EQ(stretched->size(), QSize(40, 20));
    EXPECT_EQ(stretched->pixel(0, 0), kRed);
    EXPECT_EQ(stretched->pixel(39, 0), kGreen);
    EXPECT_EQ(stretched->pixel(0, 19), kBlue);
    EXPECT_EQ(stretched->pixel(39, 19), kWhite);
}

// Three vertical stripes: red 50, green 100, blue 50 pixels wide.
UniqueBitmap Stripes() {
    return MakeBitmap(200, 100, [](int x, int) {
        return x < 50 ? kRed : x < 150 ? kGreen : kBlue;
    });
}

TEST_F(GdiplusGeometryTest, DisposeCropFillTakesTheCentre) {
    UniqueBitmap source = Stripes();
    UniqueBitmap cropped(Gdiplus_DisposeBitmapByMode(source.get(), 50, 50, kDisposeCropFill, 0));
    ASSERT_TRUE(cropped);
    EXPECT_EQ(cropped->size(), QSize(50, 50));
    // The centred 100 x 100 area is all green.
    for (QPoint p : {QPoint(0, 0), QPoint(49, 0), QPoint(25, 25), QPoint(0, 49), QPoint(49, 49)}) {
        EXPECT_EQ(cropped->pixel(p), kGreen) << p.x() << "," << p.y();
    }
}

TEST_F(GdiplusGeometryTest, DisposeTileRepeatsAndCuts) {
    UniqueBitmap source = MakeBitmap(3, 2, Distinct);
    UniqueBitmap tiled(Gdiplus_DisposeBitmapByMode(source.get(), 7, 5, kDisposeTile, kFill));
    ASSERT_TRUE(tiled);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 7; ++x) EXPECT_EQ(tiled->pixel(x, y), Distinct(x % 3, y % 2)) << x;
    }
}

TEST_F(GdiplusGeometryTest, DisposeCentreOnFillOrCut) {
    UniqueBitmap small = MakeBitmap(4, 4, Distinct);
    UniqueBitmap centred(Gdiplus_DisposeBitmapByMode(small.get(), 8, 6, kDisposeCentre, kFill));
    ASSERT_TRUE(centred);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 8; ++x) {
            const bool inside = x >= 2 && x < 6 && y >= 1 && y < 5;
            EXPECT_EQ(centred->pixel(x, y), inside ? Distinct(x - 2, y - 1) : kFill) << x << y;
        }
    }
    UniqueBitmap large = MakeBitmap(6, 6, Distinct);
    UniqueBitmap cut(Gdiplus_DisposeBitmapByMode(large.get(), 4, 2, kDisposeCentre, kFill));
    ASSERT_TRUE(cut);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x) EXPECT_EQ(cut->pixel(x, y), Distinct(x + 1, y + 2));
    }
}

TEST_F(GdiplusGeometryTest, DisposeOtherModes) {
    UniqueBitmap source = Halves(200, 100);
    UniqueBitmap fit(Gdiplus_DisposeBitmapByMode(source.get(), 100, 100, kDisposeFit, kFill));
    ASSERT_TRUE(fit);
    EXPECT_EQ(fit->size(), QSize(100, 50));
    UniqueBitmap stretch(Gdiplus_DisposeBitmapByMode(source.get(), 30, 70, kDisposeStretch, kFill));
    ASSERT_TRUE(stretch);
    EXPECT_EQ(stretch->size(), QSize(30, 70));
    EXPECT_EQ(nullptr, Gdiplus_DisposeBitmapByMode(source.get(), 10, 10, 5, kFill));
    EXPECT_EQ(nullptr, Gdiplus_DisposeBitmapByMode(source.get(), 0, 10, kDisposeTile, kFill));
    EXPECT_EQ(nullptr, Gdiplus_DisposeBitmapByMode(nullptr, 10, 10, kDisposeTile, kFill));
}

TEST_F(GdiplusGeometryTest, CropCopiesTheArea) {
    UniqueBitmap source = MakeBitmap(6, 5, Distinct);
    UniqueBitmap part(Gdiplus_GetBitmapFromBitmap(source.get(), 2, 1, 3, 2, nullptr));
    ASSERT_TRUE(part);
    EXPECT_EQ(part->size(), QSize(3, 2));
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) EXPECT_EQ(part->pixel(x, y), Distinct(x + 2, y + 1));
    }
    const RECT rect{2, 1, 5, 3};
    UniqueBitmap byRect(Gdiplus_GetBitmapFromBitmapByRect(source.get(), &rect, nullptr));
    ASSERT_TRUE(byRect);
    EXPECT_EQ(*byRect, *part);
}

TEST_F(GdiplusGeometryTest, CropScalesToTheOutputSize) {
    UniqueBitmap source = MakeQuadrants(8, 8);
    const SIZE out{12, 6};
    UniqueBitmap part(Gdiplus_GetBitmapFromBitmap(source.get(), 4, 0, 4, 4, &out));
    ASSERT_TRUE(part);
    EXPECT_EQ(part->size(), QSize(12, 6));
    for (QPoint p : {QPoint(0, 0), QPoint(11, 5), QPoint(6, 3)}) EXPECT_EQ(part->pixel(p), kGreen);
}

TEST_F(GdiplusGeometryTest, CropAreaOutsideTheImageStaysTransparent) {
    UniqueBitmap source = MakeBitmap(4, 4, Distinct);
    UniqueBitmap part(Gdiplus_GetBitmapFromBitmap(source.get(), 3, 3, 2, 2, nullptr));
    ASSERT_TRUE(part);
    EXPECT_EQ(part->pixel(0, 0), Distinct(3, 3));
    EXPECT_EQ(qAlpha(part->pixel(1, 0)), 0);
    EXPECT_EQ(qAlpha(part->pixel(0, 1)), 0);
    EXPECT_EQ(qAlpha(part->pixel(1, 1)), 0);
    UniqueBitmap away(Gdiplus_GetBitmapFromBitmap(source.get(), 40, 40, 2, 2, nullptr));
    ASSERT_TRUE(away);
    EXPECT_EQ(qAlpha(away->pixel(0, 0)), 0);
}

TEST_F(GdiplusGeometryTest, CropRefusesBadArguments) {
    UniqueBitmap source = MakeBitmap(4, 4, Distinct);
    const SIZE zero{0, 3};
    EXPECT_EQ(nullptr, Gdiplus_GetBitmapFromBitmap(source.get(), 0, 0, 0, 2, nullptr));
    EXPECT_EQ(nullptr, Gdiplus_GetBitmapFromBitmap(source.get(), 0, 0, 2, -2, nullptr));
    EXPECT_EQ(nullptr, Gdiplus_GetBitmapFromBitmap(source.get(), 0, 0, 2, 2, &zero));
    EXPECT_EQ(nullptr, Gdiplus_GetBitmapFromBitmap(nullptr, 0, 0, 2, 2, nullptr));
    EXPECT_EQ(nullptr, Gdiplus_GetBitmapFromBitmapByRect(source.get(), nullptr, nullptr));
    const RECT huge{INT32_MIN, 0, INT32_MAX, 2};
    EXPECT_EQ(nullptr, Gdiplus_GetBitmapFromBitmapByRect(source.get(), &huge, nullptr));
}

}  // namespace
