// Pixel operations on bitmaps: grey levels, alpha by range, regions from alpha.
#pragma once

#include <QRegion>

#include "platform/gdiplus_bitmap.h"

// A grey copy in the same format: each pixel's colour channels become
// (R x 77 + G x 150 + B x 29) >> 8, alpha kept. An indexed bitmap keeps its indices and gets the
// grey of each palette entry. Null for null.
GDIPLUS_API GpBitmap* Gdiplus_Gray(const GpBitmap* bitmap);

// Every pixel inside `rect` (null: the whole bitmap; cut to the bitmap) whose alpha lies in
// [lowestAlpha, highestAlpha] gets `newAlpha`. A bitmap without an alpha channel (all its
// pixels opaque) becomes 32-bit ARGB first, so the change is kept. 1 done, 0 for null.
GDIPLUS_API int Gdiplus_SetBitmapAlpha(GpBitmap* bitmap, const RECT* rect, int newAlpha,
                                       int lowestAlpha, int highestAlpha);

// The region of the pixels whose alpha is at least `alphaThreshold`, built from row runs. The
// caller owns the result (delete); null for a null bitmap.
GDIPLUS_API QRegion* Gdiplus_CreateRgnFromBitmap(const GpBitmap* bitmap, int alphaThreshold);
