#include "buffer_alpha.h"

#include <algorithm>
#include <cstring>

#include "alpha_blend_internal.h"
#include "alpha_blend_rows_internal.h"
#include "copy_region_internal.h"

void AlphaDrawBufferOnBuffer_ARGB(void* dst, const RECT& dstRect, int dstStride, const void* src,
                                  const RECT& srcRect, int srcStride) {
    if (dst == nullptr || src == nullptr) return;
    const CopyRegion r = CommonRegion(dstRect, dstStride, 4, srcRect, srcStride, 4);
    if (r.Empty()) return;
    auto* d = static_cast<uint8_t*>(dst) + r.dstY * dstStride + r.dstX * 4;
    const auto* s = static_cast<const uint8_t*>(src) + r.srcY * srcStride + r.srcX * 4;
    for (int64_t y = 0; y < r.height; ++y) {
        BlendArgbRow(reinterpret_cast<uint32_t*>(d), reinterpret_cast<const uint32_t*>(s), r.width);
        d += dstStride;
        s += srcStride;
    }
}

void SetAlphaBufferColor_ARGB(uint32_t color, void* dst, const RECT& dstRect, int dstStride,
                              const void* mask, const RECT& maskRect, int maskStride) {
    if (dst == nullptr || mask == nullptr) return;
    const CopyRegion r = CommonRegion(dstRect, dstStride, 4, maskRect, maskStride, 1);
    if (r.Empty()) return;
    const uint32_t alpha = color >> 24;
    const uint32_t rgb = color & 0xFFFFFFu;
    for (int64_t y = 0; y < r.height; ++y) {
        uint8_t* d = static_cast<uint8_t*>(dst) + (r.dstY + y) * dstStride + r.dstX * 4;
        const auto* m = static_cast<const uint8_t*>(mask) + (r.srcY + y) * maskStride + r.srcX;
        for (int64_t x = 0; x < r.width; ++x) {
            const uint32_t pixel = ((alpha * m[x]) >> 8) << 24 | rgb;
            std::memcpy(d + 4 * x, &pixel, 4);
        }
    }
}

void DrawPointByPen(void* dst, int dstWidth, int dstHeight, int x, int y, const void* pen,
                    int penAlpha, int penWidth, int penHeight, int xOffsetByWidth,
                    int xExtentByWidth, int yOffsetByHeight, int yExtentByHeight) {
    if (dst == nullptr || pen == nullptr || dstWidth <= 0 || dstHeight <= 0 || penWidth <= 0 ||
        penHeight <= 0) {
        return;
    }
    penAlpha = std::clamp(penAlpha, 0, 255);
    const int64_t offsetX = (xOffsetByWidth ? penWidth : penHeight) / 2;
    const int64_t offsetY = (yOffsetByHeight ? penHeight : penWidth) / 2;
    const int64_t extentX = std::min(xExtentByWidth ? penWidth : penHeight, penWidth);
    const int64_t extentY = std::min(yExtentByHeight ? penHeight : penWidth, penHeight);
    const int64_t x0 = int64_t{x} - offsetX;
    const int64_t y0 = int64_t{y} - offsetY;
    const int64_t colBegin = std::max<int64_t>(x0, 0);
    const int64_t colEnd = std::min<int64_t>(x0 + extentX, dstWidth);
    const int64_t rowBegin = std::max<int64_t>(y0, 0);
    const int64_t rowEnd = std::min<int64_t>(y0 + extentY, dstHeight);
    auto* d = static_cast<uint32_t*>(dst);
    const auto* p = static_cast<const uint32_t*>(pen);
    for (int64_t row = rowBegin; row < rowEnd; ++row) {
        uint32_t* dRow = d + row * dstWidth;
        const uint32_t* pRow = p + (row - y0) * penWidth;
        for (int64_t col = colBegin; col < colEnd; ++col) {
            dRow[col] = BlendPen(dRow[col], pRow[col - x0], penAlpha);
        }
    }
}
