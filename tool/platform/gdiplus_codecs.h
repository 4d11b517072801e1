// Loading bitmaps from files and memory, saving them in the format their file extension names.
//
// Formats: BMP, JPEG, GIF, TIFF and PNG. Loading decides the format from the content (a PNG
// named .jpg loads); saving decides it from the extension, case-insensitively: "bmp", "jpg" or
// "jpeg", "gif", "tif" or "tiff", "png". A path with any other extension (or none) is not saved:
// the result is 0 and the bitmap remembers kGpUnknownImageFormat. GIF is written with giflib
// (256 colours at most: exact when the image has that few, else a 6 x 6 x 6 colour cube; pixels
// with alpha below 128 become the transparent colour). A file is replaced only when the whole
// image was written (temporary file renamed over it).
//
// Paths: UTF-8 (A) or UTF-16 (W); '\\' is accepted as a separator; at most kMaxPathChars units.
#pragma once

#include <cstddef>

#include "platform/gdiplus_bitmap.h"

// Picture types.
constexpr int kPictureBmp = 0;
constexpr int kPictureJpeg = 1;
constexpr int kPictureGif = 2;
constexpr int kPictureTiff = 3;
constexpr int kPicturePng = 4;

// The picture type the extension names; kPicturePng for every other extension, for none and for
// null (the type callers get when they must have one; saving refuses such names).
GDIPLUS_API int Gdiplus_GetPictureTypeByFileNameA(const char* path);
GDIPLUS_API int Gdiplus_GetPictureTypeByFileNameW(const WCHAR* path);

// The decoded file; null for a null path, a missing or unreadable file, or a failed decode.
GDIPLUS_API GpBitmap* Gdiplus_LoadBitmapFromFileA(const char* path);
GDIPLUS_API GpBitmap* Gdiplus_LoadBitmapFromFileW(const WCHAR* path);
// The decoded bytes (copied; the caller's block may go at once); null for no data or a failed
// decode.
GDIPLUS_API GpBitmap* Gdiplus_LoadBitmapFromData(const void* data, size_t length);

// 1 when the file was written in the extension's format. 0 for a null bitmap; otherwise 0 with
// the reason remembered by the bitmap: kGpInvalidParameter (null or unusable path),
// kGpUnknownImageFormat (an extension without a format, or no encoder), kGpWin32Error (the file
// could not be written).
GDIPLUS_API int Gdiplus_SaveBitmapToFileA(GpBitmap* bitmap, const char* path);
GDIPLUS_API int Gdiplus_SaveBitmapToFileW(GpBitmap* bitmap, const WCHAR* path);
