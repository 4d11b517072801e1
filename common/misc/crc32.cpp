#include "crc32.h"

#include "crc_bits_internal.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

constexpr uint32_t kDefaultPoly = 0x04C11DB7;
constexpr uint32_t kDefaultInit = 0xFFFFFFFF;
constexpr uint32_t kDefaultFinalXor = 0;
// Inputs from this length on are folded with carry-less multiplication where the processor has
// it; shorter ones go through the tables.
constexpr size_t kFoldMinBytes = 64;

using Tables = uint32_t[8][256];

inline uint32_t UpdateDirect(const uint32_t* table, uint32_t reg, uint8_t byte) {
    return (reg << 8) ^ table[((reg >> 24) ^ byte) & 0xFF];
}

uint32_t UpdateTables(const Tables& t, uint32_t reg, const uint8_t* p, size_t left) {
    // The register overlaps the first four bytes of each 8-byte group (big-endian order).
    for (; left >= 8; left -= 8, p += 8) {
        const uint64_t v = LoadBigEndian64(p) ^ (static_cast<uint64_t>(reg) << 32);
        reg = t[7][v >> 56] ^ t[6][(v >> 48) & 0xFF] ^ t[5][(v >> 40) & 0xFF] ^
              t[4][(v >> 32) & 0xFF] ^ t[3][(v >> 24) & 0xFF] ^ t[2][(v >> 16) & 0xFF] ^
              t[1][(v >> 8) & 0xFF] ^ t[0][v & 0xFF];
    }
    for (; left > 0; --left) reg = UpdateDirect(t[0], reg, *p++);
    return reg;
}

// x^n mod poly (the polynomial's x^32 term implied).
uint32_t PowerOfXModPoly(uint32_t poly, int n) {
    uint32_t r = 1;
    for (int i = 0; i < n; ++i) r = (r & 0x80000000u) ? (r << 1) ^ poly : r << 1;
    return r;
}

#if defined(__x86_64__)

bool HasCarryLessMultiply() {
    static const bool has = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("ssse3");
    return has;
}

#define ORBO_CLMUL_TARGET __attribute__((target("pclmul,ssse3")))

ORBO_CLMUL_TARGET inline __m128i LoadReversed(const uint8_t* at) {
    const __m128i reverse = _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), reverse);
}

// A = H x^64 + L moved n bits further: H (x^(n+64) mod P) + L (x^n mod P), both constants in k.
ORBO_CLMUL_TARGET inline __m128i Fold(__m128i a, __m128i k) {
    return _mm_xor_si128(_mm_clmulepi64_si128(a, k, 0x11), _mm_clmulepi64_si128(a, k, 0x00));
}

// Folding treats the message as a polynomial, first byte highest: a 16-byte block moved 128 bits
// further still fits 128 bits after Fold. Four blocks run side by side (64 bytes per step); at
// the end the remainder A satisfies register = A x^32 mod P, which is the table CRC of A's 16
// bytes from a zero register.
ORBO_CLMUL_TARGET uint32_t FoldCarryLess(const Tables& t, const Crc32FoldConstants& k, uint32_t reg,
                                         const uint8_t* p, size_t blocks) {
    const __m128i k4 = _mm_set_epi64x(k.x576, k.x512);
    const __m128i k1 = _mm_set_epi64x(k.x192, k.x128);
    // The running register joins the top 32 bits of the first block.
    __m128i a0 = _mm_xor_si128(LoadReversed(p), _mm_set_epi32(static_cast<int>(reg), 0, 0, 0));
    __m128i a1 = LoadReversed(p + 16);
    __m128i a2 = LoadReversed(p + 32);
    __m128i a3 = LoadReversed(p + 48);
    p += 64;
    blocks -= 4;
    for (; blocks >= 4; blocks -= 4, p += 64) {
        a0 = _mm_xor_si128(Fold(a0, k4), LoadReversed(p));
        a1 = _mm_xor_si128(Fold(a1, k4), LoadReversed(p + 16));
        a2 = _mm_xor_si128(Fold(a2, k4), LoadReversed(p + 32));
        a3 = _mm_xor_si128(Fold(a3, k4), LoadReversed(p + 48));
    }
    __m128i a = _mm_xor_si128(Fold(a0, k1), a1);
    a = _mm_xor_si128(Fold(a, k1), a2);
    a = _mm_xor_si128(Fold(a, k1), a3);
    for (; blocks > 0; --blocks, p += 16) a = _mm_xor_si128(Fold(a, k1), LoadReversed(p));

    alignas(16) uint8_t rest[16];
    const __m128i reverse = _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    _mm_store_si128(reinterpret_cast<__m128i*>(rest), _mm_shuffle_epi8(a, reverse));
    return UpdateTables(t, 0, rest, sizeof(rest));
}

#endif

}  // namespace

CCRC32::CCRC32() {
    SetPolyParameter(kDefaultPoly, kDefaultInit, kDefaultFinalXor, 1, 1);
}

void CCRC32::SetPolyParameter(uint32_t poly, uint32_t init, uint32_t finalXor, int reflectInput,
                              int reflectOutput) {
    m_reflectInput = reflectInput;
    m_reflectOutput = reflectOutput;
    m_finalXor = finalXor;
    m_initial = reflectInput ? ReverseBits(init, 32) : init;
    m_current = m_initial;
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t b = i << 24;
        for (int k = 0; k < 8; ++k) b = (b & 0x80000000u) ? (b << 1) ^ poly : b << 1;
        m_table[0][i] = b;
    }
    for (int slice = 1; slice < kSlices; ++slice) {
        for (int i = 0; i < 256; ++i) {
            m_table[slice][i] = UpdateDirect(m_table[0], m_table[slice - 1][i], 0);
        }
    }
    m_fold = {PowerOfXModPoly(poly, 128), PowerOfXModPoly(poly, 192), PowerOfXModPoly(poly, 512),
              PowerOfXModPoly(poly, 576)};
}

void CCRC32::AppendData(const void* data, int length) {
    if (data == nullptr || length <= 0) return;
    const auto* p = static_cast<const uint8_t*>(data);
    size_t left = static_cast<size_t>(length);
    uint32_t reg = m_current;
#if defined(__x86_64__)
    if (left >= kFoldMinBytes && HasCarryLessMultiply()) {
        const size_t blocks = left / 16;
        reg = FoldCarryLess(m_table, m_fold, reg, p, blocks);
        p += blocks * 16;
        left -= blocks * 16;
    }
#endif
    m_current = UpdateTables(m_table, reg, p, left);
}

uint32_t CCRC32::GetResult() const {
    // With reflect input 1 the reflected register is reverse(direct), and reflect output
    // reverses it once more; with reflect input 0 the direct register is reversed only when
    // reflect output asks for it.
    const bool reverse = (m_reflectInput != 0) != (m_reflectOutput != 0);
    return (reverse ? ReverseBits(m_current, 32) : m_current) ^ m_finalXor;
}

void CCRC32::Reset() {
    m_current = m_initial;
}
