// Soft dots and soft lines on 8-bit masks (one byte per pixel, rows of maskWidth bytes): each
// drawing keeps, per pixel, the larger of the new and the current value.
//
// The soft dot rule: a pixel at distance d from a centre, with radius r and strength s, gets
// trunc(((r - d) / r x s + s) x 127.5) clamped to [0, 255] (255 x s at the centre, 127.5 x s at
// the rim). Everything is computed and clamped in floating point before it becomes a pixel
// index or value: huge radii and coordinates are cut to the mask, a radius of 0 marks only the
// centre pixel (with 255 x s), and NaN or infinite inputs draw nothing.
// Any thread, on masks it owns.
#pragma once

#include <cstdint>

#include "core/common_api.h"
#include "core/ptr_ctrl.h"

// One soft dot per packed point: for the i-th of n points the radius is r0 + i (r1 - r0) / n and
// the strength s0 + i (s1 - s0) / n; the pixels of the square from round(centre - radius) to
// round(centre + radius) whose distance from the centre is at most the radius follow the soft
// dot rule. A null mask is replaced by a zeroed scratch mask that is freed afterwards.
ORBO_COMMON_API void DrawGradualPointList(int maskWidth, int maskHeight, CPtrCtrl* points,
                                          double r0, double r1, double s0, double s1,
                                          uint8_t* mask);

// A soft polyline through the packed points (at least 2): radius and strength change linearly
// with the distance travelled, from (r0, s0) at the first point to (r1, s1) at the last. Each
// segment is a DrawGradualLine; a round cap (the soft dot rule, accepting pixels up to half a
// pixel beyond the radius) is drawn at the start of the first segment and at the end of every
// segment. Fewer than 2 points or a null mask draw nothing.
ORBO_COMMON_API void DrawGradualMultiLine(int maskWidth, int maskHeight, CPtrCtrl* points,
                                          double r0, double r1, double s0, double s1,
                                          uint8_t* mask);

// The band between the perpendiculars at the start (+- startRadius) and at the end
// (+- endRadius): a pixel whose projection on the segment lies at fraction f (0 .. 1) and whose
// distance from the centre line is d <= r(f) gets the soft dot rule with the radius
// r(f) and strength s(f) interpolated linearly from the start to the end values, so that every
// cross-section matches a soft dot and the joints with round caps are seamless. A segment of
// length 0 draws nothing (the caps of DrawGradualMultiLine cover it).
ORBO_COMMON_API void DrawGradualLine(int maskWidth, int maskHeight, double x0, double y0, double x1,
                                     double y1, double startRadius, double endRadius,
                                     double startStrength, double endStrength, uint8_t* mask);
