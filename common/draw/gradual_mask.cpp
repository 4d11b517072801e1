#include "gradual_mask.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>

#include "bitmap_info.h"
#include "core/dbg_output.h"
#include "packed_point.h"

namespace {

struct Mask {
    uint8_t* bytes;
    int64_t width;
    int64_t height;

    void Keep(int64_t x, int64_t y, double value) {
        // value is already clamped to [0, 255] in floating point.
        const auto v = static_cast<uint8_t>(value);
        uint8_t& px = bytes[y * width + x];
        if (v > px) px = v;
    }
};

bool Finite(std::initializer_list<double> values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

// The soft dot rule's value, clamped in floating point; radius > 0.
double SoftValue(double radius, double distance, double strength) {
    const double v = std::trunc(((radius - distance) / radius * strength + strength) * 127.5);
    return std::clamp(v, 0.0, 255.0);
}

// A pixel range [first, last] of an axis from two coordinates, cut to [0, size - 1] before
// conversion; false when empty.
bool AxisRange(double from, double to, int64_t size, int64_t* first, int64_t* last) {
    const double lo = std::max(std::round(from), 0.0);
    const double hi = std::min(std::round(to), static_cast<double>(size - 1));
    if (!(lo <= hi)) return false;
    *first = static_cast<int64_t>(lo);
    *last = static_cast<int64_t>(hi);
    return true;
}

void SoftDot(Mask& m, double cx, double cy, double radius, double strength, double slack) {
    if (!Finite({cx, cy, radius, strength}) || radius < 0) return;
    if (radius == 0) {
        // The limit of the rule at the centre: (r - 0) / r = 1.
        if (cx >= 0 && cy >= 0 && cx < m.width && cy < m.height && cx == std::floor(cx) &&
            cy == std::floor(cy)) {
            m.Keep(static_cast<int64_t>(cx), static_cast<int64_t>(cy),
                   std::clamp(std::trunc(2 * strength * 127.5), 0.0, 255.0));
        }
        return;
    }
    const double reach = radius + slack;
    int64_t x0, x1, y0, y1;
    if (!AxisRange(cx - reach, cx + reach, m.width, &x0, &x1) ||
        !AxisRange(cy - reach, cy + reach, m.height, &y0, &y1)) {
        return;
    }
    for (int64_t y = y0; y <= y1; ++y) {
        const double ddy = static_cast<double>(y) - cy;
        for (int64_t x = x0; x <= x1; ++x) {
            const double ddx = static_cast<double>(x) - cx;
            const double distance = std::sqrt(ddx * ddx + ddy * ddy);
            if (distance <= reach) m.Keep(x, y, SoftValue(radius, distance, strength));
        }
    }
}

void SoftLine(Mask& m, double x0, double y0, double x1, double y1, double r0, double r1, double s0,
              double s1) {
    if (!Finite({x0, y0, x1, y1, r0, r1, s0, s1})) return;
    const double ux = x1 - x0;
    const double uy = y1 - y0;
    const double length = std::hypot(ux, uy);
    if (!(length > 0) || !std::isfinite(length)) return;
    const double rMax = std::max({r0, r1, 0.0});
    int64_t px0, px1, py0, py1;
    if (!AxisRange(std::min(x0, x1) - rMax, std::max(x0, x1) + rMax, m.width, &px0, &px1) ||
        !AxisRange(std::min(y0, y1) - rMax, std::max(y0, y1) + rMax, m.height, &py0, &py1)) {
        return;
    }
    const double ex = ux / length;
    const double ey = uy / length;
    for (int64_t y = py0; y <= py1; ++y) {
        const double vy = static_cast<double>(y) - y0;
        for (int64_t x = px0; x <= px1; ++x) {
            const double vx = static_cast<double>(x) - x0;
            const double f = (vx * ex + vy * ey) / length;
            if (f < 0 || f > 1) continue;
            const double radius = r0 + f * (r1 - r0);
            if (!(radius > 0)) continue;
            const double distance = std::fabs(vx * ey - vy * ex);
            if (distance > radius) continue;
            m.Keep(x, y, SoftValue(radius, distance, s0 + f * (s1 - s0)));
        }
    }
}

bool MaskUsable(int maskWidth, int maskHeight) {
    if (maskWidth <= 0 || maskHeight <= 0) return false;
    if (int64_t{maskWidth} * maskHeight > kMaxBitmapBytes) {
        DbgOutputA(kDbgLevelError, "soft mask of %d x %d pixels refused (above %lld bytes)\r\n",
                   maskWidth, maskHeight, static_cast<long long>(kMaxBitmapBytes));
        return false;
    }
    return true;
}

}  // namespace

void DrawGradualPointList(int maskWidth, int maskHeight, CPtrCtrl* points, double r0, double r1,
                          double s0, double s1, uint8_t* mask) {
    if (points == nullptr || !MaskUsable(maskWidth, maskHeight)) return;
    std::unique_ptr<uint8_t[]> scratch;
    if (mask == nullptr) {
        scratch.reset(new (std::nothrow) uint8_t[size_t(maskWidth) * size_t(maskHeight)]());
        if (!scratch) {
            DbgOutputA(kDbgLevelError, "DrawGradualPointList: out of memory for the mask\r\n");
            return;
        }
        mask = scratch.get();
    }
    Mask m{mask, maskWidth, maskHeight};
    const int n = points->GetCount();
    for (int i = 0; i < n; ++i) {
        const PackedPoint p = SlotToPackedPoint(points->GetAt(i));
        const double radius = r0 + i * (r1 - r0) / n;
        const double strength = s0 + i * (s1 - s0) / n;
        SoftDot(m, PackedPointX(p), PackedPointY(p), radius, strength, 0.0);
    }
}

void DrawGradualMultiLine(int maskWidth, int maskHeight, CPtrCtrl* points, double r0, double r1,
                          double s0, double s1, uint8_t* mask) {
    if (points == nullptr || mask == nullptr || !MaskUsable(maskWidth, maskHeight)) return;
    const int n = points->GetCount();
    if (n < 2) return;
    auto pointAt = [&](int i, double* x, double* y) {
        const PackedPoint p = SlotToPackedPoint(points->GetAt(i));
        *x = PackedPointX(p);
        *y = PackedPointY(p);
    };
    // First pass: the length of the whole polyline; second pass: draw, interpolating by the
    // distance travelled.
    double total = 0;
    double px, py, qx, qy;
    pointAt(0, &px, &py);
    for (int i = 1; i < n; ++i) {
        pointAt(i, &qx, &qy);
        total += std::hypot(qx - px, qy - py);
        px = qx;
        py = qy;
    }
    auto at = [&](double travelled, double a, double b) {
        return total > 0 ? a + (b - a) * travelled / total : a;
    };
    Mask m{mask, maskWidth, maskHeight};
    constexpr double kCapSlack = 0.5;
    pointAt(0, &px, &py);
    SoftDot(m, px, py, r0, s0, kCapSlack);
    double travelled = 0;
    for (int i = 1; i < n; ++i) {
        pointAt(i, &qx, &qy);
        const double next = travelled + std::hypot(qx - px, qy - py);
        const double ra = at(travelled, r0, r1), rb = at(next, r0, r1);
        const double sa = at(travelled, s0, s1), sb = at(next, s0, s1);
        SoftLine(m, px, py, qx, qy, ra, rb, sa, sb);
        SoftDot(m, qx, qy, rb, sb, kCapSlack);
        travelled = next;
        px = qx;
        py = qy;
    }
}

void DrawGradualLine(int maskWidth, int maskHeight, double x0, double y0, double x1, double y1,
                     double startRadius, double endRadius, double startStrength, double endStrength,
                     uint8_t* mask) {
    if (mask == nullptr || !MaskUsable(maskWidth, maskHeight)) return;
    Mask m{mask, maskWidth, maskHeight};
    SoftLine(m, x0, y0, x1, y1, startRadius, endRadius, startStrength, endStrength);
}
