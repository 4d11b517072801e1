// Colour tables: the library's 50 default colours and heat-map tables that turn values into
// 32-bit pixels (0xAARRGGBB, opaque).
// The tables are plain data; the functions may be called from any thread on tables they own.
#pragma once

#include <cstdint>

#include "core/common_api.h"
#include "core/platform_types.h"

// 50 distinct default colours (COLORREF, 0x00BBGGRR), 5 rows x 10 columns: row 0 light tints,
// row 1 yellows and oranges, row 2 greens, row 3 reds and pinks, row 4 blues. Colour i of a
// sequence is gCommonColorTable[i % 5][(i / 5) % 10], so 50 colours pass before one repeats.
extern ORBO_COMMON_API const COLORREF gCommonColorTable[5][10];

// The default colour for index i (any i >= 0), as above.
inline COLORREF CommonColor(int i) {
    return gCommonColorTable[i % 5][(i / 5) % 10];
}

// Fills 256 entries: entry 0 = HSV(247.5 deg, 0.564655172413793, 0.9098039215686274) (a muted
// blue for "nothing"), entry i >= 1 = HSV((30600 - 120 i) / 255 deg, 1, 1), hue running from
// about 119.5 deg (green) down to 0 deg (red); each converted with HSVToRGB and stored as
// 0xFF000000 | R << 16 | G << 8 | B. A null table is ignored.
ORBO_COMMON_API void InitHotImageColorTable(uint32_t* table);

// Fills 256 entries blending two colours (COLORREF) in HSV: both are converted to HSV (hue in
// degrees, saturation (max - min) / max, value max; all 0 for black); entry i = HSV(hue a +
// (hue b - hue a) x i / 256, mean saturation, mean value), stored as above.
ORBO_COMMON_API void InitHotImageColorTable2(uint32_t* table, COLORREF a, COLORREF b);

// For each of `count` values: index = trunc((v - minimum) x 256 / (maximum - minimum)), computed
// and clamped to [0, 255] in floating point, so NaN values give 0 and an empty range
// (maximum = minimum) gives 0 for values at or below it and 255 above. Writes table[index] to
// `pixels` and/or the index to `indices` (either may be null; pixels need a table).
ORBO_COMMON_API void ImageDataToHotImage(const double* values, int count, double minimum,
                                         double maximum, const uint32_t* table, uint32_t* pixels,
                                         uint8_t* indices);
