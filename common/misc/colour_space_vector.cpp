// Vector kernels for 24-bit RGB <-> YUV 4:2:0 that give exactly the lookup tables' results.
//
// Every table entry round(c x i) (halves away from zero) is reproduced by a rounding fixed-point
// product on 16-bit lanes, mulhrs(x, M) = (x * M + 2^14) >> 15, sometimes plus a whole multiple of
// x for coefficients of 1 or more. The multipliers below were found by search, and
// VectorKernelsUsable() checks all 256 entries of every table against them before the kernels are
// used, so the vector path can only ever be taken where it equals the scalar one. Since the
// products are exact, the sums, clamps and averages follow the scalar code step by step.
#include "colour_space_internal.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <array>

namespace colour_space_internal {

namespace {

// Multipliers: table = k * x + mulhrs(x, M), x = i - offset.
struct FixedProduct {
    int k;
    int m;
    int offset;
};

constexpr FixedProduct kRToY{0, 8421, 0}, kGToY{0, 16515, 0}, kBToY{0, 3213, 0};
constexpr FixedProduct kRToU{0, -4850, 0}, kGToU{0, -9536, 0}, kBToU{0, 14386, 0};
constexpr FixedProduct kRToV{0, 14386, 0}, kGToV{0, -12059, 0}, kBToV{0, -2327, 0};
constexpr FixedProduct kYToRgb{1, 5374, 16};
constexpr FixedProduct kUToG{0, -12844, 128}, kUToB{2, 555, 128};
constexpr FixedProduct kVToR{1, 19532, 128}, kVToG{0, -26639, 128};

int MulHrs(int x, int m) {
    return (x * m + (1 << 14)) >> 15;
}

bool Matches(const FixedProduct& p, const int32_t* table) {
    for (int i = 0; i < 256; ++i) {
        int x = i - p.offset;
        if (p.k * x + MulHrs(x, p.m) != table[i]) return false;
    }
    return true;
}

bool ZeroTable(const int32_t* table) {
    for (int i = 0; i < 256; ++i) {
        if (table[i] != 0) return false;
    }
    return true;
}

bool ProductsMatchTables() {
    const YuvTables& t = YuvLookupTables();
    return Matches(kRToY, t.rToY) && Matches(kGToY, t.gToY) && Matches(kBToY, t.bToY) &&
           Matches(kRToU, t.rToU) && Matches(kGToU, t.gToU) && Matches(kBToU, t.bToU) &&
           Matches(kRToV, t.rToV) && Matches(kGToV, t.gToV) && Matches(kBToV, t.bToV) &&
           Matches(kYToRgb, t.yToR) && Matches(kYToRgb, t.yToG) && Matches(kYToRgb, t.yToB) &&
           ZeroTable(t.uToR) && Matches(kUToG, t.uToG) && Matches(kUToB, t.uToB) &&
           Matches(kVToR, t.vToR) && Matches(kVToG, t.vToG) && ZeroTable(t.vToB);
}

// Byte shuffles between 16 packed 3-byte pixels (48 bytes in three vectors) and three planes of
// 16 bytes. -1 (0x80) zeroes a byte.
using Mask = std::array<int8_t, 16>;

// Gather channel `channel` of the pixels whose bytes lie in input vector `part`.
constexpr Mask SplitMask(int part, int channel) {
    Mask mask{};
    for (int p = 0; p < 16; ++p) {
        int at = 3 * p + channel - 16 * part;
        mask[size_t(p)] = int8_t(at >= 0 && at < 16 ? at : -1);
    }
    return mask;
}

// Scatter plane `channel` into output vector `part`.
constexpr Mask MergeMask(int part, int channel) {
    Mask mask{};
    for (int j = 0; j < 16; ++j) {
        int at = 16 * part + j;
        mask[size_t(j)] = int8_t(at % 3 == channel ? at / 3 : -1);
    }
    return mask;
}

template <int kPart, int kChannel>
constexpr Mask kSplit = SplitMask(kPart, kChannel);
template <int kPart, int kChannel>
constexpr Mask kMerge = MergeMask(kPart, kChannel);

// Chroma averages come out as U0..3 V0..3 U4..7 V4..7; this puts the U bytes first.
constexpr Mask kChromaOrder = {0, 1, 2, 3, 8, 9, 10, 11, 4, 5, 6, 7, 12, 13, 14, 15};

constexpr size_t kPairsPerBlock = 8;  // 16 pixels

}  // namespace

#if defined(__x86_64__)

#define ORBO_AVX2 __attribute__((target("avx2")))

namespace {

ORBO_AVX2 inline __m128i LoadMask(const Mask& mask) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(mask.data()));
}

template <int kChannel>
ORBO_AVX2 inline __m128i SplitChannel(__m128i a, __m128i b, __m128i c) {
    return _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a, LoadMask(kSplit<0, kChannel>)),
                                     _mm_shuffle_epi8(b, LoadMask(kSplit<1, kChannel>))),
                        _mm_shuffle_epi8(c, LoadMask(kSplit<2, kChannel>)));
}

template <int kPart>
ORBO_AVX2 inline __m128i MergePart(__m128i first, __m128i second, __m128i third) {
    return _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(first, LoadMask(kMerge<kPart, 0>)),
                                     _mm_shuffle_epi8(second, LoadMask(kMerge<kPart, 1>))),
                        _mm_shuffle_epi8(third, LoadMask(kMerge<kPart, 2>)));
}

ORBO_AVX2 inline __m256i Product(__m256i x, const FixedProduct& p) {
    __m256i product = _mm256_mulhrs_epi16(x, _mm256_set1_epi16(int16_t(p.m)));
    for (int i = 0; i < p.k; ++i) product = _mm256_add_epi16(product, x);
    return product;
}

ORBO_AVX2 inline __m256i ClampByte(__m256i x) {
    return _mm256_min_epi16(_mm256_max_epi16(x, _mm256_setzero_si256()), _mm256_set1_epi16(255));
}

struct Planes16 {
    __m256i y, u, v;
};

// 16 pixels of one RGB row: Y, and U and V clamped as the averages need them.
ORBO_AVX2 inline Planes16 RowToYuv(const uint8_t* src, bool bgr) {
    __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
    __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 16));
    __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 32));
    __m256i first = _mm256_cvtepu8_epi16(SplitChannel<0>(a, b, c));
    __m256i g = _mm256_cvtepu8_epi16(SplitChannel<1>(a, b, c));
    __m256i third = _mm256_cvtepu8_epi16(SplitChannel<2>(a, b, c));
    __m256i r = bgr ? third : first;
    __m256i bl = bgr ? first : third;
    __m256i y = _mm256_add_epi16(_mm256_add_epi16(Product(r, kRToY), Product(g, kGToY)),
                                 _mm256_add_epi16(Product(bl, kBToY), _mm256_set1_epi16(16)));
    __m256i u = _mm256_add_epi16(_mm256_add_epi16(Product(r, kRToU), Product(g, kGToU)),
                                 _mm256_add_epi16(Product(bl, kBToU), _mm256_set1_epi16(128)));
    __m256i v = _mm256_add_epi16(_mm256_add_epi16(Product(r, kRToV), Product(g, kGToV)),
                                 _mm256_add_epi16(Product(bl, kBToV), _mm256_set1_epi16(128)));
    return {y, ClampByte(u), ClampByte(v)};  // Y is clamped by the saturating pack
}

ORBO_AVX2 inline __m128i PackBytes(__m256i x) {
    return _mm_packus_epi16(_mm256_castsi256_si128(x), _mm256_extracti128_si256(x, 1));
}

ORBO_AVX2 size_t RgbRowPairToYuv420Avx2(const uint8_t* row0, const uint8_t* row1, uint8_t* y0,
                                        uint8_t* y1, uint8_t* u, uint8_t* v, size_t pairs,
                                        bool bgr) {
    size_t done = 0;
    for (; done + kPairsPerBlock <= pairs; done += kPairsPerBlock) {
        size_t px = 2 * done;
        Planes16 top = RowToYuv(row0 + 3 * px, bgr);
        Planes16 bottom = RowToYuv(row1 + 3 * px, bgr);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(y0 + px), PackBytes(top.y));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(y1 + px), PackBytes(bottom.y));
        // Sums of the four clamped values of each block, then >> 2.
        __m256i uSum = _mm256_add_epi16(top.u, bottom.u);
        __m256i vSum = _mm256_add_epi16(top.v, bottom.v);
        __m256i blocks = _mm256_srli_epi16(_mm256_hadd_epi16(uSum, vSum), 2);
        __m128i chroma = _mm_shuffle_epi8(PackBytes(blocks), LoadMask(kChromaOrder));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(u + done), chroma);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(v + done), _mm_srli_si128(chroma, 8));
    }
    return done;
}

// 8 chroma samples widened to 16 lanes, each repeated for its pixel pair, minus the offset.
ORBO_AVX2 inline __m256i PairedChroma(const uint8_t* src, int offset) {
    __m128i x =
        _mm_sub_epi16(_mm_cvtepu8_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(src))),
                      _mm_set1_epi16(int16_t(offset)));
    return _mm256_set_m128i(_mm_unpackhi_epi16(x, x), _mm_unpacklo_epi16(x, x));
}

ORBO_AVX2 inline void StoreRgbRow(const uint8_t* yRow, __m256i cR, __m256i cG, __m256i cB,
                                  uint8_t* dst, bool bgr) {
    __m256i y = _mm256_sub_epi16(
        _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(yRow))),
        _mm256_set1_epi16(int16_t(kYToRgb.offset)));
    __m256i yy = Product(y, kYToRgb);
    // packus saturates to [0, 255]: the clamp.
    __m128i r = PackBytes(_mm256_add_epi16(yy, cR));
    __m128i g = PackBytes(_mm256_add_epi16(yy, cG));
    __m128i b = PackBytes(_mm256_add_epi16(yy, cB));
    __m128i first = bgr ? b : r;
    __m128i third = bgr ? r : b;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), MergePart<0>(first, g, third));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 16), MergePart<1>(first, g, third));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 32), MergePart<2>(first, g, third));
}

ORBO_AVX2 size_t Yuv420ToRgbRowPairAvx2(const uint8_t* y0, const uint8_t* y1, const uint8_t* u,
                                        const uint8_t* v, uint8_t* row0, uint8_t* row1,
                                        size_t pairs, bool bgr) {
    size_t done = 0;
    for (; done + kPairsPerBlock <= pairs; done += kPairsPerBlock) {
        size_t px = 2 * done;
        __m256i xu = PairedChroma(u + done, kUToG.offset);
        __m256i xv = PairedChroma(v + done, kVToR.offset);
        __m256i cR = Product(xv, kVToR);
        __m256i cG = _mm256_add_epi16(Product(xu, kUToG), Product(xv, kVToG));
        __m256i cB = Product(xu, kUToB);
        StoreRgbRow(y0 + px, cR, cG, cB, row0 + 3 * px, bgr);
        StoreRgbRow(y1 + px, cR, cG, cB, row1 + 3 * px, bgr);
    }
    return done;
}

bool ProcessorHasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

}  // namespace

bool VectorKernelsUsable() {
    static const bool usable = ProcessorHasAvx2() && ProductsMatchTables();
    return usable;
}

size_t RgbRowPairToYuv420(const uint8_t* row0, const uint8_t* row1, uint8_t* y0, uint8_t* y1,
                          uint8_t* u, uint8_t* v, size_t pairs, bool bgr) {
    if (!VectorKernelsUsable()) return 0;
    return RgbRowPairToYuv420Avx2(row0, row1, y0, y1, u, v, pairs, bgr);
}

size_t Yuv420ToRgbRowPair(const uint8_t* y0, const uint8_t* y1, const uint8_t* u, const uint8_t* v,
                          uint8_t* row0, uint8_t* row1, size_t pairs, bool bgr) {
    if (!VectorKernelsUsable()) return 0;
    return Yuv420ToRgbRowPairAvx2(y0, y1, u, v, row0, row1, pairs, bgr);
}

#else  // no vector kernels on this processor family

bool VectorKernelsUsable() {
    return false;
}

size_t RgbRowPairToYuv420(const uint8_t*, const uint8_t*, uint8_t*, uint8_t*, uint8_t*, uint8_t*,
                          size_t, bool) {
    return 0;
}

size_t Yuv420ToRgbRowPair(const uint8_t*, const uint8_t*, const uint8_t*, const uint8_t*, uint8_t*,
                          uint8_t*, size_t, bool) {
    return 0;
}

#endif

}  // namespace colour_space_internal
