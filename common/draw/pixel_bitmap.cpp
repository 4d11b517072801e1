#include "pixel_bitmap.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "bitmap_info.h"
#include "core/dbg_output.h"

namespace {

// Cache-line alignment lets the fill and copy loops use aligned vector stores on row 0.
constexpr size_t kPixelAlignment = 64;

}  // namespace

HBITMAP CreateHBitmap(void** pixels, int width, int height, int bitsPerPixel,
                      const uint32_t* colorEntries, int entryCount) {
    BitmapInfo info;
    if (!BuildBitmapInfo(width, height, bitsPerPixel, colorEntries, entryCount, "CreateHBitmap",
                         &info)) {
        return nullptr;
    }
    const size_t bytes = info.imageBytes;
    const size_t rounded = (bytes + kPixelAlignment - 1) / kPixelAlignment * kPixelAlignment;
    auto* block = static_cast<uint8_t*>(std::aligned_alloc(kPixelAlignment, rounded));
    auto* bitmap = new (std::nothrow) PixelBitmap;
    if (block == nullptr || bitmap == nullptr) {
        std::free(block);
        delete bitmap;
        DbgOutputA(kDbgLevelError,
                   "CreateHBitmap: out of memory for %d x %d at %d bits (%zu bytes)\r\n", width,
                   height, bitsPerPixel, bytes);
        return nullptr;
    }
    if (pixels != nullptr && *pixels != nullptr) {
        std::memcpy(block, *pixels, bytes);
        std::memset(block + bytes, 0, rounded - bytes);
    } else {
        std::memset(block, 0, rounded);
        if (pixels != nullptr) *pixels = block;
    }
    bitmap->pixels = block;
    bitmap->width = info.width;
    bitmap->height = height < 0 ? -height : height;
    bitmap->bitsPerPixel = bitsPerPixel;
    bitmap->stride = info.stride;
    bitmap->topDown = height > 0;
    bitmap->compression = info.compression;
    bitmap->colorEntries = std::move(info.entries);
    return bitmap;
}

void DeleteHBitmap(HBITMAP bitmap) {
    if (bitmap == nullptr) return;
    std::free(bitmap->pixels);
    delete bitmap;
}
