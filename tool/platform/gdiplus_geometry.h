// New bitmaps of another size: stretched, resized by mode, laid out by mode, cut out of a larger
// one. Results are 32-bit ARGB unless said; the caller owns them. Scaling is bilinear.
#pragma once

#include "platform/gdiplus_bitmap.h"

// Modes of Gdiplus_ResizeBitmap.
constexpr int kResizeStretch = 0;  // exactly width x height, the whole image stretched
constexpr int kResizeFit = 1;      // the image's aspect kept, inside width x height
constexpr int kResizeFill = 2;     // the image's aspect kept, covering width x height
constexpr int kResizeByWidth = 3;  // scaled by width / image width in both directions
constexpr int kResizeByHeight = 4;

// Modes of Gdiplus_DisposeBitmapByMode.
constexpr int kDisposeCropFill = 0;  // the largest centred area of width : height, scaled
constexpr int kDisposeFit = 1;       // Gdiplus_ResizeBitmap in fit mode
constexpr int kDisposeTile = 2;      // tiled from the top-left corner, last row and column cut
constexpr int kDisposeCentre = 3;    // centred unscaled on the fill colour, larger sides cut
constexpr int kDisposeStretch = 4;   // Gdiplus_StretchBitmap

// width x height with the whole image stretched into it; null for null or a size below 1.
GDIPLUS_API GpBitmap* Gdiplus_StretchBitmap(const GpBitmap* bitmap, int width, int height);

// A scaled copy by mode, on a background of `fillArgb`. With the image size (w, h) and
// sx = width / w, sy = height / h, the result's size is: stretch width x height; fit
// s = min(sx, sy); fill s = max(sx, sy) (so one side may exceed the request); by width s = sx;
// by height s = sy; trunc(w x s) x trunc(h x s) for the last four. Null for null, a size below
// 1, a result below 1 pixel or another mode.
GDIPLUS_API GpBitmap* Gdiplus_ResizeBitmap(const GpBitmap* bitmap, int width, int height, int mode,
                                           uint32_t fillArgb);

// A width x height bitmap laid out by mode (see the constants). Null for null, a size below 1 or
// another mode.
GDIPLUS_API GpBitmap* Gdiplus_DisposeBitmapByMode(const GpBitmap* bitmap, int width, int height,
                                                  int mode, uint32_t fillArgb);

// The source area (x, y, width, height) scaled into a new bitmap of `outSize` (or width x height
// when null). Parts of the area outside the image stay transparent. Null for null or a size
// below 1.
GDIPLUS_API GpBitmap* Gdiplus_GetBitmapFromBitmap(const GpBitmap* bitmap, int x, int y, int width,
                                                  int height, const SIZE* outSize);
GDIPLUS_API GpBitmap* Gdiplus_GetBitmapFromBitmapByRect(const GpBitmap* bitmap, const RECT* rect,
                                                        const SIZE* outSize);
