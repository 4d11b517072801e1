// ctest-labels: gui
#include "controls/wave_wnd.h"

#include <gtest/gtest.h>

#include <QImage>

#include <memory>
#include <vector>

#include "tool/controls/wave_wnd_support.h"

namespace {

class WaveWndTest : public WaveWndFixture {};

TEST_F(WaveWndTest, ConstructionDefaults) {
    EXPECT_EQ(plot->GetWaveCount(), 1);
    EXPECT_EQ(plot->GetWaveLength(), 64);
    EXPECT_EQ(plot->IsWaveVisible(0), 1);
    EXPECT_EQ(plot->IsWaveVisible(1), 0);
    EXPECT_EQ(plot->GetWaveLineWidth(0), 3);
    EXPECT_EQ(plot->GetWaveColour(0), 0xFF000000u | CommonColor(0));
    EXPECT_EQ(plot->GetWaveColour(7), 0xFF000000u | gCommonColorTable[2][1]);
    EXPECT_EQ(plot->GetWaveTooltipFormat(2), QStringLiteral("Wave:2, Sample:%d, Value:%.1f"));
    EXPECT_EQ(plot->GetYViewMin(), -32767.0);
    EXPECT_EQ(plot->GetXLast(), 63.0);
}

TEST_F(WaveWndTest, WaveCountMakesExactlyTheFirstSlotsVisible) {
    plot->SetWaveCount(5);
    plot->SetWaveVisible(4, 0);
    plot->SetWaveCount(3);
    for (int i = 0; i < kMaxWaves; ++i) EXPECT_EQ(plot->IsWaveVisible(i), i < 3 ? 1 : 0) << i;
    plot->SetWaveCount(0);
    EXPECT_EQ(plot->GetWaveCount(), 1);
    plot->SetWaveCount(1000);
    EXPECT_EQ(plot->GetWaveCount(), kMaxWaves);
}

TEST_F(WaveWndTest, WaveStyleOutsideTheCountChangesNothing) {
    plot->SetWaveCount(2);
    const uint32_t before = plot->GetWaveColour(2);
    plot->SetWaveStyle(2, 0xFF00FF00, 7);
    EXPECT_EQ(plot->GetWaveColour(2), before);
    EXPECT_EQ(plot->GetWaveLineWidth(2), 3);
    plot->SetWaveStyle(1, 0xFF00FF00, -1);
    EXPECT_EQ(plot->GetWaveColour(1), 0xFF00FF00u);
    EXPECT_EQ(plot->GetWaveLineWidth(1), 3) << "a negative width keeps the old one";
    plot->SetWaveStyle(-1, 0, 1);  // harmless
}

TEST_F(WaveWndTest, PlainPolylineIsDrawnInTheWaveColour) {
    ConfigurePlain(plot, 16, 0.0, 10.0);
    std::vector<double> ramp(16);
    for (int i = 0; i < 16; ++i) ramp[size_t(i)] = i * 10.0 / 15.0;
    plot->GetWaveBuffer(0)->AddSamples(ramp.data(), 16);
    plot->RenderFrame();
    const QImage image = plot->WindowImage();
    ASSERT_FALSE(image.isNull());
    // A rising line from bottom left to top right in green over black.
    const RECT r = plot->GetPlotRect();
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    int green = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (image.pixel(x, y) == qRgb(0, 255, 0)) ++green;
    EXPECT_GT(green, w * 9 / 10) << "about one pixel per column (the ends keep off the edges)";
    EXPECT_EQ(image.pixel(r.left + w / 2, r.top + h / 2 + h / 4), qRgb(0, 0, 0));
    EXPECT_NE(CountColour(image, QRect(r.left + w * 3 / 4 - 4, r.top, 8, h / 2), qRgb(0, 255, 0)), 0);
    EXPECT_EQ(CountColour(image, QRect(r.left + w * 3 / 4 - 4, r.top + h / 2, 8, h / 2),
                          qRgb(0, 255, 0)),
              0);
}

TEST_F(WaveWndTest, ZeroSizedWindowHasNoImagesAndPaintsNothing) {
    auto empty = std::make_unique<CWaveWnd>(window.get());
    empty->setGeometry(0, 0, 0, 0);
    empty->Initialize();
    EXPECT_TRUE(empty->WindowImage().isNull());
    empty->RenderFrame();  // nothing to do, nothing to crash
    empty->SetText(1, QStringLiteral("x"), -20, 0xFFFFFFFF, 1, 1, nullptr);
    EXPECT_EQ(empty->GetTextSize(1), 0) << "nothing fits an empty plot";
}

TEST_F(WaveWndTest, RepaintRequestsCoalesceToOnePending) {
    ProcessPendingEvents();
    const int64_t before = plot->PaintCount();
    EXPECT_TRUE(plot->RequestRepaint());
    EXPECT_FALSE(plot->RequestRepaint());
    EXPECT_FALSE(plot->RequestRepaint());
    ASSERT_TRUE(ProcessEventsUntil([&] { return plot->PaintCount() > before; }));
    EXPECT_TRUE(plot->RequestRepaint()) << "after the repaint a new request is queued again";
    ProcessPendingEvents();
}

}  // namespace
