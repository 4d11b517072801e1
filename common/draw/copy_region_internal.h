// Internal: the part of a rectangle-to-rectangle operation that lands inside both buffers.
//
// The drawing functions do not know buffer heights, but they do know that a pixel left of
// column 0, above row 0 or beyond the stride is not part of a row; such parts are cut off (on
// both sides at once, so that source and destination pixels stay paired).
#pragma once

#include <algorithm>
#include <cstdint>

#include "core/platform_types.h"

struct CopyRegion {
    int64_t dstX = 0, dstY = 0, srcX = 0, srcY = 0;
    int64_t width = 0, height = 0;
    bool Empty() const { return width <= 0 || height <= 0; }
};

// Common area of two rectangles anchored at their top-left corners: min of the widths and of
// the heights, clipped to x >= 0, y >= 0 and rows of at most stride bytes on each side.
inline CopyRegion CommonRegion(const RECT& dst, int dstStride, int dstBpp, const RECT& src,
                               int srcStride, int srcBpp) {
    CopyRegion r;
    if (dstStride <= 0 || srcStride <= 0 || dstBpp <= 0 || srcBpp <= 0) return r;
    r.dstX = dst.left;
    r.dstY = dst.top;
    r.srcX = src.left;
    r.srcY = src.top;
    r.width = std::min<int64_t>(int64_t{dst.right} - dst.left, int64_t{src.right} - src.left);
    r.height = std::min<int64_t>(int64_t{dst.bottom} - dst.top, int64_t{src.bottom} - src.top);
    const int64_t skipX = std::max<int64_t>({0, -r.dstX, -r.srcX});
    const int64_t skipY = std::max<int64_t>({0, -r.dstY, -r.srcY});
    r.dstX += skipX;
    r.srcX += skipX;
    r.width -= skipX;
    r.dstY += skipY;
    r.srcY += skipY;
    r.height -= skipY;
    r.width = std::min({r.width, dstStride / dstBpp - r.dstX, srcStride / srcBpp - r.srcX});
    return r;
}

// One rectangle clipped the same way (fills).
inline CopyRegion FillRegion(const RECT& rect, int stride, int bpp) {
    return CommonRegion(rect, stride, bpp, rect, stride, bpp);
}
