#include "alpha_blend_rows_internal.h"

#include <cstring>

#include "alpha_blend_internal.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#if defined(__x86_64__) || defined(__i386__)

namespace {

// The float rule on 4 (SSE2) or 8 (AVX2) pixels at once. The operations and their order are
// those of BlendArgbFloat, and no multiply-add is fused, so every pixel gets exactly the value of
// the one-pixel rule whatever the vector width. Two facts keep it short:
// - the alpha n / 255 (n < 2^16) is (n + 1 + (n >> 8)) >> 8 exactly;
// - ws = 255 As / n lies in [0, 1], so d + (s - d) ws, rounded, stays between d and s: the
//   clamp of the one-pixel rule never changes anything and is left out here.
// A transparent source keeps the destination (which also skips the 0 / 0 of two transparent
// pixels).

__attribute__((target("sse2"))) inline __m128i BlendFour(__m128i d, __m128i s) {
    const __m128i byteMask = _mm_set1_epi32(0xFF);
    const __m128i c255 = _mm_set1_epi32(255);
    const __m128i as = _mm_srli_epi32(s, 24);
    const __m128i ad = _mm_srli_epi32(d, 24);
    // All factors and products are below 2^16: 16-bit multiplies suffice.
    const __m128i n = _mm_sub_epi32(
        _mm_set1_epi32(65025), _mm_mullo_epi16(_mm_sub_epi32(c255, ad), _mm_sub_epi32(c255, as)));
    const __m128 ws = _mm_div_ps(_mm_cvtepi32_ps(_mm_mullo_epi16(as, c255)), _mm_cvtepi32_ps(n));
    const __m128i ao =
        _mm_srli_epi32(_mm_add_epi32(_mm_add_epi32(n, _mm_set1_epi32(1)), _mm_srli_epi32(n, 8)), 8);
    __m128i out = _mm_slli_epi32(ao, 24);
#define ORBO_BLEND_CHANNEL(shift)                                                             \
    {                                                                                         \
        const __m128 dc = _mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(d, shift), byteMask)); \
        const __m128 sc = _mm_cvtepi32_ps(_mm_and_si128(_mm_srli_epi32(s, shift), byteMask)); \
        const __m128 v = _mm_add_ps(dc, _mm_mul_ps(_mm_sub_ps(sc, dc), ws));                  \
        out = _mm_or_si128(out, _mm_slli_epi32(_mm_cvttps_epi32(v), shift));                  \
    }
    ORBO_BLEND_CHANNEL(0)
    ORBO_BLEND_CHANNEL(8)
    ORBO_BLEND_CHANNEL(16)
#undef ORBO_BLEND_CHANNEL
    const __m128i keep = _mm_cmpeq_epi32(as, _mm_setzero_si128());
    return _mm_or_si128(_mm_and_si128(keep, d), _mm_andnot_si128(keep, out));
}

__attribute__((target("avx2"))) inline __m256i BlendEight(__m256i d, __m256i s) {
    const __m256i byteMask = _mm256_set1_epi32(0xFF);
    const __m256i c255 = _mm256_set1_epi32(255);
    const __m256i as = _mm256_srli_epi32(s, 24);
    const __m256i ad = _mm256_srli_epi32(d, 24);
    const __m256i n = _mm256_sub_epi32(
        _mm256_set1_epi32(65025),
        _mm256_mullo_epi16(_mm256_sub_epi32(c255, ad), _mm256_sub_epi32(c255, as)));
    const __m256 ws =
        _mm256_div_ps(_mm256_cvtepi32_ps(_mm256_mullo_epi16(as, c255)), _mm256_cvtepi32_ps(n));
    const __m256i ao = _mm256_srli_epi32(
        _mm256_add_epi32(_mm256_add_epi32(n, _mm256_set1_epi32(1)), _mm256_srli_epi32(n, 8)), 8);
    __m256i out = _mm256_slli_epi32(ao, 24);
#define ORBO_BLEND_CHANNEL(shift)                                                        \
    {                                                                                    \
        const __m256 dc =                                                                \
            _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srli_epi32(d, shift), byteMask)); \
        const __m256 sc =                                                                \
            _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srli_epi32(s, shift), byteMask)); \
        const __m256 v = _mm256_add_ps(dc, _mm256_mul_ps(_mm256_sub_ps(sc, dc), ws));    \
        out = _mm256_or_si256(out, _mm256_slli_epi32(_mm256_cvttps_epi32(v), shift));    \
    }
    ORBO_BLEND_CHANNEL(0)
    ORBO_BLEND_CHANNEL(8)
    ORBO_BLEND_CHANNEL(16)
#undef ORBO_BLEND_CHANNEL
    const __m256i keep = _mm256_cmpeq_epi32(as, _mm256_setzero_si256());
    return _mm256_blendv_epi8(out, d, keep);
}

// The tail of a row goes through the same vector code so that no pixel depends on its column.
__attribute__((target("sse2"))) void BlendTail(uint32_t* d, const uint32_t* s, int64_t count) {
    while (count > 0) {
        const size_t n = static_cast<size_t>(count < 4 ? count : 4);
        uint32_t dt[4] = {0, 0, 0, 0};
        uint32_t st[4] = {0, 0, 0, 0};
        std::memcpy(dt, d, n * 4);
        std::memcpy(st, s, n * 4);
        const __m128i r = BlendFour(_mm_loadu_si128(reinterpret_cast<const __m128i*>(dt)),
                                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(st)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dt), r);
        std::memcpy(d, dt, n * 4);
        d += n;
        s += n;
        count -= static_cast<int64_t>(n);
    }
}

__attribute__((target("sse2"))) void BlendRowSse2(uint32_t* d, const uint32_t* s, int64_t count) {
    const __m128i alphaMask = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    int64_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const __m128i sa = _mm_and_si128(sv, alphaMask);
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(sa, _mm_setzero_si128())) == 0xFFFF) continue;
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(sa, alphaMask)) == 0xFFFF) {
            // Opaque sources give ws = 1 and alpha 255: the source itself.
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), sv);
            continue;
        }
        const __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), BlendFour(dv, sv));
    }
    BlendTail(d + i, s + i, count - i);
}

__attribute__((target("avx2"))) void BlendRowAvx2(uint32_t* d, const uint32_t* s, int64_t count) {
    const __m256i alphaMask = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    int64_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i sv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i));
        const __m256i sa = _mm256_and_si256(sv, alphaMask);
        const int transparent =
            _mm256_movemask_epi8(_mm256_cmpeq_epi32(sa, _mm256_setzero_si256()));
        if (transparent == -1) continue;
        if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(sa, alphaMask)) == -1) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i), sv);
            continue;
        }
        const __m256i dv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d + i));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + i), BlendEight(dv, sv));
    }
    BlendTail(d + i, s + i, count - i);
}

}  // namespace

const BlendArgbRowFn* BlendArgbRowVariants() {
    // Runs before libgcc's own start-up may have filled in the processor model.
    __builtin_cpu_init();
    static const BlendArgbRowFn variants[] = {
        BlendArgbRowScalar,
        BlendRowSse2,
        __builtin_cpu_supports("avx2") ? BlendRowAvx2 : nullptr,
        nullptr,
    };
    return variants;
}

#else

const BlendArgbRowFn* BlendArgbRowVariants() {
    static const BlendArgbRowFn variants[] = {BlendArgbRowScalar, nullptr};
    return variants;
}

#endif

namespace {

BlendArgbRowFn ChooseRow() {
    const BlendArgbRowFn* v = BlendArgbRowVariants();
    BlendArgbRowFn fastest = v[0];
    for (; *v != nullptr; ++v) fastest = *v;
    return fastest;
}

const BlendArgbRowFn kBlendRow = ChooseRow();

}  // namespace

void BlendArgbRowScalar(uint32_t* d, const uint32_t* s, int64_t count) {
    // Pixels of a row need not be 4-byte aligned (any stride is allowed).
    for (int64_t i = 0; i < count; ++i) {
        uint32_t dv, sv;
        std::memcpy(&dv, d + i, 4);
        std::memcpy(&sv, s + i, 4);
        dv = BlendArgbFloat(dv, sv);
        std::memcpy(d + i, &dv, 4);
    }
}

void BlendArgbRow(uint32_t* d, const uint32_t* s, int64_t count) {
    kBlendRow(d, s, count);
}
