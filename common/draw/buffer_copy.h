// Filling and copying rectangles of pixel buffers.
//
// A buffer is rows of `stride` bytes; a pixel of bpp bytes at (x, y) starts at
// y x stride + x x bpp; row 0 comes first. A 32-bit pixel is 0xAARRGGBB (bytes B, G, R, A in
// memory). Rectangles are (left, top, right, bottom), right and bottom exclusive.
//
// Buffer heights are not known here, so rows below the buffer are the caller's business; what
// is known is enforced: nothing is written left of column 0, above row 0 or beyond a row's
// stride, and a null buffer or a stride <= 0 writes nothing. Any thread, on buffers it owns.
#pragma once

#include <cstdint>

#include "core/common_api.h"
#include "core/platform_types.h"

// Every 32-bit pixel with left <= x < right and top <= y < bottom becomes `value`; an empty
// rectangle writes nothing.
ORBO_COMMON_API void DrawColorOnBuffer(uint32_t value, void* buffer, const RECT& rect, int stride);

// Copies min(destination width, source width) pixels of each of min(destination height,
// source height) rows from the source rectangle's top-left corner to the destination
// rectangle's, byte for byte, `bpp` bytes per pixel. Source and destination must not overlap.
ORBO_COMMON_API void DrawBufferOnBuffer(void* dst, const RECT& dstRect, int dstStride,
                                        const void* src, const RECT& srcRect, int srcStride,
                                        int bpp);
