// A point packed into 64 bits: x in the low 32 bits, y in the high 32 bits, both signed. Point
// lists (line paths, soft dots, wave polylines) store these values directly in the pointer-sized
// slots of a CPtrCtrl, so that no memory is allocated per point.
#pragma once

#include <cstdint>

using PackedPoint = uint64_t;

constexpr PackedPoint PackPoint(int32_t x, int32_t y) {
    return static_cast<PackedPoint>(static_cast<uint32_t>(x)) |
           (static_cast<PackedPoint>(static_cast<uint32_t>(y)) << 32);
}
constexpr int32_t PackedPointX(PackedPoint p) {
    return static_cast<int32_t>(p & 0xFFFFFFFFu);
}
constexpr int32_t PackedPointY(PackedPoint p) {
    return static_cast<int32_t>(p >> 32);
}

// The slot value of a container entry and back (the entry is a value, never dereferenced).
inline void* PackedPointToSlot(PackedPoint p) {
    return reinterpret_cast<void*>(p);
}
inline PackedPoint SlotToPackedPoint(const void* slot) {
    return static_cast<PackedPoint>(reinterpret_cast<uintptr_t>(slot));
}
