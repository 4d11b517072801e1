// ctest-labels: gui
#include "controls/wave_wnd.h"

#include <gtest/gtest.h>

#include <QBackingStore>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>

#include <functional>
#include <memory>
#include <vector>

#include "controls/pixel_shade.h"
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
    EXPECT_NE(CountColour(image, QRect(r.left + w * 3 / 4 - 4, r.top, 8, h / 2), qRgb(0, 255, 0)),
              0);
    EXPECT_EQ(
        CountColour(image, QRect(r.left + w * 3 / 4 - 4, r.top + h / 2, 8, h / 2), qRgb(0, 255, 0)),
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

// A plot that keeps the area of each paint.
class RegionRecordingPlot : public CWaveWnd {
public:
    using CWaveWnd::CWaveWnd;
    std::vector<QRegion> regions;

protected:
    void paintEvent(QPaintEvent* event) override {
        regions.push_back(event->region());
        CWaveWnd::paintEvent(event);
    }
};

// What the window shows in `area`: its backing store's pixels.
QImage ShownPixels(QWidget* window, const QRect& area) {
    auto* image = dynamic_cast<QImage*>(window->backingStore()->paintDevice());
    if (image == nullptr) return QImage();
    return image->copy(area).convertToFormat(QImage::Format_RGB32);
}

QImage ShownPixels(QWidget* window, const QSize& size) {
    return ShownPixels(window, QRect(QPoint(0, 0), size));
}

class WaveWndRegionTest : public WaveWndFixture {
protected:
    void SetUp() override {
        WaveWndFixture::SetUp();
        delete plot;
        recording = new RegionRecordingPlot(window.get());
        plot = recording;
        plot->setGeometry(0, 0, 320, 200);
        plot->show();
        plot->ShowAxisPanel(kPanelLeft, 1, 40, nullptr);
        ConfigurePlain(plot, 16, 0.0, 10.0);
        plot->SetYAxisFont(8, 1);
        ProcessPendingEvents();
        recording->regions.clear();
    }
    void AddFrame(double low, double high) {
        std::vector<double> frame(16);
        for (int i = 0; i < 16; ++i) frame[size_t(i)] = low + (high - low) * i / 15.0;
        plot->GetWaveBuffer(0)->AddSamples(frame.data(), 16);
    }
    // Paints until the queue is empty; true when at least one paint happened.
    bool PaintRequested() {
        const int64_t before = plot->PaintCount();
        plot->RequestRepaint();
        if (!ProcessEventsUntil([&] { return plot->PaintCount() > before; })) return false;
        ProcessPendingEvents();
        return true;
    }
    // The screen shows exactly what a render into the window image gives.
    void ExpectScreenShowsTheFrame(const QPoint& origin) {
        plot->RenderFrame();
        const QImage frame = plot->WindowImage();
        const QImage shown = ShownPixels(window.get(), QRect(origin, plot->size()));
        ASSERT_FALSE(shown.isNull());
        EXPECT_EQ(DifferingPixels(shown, frame, 0), 0);
    }

    RegionRecordingPlot* recording = nullptr;
};

TEST_F(WaveWndRegionTest, NewSamplesRepaintThePlotAloneAndTheScreenShowsThem) {
    const RECT r = plot->GetPlotRect();
    const QRect plotArea(r.left, r.top, r.right - r.left, r.bottom - r.top);
    ASSERT_GT(plotArea.left(), 0) << "the left panel lies outside the plot";
    AddFrame(2.0, 8.0);
    const int64_t inPlace = plot->InPlacePaintCount();
    ASSERT_TRUE(PaintRequested());
    ASSERT_EQ(recording->regions.size(), 1u);
    EXPECT_EQ(recording->regions[0], QRegion(plotArea));
    EXPECT_EQ(plot->InPlacePaintCount(), inPlace + 1) << "drawn straight into the backing store";
    const QImage shown = ShownPixels(window.get(), plot->size());
    EXPECT_GT(CountColour(shown, plotArea, qRgb(0, 255, 0)), 10) << "the new curve is shown";
    ExpectScreenShowsTheFrame(QPoint(0, 0));
}

TEST_F(WaveWndRegionTest, PanelsRepaintedByANewScaleReachTheScreen) {
    plot->SetAutoScale(1);
    const QImage before = ShownPixels(window.get(), plot->size());
    AddFrame(-300.0, 500.0);
    ASSERT_TRUE(PaintRequested());
    const RECT panel = plot->GetPanelArea(kPanelLeft);
    const QRect panelArea(panel.left, panel.top, panel.right - panel.left,
                          panel.bottom - panel.top);
    ASSERT_FALSE(panelArea.isEmpty());
    bool panelPainted = false;
    for (const QRegion& region : recording->regions) panelPainted |= region.contains(panelArea);
    EXPECT_TRUE(panelPainted);
    const QImage shown = ShownPixels(window.get(), plot->size());
    EXPECT_GT(DifferingPixels(shown.copy(panelArea), before.copy(panelArea), 0), 0)
        << "the labels of the new range are shown";
    ExpectScreenShowsTheFrame(QPoint(0, 0));
}

TEST_F(WaveWndRegionTest, APlotAwayFromTheWindowsOriginIsDrawnInPlaceAtItsPosition) {
    window->resize(400, 260);
    plot->move(30, 20);
    ProcessPendingEvents();
    plot->SetBackgroundDirty();  // the new background goes straight into the frame
    AddFrame(1.0, 9.0);
    const int64_t inPlace = plot->InPlacePaintCount();
    ASSERT_TRUE(PaintRequested());
    EXPECT_EQ(plot->InPlacePaintCount(), inPlace + 1);
    ExpectScreenShowsTheFrame(QPoint(30, 20));
    AddFrame(3.0, 4.0);  // from the plot image this time
    ASSERT_TRUE(PaintRequested());
    ExpectScreenShowsTheFrame(QPoint(30, 20));
}

// Shades the right half of the plot over the curves, inside the painter's clip, as the target
// page shades its inactive gates.
class ShadingListener : public IWaveWndDrawListener {
public:
    void OnDrawEnd(QPainter* painter, QImage*, uint32_t* pixels, int width, int height, int stride,
                   const RECT& plot, uintptr_t) override {
        const int middle = (plot.left + plot.right) / 2;
        const QRect shaded(middle, plot.top, plot.right - middle, plot.bottom - plot.top);
        const QRegion area =
            painter->hasClipping() ? painter->clipRegion() & shaded : QRegion(shaded);
        for (const QRect& r : area)
            ShadeArea(pixels, width, height, stride,
                      RECT{r.left(), r.top(), r.right() + 1, r.bottom() + 1}, 0xBFC3C3C3);
    }
};

class WaveWndIncrementalTest : public WaveWndRegionTest {
protected:
    void SetUp() override {
        WaveWndRegionTest::SetUp();
        plot->SetGrid(1);  // a background with structure: erasing must restore it exactly
        plot->SetBackgroundDirty();
        plot->SetWaveCount(2);
        plot->SetWaveStyle(0, kTestGreenWave, 7);  // thick, with sharp mitred joins
        plot->SetWaveStyle(1, 0xFF0000FF, 5);
        plot->SetDrawListener(&shading, 0);
        plot->SetIncrementalFrames(1);
        const std::vector<double> flat(16, 5.0);
        plot->GetWaveBuffer(1)->AddSamples(flat.data(), 16);
        AddFrame(2.0, 8.0);
        ProcessPendingEvents();
    }
    void AddSamples(const std::vector<double>& frame) {
        plot->GetWaveBuffer(0)->AddSamples(frame.data(), int(frame.size()));
    }

    ShadingListener shading;
};

TEST_F(WaveWndIncrementalTest, FramesRewritingOnlyTheMovedCurvesShowWhatAWholeFrameShows) {
    const std::vector<std::vector<double>> frames = {
        {2, 8, 2, 8, 2, 8, 2, 8, 2, 8, 2, 8, 2, 8, 2, 8},  // spikes: the longest mitres
        {2, 8, 2, 8, 2, 8, 2, 8, 2, 8, 2, 8, 2, 8, 2, 9},  // one sample moves
        {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        {10, 10, 10, 10, 10, 10, 10, 10, 0, 0, 0, 0, 0, 0, 0, 0},
        {5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5},  // over the constant curve
        {1, 9, 3, 7, 4, 6, 5, 5, 5, 6, 4, 7, 3, 8, 2, 9},
    };
    for (size_t i = 0; i < frames.size(); ++i) {
        SCOPED_TRACE(i);
        AddSamples(frames[i]);
        const int64_t incremental = plot->IncrementalPaintCount();
        ASSERT_TRUE(PaintRequested());
        EXPECT_EQ(plot->IncrementalPaintCount(), incremental + 1);
        ExpectScreenShowsTheFrame(QPoint(0, 0));
    }
    // A style change alone moves no point.
    plot->SetWaveStyle(1, 0xFFFF00FF, 9);
    plot->RequestRepaint();
    ProcessPendingEvents();
    ExpectScreenShowsTheFrame(QPoint(0, 0));
}

TEST_F(WaveWndIncrementalTest, OnlyTheChangedColumnsAreRewrittenUntilTheOwnerAsksForAWholeFrame) {
    // A mark on the screen far from the one sample that moves: an incremental frame leaves it,
    // a whole frame (the owner's update()) paints over it.
    AddSamples({2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2});
    ASSERT_TRUE(PaintRequested());
    auto* store = dynamic_cast<QImage*>(window->backingStore()->paintDevice());
    ASSERT_NE(store, nullptr);
    const RECT r = plot->GetPlotRect();
    const QPoint mark(r.left + 3, r.top + 3);
    store->setPixel(mark, qRgb(255, 0, 255));
    AddSamples({2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 8});
    ASSERT_TRUE(PaintRequested());
    EXPECT_EQ(store->pixel(mark), qRgb(255, 0, 255));
    const int64_t incremental = plot->IncrementalPaintCount();
    plot->update();
    plot->RequestRepaint();
    ProcessPendingEvents();
    EXPECT_EQ(plot->IncrementalPaintCount(), incremental);
    EXPECT_NE(store->pixel(mark), qRgb(255, 0, 255));
    ExpectScreenShowsTheFrame(QPoint(0, 0));
}

TEST_F(WaveWndIncrementalTest, SmoothCurvesMarkersTheCounterAndANewBackgroundDrawWholeFrames) {
    const std::function<void()> changes[] = {
        [this] { plot->SetSmoothCurves(1); },
        [this] { plot->SetMarkers(1); },
        [this] { plot->SetFrameCounter(1); },
        [this] { plot->SetBackgroundDirty(); },
    };
    for (const auto& change : changes) {
        change();
        AddFrame(1.0, 9.0);
        const int64_t incremental = plot->IncrementalPaintCount();
        ASSERT_TRUE(PaintRequested());
        EXPECT_EQ(plot->IncrementalPaintCount(), incremental);
        ExpectScreenShowsTheFrame(QPoint(0, 0));
        plot->SetSmoothCurves(0);
        plot->SetMarkers(0);
        plot->SetFrameCounter(0);
    }
}

TEST_F(WaveWndRegionTest, AWidgetOverThePlotKeepsItsPixels) {
    // Pixels written straight into the backing store would pass under Qt's clipping: a plot
    // partly covered goes the window image's way, and the cover stays as it was drawn.
    QWidget cover(window.get());
    cover.setAutoFillBackground(true);
    QPalette colours = cover.palette();
    colours.setColor(QPalette::Window, QColor(255, 0, 255));
    cover.setPalette(colours);
    const RECT r = plot->GetPlotRect();
    const QRect coverArea(r.left + 20, r.top + 10, 60, 40);
    cover.setGeometry(coverArea);
    cover.show();
    ProcessPendingEvents();
    AddFrame(0.0, 10.0);
    const int64_t inPlace = plot->InPlacePaintCount();
    ASSERT_TRUE(PaintRequested());
    EXPECT_EQ(plot->InPlacePaintCount(), inPlace);
    const QImage shown = ShownPixels(window.get(), plot->size());
    EXPECT_EQ(CountColour(shown, coverArea, qRgb(255, 0, 255)),
              coverArea.width() * coverArea.height());
    EXPECT_GT(CountColour(shown, QRect(r.left, r.top, r.right - r.left, r.bottom - r.top),
                          qRgb(0, 255, 0)),
              10);
}

TEST_F(WaveWndTest, OutOfRangeIndicesAreHarmless) {
    EXPECT_EQ(plot->GetWaveBuffer(-1), nullptr);
    EXPECT_EQ(plot->GetWaveBuffer(kMaxWaves), nullptr);
    EXPECT_NE(plot->GetWaveBuffer(kMaxWaves - 1), nullptr);
    EXPECT_EQ(plot->GetWavePoints(kMaxWaves), nullptr);
    EXPECT_FALSE(plot->SetWaveTooltip(kMaxWaves, 1, QStringLiteral("%d")));
    plot->SetWaveVisible(kMaxWaves + 5, 1);
    EXPECT_EQ(plot->IsWaveVisible(kMaxWaves + 5), 0);
    plot->ShowAxisPanel(static_cast<WavePanel>(7), 1, 10, nullptr);
    plot->SetPanelLabelCount(static_cast<WavePanel>(-1), 3);
    EXPECT_EQ(plot->GetCoordinate(static_cast<WavePanel>(4)), nullptr);
    plot->AddMarker(-50);
    plot->AddMarker(1 << 30);
    plot->SetMarkers(1);
    ConfigurePlain(plot, 16, 0, 10);
    plot->RenderFrame();  // markers outside the samples draw nothing
}

TEST_F(WaveWndTest, PlotSmallerThanItsPanelsPaintsNothingAndDoesNotFail) {
    plot->setGeometry(0, 0, 30, 20);
    plot->ShowAxisPanel(kPanelLeft, 1, 40, nullptr);
    plot->ShowAxisPanel(kPanelBottom, 1, 20, nullptr);
    plot->ShowAxisPanel(kPanelTop, 1, 20, nullptr);
    ConfigurePlain(plot, 16, 0, 10);
    const RECT r = plot->GetPlotRect();
    EXPECT_EQ(r.right - r.left, 0);
    EXPECT_TRUE(plot->PlotImage().isNull());
    plot->SetText(1, QStringLiteral("fit"), -12, 0xFFFFFFFF, 0, 0, nullptr);
    plot->SetGridRows(0);
    plot->RenderFrame();
    EXPECT_FALSE(plot->WindowImage().isNull());
}

TEST_F(WaveWndTest, FontSizeZeroDrawsNoTextAndNothingFails) {
    ConfigurePlain(plot, 16, 0, 10);
    plot->ShowAxisPanel(kPanelLeft, 1, 30, nullptr);
    plot->SetYAxisFont(0, 0);
    plot->SetText(1, QStringLiteral("title"), 0, 0xFFFFFFFF, 0, 0, nullptr);
    plot->RenderFrame();
    const QImage image = plot->WindowImage();
    EXPECT_EQ(CountColour(image, image.rect(), qRgb(255, 255, 255)), 0);
}

TEST_F(WaveWndTest, AutoScaleSettlesOnASteadySignal) {
    ConfigurePlain(plot, 16, -100, 100);
    plot->SetAutoScale(1);
    std::vector<double> frame(16);
    for (int i = 0; i < 16; ++i) frame[size_t(i)] = -3.0 + 8.0 * i / 15.0;
    plot->GetWaveBuffer(0)->AddSamples(frame.data(), 16);
    plot->RenderFrame();
    EXPECT_EQ(plot->GetYViewMin(), -5.0);
    EXPECT_EQ(plot->GetYViewMax(), 7.0);
    EXPECT_EQ(plot->GetCoordinate(kPanelLeft)->rangeMax, 7.0);
    // A span that does not round-trip exactly: the window must stop asking for repaints.
    for (int i = 0; i < 16; ++i) frame[size_t(i)] = 0.241 * i / 15.0;
    plot->GetWaveBuffer(0)->AddSamples(frame.data(), 16);
    ASSERT_TRUE(ProcessEventsUntil([&] { return plot->PaintCount() > 0; }));
    ProcessPendingEvents();
    const int64_t settled = plot->PaintCount();
    const double low = plot->GetYViewMin();
    for (int i = 0; i < 20; ++i) ProcessPendingEvents();
    EXPECT_LE(plot->PaintCount(), settled + 1) << "a steady signal stops repainting";
    EXPECT_EQ(plot->GetYViewMin(), low);
    EXPECT_NEAR(plot->GetYViewMax() - plot->GetYViewMin(), 0.241 * 1.5, 1e-12);
}

TEST_F(WaveWndTest, TextItemsUpdateByIdAndAreClippedToThePlot) {
    ConfigurePlain(plot, 16, 0, 10);
    plot->SetWaveVisible(0, 0);
    plot->SetText(5, QStringLiteral("one"), 12, 0xFFFFFFFF, 0, 0, nullptr);
    plot->SetText(2, QStringLiteral("two"), 12, 0xFFFFFFFF, 0, 0, nullptr);
    plot->SetText(5, QStringLiteral("ONE"), 14, 0xFFFFFFFF, 0, 0, nullptr);
    EXPECT_EQ(plot->GetTextCount(), 2);
    EXPECT_EQ(plot->GetTextSize(5), 14);
    plot->RenderFrame();
    EXPECT_GT(CountColour(plot->WindowImage(), QRect(0, 0, 320, 200), qRgb(255, 255, 255)), 10);
    // Moved outside the plot: nothing of it is drawn.
    const RECT outside{400, 300, 500, 350};
    plot->SetText(5, QStringLiteral("ONE"), 14, 0xFFFFFFFF, 0, 0, &outside);
    plot->SetText(2, QString(), 12, 0xFFFFFFFF, 0, 0, nullptr);
    plot->RenderFrame();
    EXPECT_EQ(CountColour(plot->WindowImage(), QRect(0, 0, 320, 200), qRgb(255, 255, 255)), 0);
    // Fitted: the largest size from 40 down whose text fits 60 x 20 pixels.
    const RECT small{10, 10, 70, 30};
    plot->SetText(9, QStringLiteral("Fit me"), -40, 0xFFFFFFFF, 0, 0, &small);
    EXPECT_GT(plot->GetTextSize(9), 0);
    EXPECT_LT(plot->GetTextSize(9), 40);
}

class SkippingListener : public IWaveWndDrawListener {
public:
    int OnDrawWave(QPainter*, QImage*, uint32_t*, int, int, int, const RECT&, int index,
                   CPtrArrayCtrl* points, int, uint32_t, int, uintptr_t context) override {
        lastContext = context;
        pointsSeen += points->GetCount();
        return index == 0 ? 1 : 0;
    }
    void OnDrawEnd(QPainter*, QImage*, uint32_t*, int, int, int, const RECT&, uintptr_t) override {
        ++ends;
    }
    uintptr_t lastContext = 0;
    int pointsSeen = 0;
    int ends = 0;
};

TEST_F(WaveWndTest, ListenerDrawingAWaveSkipsTheDefaultCurve) {
    ConfigurePlain(plot, 16, 0, 10);
    SkippingListener listener;
    plot->SetDrawListener(&listener, 42);
    std::vector<double> ramp(16);
    for (int i = 0; i < 16; ++i) ramp[size_t(i)] = i * 0.6;
    plot->GetWaveBuffer(0)->AddSamples(ramp.data(), 16);
    plot->RenderFrame();
    EXPECT_EQ(listener.lastContext, 42u);
    EXPECT_GT(listener.pointsSeen, 1);
    EXPECT_EQ(listener.ends, 1);
    const QImage image = plot->WindowImage();
    EXPECT_EQ(CountColour(image, image.rect(), qRgb(0, 255, 0)), 0);
}

TEST_F(WaveWndTest, MarkersAndFrameCounter) {
    ConfigurePlain(plot, 16, 0, 10);
    std::vector<double> level(16, 5.0);
    plot->GetWaveBuffer(0)->AddSamples(level.data(), 16);
    plot->SetMarkerStyle(3, 0xFFFFFF00);
    plot->AddMarker(8);
    plot->SetMarkers(1);
    QFont font;
    font.setPixelSize(14);
    plot->SetFrameCounterStyle(QStringLiteral("#"), font, RGB(255, 0, 255),
                               Qt::AlignRight | Qt::AlignTop);
    plot->SetFrameCounter(1);
    plot->RenderFrame();
    const QImage image = plot->WindowImage();
    const RECT r = plot->GetPlotRect();
    const int x = r.left + 8 * (r.right - r.left) / 16;
    // Below the curve (row 100 of 200) the marker column is yellow down to the bottom.
    EXPECT_EQ(image.pixel(x, r.bottom - 2) & 0xFFFFFF, 0xFFFF00u);
    EXPECT_EQ(image.pixel(x, r.top + 20) & 0xFFFFFF, 0x000000u) << "nothing above the curve";
    EXPECT_GT(CountColour(image, QRect(r.right - 40, r.top, 40, 20), qRgb(255, 0, 255)), 3)
        << "the counter";
}

}  // namespace
