// ctest-labels: gui
#include "platform/gdiplus_text.h"

#include <gtest/gtest.h>

#include <QFontMetricsF>

#include "platform/font_substitution.h"
#include "support/qt_test_app.h"
#include "tool/platform/gdiplus_test_images.h"

namespace {

constexpr char16_t kFace[] = u"黑体";

class GdiplusTextTest : public GuiTest {
protected:
    void SetUp() override {
        InstallFontSubstitutions();
        m_canvas.fill(kBlack);
    }
    QImage m_canvas{200, 80, QImage::Format_RGB32};
};

// The rectangle of the pixels that are not black.
QRect InkBounds(const QImage& image) {
    QRect bounds;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if ((image.pixel(x, y) & RGB_MASK) != 0) bounds |= QRect(x, y, 1, 1);
        }
    }
    return bounds;
}

bool Fits(QPainter* painter, const QString& text, int size, QSizeF box, int flags) {
    QFont font(QString::fromUtf16(kFace));
    font.setPointSize(size);
    const QRectF needed =
        QFontMetricsF(font, painter->device()).boundingRect(QRectF({0, 0}, box), flags, text);
    return needed.width() <= box.width() && needed.height() <= box.height();
}

TEST_F(GdiplusTextTest, FittedSizeIsTheLargestThatFits) {
    QPainter painter(&m_canvas);
    const struct {
        const char16_t* text;
        int width;
        int height;
        int flags;
    } cases[] = {
        {u"Distance", 120, 40, 0},
        {u"Distance", 60, 40, 0},
        {u"目标 距离", 100, 30, 0},
        {u"two words", 60, 60, 0},
        {u"two words", 60, 60, kStringFormatFlagsNoWrap},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.text).toStdString() + " " + std::to_string(c.width));
        const GpStringFormat format{kStringAlignmentCenter, kStringAlignmentCenter, c.flags};
        const int size =
            Gdiplus_CalcFontSize(&painter, c.text, c.width, c.height, kFace, 72, 0, &format);
        ASSERT_GT(size, 0);
        ASSERT_LT(size, 72);
        const QString text = QString::fromUtf16(c.text);
        const int flags = QtTextFlags(&format);
        EXPECT_TRUE(Fits(&painter, text, size, QSizeF(c.width, c.height), flags));
        EXPECT_FALSE(Fits(&painter, text, size + 1, QSizeF(c.width, c.height), flags));
    }
    // A box that holds any size: the start size.
    EXPECT_EQ(12, Gdiplus_CalcFontSize(&painter, u"x", 190, 70, kFace, 12, 0, nullptr));
    // Wrapping lets two words take a larger size than one line.
    const GpStringFormat noWrap{0, 0, kStringFormatFlagsNoWrap};
    EXPECT_GT(Gdiplus_CalcFontSize(&painter, u"two words", 60, 60, kFace, 72, 0, nullptr),
              Gdiplus_CalcFontSize(&painter, u"two words", 60, 60, kFace, 72, 0, &noWrap));
}

TEST_F(GdiplusTextTest, NothingFitsGivesZero) {
    QPainter painter(&m_canvas);
    EXPECT_EQ(0, Gdiplus_CalcFontSize(&painter, u"Hello", 1, 1, kFace, 40, 0, nullptr));
    EXPECT_EQ(0, Gdiplus_CalcFontSize(&painter, u"Hello", 0, 30, kFace, 40, 0, nullptr));
    EXPECT_EQ(0, Gdiplus_CalcFontSize(&painter, u"Hello", 100, 30, kFace, 0, 0, nullptr));
    EXPECT_EQ(0, Gdiplus_CalcFontSize(&painter, u"", 100, 30, kFace, 40, 0, nullptr));
    EXPECT_EQ(0, Gdiplus_CalcFontSize(&painter, nullptr, 100, 30, kFace, 40, 0, nullptr));
    EXPECT_EQ(0, Gdiplus_CalcFontSize(&painter, u"Hello", 100, 30, nullptr, 40, 0, nullptr));
}

TEST_F(GdiplusTextTest, DrawnTextStaysInsideItsBox) {
    const RECT layout{20, 10, 180, 70};
    const GpStringFormat format{kStringAlignmentCenter, kStringAlignmentCenter, 0};
    {
        QPainter painter(&m_canvas);
        const int size = Gdiplus_CalcFontSize(&painter, u"Motion 目标", 160, 60, kFace, 60,
                                              kFontStyleBold, &format);
        ASSERT_GT(size, 0);
        QFont font(QString::fromUtf16(kFace));
        font.setPointSize(size);
        font.setBold(true);
        Gdiplus_DrawText(&painter, u"Motion 目标", &layout, kWhite, &font, &format);
    }
    const QRect ink = InkBounds(m_canvas);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_TRUE(QRect(20, 10, 160, 60).contains(ink))
        << ink.x() << "," << ink.y() << " " << ink.width() << "x" << ink.height();
    // Fitted: the text takes most of the box's width or height.
    EXPECT_TRUE(ink.width() > 160 / 2 || ink.height() > 60 / 2);
}

TEST_F(GdiplusTextTest, EmptyTextDrawsNothing) {
    const RECT layout{0, 0, 200, 80};
    QFont font(QString::fromUtf16(kFace));
    {
        QPainter painter(&m_canvas);
        Gdiplus_DrawText(&painter, u"", &layout, kWhite, &font, nullptr);
        Gdiplus_DrawText(&painter, nullptr, &layout, kWhite, &font, nullptr);
        Gdiplus_DrawText(&painter, u"x", nullptr, kWhite, &font, nullptr);
        Gdiplus_DrawText(nullptr, u"x", &layout, kWhite, &font, nullptr);
    }
    EXPECT_TRUE(InkBounds(m_canvas).isEmpty());
}

TEST(GdiplusStringFormatTest, RightToLeftLanguages) {
    const struct {
        uint32_t language;
        int rightToLeft;
    } cases[] = {{1025, 1}, {1037, 1}, {0x10401, 1}, {0x2040D, 1}, {1033, 0}, {2052, 0}, {0, 0}};
    for (const auto& c : cases) EXPECT_EQ(c.rightToLeft, Gdiplus_GetStringFormat(c.language));
}

}  // namespace
