// Pixel layout conversions: moving image data between memory layouts without colour arithmetic,
// between planar, packed and semi-planar YUV and between the 16-bit and 24-bit RGB packings.
//
// Layouts (w x h pixels, rows top to bottom, no padding in YUV rows; the YUV functions take the
// magnitudes of w and h):
//   4:2:2 planar   Y plane w x h, then two chroma planes of (w/2) x h bytes each
//   4:2:0 planar   Y plane w x h, then two chroma planes of (w/2) x (h/2) bytes each
//                  (the U plane first, or the V plane first when the V-first flag is nonzero)
//   YUYV (packed 4:2:2)  rows of 2w bytes, each pixel pair Y0, U, Y1, V
//   semi-planar 4:2:0    Y plane w x h, then (w/2) x (h/2) pairs of interleaved chroma bytes
//                        (w x h / 2 bytes for even sizes)
//   16-bit RGB     little-endian words: high field bits 11-15 (565) or 10-14 (555), middle field
//                  bits 5-10 (565) or 5-9 (555), low field bits 0-4; bit 15 of 555 written as 0
//   24-bit RGB     three bytes b0, b1, b2
// The RGB functions take byte strides for the source and the destination rows.
//
// Odd sizes: chroma lives in whole pixel pairs (and, for 4:2:0, row pairs). Y planes that a
// conversion copies whole (YUV422ToYUV420, YUV420ToYUV422, the semi-planar conversions) are copied
// with all w x h samples. Everything else works in whole pairs only: a last odd column (and, where
// rows pair, a last odd row) is neither read nor written, so the destination keeps what it held
// there.
//
// Every function does nothing when the source or the destination is null. The RGB functions do
// nothing for a width or height of 0 or less, and nothing (with a warning) when a stride is shorter
// than a row. All functions are stateless and may be called from any thread.
#pragma once

#include <cstdint>
#include "core/common_api.h"

// 4:2:2 planar <-> YUYV.
ORBO_COMMON_API void YUVToYUYV_422(int w, int h, const uint8_t* src, int vFirst, uint8_t* dst);
ORBO_COMMON_API void YUYVToYUV_422(int w, int h, const uint8_t* src, uint8_t* dst, int vFirst);

// YUYV -> 4:2:0 planar: rows in pairs; both give their Y samples, the chroma of the pair comes
// from the first row only.
ORBO_COMMON_API void YUYV422ToYUV420(int w, int h, const uint8_t* src, uint8_t* dst, int vFirst);

// 4:2:2 planar -> 4:2:0 planar: Y copied; output chroma row k is the average (a + b) >> 1 of source
// rows 2k and 2k + 1. The source U plane goes to the output U plane whatever the flags say about
// their positions.
ORBO_COMMON_API void YUV422ToYUV420(int w, int h, const uint8_t* src, int srcVFirst, uint8_t* dst,
                                    int dstVFirst);
// 4:2:0 planar -> 4:2:2 planar: Y copied; each chroma row k goes to output rows 2k and 2k + 1.
ORBO_COMMON_API void YUV420ToYUV422(int w, int h, const uint8_t* src, int srcVFirst, uint8_t* dst,
                                    int dstVFirst);

// Semi-planar <-> 4:2:0 planar. Order 0: even interleaved bytes <-> the first chroma plane, odd
// bytes <-> the second; nonzero: even <-> second, odd <-> first. (NV12 to U-first planar is order
// 0; NV21 to U-first planar is order 1.)
ORBO_COMMON_API void YUV420SPToYUV420(int w, int h, const uint8_t* src, uint8_t* dst, int order);
ORBO_COMMON_API void YUV420ToYUV420SP(int w, int h, const uint8_t* src, int order, uint8_t* dst);

// 16-bit <-> 16-bit. With swap set the high and low fields of the source are exchanged first.
// 565 -> 555 drops the lowest middle bit; 555 -> 565 moves high and middle up one bit (the new
// lowest middle bit is 0).
ORBO_COMMON_API void RGB565ToRGB555(int w, int h, const uint8_t* src, uint8_t* dst, int srcStride,
                                    int dstStride, int swap);
ORBO_COMMON_API void RGB555ToRGB565(int w, int h, const uint8_t* src, uint8_t* dst, int srcStride,
                                    int dstStride, int swap);

// 24-bit -> 16-bit: each field takes the top bits of a byte. Order set: b0 -> high, b1 -> middle,
// b2 -> low (R, G, B bytes to RGB565/555); clear: b2 -> high, b1 -> middle, b0 -> low.
ORBO_COMMON_API void RGB888ToRGB565(int w, int h, const uint8_t* src, uint8_t* dst, int srcStride,
                                    int dstStride, int order);
ORBO_COMMON_API void RGB888ToRGB555(int w, int h, const uint8_t* src, uint8_t* dst, int srcStride,
                                    int dstStride, int order);

// 16-bit -> 24-bit: each byte is its field moved to the top of the byte (low bits 0). Order set:
// high -> b0, middle -> b1, low -> b2; clear: low -> b0, middle -> b1, high -> b2.
ORBO_COMMON_API void RGB565ToRGB888(int w, int h, const uint8_t* src, uint8_t* dst, int srcStride,
                                    int dstStride, int order);
ORBO_COMMON_API void RGB555ToRGB888(int w, int h, const uint8_t* src, uint8_t* dst, int srcStride,
                                    int dstStride, int order);
