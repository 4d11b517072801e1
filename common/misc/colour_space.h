// Colour-space conversions: single colours between RGB and HSV, HLS and YUV, and whole 24-bit RGB
// images to and from planar YUV.
//
// RGB channels are bytes (0 to 255); where a channel is passed as an int only its low byte is
// used. Every RGB channel enters the HSV/HLS arithmetic as channel x (1/255); every channel that
// leaves as a byte from a value x in [0, 1] is x x 255, then 0 below 0 (and for NaN), 255 above
// 255, else truncated toward zero (no rounding).
//
// YUV is video-range BT.601 computed through 18 lookup tables of rounded products (round to
// nearest, halves away from zero), so every output channel is the sum of exactly three lookups:
//   Y = RtoY[R] + GtoY[G] + BtoY[B] + 16      (0.257, 0.504, 0.098)
//   U = RtoU[R] + GtoU[G] + BtoU[B] + 128     (-0.148, -0.291, 0.439)
//   V = RtoV[R] + GtoV[G] + BtoV[B] + 128     (0.439, -0.368, -0.071)
//   R = YtoR[Y] + UtoR[U] + VtoR[V], G and B alike (1.164 (Y-16); 0.0, -0.392, 2.017 (U-128);
//       1.596, -0.813, 0.0 (V-128))
// each clamped to [0, 255]. The tables are built once, at the first YUV conversion or by
// InitLookupTable, thread-safely, and never rebuilt.
//
// All functions may be called from any thread; they keep no state besides the tables.
#pragma once

#include <cstdint>
#include "core/common_api.h"

// Hue in degrees [0, 360), saturation and value in [0, 1]. A grey gives hue 0 and saturation 0.
ORBO_COMMON_API void RGBToHSV(int r, int g, int b, double* hue, double* saturation, double* value);

// Hue in degrees; sector floor(hue / 60) picks the formula, every sector other than 0 to 4 (5,
// 6 for a hue of 360, negative ones) uses the last. Null out pointers are skipped.
ORBO_COMMON_API void HSVToRGB(double hue, double saturation, double value, uint8_t* r, uint8_t* g,
                              uint8_t* b);

// Hue in degrees [0, 360), lightness and saturation in [0, 1].
ORBO_COMMON_API void RGBToHLS(double* hue, double* lightness, double* saturation, int r, int g,
                              int b);

// Hue in degrees (brought into range by one turn at most), lightness and saturation in [0, 1].
ORBO_COMMON_API void HLSToRGB(uint8_t* r, uint8_t* g, uint8_t* b, double hue, double lightness,
                              double saturation);

// Builds the YUV lookup tables if they are not built yet. Optional: every YUV conversion does it.
ORBO_COMMON_API void InitLookupTable();

ORBO_COMMON_API void RGBToYUV(int r, int g, int b, uint8_t* y, uint8_t* u, uint8_t* v);
ORBO_COMMON_API void YUVToRGB(int y, int u, int v, uint8_t* r, uint8_t* g, uint8_t* b);

// Whole images of 24-bit pixels (R, G, B in memory, or B, G, R when bgr is nonzero) to and from
// planar YUV: the Y plane (w x h bytes), then the two chroma planes back to back, U first, or V
// first when vFirst is nonzero. Chroma planes are (w/2) x (h/2) bytes for 4:2:0, (w/2) x h for
// 4:2:2 and w x h for 4:4:4 (integer division). Width and height are taken as magnitudes; rows
// run top to bottom; the stride is the byte distance between RGB rows.
//
// 4:2:2 chroma is the average (a + b) >> 1 of a horizontal pair's clamped U (V) values, 4:2:0 the
// average (a + b + c + d) >> 2 of a 2 x 2 block's. The reverse functions colour each pixel from its
// own Y and the chroma of its pair or block.
//
// Odd sizes: the 4:2:2 and 4:2:0 functions convert whole pairs and blocks only. A last odd column
// (and for 4:2:0 a last odd row) has no chroma sample in the (w/2)-wide planes, so it is neither
// read nor written, in either direction: its Y samples and RGB pixels are left untouched.
//
// Nothing happens when a buffer is null, or when the stride is shorter than a row of 3 x w bytes
// (rows would overlap; a warning is logged).
ORBO_COMMON_API void RGB888ToYUV420(int width, int height, const uint8_t* rgb, uint8_t* yuv,
                                    int vFirst, int srcStride, int bgr);
ORBO_COMMON_API void RGB888ToYUV422(int width, int height, const uint8_t* rgb, uint8_t* yuv,
                                    int vFirst, int srcStride, int bgr);
ORBO_COMMON_API void RGB888ToYUV444(int width, int height, const uint8_t* rgb, uint8_t* yuv,
                                    int vFirst, int srcStride, int bgr);

ORBO_COMMON_API void YUV420ToRGB888(int width, int height, const uint8_t* yuv, int vFirst,
                                    uint8_t* rgb, int dstStride, int bgr);
ORBO_COMMON_API void YUV422ToRGB888(int width, int height, const uint8_t* yuv, int vFirst,
                                    uint8_t* rgb, int dstStride, int bgr);
ORBO_COMMON_API void YUV444ToRGB888(int width, int height, const uint8_t* yuv, int vFirst,
                                    uint8_t* rgb, int dstStride, int bgr);
