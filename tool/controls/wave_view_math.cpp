#include "controls/wave_view_math.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "draw/packed_point.h"

WaveLayout ComputeWaveLayout(int width, int height, const AxisPanelConfig panels[kPanelCount]) {
    WaveLayout layout;
    width = std::max(0, width);
    height = std::max(0, height);
    int t[kPanelCount];
    for (int i = 0; i < kPanelCount; ++i)
        t[i] = panels[i].shown ? std::max(0, panels[i].thickness) : 0;
    // Panels larger than the client area leave an empty plot between them, never an inverted one.
    const int plotLeft = std::min(t[kPanelLeft], width);
    const int plotRight = std::max(plotLeft, width - t[kPanelRight]);
    const int plotTop = std::min(t[kPanelTop], height);
    const int plotBottom = std::max(plotTop, height - t[kPanelBottom]);
    layout.plot = RECT{plotLeft, plotTop, plotRight, plotBottom};
    layout.areas[kPanelLeft] = RECT{0, plotTop, plotLeft, plotBottom};
    layout.areas[kPanelRight] = RECT{plotRight, plotTop, width, plotBottom};
    layout.areas[kPanelTop] = RECT{plotLeft, 0, plotRight, plotTop};
    layout.areas[kPanelBottom] = RECT{plotLeft, plotBottom, plotRight, height};
    for (int i = 0; i < kPanelCount; ++i) {
        RECT& a = layout.areas[i];
        if (!panels[i].shown) {
            a = RECT{0, 0, 0, 0};
            continue;
        }
        a.left += panels[i].margins.left;
        a.top += panels[i].margins.top;
        a.right -= panels[i].margins.right;
        a.bottom -= panels[i].margins.bottom;
        a.right = std::max(a.left, a.right);
        a.bottom = std::max(a.top, a.bottom);
    }
    return layout;
}

GridCells ComputeGridCells(int plotWidth, int plotHeight, int rows) {
    GridCells cells;
    if (plotWidth <= 0 || plotHeight <= 0) return cells;
    cells.height = std::clamp(double(plotHeight) / std::max(1, rows), kMinGridCell, kMaxGridCell);
    int columns = int(plotWidth / cells.height);
    columns -= columns % 2;
    cells.width = columns > 0 ? double(plotWidth) / columns : double(plotWidth);
    return cells;
}

void PostProcessWavePoints(CPtrArrayCtrl* points, const RECT& plot, int lineWidth, bool mirrored,
                           int pointsAcross) {
    if (points == nullptr || points->GetCount() == 0) return;
    void** slots = points->GetDataPtr();
    const int count = points->GetCount();
    const int half = lineWidth / 2;
    int kept = 0;
    for (int i = 0; i < count; ++i) {
        const PackedPoint p = SlotToPackedPoint(slots[i]);
        int x = PackedPointX(p);
        int y = PackedPointY(p);
        if (x < plot.left || x >= plot.right || y < plot.top || y >= plot.bottom) continue;
        if (mirrored) x = plot.left + plot.right - x;
        if (x - half - 1 < plot.left)
            x = plot.left + half + 1;
        else if (x + half + 2 >= plot.right)
            x = plot.right - half - 2;
        if (y - half - 1 < plot.top)
            y = plot.top + half + 1;
        else if (y + half + 2 >= plot.bottom)
            y = plot.bottom - half - 2;
        slots[kept++] = PackedPointToSlot(PackPoint(x, y));
    }
    if (pointsAcross > 0 && kept > 2) {
        const int spacing = (plot.right - plot.left) / pointsAcross;
        int rememberedX = PackedPointX(SlotToPackedPoint(slots[0]));
        int thinned = 1;
        for (int i = 1; i < kept; ++i) {
            const int x = PackedPointX(SlotToPackedPoint(slots[i]));
            if (i == kept - 1 || x >= rememberedX + spacing) {
                slots[thinned++] = slots[i];
                rememberedX = x;
            }
        }
        kept = thinned;
    }
    if (kept < count) points->DeleteAt(kept, count - kept);
}

bool AutoScaleRange(double dataMin, double dataMax, double* viewMin, double* viewMax) {
    const double span = std::fabs(dataMax - dataMin);
    if (!(span > kAutoScaleMinSpan) || !std::isfinite(span)) return false;
    const double wanted = span * 1.5;
    const double current = std::fabs(*viewMax - *viewMin);
    // An exact comparison repaints a steady signal forever: centre +- 0.75 x span need not give
    // back exactly 1.5 x span.
    if (std::fabs(wanted - current) <= kAutoScaleTolerance * std::max(wanted, current))
        return false;
    const double centre = (dataMax + dataMin) / 2;
    *viewMin = centre - 0.75 * span;
    *viewMax = centre + 0.75 * span;
    return true;
}

int WrapIndex(int64_t value, int n) {
    if (n < 1) return 0;
    const int64_t r = value % n;
    return int(r < 0 ? r + n : r);
}

int DragXShift(int dx, int n, double zoom, int clientWidth) {
    if (n < 1 || clientWidth < 1 || !(zoom > 0.0) || !std::isfinite(zoom)) return 0;
    const double visible = n / zoom;
    const double shift = std::trunc(dx * visible / clientWidth);
    if (shift == 0.0 || std::fabs(shift) >= std::trunc(visible)) return 0;
    return int(shift);
}

int DraggedXOffset(int offset, int shift, int n) {
    return WrapIndex(int64_t(offset) + shift, n);
}

bool DragYRange(int dy, int plotHeight, double* viewMin, double* viewMax) {
    if (plotHeight <= 0) return false;
    const double delta = (*viewMax - *viewMin) / plotHeight * dy;
    if (!std::isfinite(delta)) return false;
    *viewMin += delta;
    *viewMax += delta;
    return true;
}

bool WheelZoomX(int px, int plotWidth, int n, int delta, double zoom, int offset, XZoomStep* out) {
    if (n < 1 || plotWidth < 2 || !(zoom > 0.0)) return false;
    const double samplesPerPixel = double(n - 1) / (plotWidth - 1) / zoom;
    const int anchor = WrapIndex(std::llround(px * samplesPerPixel + (n - offset)), n);
    const double factor = delta > 0 ? kWheelZoomIn : kWheelZoomOut;
    const double newZoom = factor * zoom;
    if (newZoom < kMinXZoom || newZoom > n * kMaxXZoomPerSample) return false;
    const int64_t r = std::llround(px * samplesPerPixel / factor - anchor);
    out->zoom = newZoom;
    out->shift = int(r);
    out->offset = WrapIndex(r, n);
    return true;
}

bool WheelZoomY(int y, const RECT& plot, int delta, double fullMin, double fullMax, double* viewMin,
                double* viewMax) {
    const int height = plot.bottom - plot.top;
    if (height <= 0) return false;
    const double v = *viewMax + (*viewMin - *viewMax) * (y - plot.top) / height;
    double up = *viewMax - v;
    double down = v - *viewMin;
    if (delta > 0) {
        up /= kWheelZoomIn;
        down /= kWheelZoomIn;
    } else {
        up *= kWheelZoomIn;
        down *= kWheelZoomIn;
    }
    const double span = std::fabs(up + down);
    const double full = std::fabs(fullMax - fullMin);
    const double smallest = std::max(full / kMaxYZoomRatio, kMinYSpan);
    const double largest = std::max(full, kMinYSpan) * kMaxYZoomRatio;
    if (!std::isfinite(v - down) || !std::isfinite(v + up) || span < smallest || span > largest)
        return false;
    *viewMin = v - down;
    *viewMax = v + up;
    return true;
}

namespace {

// Walks a tooltip format: literal text goes to `literal`, each conversion (its ASCII spec,
// e.g. "%.1f") to `conversion` with its position; false when the format is refused.
template <class Literal, class Conversion>
bool WalkSampleFormat(const std::u16string& format, Literal literal, Conversion conversion) {
    int position = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != u'%') {
            literal(format[i]);
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == u'%') {
            literal(u'%');
            ++i;
            continue;
        }
        std::string spec = "%";
        size_t j = i + 1;
        auto take = [&](const char* allowed) {
            while (j < format.size() && format[j] < 0x80 &&
                   std::string(allowed).find(char(format[j])) != std::string::npos)
                spec += char(format[j++]);
        };
        take("-+ #0");
        take("0123456789");
        if (j < format.size() && format[j] == u'.') {
            spec += '.';
            ++j;
            take("0123456789");
        }
        if (j >= format.size() || spec.size() > 16) return false;
        const char16_t type = format[j];
        const bool isInteger = std::u16string_view(u"diuxXo").find(type) != std::u16string::npos;
        const bool isFloating = std::u16string_view(u"fFeEgG").find(type) != std::u16string::npos;
        if ((position == 0 && !isInteger) || (position == 1 && !isFloating) || position > 1)
            return false;
        spec += char(type);
        conversion(spec, position++);
        i = j;
    }
    return true;
}

}  // namespace

bool IsSampleValueFormat(const std::u16string& format) {
    return WalkSampleFormat(
        format, [](char16_t) {}, [](const std::string&, int) {});
}

bool FormatSampleValue(const std::u16string& format, int sample, double value,
                       std::u16string* out) {
    if (out == nullptr || !IsSampleValueFormat(format)) return false;
    std::u16string text;
    WalkSampleFormat(
        format, [&](char16_t c) { text += c; },
        [&](const std::string& spec, int position) {
            char piece[512];
            const int length = position == 0
                                   ? std::snprintf(piece, sizeof piece, spec.c_str(), sample)
                                   : std::snprintf(piece, sizeof piece, spec.c_str(), value);
            for (int k = 0; k < length && k < int(sizeof piece) - 1; ++k)
                text += char16_t(piece[k]);
        });
    *out = std::move(text);
    return true;
}
