#include "bitmap_info.h"

#include <array>
#include <cstdlib>

#include "core/byte_order.h"
#include "core/dbg_output.h"

namespace {

constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) {
    return (r << 16) | (g << 8) | b;
}

std::array<uint32_t, 256> MakeFixedPalette() {
    std::array<uint32_t, 256> p{};
    const uint32_t vga[16] = {
        Rgb(0, 0, 0),       Rgb(128, 0, 0),   Rgb(0, 128, 0),   Rgb(128, 128, 0),
        Rgb(0, 0, 128),     Rgb(128, 0, 128), Rgb(0, 128, 128), Rgb(192, 192, 192),
        Rgb(128, 128, 128), Rgb(255, 0, 0),   Rgb(0, 255, 0),   Rgb(255, 255, 0),
        Rgb(0, 0, 255),     Rgb(255, 0, 255), Rgb(0, 255, 255), Rgb(255, 255, 255)};
    for (int i = 0; i < 16; ++i) p[i] = vga[i];
    int n = 16;
    for (uint32_t r = 0; r < 6; ++r)
        for (uint32_t g = 0; g < 6; ++g)
            for (uint32_t b = 0; b < 6; ++b) p[n++] = Rgb(r * 51, g * 51, b * 51);
    for (uint32_t i = 0; i < 24; ++i) p[n++] = Rgb(8 + 10 * i, 8 + 10 * i, 8 + 10 * i);
    return p;
}

const std::array<uint32_t, 256> kFixedPalette = MakeFixedPalette();
const uint32_t kMonoPalette[2] = {Rgb(0, 0, 0), Rgb(255, 255, 255)};

}  // namespace

bool IsSupportedBitCount(int bitsPerPixel) {
    switch (bitsPerPixel) {
        case 1:
        case 4:
        case 8:
        case 16:
        case 24:
        case 32:
            return true;
        default:
            return false;
    }
}

int64_t BitmapStride(int width, int bitsPerPixel) {
    if (!IsSupportedBitCount(bitsPerPixel) || width == 0) return -1;
    const int64_t w = std::llabs(static_cast<int64_t>(width));
    const int64_t stride = (w * bitsPerPixel + 31) / 32 * 4;
    return stride > kMaxBitmapBytes ? -1 : stride;
}

int64_t BitmapImageBytes(int width, int height, int bitsPerPixel) {
    const int64_t stride = BitmapStride(width, bitsPerPixel);
    if (stride < 0 || height == 0) return -1;
    const int64_t rows = std::llabs(static_cast<int64_t>(height));
    // Both factors are below 2^31, so the product fits in 64 bits.
    const int64_t bytes = rows * stride;
    return bytes > kMaxBitmapBytes ? -1 : bytes;
}

const uint32_t* FixedPaletteEntries() {
    return kFixedPalette.data();
}

bool BuildBitmapInfo(int width, int height, int bitsPerPixel, const uint32_t* entries,
                     int entryCount, const char* caller, BitmapInfo* info) {
    const int64_t stride = BitmapStride(width, bitsPerPixel);
    const int64_t bytes = BitmapImageBytes(width, height, bitsPerPixel);
    if (stride < 0 || bytes < 0) {
        DbgOutputA(kDbgLevelError,
                   "%s: refused bitmap %d x %d at %d bits per pixel (unsupported bit count, empty "
                   "or above %lld bytes)\r\n",
                   caller, width, height, bitsPerPixel, static_cast<long long>(kMaxBitmapBytes));
        return false;
    }
    if (entries == nullptr) entryCount = 0;
    const int paletteLimit = bitsPerPixel <= 8 ? (1 << bitsPerPixel) : kMaxColorEntries;
    if (entryCount < 0 || entryCount > paletteLimit) {
        DbgOutputA(kDbgLevelError,
                   "%s: refused %d colour entries for %d bits per pixel (at most %d)\r\n", caller,
                   entryCount, bitsPerPixel, paletteLimit);
        return false;
    }
    info->width = static_cast<int32_t>(std::llabs(static_cast<int64_t>(width)));
    // A positive height argument is stored negated: a top-down bitmap. INT_MIN has no negation
    // and is far beyond kMaxBitmapBytes, so it never gets here.
    info->height = -height;
    info->bitCount = static_cast<uint16_t>(bitsPerPixel);
    info->stride = static_cast<int32_t>(stride);
    info->imageBytes = static_cast<uint32_t>(bytes);
    info->entries.clear();
    if (entryCount > 0) {
        info->entries.assign(entries, entries + entryCount);
        info->compression =
            (bitsPerPixel == 16 || bitsPerPixel == 32) ? kCompressionBitFields : kCompressionRgb;
    } else {
        info->compression = kCompressionRgb;
        if (bitsPerPixel == 1) {
            info->entries.assign(kMonoPalette, kMonoPalette + 2);
        } else if (bitsPerPixel <= 8) {
            info->entries.assign(kFixedPalette.begin(),
                                 kFixedPalette.begin() + (size_t{1} << bitsPerPixel));
        }
    }
    info->colorsUsed = static_cast<uint32_t>(info->entries.size());
    return true;
}

void AppendBitmapInfoBytes(const BitmapInfo& info, std::vector<uint8_t>* out) {
    AppendLe32(*out, kBitmapInfoHeaderBytes);
    AppendLe32(*out, static_cast<uint32_t>(info.width));
    AppendLe32(*out, static_cast<uint32_t>(info.height));
    AppendLe16(*out, 1);  // planes
    AppendLe16(*out, info.bitCount);
    AppendLe32(*out, info.compression);
    AppendLe32(*out, info.imageBytes);
    AppendLe32(*out, 0);  // horizontal resolution
    AppendLe32(*out, 0);  // vertical resolution
    AppendLe32(*out, info.colorsUsed);
    AppendLe32(*out, 0);  // colours important
    for (uint32_t e : info.entries) AppendLe32(*out, e);
}
