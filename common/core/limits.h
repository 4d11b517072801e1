// Limits on lengths that arrive from files, wires and callers. Every length read from outside is
// checked against one of these before anything is allocated for it.
#pragma once

#include <cstdint>

// Strings and buffers index with 32-bit ints: sizes beyond this are refused, never wrapped.
constexpr uint32_t kMaxStringChars = 0x3FFFFFFF;
constexpr uint32_t kMaxBufferBytes = 0xFFFFFFFFu;

// Paths hold at most this many characters (terminator excluded).
constexpr int kMaxPathChars = 259;

// Thread names: what the caller may store, and what the kernel keeps.
constexpr int kMaxThreadNameChars = 127;
constexpr int kMaxKernelThreadNameBytes = 15;

// The debug output's tag.
constexpr int kMaxDebugTagChars = 127;
