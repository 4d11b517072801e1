// ctest-labels: gui
// The target page's energy and distance plots configured as the page does, fed with a minute
// of the simulated room's reports; the pictures go to build/screenshots/controls.
#include <gtest/gtest.h>

#include <QImage>
#include <QTest>

#include <memory>

#include "support/target_plots.h"
#include "tool/controls/wave_wnd_support.h"

namespace {

constexpr int kPlotWidth = 670;
constexpr int kPlotHeight = 170;
constexpr uint64_t kReportPeriodMs = 250;

class WaveWndScreenshotTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = ShowActiveWindow(kPlotWidth, 2 * kPlotHeight + 4);
        ASSERT_NE(window, nullptr);
        energy = new CWaveWnd(window.get());
        distance = new CWaveWnd(window.get());
        energy->setGeometry(0, 0, kPlotWidth, kPlotHeight);
        distance->setGeometry(0, kPlotHeight + 4, kPlotWidth, kPlotHeight);
        energy->show();
        distance->show();
        target_plots::ConfigureEnergyPlot(energy, &page, 1.0);
        target_plots::ConfigureDistancePlot(distance, &page, 1.0);
        for (const auto& report :
             target_plots::SimulatedReports(target_plots::kHistory, 0, kReportPeriodMs)) {
            target_plots::FeedReport(energy, distance, &page, report);
            last = report;
        }
        ASSERT_TRUE(ProcessEventsUntil([&] { return energy->PaintCount() > 0; }));
        ProcessPendingEvents();
    }
    void TearDown() override {
        window.reset();
        ProcessPendingEvents();
    }
    // The widget as the screen shows it.
    static QImage Shot(CWaveWnd* plot) {
        return plot->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    std::unique_ptr<QWidget> window;
    CWaveWnd* energy = nullptr;
    CWaveWnd* distance = nullptr;
    target_plots::PagePainter page;
    target_plots::Report last;
};

TEST_F(WaveWndScreenshotTest, EnergyAndDistancePlots) {
    const QImage energyShot = Shot(energy);
    const QImage distanceShot = Shot(distance);
    ASSERT_TRUE(energyShot.save(
        QString::fromStdString((ScreenshotFolder() / "wave_wnd_energy.png").string())));
    ASSERT_TRUE(distanceShot.save(
        QString::fromStdString((ScreenshotFolder() / "wave_wnd_distance.png").string())));

    const RECT e = energy->GetPlotRect();
    const QRect energyPlot(e.left, e.top, e.right - e.left, e.bottom - e.top);
    // Red trigger and yellow hold curves left of the shading; the shaded gates are grey.
    const QRect active(energyPlot.left(), energyPlot.top(), energyPlot.width() * 10 / 16 - 4,
                       energyPlot.height());
    EXPECT_GT(CountColour(energyShot, active, qRgb(255, 0, 0)), 50);
    EXPECT_GT(CountColour(energyShot, active, qRgb(255, 255, 0)), 50);
    const QPoint shaded(energyPlot.left() + energyPlot.width() * 15 / 16,
                        energyPlot.top() + energyPlot.height() / 2);
    EXPECT_GT(qRed(energyShot.pixel(shaded)), 100) << "translucent grey over black";

    // The band shows the states of the last minute; the newest column has the last state.
    const RECT d = distance->GetPlotRect();
    const QRgb newest = distanceShot.pixel(d.right - 2, d.top + 5) & 0xFFFFFF;
    const QRgb expected = last.state == 0   ? (target_plots::kNobodyColour & 0xFFFFFF)
                          : last.state == 2 ? (target_plots::kMotionColour & 0xFFFFFF)
                                            : (target_plots::kMotionlessColour & 0xFFFFFF);
    EXPECT_EQ(newest, expected);
    const QRect curveArea(d.left, d.top + target_plots::kStateHeight, d.right - d.left,
                          d.bottom - d.top - target_plots::kStateHeight);
    EXPECT_GT(CountColour(distanceShot, curveArea, qRgb(255, 0, 0)), 200) << "the distance curve";
}

TEST_F(WaveWndScreenshotTest, TooltipsNameGateAndTime) {
    const RECT e = energy->GetPlotRect();
    // The trigger threshold of gate 4 is 35 dB on a 0 .. 100 axis.
    const int x = e.left + 4 * (e.right - e.left - 1) / 15;
    const int y = e.top + int((100.0 - 35.0) / 100.0 * (e.bottom - e.top));
    QTest::mouseMove(energy, QPoint(x, y));
    ASSERT_TRUE(energy->IsTooltipShown());
    EXPECT_TRUE(energy->TooltipText().startsWith(QStringLiteral("RG No.4 ")))
        << energy->TooltipText().toStdString();
    const RECT d = distance->GetPlotRect();
    QTest::mouseMove(distance, QPoint(d.right - 1, (d.top + d.bottom) / 2));
    ASSERT_TRUE(distance->IsTooltipShown());
    EXPECT_TRUE(distance->TooltipText().startsWith(QStringLiteral("No. 0.2s Range: ")) ||
                distance->TooltipText().startsWith(QStringLiteral("No. 0.3s Range: ")))
        << distance->TooltipText().toStdString();
}

}  // namespace
