// Little-endian fields of the socket packets and the file service's records, written and read
// byte by byte (never by casting structures), so the layout is the same on every host.
// Internal to common/net.
#pragma once

#include <cstdint>

inline void PutU16(uint8_t* out, uint16_t value) {
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
}

inline void PutU32(uint8_t* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

inline void PutU64(uint8_t* out, uint64_t value) {
    for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

inline uint16_t GetU16(const uint8_t* in) {
    return static_cast<uint16_t>(in[0] | (in[1] << 8));
}

inline uint32_t GetU32(const uint8_t* in) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | in[i];
    return value;
}

inline uint64_t GetU64(const uint8_t* in) {
    uint64_t value = 0;
    for (int i = 7; i >= 0; --i) value = (value << 8) | in[i];
    return value;
}
