// The bitmap information block shared by CreateHBitmap and the BMP writers: row stride, the
// 40-byte information header and the colour entries that follow it.
//
// Colour entries are 32-bit values laid out as the file stores them (bytes B, G, R, 0, i.e. the
// value 0x00RRGGBB). For 16 and 32 bits per pixel, given entries are channel masks instead.
//
// Fixed palette: where a bitmap of 8 bits or less gets no entries, it uses this fixed table
// instead of a system palette (there is none to ask on this platform):
//   1 bit:  black, white;
//   4 bits: the 16 standard VGA colours in the usual order (black, maroon, green, olive, navy,
//           purple, teal, silver, grey, red, lime, yellow, blue, fuchsia, aqua, white);
//   8 bits: those 16, then a 6 x 6 x 6 colour cube with the levels 0, 51, 102, 153, 204, 255
//           (entry 16 + 36 r + 6 g + b), then a ramp of 24 greys 8, 18, ..., 238.
// Pure functions; any thread.
#pragma once

#include <cstdint>
#include <vector>
#include "core/common_api.h"

// Largest pixel block (stride x rows) a bitmap or a BMP file may have.
constexpr int64_t kMaxBitmapBytes = 0x7FFFFFFF;
// Most colour entries an information block carries.
constexpr int kMaxColorEntries = 256;
constexpr int kBitmapInfoHeaderBytes = 40;
constexpr uint32_t kCompressionRgb = 0;
constexpr uint32_t kCompressionBitFields = 3;

// 1, 4, 8, 16, 24 and 32 bits per pixel are supported.
ORBO_COMMON_API bool IsSupportedBitCount(int bitsPerPixel);

// Row stride in bytes: ((|width| x bits + 31) / 32) x 4, computed without overflow; -1 for an
// unsupported bit count, a width of 0 or a row above kMaxBitmapBytes.
ORBO_COMMON_API int64_t BitmapStride(int width, int bitsPerPixel);

// |height| x stride, or -1 when invalid or above kMaxBitmapBytes.
ORBO_COMMON_API int64_t BitmapImageBytes(int width, int height, int bitsPerPixel);

// The fixed palette (see above) as 256 entries.
ORBO_COMMON_API const uint32_t* FixedPaletteEntries();

// What a bitmap of these parameters carries: the header fields and the entries written after it.
struct ORBO_COMMON_API BitmapInfo {
    int32_t width = 0;   // |width|
    int32_t height = 0;  // as stored: the negated height argument (negative = top-down)
    uint16_t bitCount = 0;
    uint32_t compression = kCompressionRgb;
    uint32_t imageBytes = 0;  // |height| x stride
    uint32_t colorsUsed = 0;
    int32_t stride = 0;
    std::vector<uint32_t> entries;
};

// Builds the block for CreateHBitmap and SaveRgbBufferToBmpFile. Fails (false, with a log line
// naming the caller) for an unsupported bit count, a zero width or height, a size above
// kMaxBitmapBytes, a negative entry count, more than kMaxColorEntries entries, or more entries
// than a palette of that bit count can index.
ORBO_COMMON_API bool BuildBitmapInfo(int width, int height, int bitsPerPixel,
                                     const uint32_t* entries, int entryCount, const char* caller,
                                     BitmapInfo* info);

// The 40-byte little-endian header followed by 4 bytes per entry.
ORBO_COMMON_API void AppendBitmapInfoBytes(const BitmapInfo& info, std::vector<uint8_t>* out);
