#include "buffer_stretch.h"

#include <algorithm>
#include <cstring>

#include "alpha_blend_internal.h"
#include "buffer_alpha.h"
#include "buffer_copy.h"

namespace {

// The error-accumulation walk: source index floor(i x srcLen / dstLen) for destination index
// i = first, first + 1, ..., stepping by the quotient and carrying the remainder.
class Walk {
public:
    Walk(int64_t first, int64_t srcStart, int64_t srcLen, int64_t dstLen)
        : m_step(srcLen / dstLen), m_rem(srcLen % dstLen), m_dstLen(dstLen) {
        // Both factors are below 2^33: the product needs more than 64 bits.
        const __int128 p = static_cast<__int128>(first) * srcLen;
        m_index = srcStart + static_cast<int64_t>(p / dstLen);
        m_error = static_cast<int64_t>(p % dstLen);
    }
    int64_t Index() const { return m_index; }
    void Next() {
        m_index += m_step;
        m_error += m_rem;
        if (m_error >= m_dstLen) {
            m_error -= m_dstLen;
            ++m_index;
        }
    }

private:
    int64_t m_step, m_rem, m_dstLen;
    int64_t m_index = 0, m_error = 0;
};

template <typename PixelOp>
void Stretch(void* dst, const RECT& dstRect, int dstStride, const void* src, const RECT& srcRect,
             int srcStride, int bpp, PixelOp op) {
    if (dst == nullptr || src == nullptr || dstStride <= 0 || srcStride <= 0 || bpp <= 0) return;
    const int64_t dw = int64_t{dstRect.right} - dstRect.left;
    const int64_t dh = int64_t{dstRect.bottom} - dstRect.top;
    const int64_t sw = int64_t{srcRect.right} - srcRect.left;
    const int64_t sh = int64_t{srcRect.bottom} - srcRect.top;
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
    // Destination columns inside the row (rows have no known limit below, only above).
    const int64_t colFirst = std::max<int64_t>(0, -int64_t{dstRect.left});
    const int64_t colEnd = std::min<int64_t>(dw, dstStride / bpp - dstRect.left);
    const int64_t rowFirst = std::max<int64_t>(0, -int64_t{dstRect.top});
    const int64_t srcColumns = srcStride / bpp;
    auto* dBase = static_cast<uint8_t*>(dst);
    const auto* sBase = static_cast<const uint8_t*>(src);
    if (colFirst >= colEnd) return;
    const Walk firstColumn(colFirst, srcRect.left, sw, dw);
    Walk row(rowFirst, srcRect.top, sh, dh);
    for (int64_t j = rowFirst; j < dh; ++j, row.Next()) {
        if (row.Index() < 0) continue;
        uint8_t* dRow = dBase + (dstRect.top + j) * dstStride;
        const uint8_t* sRow = sBase + row.Index() * srcStride;
        Walk col = firstColumn;
        for (int64_t i = colFirst; i < colEnd; ++i, col.Next()) {
            const int64_t sx = col.Index();
            if (sx < 0 || sx >= srcColumns) continue;
            op(dRow + (dstRect.left + i) * bpp, sRow + sx * bpp);
        }
    }
}

int64_t Width(const RECT& r) {
    return int64_t{r.right} - r.left;
}
int64_t Height(const RECT& r) {
    return int64_t{r.bottom} - r.top;
}

// Moves the start of the larger extent by the difference (whole or half).
void Align(int32_t* dstStart, int64_t dstLen, int32_t* srcStart, int64_t srcLen, bool half) {
    int64_t diff = dstLen - srcLen;
    if (diff > 0) {
        *dstStart = static_cast<int32_t>(*dstStart + (half ? diff / 2 : diff));
    } else if (diff < 0) {
        diff = -diff;
        *srcStart = static_cast<int32_t>(*srcStart + (half ? diff / 2 : diff));
    }
}

}  // namespace

void StretchBufferOnBuffer(void* dst, const RECT& dstRect, int dstStride, const void* src,
                           const RECT& srcRect, int srcStride, int bpp) {
    switch (bpp) {
        case 4:
            Stretch(dst, dstRect, dstStride, src, srcRect, srcStride, 4,
                    [](uint8_t* d, const uint8_t* s) { std::memcpy(d, s, 4); });
            break;
        case 3:
            Stretch(dst, dstRect, dstStride, src, srcRect, srcStride, 3,
                    [](uint8_t* d, const uint8_t* s) { std::memcpy(d, s, 3); });
            break;
        case 2:
            Stretch(dst, dstRect, dstStride, src, srcRect, srcStride, 2,
                    [](uint8_t* d, const uint8_t* s) { std::memcpy(d, s, 2); });
            break;
        case 1:
            Stretch(dst, dstRect, dstStride, src, srcRect, srcStride, 1,
                    [](uint8_t* d, const uint8_t* s) { *d = *s; });
            break;
        default: {
            const size_t n = bpp > 0 ? static_cast<size_t>(bpp) : 0;
            Stretch(dst, dstRect, dstStride, src, srcRect, srcStride, bpp,
                    [n](uint8_t* d, const uint8_t* s) { std::memcpy(d, s, n); });
            break;
        }
    }
}

void AlphaStretchBufferOnBuffer_ARGB(void* dst, const RECT& dstRect, int dstStride, const void* src,
                                     const RECT& srcRect, int srcStride) {
    Stretch(dst, dstRect, dstStride, src, srcRect, srcStride, 4, [](uint8_t* d, const uint8_t* s) {
        uint32_t dv, sv;
        std::memcpy(&dv, d, 4);
        std::memcpy(&sv, s, 4);
        dv = BlendArgbInteger(dv, sv);
        std::memcpy(d, &dv, 4);
    });
}

void GetRectByMode(RECT* dstRect, RECT* srcRect, int stretch, int flags) {
    if (dstRect == nullptr || srcRect == nullptr) return;
    const int64_t dw = Width(*dstRect), dh = Height(*dstRect);
    const int64_t sw = Width(*srcRect), sh = Height(*srcRect);
    if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
    const bool sameSize = dw == sw && dh == sh;
    if (!stretch || sameSize) {
        if (flags & kRectModeCenterH) {
            Align(&dstRect->left, dw, &srcRect->left, sw, true);
        } else if (flags & kRectModeRight) {
            Align(&dstRect->left, dw, &srcRect->left, sw, false);
        }
        if (flags & kRectModeCenterV) {
            Align(&dstRect->top, dh, &srcRect->top, sh, true);
        } else if (flags & kRectModeBottom) {
            Align(&dstRect->top, dh, &srcRect->top, sh, false);
        }
        return;
    }
    if (!(flags & (kRectModeCenterH | kRectModeCenterV))) return;
    const double ratio = std::max(static_cast<double>(sh) / static_cast<double>(dh),
                                  static_cast<double>(sw) / static_cast<double>(dw));
    const double factor = 1.0 / ratio;
    // factor x sw <= dw and factor x sh <= dh, so both fit an int before truncation.
    const int64_t w = std::min<int64_t>(static_cast<int64_t>(factor * static_cast<double>(sw)), dw);
    const int64_t h = std::min<int64_t>(static_cast<int64_t>(factor * static_cast<double>(sh)), dh);
    // Centred inside the destination rectangle where it stands, not at the buffer's origin.
    const int64_t left = dstRect->left + (dw - w) / 2;
    const int64_t top = dstRect->top + (dh - h) / 2;
    dstRect->left = static_cast<int32_t>(left);
    dstRect->top = static_cast<int32_t>(top);
    dstRect->right = static_cast<int32_t>(left + w);
    dstRect->bottom = static_cast<int32_t>(top + h);
}

void DrawBuffer(void* dst, const RECT& dstRect, int dstStride, const void* src, const RECT& srcRect,
                int srcStride, int bpp, int stretch, int useAlpha, int flags) {
    RECT d = dstRect;
    RECT s = srcRect;
    const bool sameSize = Width(d) == Width(s) && Height(d) == Height(s);
    const bool scale = stretch && !sameSize;
    GetRectByMode(&d, &s, scale ? 1 : 0, flags);
    const bool alpha = useAlpha && bpp == 4;
    if (scale) {
        if (alpha) {
            AlphaStretchBufferOnBuffer_ARGB(dst, d, dstStride, src, s, srcStride);
        } else {
            StretchBufferOnBuffer(dst, d, dstStride, src, s, srcStride, bpp);
        }
    } else if (alpha) {
        AlphaDrawBufferOnBuffer_ARGB(dst, d, dstStride, src, s, srcStride);
    } else {
        DrawBufferOnBuffer(dst, d, dstStride, src, s, srcStride, bpp);
    }
}
