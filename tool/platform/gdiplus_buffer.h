// Bitmaps and plain pixel memory: wrapping a caller's pixels, copying an area out in a chosen
// format, and making a raster-library bitmap (draw/pixel_bitmap.h) of a bitmap.
#pragma once

#include "draw/pixel_bitmap.h"
#include "platform/gdiplus_bitmap.h"

// A bitmap over the caller's pixels (not copied: they must outlive the bitmap, and drawing on the
// bitmap changes them). Indexed formats get the fixed palette. Null for null pixels, a size or
// stride below 1, a stride shorter than a row, or an unknown format.
GDIPLUS_API GpBitmap* Gdiplus_LoadBitmapFromImageBits(void* pixels, int width, int height,
                                                      int stride, int pixelFormat);

// Copies the part of the bitmap inside `rect` (null: the whole bitmap), converted to
// `pixelFormat`, to `dst`: row r of the area goes to dst + r x dstStride. Of each row the padded
// row ((width x bits + 31) / 32) x 4 bytes are copied, but never more than dstStride, so a
// destination whose stride is the exact row length is not overrun. 1 copied; 0 (status
// kGpInvalidParameter) for null arguments, an area outside the bitmap, an unknown format, an
// indexed format asked of a bitmap in another format, or a stride shorter than the area's pixels.
GDIPLUS_API int Gdiplus_GetBitmapBuffer(GpBitmap* bitmap, const RECT* rect, int pixelFormat,
                                        void* dst, int dstStride);

// A raster-library bitmap of the image's size and bit depth (1, 8, 16 as 5-5-5, 24 or 32; other
// depths give 32), filled with `backgroundRgb` (0x00RRGGBB) and the image drawn over it (its
// alpha blends with the background; the result is opaque). Palette depths use the fixed palette.
// The picture is upright either way; `topDown` chooses the row order in memory: nonzero, row 0
// is the picture's top row (record's topDown true); 0, row 0 is its bottom row. Null for null.
// The caller frees the result with DeleteHBitmap.
GDIPLUS_API HBITMAP Gdiplus_GetHBitmap(const GpBitmap* bitmap, uint32_t backgroundRgb, int topDown);
