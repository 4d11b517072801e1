#include "platform/gdiplus_bitmap.h"

#include <new>

#include "draw/bitmap_info.h"

namespace {

constexpr QRgb kOpaque = 0xFF000000;

struct FormatPair {
    int pixelFormat;
    QImage::Format qt;
};

constexpr FormatPair kFormats[] = {
    {kPixelFormat1bppIndexed, QImage::Format_Mono},
    {kPixelFormat8bppIndexed, QImage::Format_Indexed8},
    {kPixelFormat16bppRGB555, QImage::Format_RGB555},
    {kPixelFormat16bppRGB565, QImage::Format_RGB16},
    {kPixelFormat24bppRGB, QImage::Format_BGR888},
    {kPixelFormat32bppRGB, QImage::Format_RGB32},
    {kPixelFormat32bppARGB, QImage::Format_ARGB32},
    {kPixelFormat32bppPARGB, QImage::Format_ARGB32_Premultiplied},
};

}  // namespace

QImage::Format QtFormatOfPixelFormat(int pixelFormat) {
    for (const FormatPair& pair : kFormats) {
        if (pair.pixelFormat == pixelFormat) return pair.qt;
    }
    return QImage::Format_Invalid;
}

int PixelFormatOfQtFormat(QImage::Format format) {
    for (const FormatPair& pair : kFormats) {
        if (pair.qt == format) return pair.pixelFormat;
    }
    return kPixelFormat32bppARGB;
}

QList<QRgb> FixedColourTable(int bitsPerPixel) {
    const int count = 1 << bitsPerPixel;
    const uint32_t* entries = FixedPaletteEntries();
    // 1 bit: black and white (entries 0 and 15 of the table).
    if (bitsPerPixel == 1) return {entries[0] | kOpaque, entries[15] | kOpaque};
    QList<QRgb> table(count);
    for (int i = 0; i < count; ++i) table[i] = entries[i] | kOpaque;
    return table;
}

GpBitmap* NewBitmap(QImage image) {
    if (image.isNull()) return nullptr;
    return new (std::nothrow) GpBitmap(std::move(image));
}

GpBitmap* Gdiplus_CreateBitmap(int width, int height, int pixelFormat) {
    const QImage::Format format = QtFormatOfPixelFormat(pixelFormat);
    if (width < 1 || height < 1 || format == QImage::Format_Invalid) return nullptr;
    QImage image(width, height, format);
    if (image.isNull()) return nullptr;
    if (image.depth() <= 8) image.setColorTable(FixedColourTable(image.depth()));
    image.fill(0);
    return NewBitmap(std::move(image));
}

GpBitmap* Gdiplus_CreateColorBmp(int width, int height, uint32_t argb) {
    if (width < 1 || height < 1) return nullptr;
    QImage image(width, height, QImage::Format_ARGB32);
    if (image.isNull()) return nullptr;
    image.fill(argb);
    return NewBitmap(std::move(image));
}

GpBitmap* Gdiplus_CopyBitmap(const GpBitmap* bitmap) {
    if (bitmap == nullptr || bitmap->isNull()) return nullptr;
    // copy() detaches: the new bitmap never shares (or wraps) the source's pixels.
    return NewBitmap(bitmap->copy());
}

GpBitmap* Gdiplus_ModifyBitmapFormat(const GpBitmap* bitmap, int pixelFormat) {
    const QImage::Format format = QtFormatOfPixelFormat(pixelFormat);
    if (bitmap == nullptr || bitmap->isNull() || format == QImage::Format_Invalid) return nullptr;
    QImage converted = bitmap->convertToFormat(format);
    if (converted.constBits() == bitmap->constBits()) converted = converted.copy();
    return NewBitmap(std::move(converted));
}

int Gdiplus_BitmapOK(GpBitmap* bitmap) {
    if (bitmap == nullptr) return 0;
    const bool ok = bitmap->lastStatus() == kGpOk && !bitmap->isNull();
    bitmap->clearStatus();
    return ok ? 1 : 0;
}

int Gdiplus_BitmapLastError(const GpBitmap* bitmap) {
    return bitmap == nullptr ? kGpInvalidParameter : bitmap->lastStatus();
}

void Gdiplus_DeleteBitmap(GpBitmap* bitmap) {
    delete bitmap;
}
