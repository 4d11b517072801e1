// Drawing shortcuts on a QPainter: bitmaps placed by mode, with constant opacity, and plain
// fills and outlines. A null painter, bitmap or shape draws nothing.
#pragma once

#include <QBrush>
#include <QPainter>
#include <QRectF>

#include <vector>

#include "platform/gdiplus_bitmap.h"

// Modes of Gdiplus_DrawBitmap.
constexpr int kDrawCropFill = 0;  // the largest centred source area of the target's aspect
constexpr int kDrawFit = 1;       // the whole source inside the target, aspect kept, centred
constexpr int kDrawTile = 2;      // tiled from the target's top-left corner, cut at its edges
constexpr int kDrawCentre = 3;    // unscaled and centred, the larger sides cut centrally
// Any other mode stretches the source over the target.

// One piece of a placed bitmap: the source area drawn over the target area.
struct BitmapPiece {
    QRectF target;
    QRectF source;
    bool operator==(const BitmapPiece&) const = default;
};

// Where Gdiplus_DrawBitmap draws `source` (an area of the bitmap) inside `target` by mode.
std::vector<BitmapPiece> PlaceBitmap(const QRect& target, const QRect& source, int mode);

// Draws the bitmap's `source` area (null: the whole bitmap; cut to the bitmap) into `target` by
// mode, smoothly scaled.
GDIPLUS_API void Gdiplus_DrawBitmap(QPainter* painter, const RECT* target, const GpBitmap* bitmap,
                                    const RECT* source, int mode);
// Draws with constant opacity alpha / 256 (0 to 256): stretched over the target when `stretch`
// is nonzero, else unscaled and centred as kDrawCentre.
GDIPLUS_API void Gdiplus_DrawAlphaBitmap(QPainter* painter, const RECT* target,
                                         const GpBitmap* bitmap, const RECT* source, int stretch,
                                         int alpha);

GDIPLUS_API void Gdiplus_FillRect(QPainter* painter, const RECT* rect, const QBrush* brush);
// Fills with a solid ARGB colour (0xAARRGGBB), blended over what is there.
GDIPLUS_API void Gdiplus_FillRect2(QPainter* painter, const RECT* rect, uint32_t argb);
GDIPLUS_API void Gdiplus_FillPolygon(QPainter* painter, const POINT* points, int count,
                                     uint32_t argb);
// The outline of the rectangle (left, top, right, bottom) with a pen of that colour and width.
GDIPLUS_API void Gdiplus_DrawRect(QPainter* painter, const RECT* rect, uint32_t argb,
                                  float penWidth);
