#include "buffer_alpha.h"

#include <algorithm>
#include <cstring>

#include "alpha_blend.h"
#include "copy_region.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

#if defined(__SSE2__)

// Four pixels of the float rule at once; the same operations in the same order as
// BlendArgbFloat, so the results are identical.
inline __m128i BlendFour(__m128i d, __m128i s) {
    const __m128i byteMask = _mm_set1_epi32(0xFF);
    const __m128i c255 = _mm_set1_epi32(255);
    const __m128i as = _mm_srli_epi32(s, 24);
    const __m128i ad = _mm_srli_epi32(d, 24);
    // All factors are below 2^16 and so are the products: 16-bit multiplies suffice.
    const __m128i prod = _mm_mullo_epi16(_mm_sub_epi32(c255, ad), _mm_sub_epi32(c255, as));
    const __m128i n = _mm_sub_epi32(_mm_set1_epi32(65025), prod);
    const __m128 nf = _mm_cvtepi32_ps(n);
    const __m128 ws = _mm_div_ps(_mm_cvtepi32_ps(_mm_mullo_epi16(as, c255)), nf);
    // n / 255 truncated: exact in float, since n < 2^16 and a non-multiple leaves >= 1/255.
    const __m128i ao = _mm_cvttps_epi32(_mm_div_ps(nf, _mm_set1_ps(255.0f)));

    __m128i out = _mm_slli_epi32(ao, 24);
    for (int shift = 0; shift < 24; shift += 8) {
        const __m128i cnt = _mm_cvtsi32_si128(shift);
        const __m128 dc = _mm_cvtepi32_ps(_mm_and_si128(_mm_srl_epi32(d, cnt), byteMask));
        const __m128 sc = _mm_cvtepi32_ps(_mm_and_si128(_mm_srl_epi32(s, cnt), byteMask));
        const __m128 v = _mm_add_ps(dc, _mm_mul_ps(_mm_sub_ps(sc, dc), ws));
        __m128i vi = _mm_cvttps_epi32(v);
        // Clamp to [0, 255] (rounding can only stray by a hair, but the rule says clamp).
        const __m128i neg = _mm_cmplt_epi32(vi, _mm_setzero_si128());
        vi = _mm_andnot_si128(neg, vi);
        const __m128i big = _mm_cmpgt_epi32(vi, c255);
        vi = _mm_or_si128(_mm_andnot_si128(big, vi), _mm_and_si128(big, c255));
        out = _mm_or_si128(out, _mm_sll_epi32(vi, cnt));
    }
    // A transparent source keeps the destination (this also avoids 0 / 0 when both are).
    const __m128i keep = _mm_cmpeq_epi32(as, _mm_setzero_si128());
    return _mm_or_si128(_mm_and_si128(keep, d), _mm_andnot_si128(keep, out));
}

void BlendRow(uint32_t* d, const uint32_t* s, int64_t count) {
    int64_t i = 0;
    const __m128i alphaMask = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    for (; i + 4 <= count; i += 4) {
        const __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const __m128i sa = _mm_and_si128(sv, alphaMask);
        const int transparent = _mm_movemask_epi8(_mm_cmpeq_epi32(sa, _mm_setzero_si128()));
        if (transparent == 0xFFFF) continue;
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(sa, alphaMask)) == 0xFFFF) {
            // Opaque sources give as = 1, so the rule yields the source exactly.
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), sv);
            continue;
        }
        const __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), BlendFour(dv, sv));
    }
    if (i < count) {
        // The tail goes through the same vector code so that no pixel depends on its column.
        uint32_t dt[4] = {0, 0, 0, 0};
        uint32_t st[4] = {0, 0, 0, 0};
        const size_t rest = static_cast<size_t>(count - i);
        std::memcpy(dt, d + i, rest * 4);
        std::memcpy(st, s + i, rest * 4);
        const __m128i r = BlendFour(_mm_loadu_si128(reinterpret_cast<const __m128i*>(dt)),
                                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(st)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dt), r);
        std::memcpy(d + i, dt, rest * 4);
    }
}

#else

void BlendRow(uint32_t* d, const uint32_t* s, int64_t count) {
    for (int64_t i = 0; i < count; ++i) d[i] = BlendArgbFloat(d[i], s[i]);
}

#endif

}  // namespace

void AlphaDrawBufferOnBuffer_ARGB(void* dst, const RECT& dstRect, int dstStride, const void* src,
                                  const RECT& srcRect, int srcStride) {
    if (dst == nullptr || src == nullptr) return;
    const CopyRegion r = CommonRegion(dstRect, dstStride, 4, srcRect, srcStride, 4);
    if (r.Empty()) return;
    auto* d = static_cast<uint8_t*>(dst) + r.dstY * dstStride + r.dstX * 4;
    const auto* s = static_cast<const uint8_t*>(src) + r.srcY * srcStride + r.srcX * 4;
    for (int64_t y = 0; y < r.height; ++y) {
        BlendRow(reinterpret_cast<uint32_t*>(d), reinterpret_cast<const uint32_t*>(s), r.width);
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
        auto* d =
            reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(dst) + (r.dstY + y) * dstStride) +
            r.dstX;
        const auto* m = static_cast<const uint8_t*>(mask) + (r.srcY + y) * maskStride + r.srcX;
        for (int64_t x = 0; x < r.width; ++x) d[x] = ((alpha * m[x]) >> 8) << 24 | rgb;
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
