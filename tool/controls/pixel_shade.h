// A translucent colour laid over an area of opaque 32-bit pixels, on the calling thread: the
// plot's per-frame shading is drawn this way rather than with QPainter, whose large translucent
// fills go through a thread pool that costs more in wake-ups than the blend itself.
#pragma once

#include <cstdint>

#include "core/platform_types.h"

// Over the part of `area` inside a buffer of width x height pixels (rows of `stride` bytes,
// pixels 0xAARRGGBB whose alpha is ignored), each colour channel becomes
// round((c x a + d x (255 - a)) / 255), where c and a are the channel and alpha of `argb`, and
// alpha becomes 255. An alpha of 0 leaves the pixels as they are; 255 paints the colour.
void ShadeArea(void* pixels, int width, int height, int stride, const RECT& area, uint32_t argb);
