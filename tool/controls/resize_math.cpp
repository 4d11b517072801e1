#include "controls/resize_math.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kMinFontPixels = 1;

int Trunc(double v) {
    return static_cast<int>(std::trunc(v));
}

}  // namespace

int ComputeResizeFactors(int rememberedWidth, int rememberedHeight, int width, int height,
                         bool keepAspect, ResizeFactors* out) {
    ResizeFactors factors;
    if (rememberedWidth <= 0 || rememberedHeight <= 0) {
        if (out) *out = factors;
        return 0;
    }
    factors.sx = static_cast<double>(width) / rememberedWidth;
    factors.sy = static_cast<double>(height) / rememberedHeight;
    factors.m = std::min(factors.sx, factors.sy);
    if (keepAspect) factors.sx = factors.sy = factors.m;
    if (out) *out = factors;
    return 1;
}

ScaledGeometry ScaleRemembered(const RECT& remembered, double sx, double sy) {
    ScaledGeometry g;
    g.x = Trunc(remembered.left * sx);
    g.y = Trunc(remembered.top * sy);
    g.width = Trunc(remembered.right * sx) - g.x;
    g.height = Trunc(remembered.bottom * sy) - g.y;
    return g;
}

int ScaleFontHeight(int height, double m) {
    if (height == 0) return 0;
    int scaled = std::max(kMinFontPixels, std::abs(Trunc(height * m)));
    return height < 0 ? -scaled : scaled;
}
