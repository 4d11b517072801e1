#include "buffer_line.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/dbg_output.h"

namespace {

// Where the line goes and how it is painted; one per call.
class LinePainter {
public:
    LinePainter(uint8_t* buffer, int height, int stride, int bpp, int thickness, const void* run,
                CPtrCtrl* points)
        : m_buffer(buffer),
          m_height(height),
          m_stride(stride),
          m_bpp(bpp),
          m_t(thickness),
          m_run(static_cast<const uint8_t*>(run)),
          m_points(points) {}

    // The T-pixel run at (x, row).
    void Row(int64_t x, int64_t row) {
        if (m_buffer == nullptr || row < 0 || row >= m_height) return;
        std::memcpy(Pixel(x, row), m_run, static_cast<size_t>(m_t) * m_bpp);
    }
    // The run's first pixel at (col, row).
    void Dot(int64_t col, int64_t row) {
        if (m_buffer == nullptr || row < 0 || row >= m_height) return;
        std::memcpy(Pixel(col, row), m_run, static_cast<size_t>(m_bpp));
    }
    void Point(int64_t x, int64_t y) {
        if (m_points == nullptr) return;
        const PackedPoint p = PackPoint(static_cast<int32_t>(x), static_cast<int32_t>(y));
        if (m_havePoint && p == m_last) return;
        m_points->AddData(PackedPointToSlot(p), -1);
        m_last = p;
        m_havePoint = true;
    }

private:
    uint8_t* Pixel(int64_t x, int64_t y) { return m_buffer + y * m_stride + x * m_bpp; }

    uint8_t* m_buffer;
    int64_t m_height;
    int64_t m_stride;
    int64_t m_bpp;
    int m_t;
    const uint8_t* m_run;
    CPtrCtrl* m_points;
    PackedPoint m_last = 0;
    bool m_havePoint = false;
};

int64_t ClampToBrush(int64_t v, int64_t size, int64_t t) {
    return std::max<int64_t>(std::min<int64_t>(v, size - t), 0);
}

int Sign(int64_t v) {
    return v > 0 ? 1 : (v < 0 ? -1 : 0);
}

}  // namespace

void DrawLineOnBuffer(void* buffer, PackedPoint start, PackedPoint end, int width, int height,
                      int stride, int bpp, int thickness, const void* pixelRun, CPtrCtrl* points) {
    const int t = std::max(1, thickness);
    if (pixelRun == nullptr) buffer = nullptr;
    if (buffer != nullptr && (bpp <= 0 || stride <= 0 || int64_t{width} * bpp > int64_t{stride})) {
        DbgOutputA(kDbgLevelWarning,
                   "DrawLineOnBuffer: rows of %d pixels of %d bytes do not fit a stride of %d\r\n",
                   width, bpp, stride);
        return;
    }
    int64_t x = ClampToBrush(PackedPointX(start), width, t);
    int64_t y = ClampToBrush(PackedPointY(start), height, t);
    const int64_t x1 = ClampToBrush(PackedPointX(end), width, t);
    const int64_t y1 = ClampToBrush(PackedPointY(end), height, t);
    if (x + t > width || y + t > height) return;

    LinePainter paint(static_cast<uint8_t*>(buffer), height, stride, bpp, t, pixelRun, points);
    for (int64_t r = 0; r < t; ++r) paint.Row(x, y + r);
    paint.Point(x, y);

    const int64_t dx = std::abs(x1 - x);
    const int64_t dy = std::abs(y1 - y);
    const int sx = Sign(x1 - x);
    const int sy = Sign(y1 - y);
    auto inside = [&](int64_t px, int64_t py) {
        return px >= 0 && px < width && py >= 0 && py < height;
    };
    if (dx >= dy) {
        int64_t error = 2 * dy - dx;
        for (int64_t i = 0; i < dx; ++i) {
            bool moved = false;
            if (error >= 0) {
                y += sy;
                error -= 2 * dx;
                moved = true;
            }
            error += 2 * dy;
            x += sx;
            if (!inside(x, y)) break;
            if (moved) {
                paint.Row(x, sy > 0 ? y + t - 1 : y);
                paint.Point(x, y);
            }
            const int64_t col = sx > 0 ? x + t - 1 : x;
            for (int64_t row = y; row < y + t && row < height; ++row) {
                paint.Dot(col, row);
                paint.Point(x, row);
            }
        }
    } else {
        int64_t error = 2 * dx - dy;
        for (int64_t i = 0; i < dy; ++i) {
            bool moved = false;
            if (error >= 0) {
                x += sx;
                error -= 2 * dy;
                moved = true;
            }
            error += 2 * dx;
            y += sy;
            if (!inside(x, y)) break;
            if (moved) {
                const int64_t col = sx > 0 ? x + t - 1 : x;
                for (int64_t row = y; row < y + t && row < height; ++row) paint.Dot(col, row);
                paint.Point(x, y);
            }
            paint.Row(x, sy > 0 ? y + t - 1 : y);
            for (int64_t col = x; col < x + t; ++col) paint.Point(col, y);
        }
    }
}
