// Text on a QPainter: drawing in a layout rectangle and fitting a font size to a box.
#pragma once

#include <QFont>
#include <QPainter>

#include "platform/gdiplus_bitmap.h"

// String alignments (horizontal and vertical).
constexpr int kStringAlignmentNear = 0;
constexpr int kStringAlignmentCenter = 1;
constexpr int kStringAlignmentFar = 2;
// String format flags.
constexpr int kStringFormatFlagsDirectionRightToLeft = 0x1;
constexpr int kStringFormatFlagsNoWrap = 0x1000;

// Font style bits.
constexpr int kFontStyleBold = 1;
constexpr int kFontStyleItalic = 2;
constexpr int kFontStyleUnderline = 4;
constexpr int kFontStyleStrikeout = 8;

// Largest font size Gdiplus_CalcFontSize tries.
constexpr int kMaxFitFontSize = 1000;

struct GpStringFormat {
    int alignment = kStringAlignmentNear;
    int lineAlignment = kStringAlignmentNear;
    int flags = 0;
};

// Qt's alignment and text flags of a string format (null: near, near, wrapping).
int QtTextFlags(const GpStringFormat* format);

// 1 when the low 16 bits of the language id are Arabic (1025) or Hebrew (1037), else 0.
GDIPLUS_API int Gdiplus_GetStringFormat(uint32_t languageId);

// Draws non-empty UTF-16 text in `layout` with a solid ARGB colour, anti-aliased.
GDIPLUS_API void Gdiplus_DrawText(QPainter* painter, const WCHAR* text, const RECT* layout,
                                  uint32_t argb, const QFont* font, const GpStringFormat* format);

// The largest size from startSize (at most kMaxFitFontSize) down to 1, in points, at which the
// text in the face and style, laid out as the format says, fits width x height on the painter's
// device (null painter: the screen). 0 when even size 1 does not fit, or for empty text, null
// face or a box or start size below 1.
GDIPLUS_API int Gdiplus_CalcFontSize(QPainter* painter, const WCHAR* text, int width, int height,
                                     const WCHAR* face, int startSize, int style,
                                     const GpStringFormat* format);
