// Device-independent bitmaps of our own: a pixel block the caller writes directly, described by
// a small record. The window layer wraps `pixels` as an image without copying.
//
// Pixel layout: rows of `stride` bytes; the pixel (x, y) starts at y x stride + x x bpp bytes.
// A 32-bit pixel is 0xAARRGGBB (bytes B, G, R, A in memory). `topDown` says whether row 0 is
// the top row of the picture (a positive height argument) or the bottom row (a negative one).
// The pixels are zero-filled unless initialised from the caller's block, and 64-byte aligned.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>
#include "core/common_api.h"

struct ORBO_COMMON_API PixelBitmap {
    uint8_t* pixels = nullptr;
    int width = 0;   // pixels per row (|width| argument)
    int height = 0;  // rows (|height| argument)
    int bitsPerPixel = 0;
    int stride = 0;  // ((width x bitsPerPixel + 31) / 32) x 4
    bool topDown = true;
    uint32_t compression = 0;            // 0 plain RGB, 3 bit fields (entries are masks)
    std::vector<uint32_t> colorEntries;  // palette (0x00RRGGBB) or channel masks, as in the block
};

using HBITMAP = PixelBitmap*;

// Creates a bitmap. `pixels` may be null. If *pixels is a non-null pointer, the new pixel block
// is initialised by copying |height| x stride bytes from it and *pixels is left as it was;
// otherwise *pixels receives the new pixel block (owned by the bitmap). `colorEntries` (may be
// null) and `entryCount` as for the bitmap information block (bitmap_info.h). Returns null,
// with a log line, for an unsupported bit count, an empty or oversized bitmap, bad entries or
// an allocation failure. Any thread; the bitmap belongs to the caller until DeleteHBitmap.
ORBO_COMMON_API HBITMAP CreateHBitmap(void** pixels, int width, int height, int bitsPerPixel,
                                      const uint32_t* colorEntries, int entryCount);

// Frees the bitmap and its pixels; null is ignored.
ORBO_COMMON_API void DeleteHBitmap(HBITMAP bitmap);

struct ORBO_COMMON_API HBitmapDeleter {
    void operator()(PixelBitmap* bitmap) const { DeleteHBitmap(bitmap); }
};
// Owning handle for C++ callers.
using UniqueHBitmap = std::unique_ptr<PixelBitmap, HBitmapDeleter>;
