#include "pixel_layout.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "core/byte_order.h"
#include "core/dbg_output.h"

namespace {

size_t Magnitude(int value) {
    return static_cast<size_t>(std::llabs(value));
}

// Where the two chroma planes of a planar image start.
struct ChromaPlanes {
    size_t u;
    size_t v;
};

ChromaPlanes PlaneOffsets(size_t ySize, size_t chromaSize, int vFirst) {
    if (vFirst) return {ySize + chromaSize, ySize};
    return {ySize, ySize + chromaSize};
}

// Pixel words are little-endian 16-bit fields.
void WriteWord(uint8_t* p, unsigned value) {
    WriteLe16(p, static_cast<uint16_t>(value));
}

// The shape of an RGB conversion; false (after a warning where useful) when nothing may happen.
struct RgbShape {
    size_t width;
    size_t height;
    size_t srcStride;
    size_t dstStride;
};

bool MakeRgbShape(const char* function, int w, int h, const void* src, const void* dst,
                  int srcStride, int dstStride, size_t srcPixelBytes, size_t dstPixelBytes,
                  RgbShape& shape) {
    if (!src || !dst || w <= 0 || h <= 0) return false;
    shape.width = static_cast<size_t>(w);
    shape.height = static_cast<size_t>(h);
    if (srcStride < 0 || static_cast<size_t>(srcStride) < shape.width * srcPixelBytes ||
        dstStride < 0 || static_cast<size_t>(dstStride) < shape.width * dstPixelBytes) {
        DbgOutputA(kDbgLevelWarning,
                   "%s: strides %d/%d are shorter than rows of %d pixels (%zu/%zu bytes), nothing "
                   "converted\r\n",
                   function, srcStride, dstStride, w, shape.width * srcPixelBytes,
                   shape.width * dstPixelBytes);
        return false;
    }
    shape.srcStride = static_cast<size_t>(srcStride);
    shape.dstStride = static_cast<size_t>(dstStride);
    return true;
}

// Runs convert(srcPixel, dstPixel) over every pixel.
template <size_t kSrcBytes, size_t kDstBytes, typename Convert>
void ForEachPixel(const RgbShape& s, const uint8_t* src, uint8_t* dst, Convert convert) {
    for (size_t row = 0; row < s.height; ++row) {
        const uint8_t* in = src + row * s.srcStride;
        uint8_t* out = dst + row * s.dstStride;
        for (size_t x = 0; x < s.width; ++x) convert(in + kSrcBytes * x, out + kDstBytes * x);
    }
}

// With swap set, exchanges the 5-bit high and low fields of a 16-bit pixel (565 or 555).
unsigned SwapFields(unsigned pixel, int highShift, int swap) {
    if (!swap) return pixel;
    unsigned high = (pixel >> highShift) & 0x1F;
    unsigned low = pixel & 0x1F;
    return (pixel & ~((0x1Fu << highShift) | 0x1Fu)) | (low << highShift) | high;
}

}  // namespace

void YUVToYUYV_422(int w, int h, const uint8_t* src, int vFirst, uint8_t* dst) {
    if (!src || !dst) return;
    size_t width = Magnitude(w), height = Magnitude(h), pairs = width / 2;
    ChromaPlanes planes = PlaneOffsets(width * height, pairs * height, vFirst);
    for (size_t row = 0; row < height; ++row) {
        const uint8_t* y = src + row * width;
        const uint8_t* u = src + planes.u + row * pairs;
        const uint8_t* v = src + planes.v + row * pairs;
        uint8_t* out = dst + row * 2 * width;
        for (size_t k = 0; k < pairs; ++k) {
            out[4 * k] = y[2 * k];
            out[4 * k + 1] = u[k];
            out[4 * k + 2] = y[2 * k + 1];
            out[4 * k + 3] = v[k];
        }
    }
}

void YUYVToYUV_422(int w, int h, const uint8_t* src, uint8_t* dst, int vFirst) {
    if (!src || !dst) return;
    size_t width = Magnitude(w), height = Magnitude(h), pairs = width / 2;
    ChromaPlanes planes = PlaneOffsets(width * height, pairs * height, vFirst);
    for (size_t row = 0; row < height; ++row) {
        const uint8_t* in = src + row * 2 * width;
        uint8_t* y = dst + row * width;
        uint8_t* u = dst + planes.u + row * pairs;
        uint8_t* v = dst + planes.v + row * pairs;
        for (size_t k = 0; k < pairs; ++k) {
            y[2 * k] = in[4 * k];
            u[k] = in[4 * k + 1];
            y[2 * k + 1] = in[4 * k + 2];
            v[k] = in[4 * k + 3];
        }
    }
}

void YUYV422ToYUV420(int w, int h, const uint8_t* src, uint8_t* dst, int vFirst) {
    if (!src || !dst) return;
    size_t width = Magnitude(w), height = Magnitude(h), pairs = width / 2;
    ChromaPlanes planes = PlaneOffsets(width * height, pairs * (height / 2), vFirst);
    for (size_t rowPair = 0; rowPair < height / 2; ++rowPair) {
        const uint8_t* in0 = src + 2 * rowPair * 2 * width;
        const uint8_t* in1 = in0 + 2 * width;
        uint8_t* y0 = dst + 2 * rowPair * width;
        uint8_t* y1 = y0 + width;
        uint8_t* u = dst + planes.u + rowPair * pairs;
        uint8_t* v = dst + planes.v + rowPair * pairs;
        for (size_t k = 0; k < pairs; ++k) {
            y0[2 * k] = in0[4 * k];
            y0[2 * k + 1] = in0[4 * k + 2];
            y1[2 * k] = in1[4 * k];
            y1[2 * k + 1] = in1[4 * k + 2];
            u[k] = in0[4 * k + 1];
            v[k] = in0[4 * k + 3];
        }
    }
}

void YUV422ToYUV420(int w, int h, const uint8_t* src, int srcVFirst, uint8_t* dst, int dstVFirst) {
    if (!src || !dst) return;
    size_t width = Magnitude(w), height = Magnitude(h), pairs = width / 2;
    size_t ySize = width * height;
    std::memcpy(dst, src, ySize);
    ChromaPlanes in = PlaneOffsets(ySize, pairs * height, srcVFirst);
    ChromaPlanes out = PlaneOffsets(ySize, pairs * (height / 2), dstVFirst);
    const size_t planePairs[2][2] = {{in.u, out.u}, {in.v, out.v}};
    for (const auto& plane : planePairs) {
        for (size_t k = 0; k < height / 2; ++k) {
            const uint8_t* a = src + plane[0] + 2 * k * pairs;
            const uint8_t* b = a + pairs;
            uint8_t* o = dst + plane[1] + k * pairs;
            for (size_t x = 0; x < pairs; ++x) o[x] = static_cast<uint8_t>((a[x] + b[x]) >> 1);
        }
    }
}

void YUV420ToYUV422(int w, int h, const uint8_t* src, int srcVFirst, uint8_t* dst, int dstVFirst) {
    if (!src || !dst) return;
    size_t width = Magnitude(w), height = Magnitude(h), pairs = width / 2;
    size_t ySize = width * height;
    std::memcpy(dst, src, ySize);
    ChromaPlanes in = PlaneOffsets(ySize, pairs * (height / 2), srcVFirst);
    ChromaPlanes out = PlaneOffsets(ySize, pairs * height, dstVFirst);
    const size_t planePairs[2][2] = {{in.u, out.u}, {in.v, out.v}};
    for (const auto& plane : planePairs) {
        for (size_t k = 0; k < height / 2; ++k) {
            const uint8_t* row = src + plane[0] + k * pairs;
            uint8_t* o = dst + plane[1] + 2 * k * pairs;
            std::memcpy(o, row, pairs);
            std::memcpy(o + pairs, row, pairs);
        }
    }
}

void YUV420SPToYUV420(int w, int h, const uint8_t* src, uint8_t* dst, int order) {
    if (!src || !dst) return;
    size_t width = Magnitude(w), height = Magnitude(h);
    size_t ySize = width * height, samples = (width / 2) * (height / 2);
    std::memcpy(dst, src, ySize);
    const uint8_t* in = src + ySize;
    uint8_t* first = dst + ySize;
    uint8_t* second = first + samples;
    uint8_t* even = order ? second : first;
    uint8_t* odd = order ? first : second;
    for (size_t i = 0; i < samples; ++i) {
        even[i] = in[2 * i];
        odd[i] = in[2 * i + 1];
    }
}

void YUV420ToYUV420SP(int w, int h, const uint8_t* src, int order, uint8_t* dst) {
    if (!src || !dst) return;
    size_t width = Magnitude(w), height = Magnitude(h);
    size_t ySize = width * height, samples = (width / 2) * (height / 2);
    std::memcpy(dst, src, ySize);
    const uint8_t* first = src + ySize;
    const uint8_t* second = first + samples;
    const uint8_t* even = order ? second : first;
    const uint8_t* odd = order ? first : second;
    uint8_t* out = dst + ySize;
    for (size_t i = 0; i < samples; ++i) {
        out[2 * i] = even[i];
        out[2 * i + 1] = odd[i];
    }
}

void RGB565ToRGB555(int w, int h, const uint8_t* src, uint8_t* dst, int srcStride, int dstStride,
                    int swap) {
    RgbShape s;
    if (!MakeRgbShape("RGB565ToRGB555", w, h, src, dst, srcStride, dstStride, 2, 2, s)) return;
    ForEachPixel<2, 2>(s, src, dst, [swap](const uint8_t* in, uint8_t* out) {
        unsigned p = SwapFields(ReadLe16(in), 11, swap);
        WriteWord(out, ((p >> 1) & 0x7FE0) | (p & 0x1F));
    });
}

void RGB555ToRGB565(int w, int h, const uint8_t* src, uint8_t* dst, int srcStride, int dstStride,
                    int swap) {
    RgbShape s;
    if (!MakeRgbShape("RGB555ToRGB565", w, h, src, dst, srcStride, dstStride, 2, 2, s)) return;
    ForEachPixel<2, 2>(s, src, dst, [swap](const uint8_t* in, uint8_t* out) {
        unsigned p = SwapFields(ReadLe16(in), 10, swap);
        WriteWord(out, ((p << 1) & 0xFFC0) | (p & 0x1F));
    });
}

void RGB888ToRGB565(int w, int h, const uint8_t* src, uint8_t* dst, int srcStride, int dstStride,
                    int order) {
    RgbShape s;
    if (!MakeRgbShape("RGB888ToRGB565", w, h, src, dst, srcStride, dstStride, 3, 2, s)) return;
    int highIndex = order ? 0 : 2, lowIndex = order ? 2 : 0;
    ForEachPixel<3, 2>(s, src, dst, [=](const uint8_t* in, uint8_t* out) {
        WriteWord(out, ((in[highIndex] >> 3) << 11) | ((in[1] >> 2) << 5) | (in[lowIndex] >> 3));
    });
}

void RGB888ToRGB555(int w, int h, const uint8_t* src, uint8_t* dst, int srcStride, int dstStride,
                    int order) {
    RgbShape s;
    if (!MakeRgbShape("RGB888ToRGB555", w, h, src, dst, srcStride, dstStride, 3, 2, s)) return;
    int highIndex = order ? 0 : 2, lowIndex = order ? 2 : 0;
    ForEachPixel<3, 2>(s, src, dst, [=](const uint8_t* in, uint8_t* out) {
        WriteWord(out, ((in[highIndex] >> 3) << 10) | ((in[1] >> 3) << 5) | (in[lowIndex] >> 3));
    });
}

void RGB565ToRGB888(int w, int h, const uint8_t* src, uint8_t* dst, int srcStride, int dstStride,
                    int order) {
    RgbShape s;
    if (!MakeRgbShape("RGB565ToRGB888", w, h, src, dst, srcStride, dstStride, 2, 3, s)) return;
    int highIndex = order ? 0 : 2, lowIndex = order ? 2 : 0;
    ForEachPixel<2, 3>(s, src, dst, [=](const uint8_t* in, uint8_t* out) {
        unsigned p = ReadLe16(in);
        out[highIndex] = static_cast<uint8_t>(((p >> 11) & 0x1F) << 3);
        out[1] = static_cast<uint8_t>(((p >> 5) & 0x3F) << 2);
        out[lowIndex] = static_cast<uint8_t>((p & 0x1F) << 3);
    });
}

void RGB555ToRGB888(int w, int h, const uint8_t* src, uint8_t* dst, int srcStride, int dstStride,
                    int order) {
    RgbShape s;
    if (!MakeRgbShape("RGB555ToRGB888", w, h, src, dst, srcStride, dstStride, 2, 3, s)) return;
    int highIndex = order ? 0 : 2, lowIndex = order ? 2 : 0;
    ForEachPixel<2, 3>(s, src, dst, [=](const uint8_t* in, uint8_t* out) {
        unsigned p = ReadLe16(in);
        out[highIndex] = static_cast<uint8_t>(((p >> 10) & 0x1F) << 3);
        out[1] = static_cast<uint8_t>(((p >> 5) & 0x1F) << 3);
        out[lowIndex] = static_cast<uint8_t>((p & 0x1F) << 3);
    });
}
