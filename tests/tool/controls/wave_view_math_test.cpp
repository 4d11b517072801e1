// ctest-labels: unit
#include "controls/wave_view_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "draw/packed_point.h"

namespace {

TEST(WaveViewMathTest, LayoutPlacesPanelsAroundThePlot) {
    AxisPanelConfig panels[kPanelCount];
    panels[kPanelLeft] = {1, 50, {}};
    panels[kPanelBottom] = {1, 24, {2, 3, 4, 5}};
    panels[kPanelRight] = {0, 40, {}};  // hidden: counts as 0
    const WaveLayout layout = ComputeWaveLayout(400, 300, panels);
    EXPECT_EQ(layout.plot.left, 50);
    EXPECT_EQ(layout.plot.top, 0);
    EXPECT_EQ(layout.plot.right, 400);
    EXPECT_EQ(layout.plot.bottom, 276);
    EXPECT_EQ(layout.areas[kPanelLeft].right, 50);
    EXPECT_EQ(layout.areas[kPanelLeft].bottom, 276);
    // Margins shrink the bottom panel's area, not the plot.
    EXPECT_EQ(layout.areas[kPanelBottom].left, 52);
    EXPECT_EQ(layout.areas[kPanelBottom].top, 279);
    EXPECT_EQ(layout.areas[kPanelBottom].right, 396);
    EXPECT_EQ(layout.areas[kPanelBottom].bottom, 295);
    EXPECT_EQ(layout.areas[kPanelRight].right - layout.areas[kPanelRight].left, 0);
}

TEST(WaveViewMathTest, PlotSmallerThanItsPanelsIsEmptyNotInverted) {
    AxisPanelConfig panels[kPanelCount];
    for (auto& p : panels) p = {1, 40, {30, 30, 30, 30}};
    const WaveLayout layout = ComputeWaveLayout(50, 30, panels);
    EXPECT_GE(layout.plot.right, layout.plot.left);
    EXPECT_GE(layout.plot.bottom, layout.plot.top);
    for (const RECT& a : layout.areas) {
        EXPECT_GE(a.right, a.left);
        EXPECT_GE(a.bottom, a.top);
    }
}

struct CellCase {
    int width, height, rows;
    double cellWidth, cellHeight;
};

TEST(WaveViewMathTest, GridCellsTable) {
    const CellCase cases[] = {
        {100, 100, 16, 100.0 / 12, 8.0},  // 6.25 clamped to 8; 12 columns
        {300, 800, 16, 50.0, 40.0},       // 7 columns rounded down to 6
        {300, 800, 0, 50.0, 40.0},        // rows below 1 count as 1
        {12, 100, 16, 12.0, 8.0},         // narrower than two cells: one column
        {0, 100, 16, 0.0, 0.0},           // empty plot: no cells
    };
    for (const CellCase& c : cases) {
        const GridCells cells = ComputeGridCells(c.width, c.height, c.rows);
        EXPECT_DOUBLE_EQ(cells.width, c.cellWidth) << c.width << "x" << c.height;
        EXPECT_DOUBLE_EQ(cells.height, c.cellHeight) << c.width << "x" << c.height;
    }
}

std::vector<PackedPoint> Points(CPtrArrayCtrl& list) {
    std::vector<PackedPoint> out;
    for (int i = 0; i < list.GetCount(); ++i) out.push_back(SlotToPackedPoint(list.GetAt(i)));
    return out;
}

TEST(WaveViewMathTest, PointsOutsideAreRemovedAndEdgesKeptClear) {
    CPtrArrayCtrl list;
    const RECT plot{10, 10, 110, 60};
    for (PackedPoint p : {PackPoint(5, 20), PackPoint(10, 10), PackPoint(50, 30),
                          PackPoint(109, 59), PackPoint(110, 30)})
        list.AddData(PackedPointToSlot(p));
    PostProcessWavePoints(&list, plot, 3, false, -1);
    // half = 1: x stays in [left + 2, right - 3], y in [top + 2, bottom - 3].
    EXPECT_EQ(Points(list),
              (std::vector<PackedPoint>{PackPoint(12, 12), PackPoint(50, 30), PackPoint(107, 57)}));
    list.DeleteAll();
    list.AddData(PackedPointToSlot(PackPoint(20, 30)));
    PostProcessWavePoints(&list, plot, 1, true, -1);
    EXPECT_EQ(Points(list), (std::vector<PackedPoint>{PackPoint(100, 30)})) << "mirrored";
}

TEST(WaveViewMathTest, PointsAcrossThinsButKeepsFirstAndLast) {
    CPtrArrayCtrl list;
    const RECT plot{0, 0, 100, 100};
    for (int x = 10; x <= 90; x += 2) list.AddData(PackedPointToSlot(PackPoint(x, 50)));
    PostProcessWavePoints(&list, plot, 1, false, 10);  // spacing 10
    std::vector<PackedPoint> expected;
    for (int x = 10; x <= 90; x += 10) expected.push_back(PackPoint(x, 50));
    EXPECT_EQ(Points(list), expected);
}

TEST(WaveViewMathTest, AutoScaleRangeFromTheData) {
    double low = -100, high = 100;
    EXPECT_TRUE(AutoScaleRange(-3, 5, &low, &high));
    EXPECT_EQ(low, -5.0);
    EXPECT_EQ(high, 7.0);
    EXPECT_FALSE(AutoScaleRange(-3, 5, &low, &high)) << "already there";
    // 2 .. 4 with 0 always among the extremes: 0 .. 4.
    EXPECT_TRUE(AutoScaleRange(0, 4, &low, &high));
    EXPECT_EQ(low, -1.0);
    EXPECT_EQ(high, 5.0);
    EXPECT_FALSE(AutoScaleRange(0, 0, &low, &high)) << "a flat signal keeps the view";
}

TEST(WaveViewMathTest, AutoScaleSettlesWhereTheRangeDoesNotRoundTripExactly) {
    // Find data whose adapted view span differs from 1.5 x span in the last bits: an exact
    // comparison would adapt (and repaint) at every paint.
    int found = 0;
    for (int k = 1; k < 2000 && found < 20; ++k) {
        const double high = k * 0.01 + 0.003;
        const double span = high;  // the extremes include 0
        const double centre = high / 2;
        const double viewSpan = std::fabs((centre + 0.75 * span) - (centre - 0.75 * span));
        if (viewSpan == span * 1.5) continue;
        ++found;
        double low = -1, top = 1;
        ASSERT_TRUE(AutoScaleRange(0, high, &low, &top));
        EXPECT_FALSE(AutoScaleRange(0, high, &low, &top)) << high;
    }
    EXPECT_GT(found, 0) << "such data exists";
}

TEST(WaveViewMathTest, WrapIndexIsNeverNegative) {
    EXPECT_EQ(WrapIndex(-1, 64), 63);
    EXPECT_EQ(WrapIndex(-129, 64), 63);
    EXPECT_EQ(WrapIndex(130, 64), 2);
    EXPECT_EQ(WrapIndex(5, 0), 0);
}

TEST(WaveViewMathTest, DragShiftAndOffset) {
    // N 64, zoom 1, 320 pixels: 5 pixels per sample.
    EXPECT_EQ(DragXShift(11, 64, 1.0, 320), 2);
    EXPECT_EQ(DragXShift(-11, 64, 1.0, 320), -2);
    EXPECT_EQ(DragXShift(4, 64, 1.0, 320), 0) << "less than a sample";
    EXPECT_EQ(DragXShift(320, 64, 1.0, 320), 0) << "a whole view is refused";
    EXPECT_EQ(DragXShift(10, 64, 0.0, 320), 0);
    EXPECT_EQ(DragXShift(10, 64, 1.0, 0), 0);
    // Zoomed out to 0.125 a drag may move more than N samples back: the C remainder of
    // offset + N + shift went negative here.
    const int shift = DragXShift(-300, 64, 0.125, 320);
    EXPECT_LT(shift, -64);
    const int offset = DraggedXOffset(0, shift, 64);
    EXPECT_GE(offset, 0);
    EXPECT_LT(offset, 64);
}

TEST(WaveViewMathTest, DragYMovesBothLimits) {
    double low = 0, high = 100;
    EXPECT_TRUE(DragYRange(10, 100, &low, &high));
    EXPECT_EQ(low, 10.0);
    EXPECT_EQ(high, 110.0);
    EXPECT_FALSE(DragYRange(10, 0, &low, &high));
}

TEST(WaveViewMathTest, WheelZoomXLimits) {
    // N = 64: nine steps out reach 0.134, the tenth is refused; fifteen in reach 28.4, the
    // sixteenth is refused.
    double zoom = 1.0;
    int offset = 0;
    XZoomStep step;
    for (int i = 0; i < 9; ++i) {
        ASSERT_TRUE(WheelZoomX(100, 320, 64, -120, zoom, offset, &step)) << i;
        zoom = step.zoom;
        offset = step.offset;
        EXPECT_GE(offset, 0);
        EXPECT_LT(offset, 64);
    }
    EXPECT_NEAR(zoom, 0.134, 0.001);
    EXPECT_FALSE(WheelZoomX(100, 320, 64, -120, zoom, offset, &step));
    zoom = 1.0;
    for (int i = 0; i < 15; ++i) {
        ASSERT_TRUE(WheelZoomX(100, 320, 64, 120, zoom, 0, &step)) << i;
        zoom = step.zoom;
    }
    EXPECT_NEAR(zoom, 28.4, 0.1);
    EXPECT_FALSE(WheelZoomX(100, 320, 64, 120, zoom, 0, &step));
    // A plot one pixel wide would divide by zero.
    EXPECT_FALSE(WheelZoomX(0, 1, 64, 120, 1.0, 0, &step));
}

TEST(WaveViewMathTest, WheelZoomYKeepsTheValueUnderTheCursorAndStopsAtTheLimits) {
    const RECT plot{0, 0, 100, 100};
    double low = 0, high = 100;
    ASSERT_TRUE(WheelZoomY(25, plot, 120, 0, 100, &low, &high));
    EXPECT_DOUBLE_EQ(low, 75 - 75 / 1.25);
    EXPECT_DOUBLE_EQ(high, 75 + 25 / 1.25);
    int steps = 0;
    while (WheelZoomY(25, plot, 120, 0, 100, &low, &high) && steps < 1000) ++steps;
    EXPECT_LT(steps, 1000) << "zooming in stops";
    EXPECT_GE(high - low, 100 / kMaxYZoomRatio);
    steps = 0;
    while (WheelZoomY(25, plot, -120, 0, 100, &low, &high) && steps < 1000) ++steps;
    EXPECT_LT(steps, 1000) << "zooming out stops";
    EXPECT_LE(high - low, 100 * kMaxYZoomRatio);
    EXPECT_FALSE(WheelZoomY(0, RECT{0, 0, 10, 0}, 120, 0, 100, &low, &high));
}

TEST(WaveViewMathTest, SampleValueFormats) {
    std::u16string out;
    EXPECT_TRUE(FormatSampleValue(u"Wave:0, Sample:%d, Value:%.1f", 12, 3.46, &out));
    EXPECT_EQ(out, u"Wave:0, Sample:12, Value:3.5");
    EXPECT_TRUE(FormatSampleValue(u"%d%% 距离", 5, 0, &out));
    EXPECT_EQ(out, u"5% 距离");
    for (const char16_t* bad : {u"%s", u"%f %d", u"%d %f %f", u"%*d", u"%ld", u"%", u"%n"})
        EXPECT_FALSE(IsSampleValueFormat(bad)) << std::string(bad, bad + 3).size();
}

}  // namespace
