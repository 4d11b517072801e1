#include "platform/gdiplus_draw.h"

#include <QPolygon>

#include <algorithm>

namespace {

constexpr int kFullOpacity = 256;

QRect ToQRect(const RECT& rect) {
    return QRect(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}

std::vector<BitmapPiece> Tiles(const QRect& target, const QRect& source) {
    std::vector<BitmapPiece> pieces;
    for (int y = target.top(); y <= target.bottom(); y += source.height()) {
        const int h = std::min(source.height(), target.bottom() + 1 - y);
        for (int x = target.left(); x <= target.right(); x += source.width()) {
            const int w = std::min(source.width(), target.right() + 1 - x);
            pieces.push_back({QRectF(x, y, w, h), QRectF(source.x(), source.y(), w, h)});
        }
    }
    return pieces;
}

// The bitmap's area to draw: the given one cut to the bitmap, or the whole bitmap.
QRect SourceArea(const GpBitmap& bitmap, const RECT* source) {
    return source == nullptr ? bitmap.rect() : ToQRect(*source) & bitmap.rect();
}

void DrawPlaced(QPainter* painter, const RECT* target, const GpBitmap* bitmap, const RECT* source,
                int mode) {
    if (painter == nullptr || target == nullptr || bitmap == nullptr || bitmap->isNull()) return;
    const std::vector<BitmapPiece> pieces =
        PlaceBitmap(ToQRect(*target), SourceArea(*bitmap, source), mode);
    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    for (const BitmapPiece& piece : pieces) painter->drawImage(piece.target, *bitmap, piece.source);
    painter->restore();
}

}  // namespace

std::vector<BitmapPiece> PlaceBitmap(const QRect& target, const QRect& source, int mode) {
    if (target.isEmpty() || source.isEmpty()) return {};
    const double tw = target.width();
    const double th = target.height();
    const double sw = source.width();
    const double sh = source.height();
    switch (mode) {
        case kDrawCropFill: {
            const double k = std::min(sw / tw, sh / th);
            const double w = k * tw;
            const double h = k * th;
            return {{QRectF(target),
                     QRectF(source.x() + (sw - w) / 2, source.y() + (sh - h) / 2, w, h)}};
        }
        case kDrawFit: {
            const double s = std::min(tw / sw, th / sh);
            const double w = sw * s;
            const double h = sh * s;
            return {{QRectF(target.x() + (tw - w) / 2, target.y() + (th - h) / 2, w, h),
                     QRectF(source)}};
        }
        case kDrawTile:
            return Tiles(target, source);
        case kDrawCentre: {
            const int w = std::min(target.width(), source.width());
            const int h = std::min(target.height(), source.height());
            return {{QRectF(target.x() + (target.width() - w) / 2,
                            target.y() + (target.height() - h) / 2, w, h),
                     QRectF(source.x() + (source.width() - w) / 2,
                            source.y() + (source.height() - h) / 2, w, h)}};
        }
        default:
            return {{QRectF(target), QRectF(source)}};
    }
}

void Gdiplus_DrawBitmap(QPainter* painter, const RECT* target, const GpBitmap* bitmap,
                        const RECT* source, int mode) {
    DrawPlaced(painter, target, bitmap, source, mode);
}

void Gdiplus_DrawAlphaBitmap(QPainter* painter, const RECT* target, const GpBitmap* bitmap,
                             const RECT* source, int stretch, int alpha) {
    if (painter == nullptr) return;
    // Any mode other than the four placements stretches.
    constexpr int kStretch = -1;
    painter->save();
    painter->setOpacity(painter->opacity() * std::clamp(alpha, 0, kFullOpacity) / kFullOpacity);
    DrawPlaced(painter, target, bitmap, source, stretch != 0 ? kStretch : kDrawCentre);
    painter->restore();
}

void Gdiplus_FillRect(QPainter* painter, const RECT* rect, const QBrush* brush) {
    if (painter == nullptr || rect == nullptr || brush == nullptr) return;
    painter->fillRect(ToQRect(*rect), *brush);
}

void Gdiplus_FillRect2(QPainter* painter, const RECT* rect, uint32_t argb) {
    const QBrush brush{QColor::fromRgba(argb)};
    Gdiplus_FillRect(painter, rect, &brush);
}

void Gdiplus_FillPolygon(QPainter* painter, const POINT* points, int count, uint32_t argb) {
    if (painter == nullptr || points == nullptr || count < 3) return;
    QPolygon polygon;
    polygon.reserve(count);
    for (int i = 0; i < count; ++i) polygon.append(QPoint(points[i].x, points[i].y));
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(QColor::fromRgba(argb));
    painter->drawPolygon(polygon);
    painter->restore();
}

void Gdiplus_DrawRect(QPainter* painter, const RECT* rect, uint32_t argb, float penWidth) {
    if (painter == nullptr || rect == nullptr) return;
    painter->save();
    QPen pen{QColor::fromRgba(argb)};
    pen.setWidthF(penWidth);
    pen.setJoinStyle(Qt::MiterJoin);
    painter->setPen(pen);
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(
        QRectF(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top));
    painter->restore();
}
