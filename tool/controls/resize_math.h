// The toolkit-free arithmetic of the window resize tool: the factors between a remembered and a
// new client size, a remembered control rectangle scaled by them, and a scaled font height.
//
// Scaling always starts from remembered values, so repeated resizes never accumulate rounding.
// No state; any thread.
#pragma once

#include "core/platform_types.h"

struct ResizeFactors {
    double sx = 1.0;  // new width / remembered width
    double sy = 1.0;  // new height / remembered height
    double m = 1.0;   // the smaller of the two: the scale of fonts and drawing sizes
};

// The factors for a client size of w x h against the remembered size; with keepAspect both
// directions use the smaller ratio. 0 (factors left at 1.0) while no real size is remembered
// (a width or height of zero or less), so that a window attached before it was laid out never
// yields infinite factors; else 1.
int ComputeResizeFactors(int rememberedWidth, int rememberedHeight, int width, int height,
                         bool keepAspect, ResizeFactors* out);

// A control's new geometry: x = trunc(left * sx), y = trunc(top * sy), width = trunc(right * sx)
// - x, height = trunc(bottom * sy) - y.
struct ScaledGeometry {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};
ScaledGeometry ScaleRemembered(const RECT& remembered, double sx, double sy);

// A font height scaled by m: trunc(height * m), keeping its sign and at least 1 pixel in size.
// A height of 0 (no font size remembered) stays 0.
int ScaleFontHeight(int height, double m);
