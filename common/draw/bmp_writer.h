// Writing pixel buffers to BMP files.
//
// The source is |height| rows of `rowLength` bytes each (the distance between source rows and
// the bytes taken from each); every row is written padded with zeros to the file's stride
// ((|width| x bits + 31) / 32) x 4. A row length above that stride, or one <= 0, is refused
// (rows would run into each other). Sizes are computed without overflow and limited to
// kMaxBitmapBytes (bitmap_info.h). Paths are UTF-8; '\\' is accepted as a separator.
//
// Results: 1 when the whole file was written and closed, 0 otherwise (null pixels, bad
// arguments, a file that cannot be created or a failed write or close, each with a log line;
// a partly written file is removed). Any thread.
#pragma once

#include <cstdint>
#include "core/common_api.h"

// A 14-byte file header, the 40-byte information block of bitmap_info.h (height stored as
// -height, so a positive height gives a top-down file) with its colour entries, then the rows:
// in source order when height > 0, from the last source row to the first when height <= 0, so
// both signs give the same picture of a top-down source.
ORBO_COMMON_API int SaveRgbBufferToBmpFile(const void* pixels, int width, int height,
                                           int bitsPerPixel, int rowLength,
                                           const uint32_t* colorEntries, int entryCount,
                                           const char* path);

// A 14-byte file header and a 124-byte version-5 header (size 124, width |width|, height
// +|height| (bottom-up), planes 1, the bit count, compression 3 (bit fields) for 16 and 32 bits
// and 0 (plain) otherwise, image size, 2835 pixels per metre both ways, colours used = the number
// of colour entries, the four masks, colour space "sRGB", other fields zero), the colour entries
// (4 bytes each; 8 bits or less without entries get the fixed palette of bitmap_info.h), then the
// rows in source order when height > 0 and reversed when height <= 0 (so a positive height
// expects a bottom-up source).
ORBO_COMMON_API int SaveRgbBufferToBmpFileV5(const void* pixels, int width, int height,
                                             int bitsPerPixel, int rowLength, uint32_t redMask,
                                             uint32_t greenMask, uint32_t blueMask,
                                             uint32_t alphaMask, const uint32_t* colorEntries,
                                             int entryCount, const char* path);

// SaveRgbBufferToBmpFileV5 with 16 bits per pixel, masks 0xF800, 0x07E0, 0x001F, no alpha mask
// and no entries.
ORBO_COMMON_API int SaveRgb565BufferToBmpFile(const void* pixels, int width, int height,
                                              int rowLength, const char* path);
