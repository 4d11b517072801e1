// Thick lines on pixel buffers, drawn with a brush square whose rows are a caller's pixel run.
// Any thread, on buffers and point lists it owns.
#pragma once

#include "core/common_api.h"
#include "core/ptr_ctrl.h"
#include "packed_point.h"

// Draws a line from `start` to `end` (packed points) on a buffer of width x height pixels of
// bpp bytes, rows of `stride` bytes.
//
// T = max(1, thickness). Both endpoints are clamped to x in [0, width - T] and y in
// [0, height - T] (the last positions where a whole brush fits); when even the start does not
// fit, nothing is drawn. The line is the union of T x T squares whose top-left corners follow
// the Bresenham path from start to end; each square row is the T pixels of `pixelRun`
// (T x bpp bytes), and the pixels of a leading column are the run's first pixel. The painting
// is incremental: the start square, then per step only the square's new leading row (when the
// minor axis moved) and new leading column (major axis x), or leading column and new leading
// row (major axis y).
//
// Points: when `points` is given, the corners visited are appended (AddData at the end): the
// start, then per step the corner after a move of the minor axis and, for each pixel of the
// major axis' leading edge, the corner's major coordinate with that pixel's minor coordinate.
// A point equal to the last one appended is not appended again, so with T = 1 the list is
// exactly the painted pixels in path order.
//
// A null buffer (or a null run) only collects the points. A buffer whose rows of width pixels
// do not fit its stride is refused (nothing drawn, a log line).
ORBO_COMMON_API void DrawLineOnBuffer(void* buffer, PackedPoint start, PackedPoint end, int width,
                                      int height, int stride, int bpp, int thickness,
                                      const void* pixelRun, CPtrCtrl* points);
