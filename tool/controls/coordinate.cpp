#include "controls/coordinate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "draw/buffer_line.h"

void CCoordinate::SetLabelStyle(int newPointSize, COLORREF colour, int newDecimals) {
    pointSize = newPointSize;
    textColour = colour;
    decimals = newDecimals;
    offset = 0;
    prefix.clear();
    suffix.clear();
}

void CCoordinate::AddCustomLabel(int index, const std::u16string& text, int flags) {
    m_custom.push_back(CustomLabel{index, text, flags});
}

void CCoordinate::ClearCustomLabels() {
    m_custom.clear();
}

int CCoordinate::DecimalsForStep(double step, int decimals) {
    if (decimals >= 0) return decimals;
    int j = 0;
    while (j < kMaxAutoDecimals && std::fabs(step * std::pow(10.0, j)) < 1.0) ++j;
    return j;
}

double CCoordinate::Step() const {
    // One label (or none) has no step; its value is the minimum.
    return count >= 2 ? (rangeMax - rangeMin) / (count - 1) : 0.0;
}

double CCoordinate::LabelValue(int index) const {
    const double step = Step();
    const int j = DecimalsForStep(step, decimals);
    const int position = vertical ? count - index - 1 : index;
    double v = rangeMin + position * step;
    const double scale = std::pow(10.0, j);
    v = std::round(v * scale) / scale;
    if (wrapPeriod > 0.0 && (v < wrapLow - kWrapTolerance || v > wrapHigh + kWrapTolerance)) {
        v -= std::trunc(v / wrapPeriod) * wrapPeriod;
        if (v < wrapLow - kWrapTolerance)
            v += wrapPeriod;
        else if (v > wrapHigh + kWrapTolerance)
            v -= wrapPeriod;
    }
    return v == 0.0 ? 0.0 : v;  // no "-0"
}

std::u16string CCoordinate::ComputedText(int index) const {
    const int j = DecimalsForStep(Step(), decimals);
    // The number is formatted alone: prefix and suffix never become part of a format.
    char number[64];
    const int length = std::snprintf(number, sizeof number, "%.*f", j, LabelValue(index));
    std::u16string text = prefix;
    for (int i = 0; i < length && i < int(sizeof number) - 1; ++i) text += char16_t(number[i]);
    return text + suffix;
}

const CCoordinate::CustomLabel* CCoordinate::FindCustom(int index) const {
    for (const CustomLabel& label : m_custom)
        if (label.index == index) return &label;
    return nullptr;
}

std::vector<CoordinateLabel> CCoordinate::LayoutLabels() const {
    std::vector<CoordinateLabel> labels;
    if (count < 1) return labels;
    labels.reserve(size_t(count));
    const int n = count;
    const bool isVertical = vertical != 0;
    const int start = isVertical ? rect.top : rect.left;
    const double extent = isVertical ? rect.bottom - rect.top : rect.right - rect.left;
    const double cell = extent / n;
    const double pitch = n >= 2 ? extent / (n - 1) : 0.0;
    for (int i = 0; i < n; ++i) {
        CoordinateLabel label;
        int from = 0;
        int to = 0;
        int automatic = 0;
        if (i == 0) {
            from = start;
            to = start + int(std::lround(cell));
            automatic = isVertical ? kLabelTop : kLabelLeft;
        } else if (i == n - 1) {
            from = start + int(std::lround((n - 1) * cell));
            to = start + int(std::lround(n * cell));
            automatic = isVertical ? kLabelBottom : kLabelRight;
        } else {
            from = start + int(std::lround((i - 0.5) * pitch));
            to = start + int(std::lround((i + 0.5) * pitch));
            automatic = isVertical ? kLabelVCentre : kLabelCentre;
        }
        label.rect = rect;
        if (isVertical) {
            label.rect.top = from;
            label.rect.bottom = to;
            if (alignment == kLabelAlignNear) label.rect.left += offset;
            if (alignment == kLabelAlignFar) label.rect.right -= offset;
        } else {
            label.rect.left = from;
            label.rect.right = to;
            if (alignment == kLabelAlignNear) label.rect.top += offset;
            if (alignment == kLabelAlignFar) label.rect.bottom -= offset;
        }
        const CustomLabel* custom = FindCustom(i);
        int flags = automatic;
        if (custom != nullptr) {
            label.text = custom->text;
            if (custom->flags != kLabelAutomaticFlags) flags = custom->flags;
        } else {
            label.text = ComputedText(i);
        }
        if (alignment == kLabelAlignCentre) flags |= isVertical ? kLabelCentre : kLabelVCentre;
        if (alignment == kLabelAlignFar) flags |= isVertical ? kLabelRight : kLabelBottom;
        label.flags = flags | kLabelSingleLine | kLabelEndEllipsis;
        labels.push_back(std::move(label));
    }
    return labels;
}

namespace {

bool UsableCell(double size) {
    return std::isfinite(size) && size > 0.0;
}

void GridLine(uint32_t* buffer, int width, int height, int stride, int x0, int y0, int x1, int y1,
              int thickness, const std::vector<uint32_t>& run) {
    DrawLineOnBuffer(buffer, PackPoint(x0, y0), PackPoint(x1, y1), width, height, stride, 4,
                     thickness, run.data(), nullptr);
}

}  // namespace

void DrawPlotGrid(uint32_t* buffer, int width, int height, int stride, const RECT& rect,
                  double cellWidth, double cellHeight, int thickness, uint32_t gridColour,
                  uint32_t centreColour) {
    const int wr = rect.right - rect.left;
    const int hr = rect.bottom - rect.top;
    if (buffer == nullptr || width <= 0 || height <= 0 || wr <= 0 || hr <= 0) return;
    const int t = std::max(1, thickness);
    const std::vector<uint32_t> gridRun(size_t(t), gridColour);
    const std::vector<uint32_t> centreRun(size_t(t), centreColour);
    if (UsableCell(cellHeight)) {
        const int rows = int(std::min<double>(hr / cellHeight, hr));
        const int yMargin = int((hr - std::trunc(rows * cellHeight)) / 2);
        for (int i = 0; i <= rows; ++i) {
            const int y = rect.top + int(std::trunc(i * cellHeight + yMargin));
            GridLine(buffer, width, height, stride, rect.left, y, rect.right, y, t, gridRun);
        }
    }
    GridLine(buffer, width, height, stride, rect.left, rect.top + hr / 2, rect.right,
             rect.top + hr / 2, t, centreRun);
    if (UsableCell(cellWidth)) {
        const int columns = int(std::min<double>(wr / cellWidth, wr));
        const int xMargin = int((wr - std::trunc(columns * cellWidth)) / 2);
        for (int i = 0; i <= columns; ++i) {
            const int x = rect.left + int(std::trunc(i * cellWidth + xMargin));
            GridLine(buffer, width, height, stride, x, rect.top, x, rect.bottom, t, gridRun);
        }
    }
    GridLine(buffer, width, height, stride, rect.left + wr / 2, rect.top, rect.left + wr / 2,
             rect.bottom, t, centreRun);
}
