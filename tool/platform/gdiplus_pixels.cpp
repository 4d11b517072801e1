#include "platform/gdiplus_pixels.h"

#include <QList>
#include <QRect>

#include <algorithm>
#include <vector>

namespace {

// Rectangles collected before they are united into the region.
constexpr size_t kRegionBatch = 2000;

int GreyLevel(QRgb pixel) {
    return (qRed(pixel) * 77 + qGreen(pixel) * 150 + qBlue(pixel) * 29) >> 8;
}

QRgb GreyPixel(QRgb pixel) {
    const int grey = GreyLevel(pixel);
    return qRgba(grey, grey, grey, qAlpha(pixel));
}

QImage GreyIndexed(const QImage& source) {
    QImage result = source.copy();
    QList<QRgb> table = result.colorTable();
    for (QRgb& entry : table) entry = GreyPixel(entry);
    result.setColorTable(table);
    return result;
}

// Straight (not premultiplied) 32-bit pixels, greyed, then back to the source's format.
QImage GreyDirect(const QImage& source) {
    QImage argb = source.convertToFormat(QImage::Format_ARGB32);
    if (argb.constBits() == source.constBits()) argb = argb.copy();
    for (int y = 0; y < argb.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(argb.scanLine(y));
        for (int x = 0; x < argb.width(); ++x) row[x] = GreyPixel(row[x]);
    }
    if (source.format() == QImage::Format_ARGB32) return argb;
    return argb.convertToFormat(source.format());
}

int ClampByte(int value) {
    return std::clamp(value, 0, 255);
}

}  // namespace

GpBitmap* Gdiplus_Gray(const GpBitmap* bitmap) {
    if (bitmap == nullptr || bitmap->isNull()) return nullptr;
    const bool indexed = bitmap->format() == QImage::Format_Indexed8 ||
                         bitmap->format() == QImage::Format_Mono ||
                         bitmap->format() == QImage::Format_MonoLSB;
    return NewBitmap(indexed ? GreyIndexed(*bitmap) : GreyDirect(*bitmap));
}

int Gdiplus_SetBitmapAlpha(GpBitmap* bitmap, const RECT* rect, int newAlpha, int lowestAlpha,
                           int highestAlpha) {
    if (bitmap == nullptr || bitmap->isNull()) return 0;
    if (bitmap->format() != QImage::Format_ARGB32) {
        static_cast<QImage&>(*bitmap) = bitmap->convertToFormat(QImage::Format_ARGB32);
    }
    QRect area = bitmap->rect();
    if (rect != nullptr) {
        area &= QRect(QPoint(rect->left, rect->top), QPoint(rect->right - 1, rect->bottom - 1));
    }
    const QRgb alpha = QRgb(ClampByte(newAlpha)) << 24;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(bitmap->scanLine(y));
        for (int x = area.left(); x <= area.right(); ++x) {
            const int a = qAlpha(row[x]);
            if (a >= lowestAlpha && a <= highestAlpha) row[x] = (row[x] & RGB_MASK) | alpha;
        }
    }
    return 1;
}

QRegion* Gdiplus_CreateRgnFromBitmap(const GpBitmap* bitmap, int alphaThreshold) {
    if (bitmap == nullptr || bitmap->isNull()) return nullptr;
    const QImage argb = bitmap->convertToFormat(QImage::Format_ARGB32);
    auto* region = new QRegion;
    std::vector<QRect> batch;
    batch.reserve(kRegionBatch);
    const auto flush = [&] {
        QRegion part;
        part.setRects(batch.data(), int(batch.size()));
        *region += part;
        batch.clear();
    };
    for (int y = 0; y < argb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        int x = 0;
        while (x < argb.width()) {
            if (qAlpha(row[x]) < alphaThreshold) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < argb.width() && qAlpha(row[x]) >= alphaThreshold) ++x;
            batch.emplace_back(start, y, x - start, 1);
            if (batch.size() == kRegionBatch) flush();
        }
    }
    if (!batch.empty()) flush();
    return region;
}
