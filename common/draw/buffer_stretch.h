// Scaling rectangles between pixel buffers, and placing one rectangle inside another.
//
// Geometry and pixel format as in buffer_copy.h. Scaling is nearest neighbour: destination
// column i of a rectangle w pixels wide takes source column floor(i x sourceWidth / w) of the
// source rectangle, found with an integer error-accumulation walk (no floating point); rows the
// same way. Destination pixels left of column 0, above row 0 or beyond the stride, and those
// whose source pixel lies left of column 0, above row 0 or beyond the source stride, are
// skipped. Empty rectangles draw nothing. Any thread, on buffers it owns.
#pragma once

#include <cstdint>

#include "core/common_api.h"
#include "core/platform_types.h"

// Flags of GetRectByMode and DrawBuffer.
constexpr int kRectModeCenterH = 0x01;
constexpr int kRectModeRight = 0x04;
constexpr int kRectModeCenterV = 0x10;
constexpr int kRectModeBottom = 0x40;

// Scales the source rectangle onto the destination rectangle, copying bpp bytes per pixel.
ORBO_COMMON_API void StretchBufferOnBuffer(void* dst, const RECT& dstRect, int dstStride,
                                           const void* src, const RECT& srcRect, int srcStride,
                                           int bpp);

// The same scaling for 32-bit ARGB pixels, each composited over the destination with the
// integer rule: a source alpha of 0 keeps the destination, a destination alpha of 0 takes the
// source; otherwise Ao = Ad + As - Ad As / 255 and each channel d + As (s - d) / Ao.
ORBO_COMMON_API void AlphaStretchBufferOnBuffer_ARGB(void* dst, const RECT& dstRect, int dstStride,
                                                     const void* src, const RECT& srcRect,
                                                     int srcStride);

// Aligns the two rectangles (both in/out) by the mode flags.
// Without stretching, or when both have the same size: horizontally, with kRectModeCenterH the
// left of the wider rectangle moves right by half the width difference (so that only the
// overlapping part is copied), with kRectModeRight by the whole difference; vertically the same
// with kRectModeCenterV and kRectModeBottom on the tops.
// With stretching and kRectModeCenterH or kRectModeCenterV: the source is fitted into the
// destination keeping its aspect ratio: factor = 1 / max(sh / dh, sw / dw), and the
// destination becomes trunc(factor x sw) by trunc(factor x sh) pixels, centred in the old
// destination rectangle. Other combinations, and rectangles with no area, change nothing.
ORBO_COMMON_API void GetRectByMode(RECT* dstRect, RECT* srcRect, int stretch, int flags);

// Draws the source rectangle into the destination rectangle: aligned by GetRectByMode (without
// stretching when both rectangles have the same size), then scaled when `stretch` is set and the
// sizes differ, else copied; with `useAlpha` and bpp 4 the ARGB compositing forms are used
// (AlphaStretchBufferOnBuffer_ARGB, AlphaDrawBufferOnBuffer_ARGB), else plain copies
// (StretchBufferOnBuffer, DrawBufferOnBuffer).
ORBO_COMMON_API void DrawBuffer(void* dst, const RECT& dstRect, int dstStride, const void* src,
                                const RECT& srcRect, int srcStride, int bpp, int stretch,
                                int useAlpha, int flags);
