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

#include <algorithm>
#include <array>
#include <cstring>

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

// True when every sum of three entries plus 128 lies in [0, 255]: clamping such a chroma sum
// changes nothing, so the kernel need not clamp.
bool SumsStayInByteRange(const int32_t* a, const int32_t* b, const int32_t* c) {
    const auto [aMin, aMax] = std::minmax_element(a, a + 256);
    const auto [bMin, bMax] = std::minmax_element(b, b + 256);
    const auto [cMin, cMax] = std::minmax_element(c, c + 256);
    return *aMin + *bMin + *cMin + 128 >= 0 && *aMax + *bMax + *cMax + 128 <= 255;
}

bool ProductsMatchTables() {
    const YuvTables& t = YuvLookupTables();
    return Matches(kRToY, t.rToY) && Matches(kGToY, t.gToY) && Matches(kBToY, t.bToY) &&
           Matches(kRToU, t.rToU) && Matches(kGToU, t.gToU) && Matches(kBToU, t.bToU) &&
           Matches(kRToV, t.rToV) && Matches(kGToV, t.gToV) && Matches(kBToV, t.bToV) &&
           Matches(kYToRgb, t.yToR) && Matches(kYToRgb, t.yToG) && Matches(kYToRgb, t.yToB) &&
           ZeroTable(t.uToR) && Matches(kUToG, t.uToG) && Matches(kUToB, t.uToB) &&
           Matches(kVToR, t.vToR) && Matches(kVToG, t.vToG) && ZeroTable(t.vToB) &&
           SumsStayInByteRange(t.rToU, t.gToU, t.bToU) &&
           SumsStayInByteRange(t.rToV, t.gToV, t.bToV);
}

// Byte shuffles between 16 packed 3-byte pixels (48 bytes) and planes of 16-bit lanes. A 256-bit
// register holds pixels 0-7 in its low half and pixels 8-15 in its high half, whose 24 bytes are
// loaded as two overlapping 16-byte parts: part 0 their bytes 0-15, part 1 their bytes 8-23. The
// same byte pattern serves both halves. -1 (0x80) zeroes a byte.
using Mask = std::array<int8_t, 32>;

constexpr int kPartOffset[2] = {0, 8};

// Channel `channel` of the 8 pixels as zero-extended 16-bit lanes, from part `part` (a byte both
// parts hold is taken from part 0).
constexpr Mask SplitMask(int part, int channel) {
    Mask mask{};
    for (int half = 0; half < 2; ++half) {
        for (int p = 0; p < 8; ++p) {
            int at = 3 * p + channel;
            bool here = part == 0 ? at < 16 : at >= 16;
            mask[size_t(16 * half + 2 * p)] = int8_t(here ? at - kPartOffset[part] : -1);
            mask[size_t(16 * half + 2 * p + 1)] = -1;
        }
    }
    return mask;
}

// Part `part` of the 8 pixels' bytes from packed channel bytes: `rg` holds the first channel's 8
// bytes then G's, `bb` the third channel's 8 bytes (twice). `fromThird` picks which source.
constexpr Mask MergeMask(int part, bool fromThird) {
    Mask mask{};
    for (int half = 0; half < 2; ++half) {
        for (int j = 0; j < 16; ++j) {
            int at = j + kPartOffset[part];
            int p = at / 3, channel = at % 3;
            int index = fromThird ? (channel == 2 ? p : -1) : (channel == 2 ? -1 : 8 * channel + p);
            mask[size_t(16 * half + j)] = int8_t(index);
        }
    }
    return mask;
}

// Chroma samples 0-3 (low half) and 4-7 (high half) of 8 loaded bytes, each as a 16-bit lane
// repeated for its pixel pair.
constexpr Mask PairMask() {
    Mask mask{};
    for (int half = 0; half < 2; ++half) {
        for (int j = 0; j < 8; ++j) {
            mask[size_t(16 * half + 2 * j)] = int8_t(4 * half + j / 2);
            mask[size_t(16 * half + 2 * j + 1)] = -1;
        }
    }
    return mask;
}

template <int kPart, int kChannel>
constexpr Mask kSplit = SplitMask(kPart, kChannel);
template <int kPart, bool kFromThird>
constexpr Mask kMerge = MergeMask(kPart, kFromThird);
constexpr Mask kPair = PairMask();

constexpr size_t kPairsPerBlock = 8;  // 16 pixels
// How far ahead of the block the RGB rows are fetched into the cache.
constexpr size_t kPrefetchBytes = 512;

}  // namespace

#if defined(__x86_64__)

#define ORBO_AVX2 __attribute__((target("avx2")))

namespace {

ORBO_AVX2 inline __m256i LoadMask(const Mask& mask) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(mask.data()));
}

// 16 bytes at `low` into the low half and 16 at `high` into the high half.
ORBO_AVX2 inline __m256i LoadHalves(const uint8_t* low, const uint8_t* high) {
    return _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(low))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(high)), 1);
}

// The two 16-byte halves to `low` and `high`.
ORBO_AVX2 inline void StoreHalves(__m256i x, uint8_t* low, uint8_t* high) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(low), _mm256_castsi256_si128(x));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(high), _mm256_extracti128_si256(x, 1));
}

template <int kChannel>
ORBO_AVX2 inline __m256i SplitChannel(__m256i part0, __m256i part1) {
    return _mm256_or_si256(_mm256_shuffle_epi8(part0, LoadMask(kSplit<0, kChannel>)),
                           _mm256_shuffle_epi8(part1, LoadMask(kSplit<1, kChannel>)));
}

template <int kPart>
ORBO_AVX2 inline __m256i MergePart(__m256i rg, __m256i bb) {
    return _mm256_or_si256(_mm256_shuffle_epi8(rg, LoadMask(kMerge<kPart, false>)),
                           _mm256_shuffle_epi8(bb, LoadMask(kMerge<kPart, true>)));
}

ORBO_AVX2 inline __m256i Product(__m256i x, const FixedProduct& p) {
    __m256i product = _mm256_mulhrs_epi16(x, _mm256_set1_epi16(int16_t(p.m)));
    for (int i = 0; i < p.k; ++i) product = _mm256_add_epi16(product, x);
    return product;
}

struct Planes16 {
    __m256i y, u, v;
};

// 16 pixels of one RGB row: Y, U and V as 16-bit lanes.
ORBO_AVX2 inline Planes16 RowToYuv(const uint8_t* src, bool bgr) {
    __m256i part0 = LoadHalves(src, src + 24);
    __m256i part1 = LoadHalves(src + 8, src + 32);
    __m256i first = SplitChannel<0>(part0, part1);
    __m256i g = SplitChannel<1>(part0, part1);
    __m256i third = SplitChannel<2>(part0, part1);
    __m256i r = bgr ? third : first;
    __m256i bl = bgr ? first : third;
    __m256i y = _mm256_add_epi16(_mm256_add_epi16(Product(r, kRToY), Product(g, kGToY)),
                                 _mm256_add_epi16(Product(bl, kBToY), _mm256_set1_epi16(16)));
    __m256i u = _mm256_add_epi16(_mm256_add_epi16(Product(r, kRToU), Product(g, kGToU)),
                                 _mm256_add_epi16(Product(bl, kBToU), _mm256_set1_epi16(128)));
    __m256i v = _mm256_add_epi16(_mm256_add_epi16(Product(r, kRToV), Product(g, kGToV)),
                                 _mm256_add_epi16(Product(bl, kBToV), _mm256_set1_epi16(128)));
    // Y is clamped by the saturating pack; U and V never leave [0, 255] (checked with the tables),
    // so their clamps before the averages change nothing.
    return {y, u, v};
}

ORBO_AVX2 size_t RgbRowPairToYuv420Avx2(const uint8_t* row0, const uint8_t* row1, uint8_t* y0,
                                        uint8_t* y1, uint8_t* u, uint8_t* v, size_t pairs,
                                        bool bgr) {
    const __m256i ones = _mm256_set1_epi16(1);
    const __m256i chromaOrder = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    size_t done = 0;
    for (; done + kPairsPerBlock <= pairs; done += kPairsPerBlock) {
        size_t px = 2 * done;
        _mm_prefetch(reinterpret_cast<const char*>(row0 + 3 * px + kPrefetchBytes), _MM_HINT_T0);
        _mm_prefetch(reinterpret_cast<const char*>(row1 + 3 * px + kPrefetchBytes), _MM_HINT_T0);
        Planes16 top = RowToYuv(row0 + 3 * px, bgr);
        Planes16 bottom = RowToYuv(row1 + 3 * px, bgr);
        // Both rows' Y in one pack (it saturates: the clamp), then top in the low half.
        StoreHalves(_mm256_permute4x64_epi64(_mm256_packus_epi16(top.y, bottom.y), 0xD8), y0 + px,
                    y1 + px);
        // Sums of the four clamped values of each block, then >> 2: U0-3 V0-3 in the low half,
        // U4-7 V4-7 in the high half, then the bytes U0-7 V0-7.
        __m256i uBlocks =
            _mm256_srli_epi32(_mm256_madd_epi16(_mm256_add_epi16(top.u, bottom.u), ones), 2);
        __m256i vBlocks =
            _mm256_srli_epi32(_mm256_madd_epi16(_mm256_add_epi16(top.v, bottom.v), ones), 2);
        __m256i words = _mm256_packus_epi32(uBlocks, vBlocks);
        __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(words, words), chromaOrder);
        __m128i chroma = _mm256_castsi256_si128(bytes);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(u + done), chroma);
        // movq stores of each half: a double store through an unaligned plane pointer would be
        // undefined, whatever the instruction.
        _mm_storel_epi64(reinterpret_cast<__m128i*>(v + done), _mm_unpackhi_epi64(chroma, chroma));
    }
    return done;
}

// 8 chroma samples widened to 16 lanes, each repeated for its pixel pair, minus the offset.
ORBO_AVX2 inline __m256i PairedChroma(const uint8_t* src, int offset) {
    int64_t samples;
    std::memcpy(&samples, src, sizeof(samples));
    return _mm256_sub_epi16(_mm256_shuffle_epi8(_mm256_set1_epi64x(samples), LoadMask(kPair)),
                            _mm256_set1_epi16(int16_t(offset)));
}

ORBO_AVX2 inline void StoreRgbRow(const uint8_t* yRow, __m256i cR, __m256i cG, __m256i cB,
                                  uint8_t* dst, bool bgr) {
    __m256i y = _mm256_sub_epi16(
        _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(yRow))),
        _mm256_set1_epi16(int16_t(kYToRgb.offset)));
    __m256i yy = Product(y, kYToRgb);
    __m256i r = _mm256_add_epi16(yy, cR);
    __m256i g = _mm256_add_epi16(yy, cG);
    __m256i b = _mm256_add_epi16(yy, cB);
    __m256i first = bgr ? b : r;
    __m256i third = bgr ? r : b;
    // packus saturates to [0, 255]: the clamp.
    __m256i rg = _mm256_packus_epi16(first, g);
    __m256i bb = _mm256_packus_epi16(third, third);
    // Part 1 (bytes 8-23 of each half) first: part 0 then rewrites bytes 8-15 with equal values.
    StoreHalves(MergePart<1>(rg, bb), dst + 8, dst + 32);
    StoreHalves(MergePart<0>(rg, bb), dst, dst + 24);
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
