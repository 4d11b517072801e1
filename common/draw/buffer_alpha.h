// Alpha compositing on 32-bit pixel buffers (0xAARRGGBB, bytes B, G, R, A in memory; alpha 0 is
// transparent, 255 opaque; colours are not premultiplied).
//
// Geometry as in buffer_copy.h: rectangles are anchored at their top-left corners, the common
// area is min of the widths by min of the heights, and nothing is touched left of column 0,
// above row 0 or beyond a row's stride. Any thread, on buffers it owns.
#pragma once

#include <cstdint>

#include "core/common_api.h"
#include "core/platform_types.h"

// Composites the common area of the source over the destination, pixel by pixel: a source
// pixel with alpha 0 leaves the destination; over a destination pixel with alpha 0 the source
// pixel is copied; otherwise (as = As/255, ad = Ad/255) ao = 1 - (1 - ad)(1 - as), each
// channel = trunc(d (1 - as) ad / ao + s as / ao) and alpha = trunc(ao x 255), evaluated in
// single-precision floating point (alpha_blend_internal.h gives the exact evaluation order).
ORBO_COMMON_API void AlphaDrawBufferOnBuffer_ARGB(void* dst, const RECT& dstRect, int dstStride,
                                                  const void* src, const RECT& srcRect,
                                                  int srcStride);

// Over the common size of the two rectangles each destination pixel becomes
// ((colour alpha x mask byte) >> 8) << 24 | (colour & 0xFFFFFF). The mask has one byte per
// pixel, rows of `maskStride` bytes.
ORBO_COMMON_API void SetAlphaBufferColor_ARGB(uint32_t color, void* dst, const RECT& dstRect,
                                              int dstStride, const void* mask, const RECT& maskRect,
                                              int maskStride);

// Blends a pen image (penWidth x penHeight ARGB pixels, rows of penWidth x 4 bytes) over a
// destination of dstWidth x dstHeight pixels (rows of dstWidth x 4 bytes), clipped to both.
// Placement: the pen's left column lands at x - offsetX and its top row at y - offsetY, and
// extentX columns and extentY rows of it are drawn, where
//   offsetX = half the pen's width when xOffsetByWidth is nonzero, else half its height;
//   extentX = the pen's width when xExtentByWidth is nonzero, else its height;
//   offsetY = half the pen's height when yOffsetByHeight is nonzero, else half its width;
//   extentY = the pen's height when yExtentByHeight is nonzero, else its width
// (halves rounded down; extents never beyond the pen image). With all four flags set the pen is
// centred on (x, y). Blending: l = (pen pixel alpha x penAlpha) >> 8 with penAlpha clamped to
// 0 .. 255; over a destination pixel with alpha 0 the pen pixel is copied unchanged; otherwise
// Ao = Ad + l - l Ad / 255 and each channel d + l (s - d) / Ao (integers), all clamped to
// [0, 255].
ORBO_COMMON_API void DrawPointByPen(void* dst, int dstWidth, int dstHeight, int x, int y,
                                    const void* pen, int penAlpha, int penWidth, int penHeight,
                                    int xOffsetByWidth, int xExtentByWidth, int yOffsetByHeight,
                                    int yExtentByHeight);
