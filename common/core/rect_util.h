// Small rectangle and point arithmetic for laying out controls and plots. A rectangle is left,
// top, right, bottom (right and bottom exclusive, as the window system has them); a point is x, y.
// Every function tolerates null pointers by doing nothing (or returning 0). No state; any thread.
#pragma once

#include <cstdint>

#include "platform_types.h"

// left = x, top = y, right = x + width, bottom = y + height.
void SetRectXY(RECT* rect, int x, int y, int width, int height);

void SetPointXY(POINT* point, int x, int y);

// 1 when all four coordinates are equal; 0 otherwise or when either is null.
int IsRectEqual(const RECT* a, const RECT* b);

// The intersection of a and b: left and top the larger, right and bottom the smaller of the two.
// An empty intersection keeps zero width (left = right) or height (top = bottom) at its right or
// bottom edge: (0,0,10,10) and (20,20,30,30) give (10,10,10,10). `out` may be a or b.
void BoundRect(RECT* out, const RECT* a, const RECT* b);

// (0, 0, width, height) of the rectangle. `out` may be `rect`.
void GetRelativeRect(RECT* out, const RECT* rect);

// Multiplies left and right by xScale and top and bottom by yScale, truncating toward zero.
void ScaleRect(RECT* rect, double xScale, double yScale);

// Moves the rectangle by (dx, dy).
void InflatRect(RECT* rect, int dx, int dy);

// Reads "x,y,w,h" (at most 31 characters, at least four comma-separated decimal numbers; more
// are ignored) into left = x, top = y, right = x + w, bottom = y + h and returns 1. Otherwise
// sets the rectangle to all zeros and returns 0.
int ParseRectFromString(const char* text, RECT* rect);

// Alignment flags of GetTextRectByDirect; without a horizontal (vertical) flag the box sits at
// the left (top).
constexpr uint32_t kTextRectCenterX = 1;
constexpr uint32_t kTextRectRight = 2;
constexpr uint32_t kTextRectCenterY = 4;
constexpr uint32_t kTextRectBottom = 8;

// Places a width x height box inside the rectangle as the flags say and clips it to the
// rectangle; the result goes to `out`.
void GetTextRectByDirect(const RECT* rect, int width, int height, uint32_t flags, RECT* out);
