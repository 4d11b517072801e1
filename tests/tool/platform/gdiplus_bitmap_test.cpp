// ctest-labels: gui
#include "platform/gdiplus_bitmap.h"

#include <gtest/gtest.h>

#include "platform/gdiplus_codecs.h"
#include "support/qt_test_app.h"
#include "tool/platform/gdiplus_test_images.h"

namespace {

class GdiplusBitmapTest : public GuiTest {};

TEST_F(GdiplusBitmapTest, CreateInEveryFormat) {
    const struct {
        int pixelFormat;
        QImage::Format format;
        int depth;
    } cases[] = {
        {kPixelFormat1bppIndexed, QImage::Format_Mono, 1},
        {kPixelFormat8bppIndexed, QImage::Format_Indexed8, 8},
        {kPixelFormat16bppRGB555, QImage::Format_RGB555, 16},
        {kPixelFormat16bppRGB565, QImage::Format_RGB16, 16},
        {kPixelFormat24bppRGB, QImage::Format_BGR888, 24},
        {kPixelFormat32bppRGB, QImage::Format_RGB32, 32},
        {kPixelFormat32bppARGB, QImage::Format_ARGB32, 32},
        {kPixelFormat32bppPARGB, QImage::Format_ARGB32_Premultiplied, 32},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pixelFormat);
        UniqueBitmap bitmap(Gdiplus_CreateBitmap(5, 3, c.pixelFormat));
        ASSERT_TRUE(bitmap);
        EXPECT_EQ(bitmap->format(), c.format);
        EXPECT_EQ(bitmap->depth(), c.depth);
        EXPECT_EQ(PixelFormatBits(c.pixelFormat), c.depth);
        EXPECT_EQ(PixelFormatOfQtFormat(c.format), c.pixelFormat);
        EXPECT_EQ(bitmap->pixel(4, 2) & RGB_MASK, 0u);  // zeroed: black
        EXPECT_EQ(1, Gdiplus_BitmapOK(bitmap.get()));
    }
}

TEST_F(GdiplusBitmapTest, CreateRefusesBadArguments) {
    EXPECT_EQ(nullptr, Gdiplus_CreateBitmap(0, 3, kPixelFormat32bppARGB));
    EXPECT_EQ(nullptr, Gdiplus_CreateBitmap(3, -1, kPixelFormat32bppARGB));
    EXPECT_EQ(nullptr, Gdiplus_CreateBitmap(3, 3, 0x30402));  // 4 bits: no such image here
    EXPECT_EQ(nullptr, Gdiplus_CreateColorBmp(0, 0, kRed));
    EXPECT_EQ(nullptr, Gdiplus_CreateColorBmp(1, 0, kRed));
    EXPECT_EQ(nullptr, Gdiplus_CopyBitmap(nullptr));
    EXPECT_EQ(nullptr, Gdiplus_ModifyBitmapFormat(nullptr, kPixelFormat32bppARGB));
    UniqueBitmap bitmap(Gdiplus_CreateColorBmp(2, 2, kRed));
    EXPECT_EQ(nullptr, Gdiplus_ModifyBitmapFormat(bitmap.get(), 0x1234));
    Gdiplus_DeleteBitmap(nullptr);
}

TEST_F(GdiplusBitmapTest, ColourBitmapIsFilled) {
    UniqueBitmap bitmap(Gdiplus_CreateColorBmp(3, 4, 0x80102030));
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->format(), QImage::Format_ARGB32);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 3; ++x) EXPECT_EQ(bitmap->pixel(x, y), 0x80102030u);
    }
}

TEST_F(GdiplusBitmapTest, CopyIsIndependent) {
    UniqueBitmap source = MakeBitmap(4, 3, Distinct);
    UniqueBitmap rgb(Gdiplus_ModifyBitmapFormat(source.get(), kPixelFormat24bppRGB));
    for (GpBitmap* original : {source.get(), rgb.get()}) {
        UniqueBitmap copy(Gdiplus_CopyBitmap(original));
        ASSERT_TRUE(copy);
        EXPECT_EQ(copy->format(), original->format());
        EXPECT_EQ(*copy, *original);
        copy->setPixel(1, 1, kWhite);
        EXPECT_EQ(original->pixel(1, 1), Distinct(1, 1));
    }
}

TEST_F(GdiplusBitmapTest, ModifyFormatKeepsThePicture) {
    UniqueBitmap source = MakeBitmap(4, 3, Distinct);
    for (int format : {kPixelFormat24bppRGB, kPixelFormat32bppRGB, kPixelFormat32bppPARGB}) {
        UniqueBitmap converted(Gdiplus_ModifyBitmapFormat(source.get(), format));
        ASSERT_TRUE(converted);
        EXPECT_EQ(converted->format(), QtFormatOfPixelFormat(format));
        EXPECT_EQ(converted->pixel(3, 2), Distinct(3, 2));
    }
    UniqueBitmap same(Gdiplus_ModifyBitmapFormat(source.get(), kPixelFormat32bppARGB));
    same->setPixel(0, 0, kWhite);
    EXPECT_EQ(source->pixel(0, 0), Distinct(0, 0));  // never shares the source's pixels
}

TEST_F(GdiplusBitmapTest, StatusIsRememberedUntilAsked) {
    UniqueBitmap bitmap(Gdiplus_CreateColorBmp(2, 2, kRed));
    EXPECT_EQ(kGpOk, Gdiplus_BitmapLastError(bitmap.get()));
    EXPECT_EQ(0, Gdiplus_SaveBitmapToFileA(bitmap.get(), "/tmp/never.unknown"));
    EXPECT_EQ(kGpUnknownImageFormat, Gdiplus_BitmapLastError(bitmap.get()));
    EXPECT_EQ(0, Gdiplus_BitmapOK(bitmap.get()));
    EXPECT_EQ(kGpOk, Gdiplus_BitmapLastError(bitmap.get()));
    EXPECT_EQ(1, Gdiplus_BitmapOK(bitmap.get()));
    EXPECT_EQ(0, Gdiplus_BitmapOK(nullptr));
    EXPECT_EQ(kGpInvalidParameter, Gdiplus_BitmapLastError(nullptr));
}

}  // namespace
