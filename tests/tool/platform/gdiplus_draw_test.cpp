// ctest-labels: gui
#include "platform/gdiplus_draw.h"

#include <gtest/gtest.h>

#include "support/qt_test_app.h"
#include "tool/platform/gdiplus_test_images.h"

namespace {

class GdiplusDrawTest : public GuiTest {
protected:
    // A 12 x 10 black canvas.
    QImage m_canvas{12, 10, QImage::Format_ARGB32};
    void SetUp() override { m_canvas.fill(kBlack); }
};

TEST(GdiplusPlaceBitmapTest, PiecesByMode) {
    const QRect target(10, 20, 40, 20);
    const QRect source(0, 0, 20, 20);
    const struct {
        const char* name;
        int mode;
        std::vector<BitmapPiece> pieces;
    } cases[] = {
        // The widest 2:1 area of the square source: 20 x 10, centred.
        {"crop fill", kDrawCropFill, {{QRectF(10, 20, 40, 20), QRectF(0, 5, 20, 10)}}},
        // The square at 20 x 20 in the middle of the 40 x 20 target.
        {"fit", kDrawFit, {{QRectF(20, 20, 20, 20), QRectF(0, 0, 20, 20)}}},
        {"tile",
         kDrawTile,
         {{QRectF(10, 20, 20, 20), QRectF(0, 0, 20, 20)},
          {QRectF(30, 20, 20, 20), QRectF(0, 0, 20, 20)}}},
        {"centre", kDrawCentre, {{QRectF(20, 20, 20, 20), QRectF(0, 0, 20, 20)}}},
        {"stretch", 9, {{QRectF(10, 20, 40, 20), QRectF(0, 0, 20, 20)}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PlaceBitmap(target, source, c.mode), c.pieces);
    }
    // Tiles are cut at the target's edges; a larger source is cut centrally when centred.
    EXPECT_EQ(PlaceBitmap(QRect(0, 0, 5, 3), QRect(1, 1, 3, 2), kDrawTile),
              (std::vector<BitmapPiece>{{QRectF(0, 0, 3, 2), QRectF(1, 1, 3, 2)},
                                        {QRectF(3, 0, 2, 2), QRectF(1, 1, 2, 2)},
                                        {QRectF(0, 2, 3, 1), QRectF(1, 1, 3, 1)},
                                        {QRectF(3, 2, 2, 1), QRectF(1, 1, 2, 1)}}));
    EXPECT_EQ(PlaceBitmap(QRect(0, 0, 4, 2), QRect(0, 0, 8, 8), kDrawCentre),
              (std::vector<BitmapPiece>{{QRectF(0, 0, 4, 2), QRectF(2, 3, 4, 2)}}));
    EXPECT_TRUE(PlaceBitmap(QRect(0, 0, 0, 5), source, kDrawFit).empty());
    EXPECT_TRUE(PlaceBitmap(target, QRect(), kDrawFit).empty());
}

TEST_F(GdiplusDrawTest, TileModeRepeatsThePixels) {
    UniqueBitmap bitmap = MakeBitmap(5, 4, Distinct);
    const RECT target{1, 2, 11, 9};
    const RECT source{1, 1, 4, 3};  // 3 x 2
    {
        QPainter painter(&m_canvas);
        Gdiplus_DrawBitmap(&painter, &target, bitmap.get(), &source, kDrawTile);
    }
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 12; ++x) {
            const bool inside = x >= 1 && x < 11 && y >= 2 && y < 9;
            const QRgb want = inside ? Distinct(1 + (x - 1) % 3, 1 + (y - 2) % 2) : kBlack;
            EXPECT_EQ(m_canvas.pixel(x, y), want) << x << "," << y;
        }
    }
}

TEST_F(GdiplusDrawTest, FitModeLeavesTheRestAlone) {
    UniqueBitmap red(Gdiplus_CreateColorBmp(6, 2, kRed));
    const RECT target{0, 0, 12, 10};
    {
        QPainter painter(&m_canvas);
        Gdiplus_DrawBitmap(&painter, &target, red.get(), nullptr, kDrawFit);
    }
    // 6 x 2 fitted into 12 x 10: 12 x 4 at y = 3.
    for (int y = 0; y < 10; ++y) {
        EXPECT_EQ(m_canvas.pixel(5, y), y >= 3 && y < 7 ? kRed : kBlack) << y;
    }
}

TEST_F(GdiplusDrawTest, CentreModeDrawsUnscaled) {
    UniqueBitmap bitmap = MakeBitmap(4, 4, Distinct);
    const RECT target{0, 0, 12, 10};
    {
        QPainter painter(&m_canvas);
        Gdiplus_DrawBitmap(&painter, &target, bitmap.get(), nullptr, kDrawCentre);
    }
    EXPECT_EQ(m_canvas.pixel(4, 3), Distinct(0, 0));
    EXPECT_EQ(m_canvas.pixel(7, 6), Distinct(3, 3));
    EXPECT_EQ(m_canvas.pixel(3, 3), kBlack);
    EXPECT_EQ(m_canvas.pixel(8, 6), kBlack);
}

TEST_F(GdiplusDrawTest, AlphaBitmapHasConstantOpacity) {
    UniqueBitmap white(Gdiplus_CreateColorBmp(2, 2, kWhite));
    const RECT target{0, 0, 12, 10};
    const struct {
        int alpha;
        int level;
    } cases[] = {{0, 0}, {128, 128}, {256, 255}, {400, 255}, {-5, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.alpha);
        m_canvas.fill(kBlack);
        {
            QPainter painter(&m_canvas);
            Gdiplus_DrawAlphaBitmap(&painter, &target, white.get(), nullptr, 1, c.alpha);
        }
        EXPECT_TRUE(Near(m_canvas.pixel(6, 5), qRgb(c.level, c.level, c.level), 1))
            << std::hex << m_canvas.pixel(6, 5);
    }
    // Not stretched: the 2 x 2 image in the middle only.
    m_canvas.fill(kBlack);
    {
        QPainter painter(&m_canvas);
        Gdiplus_DrawAlphaBitmap(&painter, &target, white.get(), nullptr, 0, 256);
    }
    EXPECT_EQ(m_canvas.pixel(5, 4), kWhite);
    EXPECT_EQ(m_canvas.pixel(6, 5), kWhite);
    EXPECT_EQ(m_canvas.pixel(4, 4), kBlack);
}

TEST_F(GdiplusDrawTest, FillsAndOutline) {
    const RECT left{0, 0, 4, 10};
    const QBrush green(QColor::fromRgba(kGreen));
    const RECT right{8, 0, 12, 10};
    const POINT triangle[] = {{4, 0}, {8, 0}, {4, 4}};
    const RECT frame{5, 5, 8, 9};
    {
        QPainter painter(&m_canvas);
        Gdiplus_FillRect(&painter, &left, &green);
        Gdiplus_FillRect2(&painter, &right, 0x800000FF);  // half-transparent blue over black
        Gdiplus_FillPolygon(&painter, triangle, 3, kRed);
        Gdiplus_DrawRect(&painter, &frame, kWhite, 1.0f);
    }
    EXPECT_EQ(m_canvas.pixel(3, 9), kGreen);
    EXPECT_EQ(m_canvas.pixel(4, 9), kBlack);
    EXPECT_TRUE(Near(m_canvas.pixel(10, 5), qRgb(0, 0, 128), 1));
    EXPECT_EQ(m_canvas.pixel(5, 1), kRed);
    EXPECT_EQ(m_canvas.pixel(7, 3), kBlack);  // beyond the hypotenuse
    EXPECT_EQ(m_canvas.pixel(5, 5), kWhite);  // the outline
    EXPECT_EQ(m_canvas.pixel(8, 9), kWhite);
    EXPECT_EQ(m_canvas.pixel(6, 7), kBlack);  // not filled
    EXPECT_EQ(m_canvas.pixel(7, 7), kBlack);
}

TEST_F(GdiplusDrawTest, NullArgumentsDrawNothing) {
    UniqueBitmap bitmap = MakeBitmap(2, 2, Distinct);
    const RECT rect{0, 0, 12, 10};
    const POINT points[] = {{0, 0}, {5, 0}};
    {
        QPainter painter(&m_canvas);
        Gdiplus_DrawBitmap(nullptr, &rect, bitmap.get(), nullptr, kDrawFit);
        Gdiplus_DrawBitmap(&painter, nullptr, bitmap.get(), nullptr, kDrawFit);
        Gdiplus_DrawBitmap(&painter, &rect, nullptr, nullptr, kDrawFit);
        Gdiplus_DrawAlphaBitmap(&painter, &rect, nullptr, nullptr, 1, 256);
        Gdiplus_FillRect(&painter, &rect, nullptr);
        Gdiplus_FillRect2(&painter, nullptr, kRed);
        Gdiplus_FillPolygon(&painter, points, 2, kRed);
        Gdiplus_FillPolygon(&painter, nullptr, 3, kRed);
        Gdiplus_DrawRect(&painter, nullptr, kRed, 1.0f);
    }
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 12; ++x) ASSERT_EQ(m_canvas.pixel(x, y), kBlack);
    }
}

}  // namespace
