#include "platform/gdiplus_geometry.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

QImage NewArgb(int width, int height, uint32_t argb) {
    QImage image(width, height, QImage::Format_ARGB32);
    if (!image.isNull()) image.fill(argb);
    return image;
}

// Draws `source` (the part `sourceRect` of it) scaled over `targetRect` of `target`.
void DrawScaled(QImage* target, const QRectF& targetRect, const QImage& source,
                const QRectF& sourceRect) {
    QPainter painter(target);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(targetRect, source, sourceRect);
}

bool Usable(const GpBitmap* bitmap) {
    return bitmap != nullptr && !bitmap->isNull();
}

GpBitmap* CropFill(const GpBitmap& bitmap, int width, int height) {
    const int w = bitmap.width();
    const int h = bitmap.height();
    const double k = std::min(double(w) / width, double(h) / height);
    const int areaWidth = std::max(1, int(k * width));
    const int areaHeight = std::max(1, int(k * height));
    QImage result = NewArgb(width, height, 0);
    if (result.isNull()) return nullptr;
    DrawScaled(&result, QRectF(0, 0, width, height), bitmap,
               QRectF((w - areaWidth) / 2, (h - areaHeight) / 2, areaWidth, areaHeight));
    return NewBitmap(std::move(result));
}

GpBitmap* Tile(const GpBitmap& bitmap, int width, int height) {
    QImage result = NewArgb(width, height, 0);
    if (result.isNull()) return nullptr;
    QPainter painter(&result);
    // Drawing past the right and bottom edges is clipped: the last column and row are cut.
    for (int y = 0; y < height; y += bitmap.height()) {
        for (int x = 0; x < width; x += bitmap.width()) painter.drawImage(x, y, bitmap);
    }
    painter.end();
    return NewBitmap(std::move(result));
}

GpBitmap* Centre(const GpBitmap& bitmap, int width, int height, uint32_t fillArgb) {
    QImage result = NewArgb(width, height, fillArgb);
    if (result.isNull()) return nullptr;
    const int partWidth = std::min(width, bitmap.width());
    const int partHeight = std::min(height, bitmap.height());
    QPainter painter(&result);
    painter.drawImage(QPoint((width - partWidth) / 2, (height - partHeight) / 2), bitmap,
                      QRect((bitmap.width() - partWidth) / 2, (bitmap.height() - partHeight) / 2,
                            partWidth, partHeight));
    painter.end();
    return NewBitmap(std::move(result));
}

}  // namespace

GpBitmap* Gdiplus_StretchBitmap(const GpBitmap* bitmap, int width, int height) {
    if (!Usable(bitmap) || width < 1 || height < 1) return nullptr;
    QImage result = NewArgb(width, height, 0);
    if (result.isNull()) return nullptr;
    DrawScaled(&result, QRectF(0, 0, width, height), *bitmap, QRectF(bitmap->rect()));
    return NewBitmap(std::move(result));
}

GpBitmap* Gdiplus_ResizeBitmap(const GpBitmap* bitmap, int width, int height, int mode,
                               uint32_t fillArgb) {
    if (!Usable(bitmap) || width < 1 || height < 1) return nullptr;
    const double w = bitmap->width();
    const double h = bitmap->height();
    const double sx = width / w;
    const double sy = height / h;
    double s = 1;
    switch (mode) {
        case kResizeStretch:
            break;
        case kResizeFit:
            s = std::min(sx, sy);
            break;
        case kResizeFill:
            s = std::max(sx, sy);
            break;
        case kResizeByWidth:
            s = sx;
            break;
        case kResizeByHeight:
            s = sy;
            break;
        default:
            return nullptr;
    }
    const int resultWidth = mode == kResizeStretch ? width : int(w * s);
    const int resultHeight = mode == kResizeStretch ? height : int(h * s);
    if (resultWidth < 1 || resultHeight < 1) return nullptr;
    QImage result = NewArgb(resultWidth, resultHeight, fillArgb);
    if (result.isNull()) return nullptr;
    // The source area that maps onto the result: the whole image, less what truncating the
    // result's size cut off, centred.
    QRectF source(0, 0, w, h);
    if (mode != kResizeStretch) {
        const double sourceWidth = resultWidth / s;
        const double sourceHeight = resultHeight / s;
        source = QRectF((w - sourceWidth) / 2, (h - sourceHeight) / 2, sourceWidth, sourceHeight);
    }
    DrawScaled(&result, QRectF(0, 0, resultWidth, resultHeight), *bitmap, source);
    return NewBitmap(std::move(result));
}

GpBitmap* Gdiplus_DisposeBitmapByMode(const GpBitmap* bitmap, int width, int height, int mode,
                                      uint32_t fillArgb) {
    if (!Usable(bitmap) || width < 1 || height < 1) return nullptr;
    switch (mode) {
        case kDisposeCropFill:
            return CropFill(*bitmap, width, height);
        case kDisposeFit:
            return Gdiplus_ResizeBitmap(bitmap, width, height, kResizeFit, fillArgb);
        case kDisposeTile:
            return Tile(*bitmap, width, height);
        case kDisposeCentre:
            return Centre(*bitmap, width, height, fillArgb);
        case kDisposeStretch:
            return Gdiplus_StretchBitmap(bitmap, width, height);
        default:
            return nullptr;
    }
}

GpBitmap* Gdiplus_GetBitmapFromBitmap(const GpBitmap* bitmap, int x, int y, int width, int height,
                                      const SIZE* outSize) {
    if (!Usable(bitmap) || width < 1 || height < 1) return nullptr;
    const int resultWidth = outSize != nullptr ? outSize->cx : width;
    const int resultHeight = outSize != nullptr ? outSize->cy : height;
    if (resultWidth < 1 || resultHeight < 1) return nullptr;
    QImage result = NewArgb(resultWidth, resultHeight, 0);
    if (result.isNull()) return nullptr;
    // QPainter clips a source area that reaches outside the image and shrinks the target with it.
    DrawScaled(&result, QRectF(0, 0, resultWidth, resultHeight), *bitmap,
               QRectF(x, y, width, height));
    return NewBitmap(std::move(result));
}

GpBitmap* Gdiplus_GetBitmapFromBitmapByRect(const GpBitmap* bitmap, const RECT* rect,
                                            const SIZE* outSize) {
    if (rect == nullptr) return nullptr;
    const int64_t width = int64_t(rect->right) - rect->left;
    const int64_t height = int64_t(rect->bottom) - rect->top;
    if (width > INT32_MAX || height > INT32_MAX) return nullptr;
    return Gdiplus_GetBitmapFromBitmap(bitmap, rect->left, rect->top, int(width), int(height),
                                       outSize);
}
