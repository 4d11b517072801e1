#include "buffer_copy.h"

#include <algorithm>
#include <cstring>

#include "copy_region_internal.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Rows are addressed in bytes: a stride need not keep pixels 4-byte aligned.
void FillRow(uint8_t* row, int64_t count, uint32_t value) {
    int64_t i = 0;
#if defined(__SSE2__)
    const __m128i v = _mm_set1_epi32(static_cast<int>(value));
    for (; i + 16 <= count; i += 16) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + 4 * i), v);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + 4 * i + 16), v);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + 4 * i + 32), v);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + 4 * i + 48), v);
    }
    for (; i + 4 <= count; i += 4) _mm_storeu_si128(reinterpret_cast<__m128i*>(row + 4 * i), v);
#endif
    for (; i < count; ++i) std::memcpy(row + 4 * i, &value, 4);
}

// Rows are a few kilobytes: the library's memcpy may pick a string-move instruction for that
// size, which is slow on some processors; plain vector moves are fast everywhere.
void CopyRow(uint8_t* d, const uint8_t* s, size_t n) {
    size_t i = 0;
#if defined(__SSE2__)
    // Bytes up to the next 16-byte boundary of the destination, then aligned stores.
    // (A row shorter than that is copied here whole, and the loops below do not run.)
    i = std::min(n, (16 - (reinterpret_cast<uintptr_t>(d) & 15)) & 15);
    std::memcpy(d, s, i);
    for (; i + 64 <= n; i += 64) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 32));
        const __m128i e = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 48));
        _mm_store_si128(reinterpret_cast<__m128i*>(d + i), a);
        _mm_store_si128(reinterpret_cast<__m128i*>(d + i + 16), b);
        _mm_store_si128(reinterpret_cast<__m128i*>(d + i + 32), c);
        _mm_store_si128(reinterpret_cast<__m128i*>(d + i + 48), e);
    }
    for (; i + 16 <= n; i += 16) {
        _mm_store_si128(reinterpret_cast<__m128i*>(d + i),
                        _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i)));
    }
#endif
    if (i < n) std::memcpy(d + i, s + i, n - i);
}

}  // namespace

void DrawColorOnBuffer(uint32_t value, void* buffer, const RECT& rect, int stride) {
    if (buffer == nullptr) return;
    const CopyRegion r = FillRegion(rect, stride, 4);
    if (r.Empty()) return;
    auto* base = static_cast<uint8_t*>(buffer);
    for (int64_t y = 0; y < r.height; ++y) {
        FillRow(base + (r.dstY + y) * stride + r.dstX * 4, r.width, value);
    }
}

void DrawBufferOnBuffer(void* dst, const RECT& dstRect, int dstStride, const void* src,
                        const RECT& srcRect, int srcStride, int bpp) {
    if (dst == nullptr || src == nullptr) return;
    const CopyRegion r = CommonRegion(dstRect, dstStride, bpp, srcRect, srcStride, bpp);
    if (r.Empty()) return;
    auto* d = static_cast<uint8_t*>(dst) + r.dstY * dstStride + r.dstX * bpp;
    const auto* s = static_cast<const uint8_t*>(src) + r.srcY * srcStride + r.srcX * bpp;
    const size_t rowBytes = static_cast<size_t>(r.width) * bpp;
    for (int64_t y = 0; y < r.height; ++y) {
        CopyRow(d, s, rowBytes);
        d += dstStride;
        s += srcStride;
    }
}
