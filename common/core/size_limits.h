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

// A GIF's logical screen is refused beyond this many pixels (two 32-bit canvases are kept).
constexpr uint64_t kMaxGifCanvasPixels = 1ull << 25;

// A zip entry is refused beyond this many bytes, declared or inflated (it must fit 32-bit fields).
constexpr uint64_t kMaxZipEntryBytes = 0xFFFFFFFFull;

// A response body kept in memory (GET, POST) is refused beyond this many bytes.
constexpr uint32_t kMaxHttpBodyBytes = 64u << 20;

// A packet's payload on a socket connection is refused beyond this many bytes (the connection is
// dropped); a sender refuses to send more.
constexpr uint32_t kMaxSocketPacketBytes = 64u << 20;

// One read or write request of the remote file service moves at most this many bytes.
constexpr uint32_t kMaxSocketFileIoBytes = 16u << 20;

// Folder copies of the remote file service descend at most this many levels.
constexpr int kMaxSocketFolderDepth = 32;
