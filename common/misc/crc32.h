// CCRC32: a CRC-32 calculator with a running register.
//
// The default set (polynomial 0x04C11DB7, initial register 0xFFFFFFFF, reflect input 1, reflect
// output 1, final XOR 0) is the hash of the library's CRC hash table (CCRCHashTable): each byte
// is bit-reversed and run through the reflected table, and the register is bit-reversed on
// output. The two reversals cancel, so the default computes the catalogue's CRC-32/MPEG-2 (most
// significant bit first, no final inversion; "abc" gives 0x9B73448C, "123456789" 0x0376E6E7),
// not the reflected CRC-32 of zlib.
//
// With reflect input 0 the bytes are processed most significant bit first with the direct table
// (the catalogue's unreflected CRC-32 forms, e.g. CRC-32/BZIP2 with a final XOR of 0xFFFFFFFF).
// With reflect input 1 the initial value is taken as the reflected register, so an initial value
// that is not bit-symmetric acts bit-reversed. Reflect output 1 gives the result in the order of
// the first form, 0 bit-reversed.
//
// Data may be fed in pieces; GetResult may be read at any time. Not guarded: one thread at a time.
#pragma once

#include <cstdint>
#include "core/common_api.h"

// x^n mod poly for the carry-less folding of long inputs (n = 128, 192, 512, 576).
struct ORBO_COMMON_API Crc32FoldConstants {
    uint32_t x128;
    uint32_t x192;
    uint32_t x512;
    uint32_t x576;
};

class ORBO_COMMON_API CCRC32 {
public:
    // The default set described above.
    CCRC32();

    // Current and initial register := init; builds the tables for `poly`.
    void SetPolyParameter(uint32_t poly, uint32_t init, uint32_t finalXor, int reflectInput,
                          int reflectOutput);

    // Updates the register with `length` bytes in order; nothing for a null text or length <= 0.
    void AppendData(const void* data, int length);
    // The result of all bytes since the last Reset (or parameter change); the register stays.
    uint32_t GetResult() const;
    // Back to the initial register.
    void Reset();

private:
    // Both flag values reduce to one most-significant-bit-first engine: with reflect input 1
    // the reflected register equals the bit-reversed direct register, so the register is kept
    // in direct form and only the initial value and the output order differ.
    static constexpr int kSlices = 8;

    uint32_t m_current = 0;  // direct form
    uint32_t m_initial = 0;  // direct form
    int m_reflectInput = 0;
    int m_reflectOutput = 0;
    uint32_t m_finalXor = 0;
    // [0] is the direct byte table of the polynomial, [k] the effect of a byte followed by k
    // zero bytes.
    uint32_t m_table[kSlices][256] = {};
    Crc32FoldConstants m_fold = {};
};
