#include "platform/gdiplus_buffer.h"

#include <QPainter>

#include <algorithm>
#include <cstring>

#include "core/rect_util.h"

namespace {

constexpr uint32_t kOpaqueAlpha = 0xFF000000;

// Bytes of a row of `width` pixels: the pixels alone, and padded to 32 bits.
int64_t PixelBytes(int width, int bits) {
    return (int64_t(width) * bits + 7) / 8;
}
int64_t PaddedRowBytes(int width, int bits) {
    return (int64_t(width) * bits + 31) / 32 * 4;
}

bool IsIndexed(QImage::Format format) {
    return format == QImage::Format_Indexed8 || format == QImage::Format_Mono ||
           format == QImage::Format_MonoLSB;
}

// Bits per pixel of the bitmap made of an image of this depth.
int HBitmapBits(int depth) {
    switch (depth) {
        case 1:
        case 8:
        case 16:
        case 24:
            return depth;
        default:
            return 32;
    }
}

QImage::Format HBitmapQtFormat(int bits) {
    switch (bits) {
        case 1:
            return QImage::Format_Mono;
        case 8:
            return QImage::Format_Indexed8;
        case 16:
            return QImage::Format_RGB555;
        case 24:
            return QImage::Format_BGR888;
        default:
            return QImage::Format_RGB32;
    }
}

// The composed picture in the bitmap's pixel layout.
QImage InBitmapFormat(const QImage& picture, const PixelBitmap& target) {
    const QImage::Format format = HBitmapQtFormat(target.bitsPerPixel);
    if (!IsIndexed(format)) return picture.convertToFormat(format);
    QList<QRgb> table;
    for (uint32_t entry : target.colorEntries) table.append(entry | kOpaqueAlpha);
    return picture.convertToFormat(format, table, Qt::ThresholdDither);
}

}  // namespace

GpBitmap* Gdiplus_LoadBitmapFromImageBits(void* pixels, int width, int height, int stride,
                                          int pixelFormat) {
    const QImage::Format format = QtFormatOfPixelFormat(pixelFormat);
    if (pixels == nullptr || width < 1 || height < 1 || stride < 1 ||
        format == QImage::Format_Invalid) {
        return nullptr;
    }
    if (stride < PixelBytes(width, PixelFormatBits(pixelFormat))) return nullptr;
    QImage image(static_cast<uchar*>(pixels), width, height, stride, format);
    if (image.depth() <= 8) image.setColorTable(FixedColourTable(image.depth()));
    return NewBitmap(std::move(image));
}

int Gdiplus_GetBitmapBuffer(GpBitmap* bitmap, const RECT* rect, int pixelFormat, void* dst,
                            int dstStride) {
    if (bitmap == nullptr) return 0;
    const QImage::Format format = QtFormatOfPixelFormat(pixelFormat);
    const RECT whole{0, 0, bitmap->width(), bitmap->height()};
    RECT area = whole;
    if (rect != nullptr) BoundRect(&area, rect, &whole);
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    const int bits = PixelFormatBits(pixelFormat);
    if (bitmap->isNull() || dst == nullptr || format == QImage::Format_Invalid || width <= 0 ||
        height <= 0 || (IsIndexed(format) && bitmap->format() != format) ||
        dstStride < PixelBytes(width, bits)) {
        bitmap->setFailure(kGpInvalidParameter);
        return 0;
    }
    const QImage pixels = bitmap->copy(area.left, area.top, width, height).convertToFormat(format);
    if (pixels.isNull()) {
        bitmap->setFailure(kGpOutOfMemory);
        return 0;
    }
    // The padded row may be longer than the destination's stride (101 pixels at 24 bits are 303
    // bytes, padded 304): copying it whole would write past the destination's last row.
    const size_t rowBytes = size_t(std::min<int64_t>(PaddedRowBytes(width, bits), dstStride));
    auto* out = static_cast<uint8_t*>(dst);
    for (int y = 0; y < height; ++y) {
        std::memcpy(out + size_t(y) * dstStride, pixels.constScanLine(y), rowBytes);
    }
    return 1;
}

HBITMAP Gdiplus_GetHBitmap(const GpBitmap* bitmap, uint32_t backgroundRgb, int topDown) {
    if (bitmap == nullptr || bitmap->isNull()) return nullptr;
    const int width = bitmap->width();
    const int height = bitmap->height();
    const int bits = HBitmapBits(bitmap->depth());
    // The raster library's sign: a positive height is a top-down bitmap.
    UniqueHBitmap result(
        CreateHBitmap(nullptr, width, topDown != 0 ? height : -height, bits, nullptr, 0));
    if (!result) return nullptr;

    QImage picture(width, height, QImage::Format_RGB32);
    if (picture.isNull()) return nullptr;
    picture.fill(kOpaqueAlpha | (backgroundRgb & 0xFFFFFF));
    QPainter painter(&picture);
    painter.drawImage(0, 0, *bitmap);
    painter.end();

    const QImage rows = InBitmapFormat(picture, *result);
    if (rows.isNull()) return nullptr;
    const size_t rowBytes = size_t(std::min<qsizetype>(result->stride, rows.bytesPerLine()));
    for (int y = 0; y < height; ++y) {
        const int target = result->topDown ? y : height - 1 - y;
        std::memcpy(result->pixels + size_t(target) * result->stride, rows.constScanLine(y),
                    rowBytes);
    }
    return result.release();
}
