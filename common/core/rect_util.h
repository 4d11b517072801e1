// Small rectangle and point arithmetic for laying out controls and plots. A rectangle is left,
// top, right, bottom (right and bottom exclusive, as the window system has them); a point is x, y.
// Every function tolerates null pointers by doing nothing (or returning 0). No state; any thread.
#pragma once

#include <cstdint>

#include "core/common_api.h"
#include "platform_types.h"

// left = x, top = y, right = x + width, bottom = y + height.
ORBO_COMMON_API void SetRectXY(RECT* rect, int x, int y, int width, int height);

ORBO_COMMON_API void SetPointXY(POINT* point, int x, int y);

// 1 when all four coordinates are equal; 0 otherwise or when either is null.
ORBO_COMMON_API int IsRectEqual(const RECT* a, const RECT* b);

// The intersection of a and b: left and top the larger, right and bottom the smaller of the two.
// An empty intersection keeps zero width (left = right) or height (top = bottom) at its right or
// bottom edge: (0,0,10,10) and (20,20,30,30) give (10,10,10,10). `out` may be a or b.
ORBO_COMMON_API void BoundRect(RECT* out, const RECT* a, const RECT* b);

// (0, 0, width, height) of the rectangle. `out` may be `rect`.
ORBO_COMMON_API void GetRelativeRect(RECT* out, const RECT* rect);

// Multiplies left and right by xScale and top and bottom by yScale, truncating toward zero.
ORBO_COMMON_API void ScaleRect(RECT* rect, double xScale, double yScale);

// Moves the rectangle by (dx, dy).
ORBO_COMMON_API void InflatRect(RECT* rect, int dx, int dy);

// Reads "x,y,w,h" (at most 31 characters, at least four comma-separated decimal numbers; more
// are ignored) into left = x, top = y, right = x + w, bottom = y + h and returns 1. Otherwise
// sets the rectangle to all zeros and returns 0.
ORBO_COMMON_API int ParseRectFromString(const char* text, RECT* rect);

// Alignment flags of GetTextRectByDirect; without a horizontal (vertical) flag the box sits at
// the left (top).
constexpr uint32_t kTextRectCenterX = 1;
constexpr uint32_t kTextRectRight = 2;
constexpr uint32_t kTextRectCenterY = 4;
constexpr uint32_t kTextRectBottom = 8;

// Places a width x height box inside the rectangle as the flags say and clips it to the
// rectangle; the result goes to `out`.
ORBO_COMMON_API void GetTextRectByDirect(const RECT* rect, int width, int height, uint32_t flags,
                                         RECT* out);
