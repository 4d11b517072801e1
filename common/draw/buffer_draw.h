// The raster drawing interface of the library in one include: bitmaps of our own, fills and
// copies, alpha compositing, scaling, thick lines, soft masks, BMP files and colour tables.
// See README.md beside this file for the pixel format and the fixed palette.
#pragma once

#include "bitmap_info.h"
#include "bmp_writer.h"
#include "buffer_alpha.h"
#include "buffer_copy.h"
#include "buffer_line.h"
#include "buffer_stretch.h"
#include "color_table.h"
#include "gradual_mask.h"
#include "packed_point.h"
#include "pixel_bitmap.h"
