#include "colour_space.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "colour_space_internal.h"
#include "core/dbg_output.h"

using colour_space_internal::YuvTables;

namespace {

constexpr double kByteToUnit = 0.00392156862745098;  // 1/255

double Unit(int channel) {
    return static_cast<double>(channel & 0xFF) * kByteToUnit;
}

uint8_t UnitToByte(double x) {
    double scaled = x * 255.0;
    if (!(scaled >= 0.0)) return 0;  // also NaN
    if (scaled > 255.0) return 255;
    return static_cast<uint8_t>(scaled);
}

void Store(uint8_t* out, uint8_t value) {
    if (out) *out = value;
}

// The 18 tables of rounded products. For speed each image loop uses them folded: the three
// contributions of one input channel (e.g. R to Y, U and V) sit in three 16-bit fields of one
// 64-bit word, each biased so that the sum of three words never borrows or carries between
// fields. The sums are the same integers as the three separate lookups.
constexpr int kFieldBias = 1024;
constexpr int kFieldShift1 = 16;
constexpr int kFieldShift2 = 32;

int32_t RoundProduct(double coefficient, int x) {
    return static_cast<int32_t>(std::round(coefficient * static_cast<double>(x)));
}

uint64_t Fold(int32_t a, int32_t b, int32_t c) {
    return static_cast<uint64_t>(a + kFieldBias) |
           (static_cast<uint64_t>(b + kFieldBias) << kFieldShift1) |
           (static_cast<uint64_t>(c + kFieldBias) << kFieldShift2);
}

YuvTables BuildTables() {
    YuvTables t{};
    for (int i = 0; i < 256; ++i) {
        t.rToY[i] = RoundProduct(0.257, i);
        t.gToY[i] = RoundProduct(0.504, i);
        t.bToY[i] = RoundProduct(0.098, i);
        t.rToU[i] = RoundProduct(-0.148, i);
        t.gToU[i] = RoundProduct(-0.291, i);
        t.bToU[i] = RoundProduct(0.439, i);
        t.rToV[i] = RoundProduct(0.439, i);
        t.gToV[i] = RoundProduct(-0.368, i);
        t.bToV[i] = RoundProduct(-0.071, i);
        t.yToR[i] = t.yToG[i] = t.yToB[i] = RoundProduct(1.164, i - 16);
        t.uToR[i] = RoundProduct(0.0, i - 128);
        t.uToG[i] = RoundProduct(-0.392, i - 128);
        t.uToB[i] = RoundProduct(2.017, i - 128);
        t.vToR[i] = RoundProduct(1.596, i - 128);
        t.vToG[i] = RoundProduct(-0.813, i - 128);
        t.vToB[i] = RoundProduct(0.0, i - 128);
    }
    for (int i = 0; i < 256; ++i) {
        t.rFold[i] = Fold(t.rToY[i], t.rToU[i], t.rToV[i]);
        t.gFold[i] = Fold(t.gToY[i], t.gToU[i], t.gToV[i]);
        t.bFold[i] = Fold(t.bToY[i], t.bToU[i], t.bToV[i]);
        t.yFold[i] = Fold(t.yToR[i], t.yToG[i], t.yToB[i]);
        t.uFold[i] = Fold(t.uToR[i], t.uToG[i], t.uToB[i]);
        t.vFold[i] = Fold(t.vToR[i], t.vToG[i], t.vToB[i]);
    }
    return t;
}

const YuvTables& Tables() {
    return colour_space_internal::YuvLookupTables();
}

inline int ClampByte(int x) {
    return std::clamp(x, 0, 255);
}

// Field k of a sum of three folded words, with the offset added, clamped.
template <int kShift>
inline int Field(uint64_t sum, int offset) {
    return ClampByte(static_cast<int>((sum >> kShift) & 0xFFFF) - 3 * kFieldBias + offset);
}

struct Yuv {
    int y, u, v;
};

inline Yuv PixelToYuv(const YuvTables& t, const uint8_t* p, int rIndex, int bIndex) {
    uint64_t sum = t.rFold[p[rIndex]] + t.gFold[p[1]] + t.bFold[p[bIndex]];
    return {Field<0>(sum, 16), Field<kFieldShift1>(sum, 128), Field<kFieldShift2>(sum, 128)};
}

inline void YuvToPixel(const YuvTables& t, uint64_t chroma, int y, uint8_t* p, int rIndex,
                       int bIndex) {
    uint64_t sum = t.yFold[y] + chroma;
    p[rIndex] = static_cast<uint8_t>(Field<0>(sum, 0));
    p[1] = static_cast<uint8_t>(Field<kFieldShift1>(sum, 0));
    p[bIndex] = static_cast<uint8_t>(Field<kFieldShift2>(sum, 0));
}

// The geometry shared by the image functions; false (with a log line) when nothing may happen.
struct ImageShape {
    size_t width;
    size_t height;
    size_t stride;
    int rIndex;
    int bIndex;
};

bool MakeShape(const char* function, int width, int height, const void* src, const void* dst,
               int stride, int bgr, ImageShape& shape) {
    if (!src || !dst) return false;
    shape.width = static_cast<size_t>(std::abs(static_cast<int64_t>(width)));
    shape.height = static_cast<size_t>(std::abs(static_cast<int64_t>(height)));
    if (shape.width == 0 || shape.height == 0) return false;
    if (stride < 0 || static_cast<size_t>(stride) < shape.width * 3) {
        DbgOutputA(kDbgLevelWarning,
                   "%s: stride %d is shorter than a row of %zu pixels (%zu bytes), nothing "
                   "converted\r\n",
                   function, stride, shape.width, shape.width * 3);
        return false;
    }
    shape.stride = static_cast<size_t>(stride);
    shape.rIndex = bgr ? 2 : 0;
    shape.bIndex = bgr ? 0 : 2;
    return true;
}

// Planes of a planar YUV image whose chroma planes are chromaWidth x chromaHeight.
struct Planes {
    size_t chromaSize;
    size_t uOffset;
    size_t vOffset;
};

Planes MakePlanes(const ImageShape& s, size_t chromaWidth, size_t chromaHeight, int vFirst) {
    size_t ySize = s.width * s.height;
    size_t chromaSize = chromaWidth * chromaHeight;
    if (vFirst) return {chromaSize, ySize + chromaSize, ySize};
    return {chromaSize, ySize, ySize + chromaSize};
}

}  // namespace

// Built once: a function-local static is initialised exactly once even when threads race, and
// no thread sees it before every entry is written.
const YuvTables& colour_space_internal::YuvLookupTables() {
    static const YuvTables tables = BuildTables();
    return tables;
}

void RGBToHSV(int r, int g, int b, double* hue, double* saturation, double* value) {
    double rf = Unit(r), gf = Unit(g), bf = Unit(b);
    double maxV = std::max({rf, gf, bf});
    double minV = std::min({rf, gf, bf});
    double h = 0.0, s = 0.0;
    if (maxV != 0.0) {
        s = (maxV - minV) / maxV;
        if (maxV != minV) {
            double delta = maxV - minV;
            if (rf == maxV) {
                h = (gf - bf) / delta;
            } else if (gf == maxV) {
                h = (bf - rf) / delta + 2.0;
            } else {
                h = (rf - gf) / delta + 4.0;
            }
            h *= 60.0;
            if (h < 0.0) h += 360.0;
        }
    }
    if (hue) *hue = h;
    if (saturation) *saturation = s;
    if (value) *value = maxV;
}

void HSVToRGB(double hue, double saturation, double value, uint8_t* r, uint8_t* g, uint8_t* b) {
    if (saturation == 0.0) {
        uint8_t grey = UnitToByte(value);
        Store(r, grey);
        Store(g, grey);
        Store(b, grey);
        return;
    }
    double h = hue / 60.0;
    double sector = std::floor(h);  // compared as a double: no int conversion of huge hues
    double frac = h - sector;
    double v = value;
    double p = (1.0 - saturation) * v;
    double q = (1.0 - frac * saturation) * v;
    double t = (1.0 - (1.0 - frac) * saturation) * v;
    double rf, gf, bf;
    if (sector == 0.0) {
        rf = v, gf = t, bf = p;
    } else if (sector == 1.0) {
        rf = q, gf = v, bf = p;
    } else if (sector == 2.0) {
        rf = p, gf = v, bf = t;
    } else if (sector == 3.0) {
        rf = p, gf = q, bf = v;
    } else if (sector == 4.0) {
        rf = t, gf = p, bf = v;
    } else {
        rf = v, gf = p, bf = q;
    }
    Store(r, UnitToByte(rf));
    Store(g, UnitToByte(gf));
    Store(b, UnitToByte(bf));
}

void RGBToHLS(double* hue, double* lightness, double* saturation, int r, int g, int b) {
    double rf = Unit(r), gf = Unit(g), bf = Unit(b);
    double maxV = std::max({rf, gf, bf});
    double minV = std::min({rf, gf, bf});
    double delta = maxV - minV;
    double l = (maxV + minV) / 2.0;
    double h = 0.0, s = 0.0;
    if (delta != 0.0) {
        s = l > 0.5 ? delta / (2.0 - maxV - minV) : delta / (maxV + minV);
        if (rf == maxV) {
            h = (gf - bf) / delta * 60.0;
        } else if (gf == maxV) {
            h = (bf - rf) / delta * 60.0 + 120.0;
        } else {
            h = (rf - gf) / delta * 60.0 + 240.0;
        }
        if (h < 0.0) h += 360.0;
    }
    if (hue) *hue = h;
    if (lightness) *lightness = l;
    if (saturation) *saturation = s;
}

namespace {

double HlsValue(double m1, double m2, double x) {
    if (x > 360.0) {
        x -= 360.0;
    } else if (x < 0.0) {
        x += 360.0;
    }
    if (x < 60.0) return m1 + (m2 - m1) * x / 60.0;
    if (x < 180.0) return m2;
    if (x < 240.0) return m1 + (m2 - m1) * (240.0 - x) / 60.0;
    return m1;
}

}  // namespace

void HLSToRGB(uint8_t* r, uint8_t* g, uint8_t* b, double hue, double lightness, double saturation) {
    double l = lightness, s = saturation;
    if (s == 0.0) {
        uint8_t grey = UnitToByte(l);
        Store(r, grey);
        Store(g, grey);
        Store(b, grey);
        return;
    }
    double m2 = l > 0.5 ? l + s - l * s : l * (1.0 + s);
    double m1 = 2.0 * l - m2;
    Store(r, UnitToByte(HlsValue(m1, m2, hue + 120.0)));
    Store(g, UnitToByte(HlsValue(m1, m2, hue)));
    Store(b, UnitToByte(HlsValue(m1, m2, hue - 120.0)));
}

void InitLookupTable() {
    Tables();
}

void RGBToYUV(int r, int g, int b, uint8_t* y, uint8_t* u, uint8_t* v) {
    const YuvTables& t = Tables();
    r &= 0xFF, g &= 0xFF, b &= 0xFF;
    Store(y, static_cast<uint8_t>(ClampByte(t.rToY[r] + t.gToY[g] + t.bToY[b] + 16)));
    Store(u, static_cast<uint8_t>(ClampByte(t.rToU[r] + t.gToU[g] + t.bToU[b] + 128)));
    Store(v, static_cast<uint8_t>(ClampByte(t.rToV[r] + t.gToV[g] + t.bToV[b] + 128)));
}

void YUVToRGB(int y, int u, int v, uint8_t* r, uint8_t* g, uint8_t* b) {
    const YuvTables& t = Tables();
    y &= 0xFF, u &= 0xFF, v &= 0xFF;
    Store(r, static_cast<uint8_t>(ClampByte(t.yToR[y] + t.uToR[u] + t.vToR[v])));
    Store(g, static_cast<uint8_t>(ClampByte(t.yToG[y] + t.uToG[u] + t.vToG[v])));
    Store(b, static_cast<uint8_t>(ClampByte(t.yToB[y] + t.uToB[u] + t.vToB[v])));
}

void RGB888ToYUV420(int width, int height, const uint8_t* rgb, uint8_t* yuv, int vFirst,
                    int srcStride, int bgr) {
    ImageShape s;
    if (!MakeShape("RGB888ToYUV420", width, height, rgb, yuv, srcStride, bgr, s)) return;
    const YuvTables& t = Tables();
    size_t pairs = s.width / 2;
    Planes planes = MakePlanes(s, pairs, s.height / 2, vFirst);
    for (size_t by = 0; by < s.height / 2; ++by) {
        const uint8_t* row0 = rgb + 2 * by * s.stride;
        const uint8_t* row1 = row0 + s.stride;
        uint8_t* y0 = yuv + 2 * by * s.width;
        uint8_t* y1 = y0 + s.width;
        uint8_t* uOut = yuv + planes.uOffset + by * pairs;
        uint8_t* vOut = yuv + planes.vOffset + by * pairs;
        size_t k = colour_space_internal::RgbRowPairToYuv420(row0, row1, y0, y1, uOut, vOut, pairs,
                                                             s.rIndex == 2);
        for (; k < pairs; ++k) {
            Yuv a = PixelToYuv(t, row0 + 6 * k, s.rIndex, s.bIndex);
            Yuv b = PixelToYuv(t, row0 + 6 * k + 3, s.rIndex, s.bIndex);
            Yuv c = PixelToYuv(t, row1 + 6 * k, s.rIndex, s.bIndex);
            Yuv d = PixelToYuv(t, row1 + 6 * k + 3, s.rIndex, s.bIndex);
            y0[2 * k] = static_cast<uint8_t>(a.y);
            y0[2 * k + 1] = static_cast<uint8_t>(b.y);
            y1[2 * k] = static_cast<uint8_t>(c.y);
            y1[2 * k + 1] = static_cast<uint8_t>(d.y);
            uOut[k] = static_cast<uint8_t>((a.u + b.u + c.u + d.u) >> 2);
            vOut[k] = static_cast<uint8_t>((a.v + b.v + c.v + d.v) >> 2);
        }
    }
}

void RGB888ToYUV422(int width, int height, const uint8_t* rgb, uint8_t* yuv, int vFirst,
                    int srcStride, int bgr) {
    ImageShape s;
    if (!MakeShape("RGB888ToYUV422", width, height, rgb, yuv, srcStride, bgr, s)) return;
    const YuvTables& t = Tables();
    size_t pairs = s.width / 2;
    Planes planes = MakePlanes(s, pairs, s.height, vFirst);
    for (size_t row = 0; row < s.height; ++row) {
        const uint8_t* src = rgb + row * s.stride;
        uint8_t* yOut = yuv + row * s.width;
        uint8_t* uOut = yuv + planes.uOffset + row * pairs;
        uint8_t* vOut = yuv + planes.vOffset + row * pairs;
        for (size_t k = 0; k < pairs; ++k) {
            Yuv a = PixelToYuv(t, src + 6 * k, s.rIndex, s.bIndex);
            Yuv b = PixelToYuv(t, src + 6 * k + 3, s.rIndex, s.bIndex);
            yOut[2 * k] = static_cast<uint8_t>(a.y);
            yOut[2 * k + 1] = static_cast<uint8_t>(b.y);
            uOut[k] = static_cast<uint8_t>((a.u + b.u) >> 1);
            vOut[k] = static_cast<uint8_t>((a.v + b.v) >> 1);
        }
    }
}

void RGB888ToYUV444(int width, int height, const uint8_t* rgb, uint8_t* yuv, int vFirst,
                    int srcStride, int bgr) {
    ImageShape s;
    if (!MakeShape("RGB888ToYUV444", width, height, rgb, yuv, srcStride, bgr, s)) return;
    const YuvTables& t = Tables();
    Planes planes = MakePlanes(s, s.width, s.height, vFirst);
    for (size_t row = 0; row < s.height; ++row) {
        const uint8_t* src = rgb + row * s.stride;
        size_t offset = row * s.width;
        for (size_t x = 0; x < s.width; ++x) {
            Yuv p = PixelToYuv(t, src + 3 * x, s.rIndex, s.bIndex);
            yuv[offset + x] = static_cast<uint8_t>(p.y);
            yuv[planes.uOffset + offset + x] = static_cast<uint8_t>(p.u);
            yuv[planes.vOffset + offset + x] = static_cast<uint8_t>(p.v);
        }
    }
}

void YUV420ToRGB888(int width, int height, const uint8_t* yuv, int vFirst, uint8_t* rgb,
                    int dstStride, int bgr) {
    ImageShape s;
    if (!MakeShape("YUV420ToRGB888", width, height, yuv, rgb, dstStride, bgr, s)) return;
    const YuvTables& t = Tables();
    size_t pairs = s.width / 2;
    Planes planes = MakePlanes(s, pairs, s.height / 2, vFirst);
    for (size_t by = 0; by < s.height / 2; ++by) {
        uint8_t* row0 = rgb + 2 * by * s.stride;
        uint8_t* row1 = row0 + s.stride;
        const uint8_t* y0 = yuv + 2 * by * s.width;
        const uint8_t* y1 = y0 + s.width;
        const uint8_t* uIn = yuv + planes.uOffset + by * pairs;
        const uint8_t* vIn = yuv + planes.vOffset + by * pairs;
        size_t k = colour_space_internal::Yuv420ToRgbRowPair(y0, y1, uIn, vIn, row0, row1, pairs,
                                                             s.rIndex == 2);
        for (; k < pairs; ++k) {
            uint64_t chroma = t.uFold[uIn[k]] + t.vFold[vIn[k]];
            YuvToPixel(t, chroma, y0[2 * k], row0 + 6 * k, s.rIndex, s.bIndex);
            YuvToPixel(t, chroma, y0[2 * k + 1], row0 + 6 * k + 3, s.rIndex, s.bIndex);
            YuvToPixel(t, chroma, y1[2 * k], row1 + 6 * k, s.rIndex, s.bIndex);
            YuvToPixel(t, chroma, y1[2 * k + 1], row1 + 6 * k + 3, s.rIndex, s.bIndex);
        }
    }
}

void YUV422ToRGB888(int width, int height, const uint8_t* yuv, int vFirst, uint8_t* rgb,
                    int dstStride, int bgr) {
    ImageShape s;
    if (!MakeShape("YUV422ToRGB888", width, height, yuv, rgb, dstStride, bgr, s)) return;
    const YuvTables& t = Tables();
    size_t pairs = s.width / 2;
    Planes planes = MakePlanes(s, pairs, s.height, vFirst);
    for (size_t row = 0; row < s.height; ++row) {
        uint8_t* dst = rgb + row * s.stride;
        const uint8_t* yIn = yuv + row * s.width;
        const uint8_t* uIn = yuv + planes.uOffset + row * pairs;
        const uint8_t* vIn = yuv + planes.vOffset + row * pairs;
        for (size_t k = 0; k < pairs; ++k) {
            uint64_t chroma = t.uFold[uIn[k]] + t.vFold[vIn[k]];
            YuvToPixel(t, chroma, yIn[2 * k], dst + 6 * k, s.rIndex, s.bIndex);
            YuvToPixel(t, chroma, yIn[2 * k + 1], dst + 6 * k + 3, s.rIndex, s.bIndex);
        }
    }
}

void YUV444ToRGB888(int width, int height, const uint8_t* yuv, int vFirst, uint8_t* rgb,
                    int dstStride, int bgr) {
    ImageShape s;
    if (!MakeShape("YUV444ToRGB888", width, height, yuv, rgb, dstStride, bgr, s)) return;
    const YuvTables& t = Tables();
    Planes planes = MakePlanes(s, s.width, s.height, vFirst);
    for (size_t row = 0; row < s.height; ++row) {
        uint8_t* dst = rgb + row * s.stride;
        size_t offset = row * s.width;
        for (size_t x = 0; x < s.width; ++x) {
            uint64_t chroma = t.uFold[yuv[planes.uOffset + offset + x]] +
                              t.vFold[yuv[planes.vOffset + offset + x]];
            YuvToPixel(t, chroma, yuv[offset + x], dst + 3 * x, s.rIndex, s.bIndex);
        }
    }
}
