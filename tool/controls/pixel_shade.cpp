#include "controls/pixel_shade.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// round(v / 255) for v = c x a + d x (255 - a) + 128 (at most 65153): exact in 16 bits.
constexpr uint32_t DivideBy255(uint32_t v) {
    return (v + (v >> 8)) >> 8;
}

struct Shade {
    uint32_t keep;      // 255 - alpha
    uint32_t added[3];  // c x alpha + 128 for blue, green, red
};

uint32_t ShadePixel(uint32_t d, const Shade& s) {
    uint32_t out = 0xFF000000u;
    for (int channel = 0; channel < 3; ++channel) {
        const uint32_t value = (d >> (8 * channel)) & 0xFF;
        out |= DivideBy255(value * s.keep + s.added[channel]) << (8 * channel);
    }
    return out;
}

void ShadeRow(uint8_t* row, int count, const Shade& s) {
    int i = 0;
#if defined(__SSE2__)
    // Two pixels per 16-bit half: channels as 16-bit lanes, the same arithmetic as ShadePixel.
    const __m128i keep = _mm_set1_epi16(static_cast<int16_t>(s.keep));
    const __m128i added =
        _mm_setr_epi16(static_cast<int16_t>(s.added[0]), static_cast<int16_t>(s.added[1]),
                       static_cast<int16_t>(s.added[2]), 0, static_cast<int16_t>(s.added[0]),
                       static_cast<int16_t>(s.added[1]), static_cast<int16_t>(s.added[2]), 0);
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    const __m128i zero = _mm_setzero_si128();
    auto blend = [&](__m128i half) {
        __m128i v = _mm_add_epi16(_mm_mullo_epi16(half, keep), added);
        return _mm_srli_epi16(_mm_add_epi16(v, _mm_srli_epi16(v, 8)), 8);
    };
    for (; i + 4 <= count; i += 4) {
        auto* at = reinterpret_cast<__m128i*>(row + 4 * i);
        const __m128i d = _mm_loadu_si128(at);
        const __m128i low = blend(_mm_unpacklo_epi8(d, zero));
        const __m128i high = blend(_mm_unpackhi_epi8(d, zero));
        _mm_storeu_si128(at, _mm_or_si128(_mm_packus_epi16(low, high), opaque));
    }
#endif
    for (; i < count; ++i) {
        uint32_t d = 0;
        std::copy_n(row + 4 * i, 4, reinterpret_cast<uint8_t*>(&d));
        const uint32_t out = ShadePixel(d, s);
        std::copy_n(reinterpret_cast<const uint8_t*>(&out), 4, row + 4 * i);
    }
}

}  // namespace

void ShadeArea(void* pixels, int width, int height, int stride, const RECT& area, uint32_t argb) {
    const uint32_t alpha = argb >> 24;
    if (pixels == nullptr || alpha == 0 || stride < 4 * int64_t{width}) return;
    const int left = std::max<int>(area.left, 0);
    const int top = std::max<int>(area.top, 0);
    const int right = std::min<int>(area.right, width);
    const int bottom = std::min<int>(area.bottom, height);
    if (left >= right || top >= bottom) return;
    Shade shade{255 - alpha, {}};
    for (int channel = 0; channel < 3; ++channel)
        shade.added[channel] = ((argb >> (8 * channel)) & 0xFF) * alpha + 128;
    auto* base = static_cast<uint8_t*>(pixels);
    for (int y = top; y < bottom; ++y)
        ShadeRow(base + int64_t{y} * stride + int64_t{left} * 4, right - left, shade);
}
