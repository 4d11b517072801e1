// ctest-labels: gui
// The plot window under the mouse: pan by dragging, wheel zoom, the double-click reset and the
// value tooltip, driven with real mouse events.
#include "controls/wave_wnd.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QWheelEvent>

#include <vector>

#include "draw/packed_point.h"
#include "tool/controls/wave_wnd_support.h"

namespace {

constexpr int kN = 64;

class WaveWndMouseTest : public WaveWndFixture {
protected:
    void SetUp() override {
        WaveWndFixture::SetUp();
        ConfigurePlain(plot, kN, -10.0, 10.0);
        std::vector<double> ramp(kN);
        for (int i = 0; i < kN; ++i) ramp[size_t(i)] = (i % 16) - 8.0;
        plot->GetWaveBuffer(0)->AddSamples(ramp.data(), kN);
        plot->RenderFrame();
    }

    void Wheel(QPoint at, int delta, Qt::KeyboardModifiers modifiers) {
        QWheelEvent event(QPointF(at), QPointF(plot->mapToGlobal(at)), QPoint(), QPoint(0, delta),
                          Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(plot, &event);
    }
    void Drag(QPoint from, const std::vector<QPoint>& through) {
        QTest::mousePress(plot, Qt::LeftButton, Qt::NoModifier, from);
        for (const QPoint& p : through) QTest::mouseMove(plot, p);
        QTest::mouseRelease(plot, Qt::LeftButton, Qt::NoModifier, through.back());
    }
    // Renders and checks that every drawn point lies inside the plot.
    void ExpectPointsInsidePlot() {
        plot->RenderFrame();
        const RECT r = plot->GetPlotRect();
        CPtrArrayCtrl* points = plot->GetWavePoints(0);
        ASSERT_GT(points->GetCount(), 0);
        for (int i = 0; i < points->GetCount(); ++i) {
            const PackedPoint p = SlotToPackedPoint(points->GetAt(i));
            EXPECT_GE(PackedPointX(p), r.left);
            EXPECT_LT(PackedPointX(p), r.right);
            EXPECT_GE(PackedPointY(p), r.top);
            EXPECT_LT(PackedPointY(p), r.bottom);
        }
    }
};

TEST_F(WaveWndMouseTest, WithEveryInteractionOffNothingChanges) {
    Drag(QPoint(100, 100), {QPoint(150, 140), QPoint(250, 180)});
    QTest::mouseDClick(plot, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    Wheel(QPoint(100, 100), 120, Qt::ControlModifier);
    Wheel(QPoint(100, 100), 120, Qt::NoModifier);
    EXPECT_EQ(plot->GetXOffset(), 0);
    EXPECT_EQ(plot->GetXZoom(), 1.0);
    EXPECT_EQ(plot->GetYViewMin(), -10.0);
    EXPECT_EQ(plot->GetYViewMax(), 10.0);
}

TEST_F(WaveWndMouseTest, DragNeedsElevenPixelsFirstThenTwo) {
    plot->SetXDrag(1);
    QTest::mousePress(plot, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    QTest::mouseMove(plot, QPoint(108, 100));
    EXPECT_EQ(plot->GetXOffset(), 0) << "8 pixels: nothing";
    QTest::mouseMove(plot, QPoint(111, 100));
    const int afterFirst = plot->GetXOffset();
    EXPECT_NE(afterFirst, 0) << "11 pixels pan";
    QTest::mouseMove(plot, QPoint(121, 100));
    EXPECT_NE(plot->GetXOffset(), afterFirst) << "then smaller steps pan";
    QTest::mouseRelease(plot, Qt::LeftButton, Qt::NoModifier, QPoint(121, 100));
}

TEST_F(WaveWndMouseTest, DragPastBothEndsKeepsTheOffsetInsideTheSamples) {
    plot->SetXDrag(1);
    plot->SetYDrag(1);
    plot->SetXWheelZoom(1);
    // Zoomed out, one drag step can move the view by more than N samples.
    for (int i = 0; i < 9; ++i) Wheel(QPoint(160, 100), -120, Qt::ControlModifier);
    ASSERT_LT(plot->GetXZoom(), 0.2);
    std::vector<QPoint> left;
    std::vector<QPoint> right;
    for (int x = 300; x >= -400; x -= 37) left.push_back(QPoint(x, 100));
    for (int x = -400; x <= 900; x += 41) right.push_back(QPoint(x, 100));
    Drag(QPoint(310, 100), left);
    EXPECT_GE(plot->GetXOffset(), 0);
    EXPECT_LT(plot->GetXOffset(), kN);
    ExpectPointsInsidePlot();
    Drag(QPoint(-410, 100), right);
    EXPECT_GE(plot->GetXOffset(), 0);
    EXPECT_LT(plot->GetXOffset(), kN);
    ExpectPointsInsidePlot();
    // A vertical drag moves both Y limits by the same amount.
    Drag(QPoint(100, 20), {QPoint(100, 60), QPoint(100, 300)});
    EXPECT_NEAR(plot->GetYViewMax() - plot->GetYViewMin(), 20.0, 1e-9);
    EXPECT_GT(plot->GetYViewMin(), -10.0);
}

TEST_F(WaveWndMouseTest, WheelZoomStopsAtTheLimitsAndGrowsTheHistory) {
    plot->SetXWheelZoom(1);
    plot->SetYWheelZoom(1);
    for (int i = 0; i < 30; ++i) Wheel(QPoint(160, 100), 120, Qt::ControlModifier);
    EXPECT_NEAR(plot->GetXZoom(), 28.42, 0.01) << "fifteen steps in, the sixteenth refused";
    for (int i = 0; i < 60; ++i) Wheel(QPoint(160, 100), -120, Qt::ControlModifier);
    EXPECT_NEAR(plot->GetXZoom(), 0.134, 0.001) << "the tenth step out refused";
    // ceil(1 / zoom) frames of history, one more stored.
    EXPECT_EQ(plot->GetWaveBuffer(0)->GetStoredFrames(), 9);
    ExpectPointsInsidePlot();
    // Y zoom without the control key, bounded both ways.
    const double xZoom = plot->GetXZoom();
    for (int i = 0; i < 200; ++i) Wheel(QPoint(160, 100), 120, Qt::NoModifier);
    const double span = plot->GetYViewMax() - plot->GetYViewMin();
    EXPECT_GE(span, 20.0 / kMaxYZoomRatio);
    EXPECT_LT(span, 20.0 / 1000);
    for (int i = 0; i < 400; ++i) Wheel(QPoint(160, 100), -120, Qt::ShiftModifier);
    EXPECT_LE(plot->GetYViewMax() - plot->GetYViewMin(), 20.0 * kMaxYZoomRatio);
    EXPECT_EQ(plot->GetXZoom(), xZoom) << "the Y zoom leaves X alone";
    ExpectPointsInsidePlot();
}

TEST_F(WaveWndMouseTest, ZoomingOutToHalfKeepsThreeFrames) {
    plot->SetXWheelZoom(1);
    Wheel(QPoint(160, 100), -120, Qt::ControlModifier);
    Wheel(QPoint(160, 100), -120, Qt::ControlModifier);
    Wheel(QPoint(160, 100), -120, Qt::ControlModifier);
    ASSERT_NEAR(plot->GetXZoom(), 0.512, 1e-9);
    EXPECT_EQ(plot->GetWaveBuffer(0)->GetStoredFrames(), 3);
}

TEST_F(WaveWndMouseTest, DoubleClickReturnsToTheConfiguredView) {
    plot->SetXDrag(1);
    plot->SetYDrag(1);
    plot->SetXWheelZoom(1);
    plot->SetYWheelZoom(1);
    Wheel(QPoint(160, 100), -120, Qt::ControlModifier);
    Wheel(QPoint(160, 100), 120, Qt::NoModifier);
    Drag(QPoint(100, 100), {QPoint(130, 130), QPoint(170, 160)});
    ASSERT_NE(plot->GetXOffset(), 0);
    QTest::mouseDClick(plot, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    EXPECT_EQ(plot->GetXOffset(), 0);
    EXPECT_EQ(plot->GetXZoom(), 1.0);
    EXPECT_EQ(plot->GetYViewMin(), -10.0);
    EXPECT_EQ(plot->GetYViewMax(), 10.0);
    EXPECT_EQ(plot->GetCoordinate(kPanelBottom)->rangeMin, 0.0);
    EXPECT_EQ(plot->GetCoordinate(kPanelBottom)->rangeMax, kN - 1.0);
    EXPECT_EQ(plot->GetCoordinate(kPanelLeft)->rangeMax, 10.0);
    EXPECT_EQ(plot->GetWaveBuffer(0)->GetStoredFrames(), 2);
}

class WaveWndTooltipTest : public WaveWndFixture {
protected:
    void SetUp() override {
        WaveWndFixture::SetUp();
        ConfigurePlain(plot, 16, -10.0, 10.0);
        plot->SetWaveCount(2);
        plot->SetDoubleSamples();
        plot->SetWaveLength(16);
        std::vector<double> high(16, 5.0);
        std::vector<double> low(16, -5.0);
        high[12] = 6.5;
        plot->GetWaveBuffer(0)->AddSamples(high.data(), 16);
        plot->GetWaveBuffer(1)->AddSamples(low.data(), 16);
        plot->RenderFrame();
    }
    // The window point over sample `sample` at value `value`.
    QPoint At(int sample, double value) const {
        const RECT r = plot->GetPlotRect();
        const int x = r.left + sample * (r.right - r.left - 1) / 15;
        const int y = r.top + int((10.0 - value) / 20.0 * (r.bottom - r.top));
        return QPoint(x, y);
    }
};

TEST_F(WaveWndTooltipTest, NamesTheVerticallyNearestWave) {
    QTest::mouseMove(plot, At(3, -4.0));
    EXPECT_TRUE(plot->IsTooltipShown());
    EXPECT_EQ(plot->TooltipText(), QStringLiteral("Wave:1, Sample:3, Value:-5.0"));
    ASSERT_NE(plot->TooltipWindow(), nullptr);
    EXPECT_TRUE(plot->TooltipWindow()->isVisible());
    EXPECT_EQ(plot->TooltipWindow()->text(), plot->TooltipText());
    QTest::mouseMove(plot, At(12, 4.0));
    EXPECT_EQ(plot->TooltipText(), QStringLiteral("Wave:0, Sample:12, Value:6.5"));
    // Leaving the plot hides it.
    QTest::mouseMove(plot, QPoint(-5, -5));
    const QPoint outside(plot->width() + 10, 10);
    QTest::mouseMove(window.get(), outside);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(plot, &leave);
    EXPECT_FALSE(plot->IsTooltipShown());
    EXPECT_FALSE(plot->TooltipWindow()->isVisible());
}

class TooltipRecorder : public IWaveWndTooltipListener {
public:
    QString GetTooltipText(int wave, int sampleIndex, int, int waveLength, double value, double,
                           double, POINT, const RECT*, uintptr_t context) override {
        return QStringLiteral("%1/%2/%3/%4/%5")
            .arg(wave)
            .arg(sampleIndex)
            .arg(waveLength)
            .arg(value, 0, 'f', 1)
            .arg(context);
    }
};

TEST_F(WaveWndTooltipTest, ListenerSuppliesTheTextAndDisabledWavesAreSkipped) {
    TooltipRecorder recorder;
    plot->SetTooltipListener(&recorder, 7);
    QTest::mouseMove(plot, At(5, -4.0));
    EXPECT_EQ(plot->TooltipText(), QStringLiteral("1/5/16/-5.0/7"));
    ASSERT_TRUE(plot->SetWaveTooltip(1, 0, plot->GetWaveTooltipFormat(1)));
    QTest::mouseMove(plot, At(6, -4.0));
    EXPECT_EQ(plot->TooltipText(), QStringLiteral("0/6/16/5.0/7")) << "wave 1 takes no part";
    EXPECT_FALSE(plot->SetWaveTooltip(0, 1, QStringLiteral("%s"))) << "refused format";
}

TEST_F(WaveWndTooltipTest, NoTooltipWithoutATooltipWave) {
    plot->SetWaveTooltip(0, 0, plot->GetWaveTooltipFormat(0));
    plot->SetWaveTooltip(1, 0, plot->GetWaveTooltipFormat(1));
    QTest::mouseMove(plot, At(3, -4.0));
    EXPECT_FALSE(plot->IsTooltipShown());
    EXPECT_TRUE(plot->TooltipText().isEmpty());
}

}  // namespace
