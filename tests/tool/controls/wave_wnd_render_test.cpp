// ctest-labels: gui
// Off-screen rendering of the plot window against committed pictures: the pure pixel parts
// (grid, panels, background picture, a one-pixel polyline) must match exactly; text and
// anti-aliased curves within a tolerance. ORBO_UPDATE_GOLDEN=1 rewrites the pictures.
#include "controls/wave_wnd.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include "controls/coordinate.h"
#include "tool/controls/wave_wnd_support.h"

namespace {

std::filesystem::path GoldenPath(const char* name) {
    return std::filesystem::path(ORBO_SOURCE_DIR) / "tests/tool/controls/data/wave_wnd" / name;
}

// Compares with the committed picture: at most `allowed` pixels may differ by more than
// `tolerance` in a channel.
void ExpectMatchesGolden(const QImage& image, const char* name, int tolerance, int allowed) {
    const std::filesystem::path path = GoldenPath(name);
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    if (std::getenv("ORBO_UPDATE_GOLDEN") != nullptr) {
        std::filesystem::create_directories(path.parent_path());
        ASSERT_TRUE(rgb.save(QString::fromStdString(path.string())));
        return;
    }
    const QImage golden(QString::fromStdString(path.string()));
    ASSERT_FALSE(golden.isNull()) << path << " is missing (ORBO_UPDATE_GOLDEN=1 writes it)";
    const int differing =
        DifferingPixels(rgb, golden.convertToFormat(QImage::Format_RGB32), tolerance);
    EXPECT_LE(differing, allowed) << name;
    if (differing > allowed) rgb.save(QString::fromStdString((ScreenshotFolder() / name).string()));
}

TEST(WaveWndRenderTest, GridMatchesGolden) {
    constexpr int kWidth = 64;
    constexpr int kHeight = 48;
    std::vector<uint32_t> pixels(kWidth * kHeight, 0xFF000000);
    DrawPlotGrid(pixels.data(), kWidth, kHeight, kWidth * 4, RECT{0, 0, kWidth, kHeight}, 10.0, 8.0,
                 1, 0xFF005F20, 0xFFFF0000);
    const QImage image(reinterpret_cast<const uchar*>(pixels.data()), kWidth, kHeight, kWidth * 4,
                       QImage::Format_RGB32);
    ExpectMatchesGolden(image, "grid.png", 0, 0);
    // Columns: 6 cells of 10 with a margin of 2; the centre cross in red.
    EXPECT_EQ(image.pixel(2, 5), qRgb(0, 0x5F, 0x20));
    EXPECT_EQ(image.pixel(32, 5), qRgb(0xFF, 0, 0));
    EXPECT_EQ(image.pixel(5, 24), qRgb(0xFF, 0, 0));
}

TEST(WaveWndRenderTest, DegenerateGridsAreHarmless) {
    std::vector<uint32_t> pixels(16 * 16, 0);
    const RECT whole{0, 0, 16, 16};
    // Zero, negative and infinite cells draw only the centre cross; nothing is written
    // outside the buffer (the sanitizer build checks).
    for (double cell : {0.0, -4.0, 1.0 / 0.0})
        DrawPlotGrid(pixels.data(), 16, 16, 16 * 4, whole, cell, cell, 3, 0xFF00FF00, 0xFFFF0000);
    DrawPlotGrid(pixels.data(), 16, 16, 16 * 4, RECT{0, 0, 0, 0}, 8, 8, 1, 1, 1);
    DrawPlotGrid(nullptr, 16, 16, 16 * 4, whole, 8, 8, 1, 1, 1);
    int green = 0;
    for (uint32_t p : pixels) green += p == 0xFF00FF00 ? 1 : 0;
    EXPECT_EQ(green, 0);
    EXPECT_EQ(pixels[8 * 16 + 2], 0xFFFF0000u);
}

class WaveWndRenderPlot : public WaveWndFixture {
protected:
    // A small plot: 96 x 64, left and bottom panels without text.
    void SetUp() override {
        WaveWndFixture::SetUp();
        plot->setGeometry(0, 0, 96, 64);
        plot->SetOuterColour(0xFF2A323C);
        plot->ShowAxisPanel(kPanelLeft, 1, 16, nullptr);
        plot->ShowAxisPanel(kPanelBottom, 1, 12, nullptr);
        plot->SetXAxisFont(0);  // no font: the panels are plain fills
        plot->SetYAxisFont(0, 0);
        plot->SetGridColour(0xFF005F20);
        plot->SetCentreColour(0xFFFF0000);
        plot->SetBackgroundColour(RGB(0x10, 0x10, 0x40));
        plot->SetDoubleSamples();
        plot->SetYRange(-10, 10);
        plot->SetWaveLength(16);
        plot->Initialize();
    }
};

TEST_F(WaveWndRenderPlot, PanelsAndGridMatchGolden) {
    plot->SetWaveVisible(0, 0);
    plot->RenderFrame();
    const QImage image = plot->WindowImage();
    ExpectMatchesGolden(image, "panels_grid.png", 0, 0);
    EXPECT_EQ(image.pixel(2, 2), qRgb(0x2A, 0x32, 0x3C)) << "left panel";
    EXPECT_EQ(image.pixel(50, 60), qRgb(0x2A, 0x32, 0x3C)) << "bottom panel";
    const RECT r = plot->GetPlotRect();
    EXPECT_EQ(r.left, 16);
    EXPECT_EQ(r.bottom, 52);
}

TEST_F(WaveWndRenderPlot, BackgroundPictureMatchesGolden) {
    const RECT r = plot->GetPlotRect();
    QImage picture(r.right - r.left, r.bottom - r.top, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) picture.setPixel(x, y, qRgb(x * 3, y * 4, 128));
    plot->SetBackgroundImage(picture);
    plot->SetBackgroundMode(1);
    plot->SetGrid(0);
    plot->SetWaveVisible(0, 0);
    plot->SetBackgroundDirty();
    plot->RenderFrame();
    const QImage image = plot->WindowImage();
    ExpectMatchesGolden(image, "background.png", 0, 0);
    EXPECT_EQ(image.pixel(r.left + 10, r.top + 5), qRgb(30, 20, 128));
}

TEST_F(WaveWndRenderPlot, KnownPolylineMatchesGolden) {
    plot->SetGrid(0);
    plot->SetWaveStyle(0, kTestGreenWave, 1);
    const double samples[16] = {0, 5, -5, 9, -9, 2, 2, 2, 2, 7, -3, 0, 4, -8, 8, 0};
    plot->GetWaveBuffer(0)->AddSamples(samples, 16);
    plot->RenderFrame();
    ExpectMatchesGolden(plot->WindowImage(), "polyline.png", 0, 0);
}

TEST_F(WaveWndRenderPlot, TextAndSmoothCurveWithinTolerance) {
    plot->setGeometry(0, 0, 200, 120);
    plot->Initialize();
    plot->SetGrid(0);
    plot->SetSmoothCurves(1);
    plot->SetWaveStyle(0, 0xFF00FFFF, 3);
    plot->SetText(0, QStringLiteral("FP VS RG"), 10, 0xFFFFFFFF, 1, 0, nullptr);
    const double samples[16] = {0, 5, -5, 9, -9, 2, 2, 2, 2, 7, -3, 0, 4, -8, 8, 0};
    plot->GetWaveBuffer(0)->AddSamples(samples, 16);
    plot->RenderFrame();
    // Glyph shapes and curve edges may move by a pixel between font and Qt builds.
    ExpectMatchesGolden(plot->WindowImage(), "text_smooth.png", 64, 400);
}

TEST(WaveWndRenderClip, LargerPictureIsCopiedClipped) {
    QImage target(10, 6, QImage::Format_RGB32);
    target.fill(qRgb(0, 0, 0));
    QImage larger(25, 20, QImage::Format_ARGB32);
    larger.fill(qRgb(200, 100, 50));
    CopyImageClipped(larger, &target);  // the rows of the larger picture must not run over
    EXPECT_EQ(CountColour(target, target.rect(), qRgb(200, 100, 50)), 60);
    QImage smaller(4, 3, QImage::Format_Indexed8);
    smaller.setColorCount(1);
    smaller.setColor(0, qRgb(1, 2, 3));
    smaller.fill(0);
    CopyImageClipped(smaller, &target);
    EXPECT_EQ(CountColour(target, target.rect(), qRgb(1, 2, 3)), 12);
    EXPECT_EQ(target.pixel(5, 5), qRgb(200, 100, 50));
}

}  // namespace
