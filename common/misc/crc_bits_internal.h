// Bit and byte helpers shared by the CRC calculators (internal to common/misc).
#pragma once

#include <cstdint>
#include <cstring>

// Writes the lowest `bits` bits of `value` in the opposite order (bit 0 becomes bit bits - 1).
constexpr uint32_t ReverseBits(uint32_t value, int bits) {
    uint32_t result = 0;
    for (int i = 0; i < bits; ++i) {
        result = (result << 1) | ((value >> i) & 1u);
    }
    return result;
}

inline uint64_t LoadBigEndian64(const uint8_t* p) {
    uint64_t value;
    std::memcpy(&value, p, sizeof(value));
    return __builtin_bswap64(value);
}

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "LoadBigEndian64 assumes little-endian");
