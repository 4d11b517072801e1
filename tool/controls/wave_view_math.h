// The plot window's arithmetic without a toolkit: panel layout, grid cells, the clean-up of a
// wave's points, auto-scale, and the view changes of dragging and wheel zoom. No state; any
// thread.
#pragma once

#include <cstdint>
#include <string>

#include "core/platform_types.h"
#include "core/ptr_array_ctrl.h"

// The four label panels around the plot.
enum WavePanel : int { kPanelLeft = 0, kPanelRight = 1, kPanelTop = 2, kPanelBottom = 3 };
constexpr int kPanelCount = 4;

struct AxisPanelConfig {
    int shown = 0;
    int thickness = 0;
    RECT margins{};  // subtracted from the panel's area on each side
};

struct WaveLayout {
    RECT areas[kPanelCount]{};  // hidden panels: empty
    RECT plot{};
};

// Areas of the panels and the plot in a client area of width x height. A hidden panel counts
// as 0 pixels thick. When the panels are larger than the client area the plot is empty (its
// right is not left of its left, its bottom not above its top), never inverted.
WaveLayout ComputeWaveLayout(int width, int height, const AxisPanelConfig panels[kPanelCount]);

// Grid cell heights stay within these pixels.
constexpr double kMinGridCell = 8.0;
constexpr double kMaxGridCell = 40.0;

struct GridCells {
    double width = 0.0;
    double height = 0.0;
};

// Nearly square cells: height = plot height / rows (rows below 1 count as 1) within
// [kMinGridCell, kMaxGridCell]; an even number of columns of trunc(width / cell height) rounded
// down, width = plot width / columns. A plot narrower than two cells has one column as wide as
// the plot; an empty plot gives cells of 0 (no grid lines).
GridCells ComputeGridCells(int plotWidth, int plotHeight, int rows);

// Cleans a wave's polyline in place: points outside the plot are removed; the others are
// mirrored across the plot when asked and kept far enough from the edges for a line of that
// width; with pointsAcross > 0 points closer than plotWidth / pointsAcross to the previous kept
// one are dropped (the first and last are always kept).
void PostProcessWavePoints(CPtrArrayCtrl* points, const RECT& plot, int lineWidth, bool mirrored,
                           int pointsAcross);

// Spans that differ by less than this fraction count as equal for auto-scale.
constexpr double kAutoScaleTolerance = 1e-9;
// Data spans at or below this are too flat to scale to.
constexpr double kAutoScaleMinSpan = 1e-16;

// Adapts the view range to the data extremes: when the data span x 1.5 differs from the view's
// span (beyond kAutoScaleTolerance of the larger), the view becomes centre +- 0.75 x span.
// Returns whether the view changed.
bool AutoScaleRange(double dataMin, double dataMax, double* viewMin, double* viewMax);

// Non-negative remainder of value / n (0 for n < 1).
int WrapIndex(int64_t value, int n);

// Pixels of movement a drag step needs: more than these on the first step, then more than
// kDragStepPixels.
constexpr int kDragFirstMovePixels = 10;
constexpr int kDragStepPixels = 1;

// Samples a horizontal drag of dx pixels moves the view of N samples at this zoom across a
// client area of clientWidth pixels: trunc(dx x (N / zoom) / clientWidth); 0 when the move is
// refused (no movement, or a whole view or more, or a degenerate view).
int DragXShift(int dx, int n, double zoom, int clientWidth);

// The X offset after a drag by `shift` samples: (offset + shift) wrapped into 0 .. N - 1.
int DraggedXOffset(int offset, int shift, int n);

// Y view change of a vertical drag by dy pixels over a plot of plotHeight pixels: both limits
// move by (max - min) / plotHeight x dy. False (nothing changed) for an empty plot.
bool DragYRange(int dy, int plotHeight, double* viewMin, double* viewMax);

// Wheel zoom limits: X zoom stays in [kMinXZoom, N x kMaxXZoomPerSample].
constexpr double kMinXZoom = 0.125;
constexpr double kMaxXZoomPerSample = 0.5;
constexpr double kWheelZoomIn = 1.25;
constexpr double kWheelZoomOut = 0.8;

struct XZoomStep {
    double zoom = 1.0;
    int offset = 0;
    int shift = 0;  // r: samples the view's left edge moved, for the X labels
};

// One wheel step of X zoom at column px of a plot plotWidth pixels wide: the sample under the
// cursor stays under it. False (nothing changes) when the new zoom leaves the limits or the plot
// is narrower than 2 pixels or N < 1.
bool WheelZoomX(int px, int plotWidth, int n, int delta, double zoom, int offset, XZoomStep* out);

// The Y view span stays within the full span divided and multiplied by this.
constexpr double kMaxYZoomRatio = 4096.0;
// A view span never shrinks below this (for a full range of zero span).
constexpr double kMinYSpan = 1e-9;

// One wheel step of Y zoom about row y of the plot: the value under the cursor stays; the span
// is divided (delta > 0) or multiplied by 1.25. False (nothing changes) for an empty plot, or
// when the span would leave [full span / kMaxYZoomRatio, full span x kMaxYZoomRatio] or become
// non-finite.
bool WheelZoomY(int y, const RECT& plot, int delta, double fullMin, double fullMax, double* viewMin,
                double* viewMax);

// Tooltip formats: printf text whose conversions are at most an integer one (d, i, u, x, X,
// o) for the sample index followed by a floating one (f, F, e, E, g, G) for the value, with
// flags, width and precision but no '*' or length modifiers; "%%" is a percent sign.
bool IsSampleValueFormat(const std::u16string& format);
// The format applied to (sample, value); false (and nothing written) for a format that
// IsSampleValueFormat refuses.
bool FormatSampleValue(const std::u16string& format, int sample, double value, std::u16string* out);
