// Internal to the colour-space converters: the shared YUV lookup tables and the vector kernels
// that reproduce them exactly for 4:2:0 images. Not part of the exported interface.
#pragma once

#include <cstddef>
#include <cstdint>

namespace colour_space_internal {

// The 18 tables of rounded products (see colour_space.h), plus each input channel's three
// contributions folded into 16-bit fields of one word for the scalar image loops.
struct YuvTables {
    int32_t rToY[256], gToY[256], bToY[256];
    int32_t rToU[256], gToU[256], bToU[256];
    int32_t rToV[256], gToV[256], bToV[256];
    int32_t yToR[256], yToG[256], yToB[256];
    int32_t uToR[256], uToG[256], uToB[256];
    int32_t vToR[256], vToG[256], vToB[256];
    uint64_t rFold[256], gFold[256], bFold[256];  // fields Y, U, V
    uint64_t yFold[256], uFold[256], vFold[256];  // fields R, G, B
};

// Built once, thread-safely, at the first call.
const YuvTables& YuvLookupTables();

// True when the processor runs the vector kernels and their fixed-point products were checked,
// entry by entry, to equal the tables (decided once).
bool VectorKernelsUsable();

// Converts the leading pixel pairs of two RGB rows (3 bytes per pixel, R first or, with bgr, B
// first) into two Y rows and one row of U and of V; returns how many pairs were converted (a
// multiple of the kernel's block, at most pairs). The caller converts the rest.
size_t RgbRowPairToYuv420(const uint8_t* row0, const uint8_t* row1, uint8_t* y0, uint8_t* y1,
                          uint8_t* u, uint8_t* v, size_t pairs, bool bgr);

// The reverse: two Y rows and one row of U and of V into two RGB rows; returns the pairs done.
size_t Yuv420ToRgbRowPair(const uint8_t* y0, const uint8_t* y1, const uint8_t* u, const uint8_t* v,
                          uint8_t* row0, uint8_t* row1, size_t pairs, bool bgr);

}  // namespace colour_space_internal
