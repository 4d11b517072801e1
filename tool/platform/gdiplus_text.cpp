#include "platform/gdiplus_text.h"

#include <QFontMetricsF>
#include <QString>

#include <algorithm>

#include "core/utf_convert.h"

namespace {

constexpr uint32_t kLanguageArabic = 1025;
constexpr uint32_t kLanguageHebrew = 1037;

QString FromWide(const WCHAR* text) {
    return text == nullptr ? QString() : QString::fromUtf16(text, qsizetype(WideLength(text)));
}

int HorizontalFlag(int alignment, bool rightToLeft) {
    switch (alignment) {
        case kStringAlignmentCenter:
            return Qt::AlignHCenter;
        case kStringAlignmentFar:
            return rightToLeft ? Qt::AlignLeft : Qt::AlignRight;
        default:
            return rightToLeft ? Qt::AlignRight : Qt::AlignLeft;
    }
}

int VerticalFlag(int alignment) {
    switch (alignment) {
        case kStringAlignmentCenter:
            return Qt::AlignVCenter;
        case kStringAlignmentFar:
            return Qt::AlignBottom;
        default:
            return Qt::AlignTop;
    }
}

QFont FontOf(const QString& face, int size, int style) {
    QFont font(face);
    font.setPointSize(size);
    font.setBold((style & kFontStyleBold) != 0);
    font.setItalic((style & kFontStyleItalic) != 0);
    font.setUnderline((style & kFontStyleUnderline) != 0);
    font.setStrikeOut((style & kFontStyleStrikeout) != 0);
    return font;
}

}  // namespace

int QtTextFlags(const GpStringFormat* format) {
    const GpStringFormat given = format != nullptr ? *format : GpStringFormat{};
    int flags = HorizontalFlag(given.alignment,
                               (given.flags & kStringFormatFlagsDirectionRightToLeft) != 0) |
                VerticalFlag(given.lineAlignment);
    if ((given.flags & kStringFormatFlagsNoWrap) == 0) flags |= Qt::TextWordWrap;
    return flags;
}

int Gdiplus_GetStringFormat(uint32_t languageId) {
    const uint32_t language = languageId & 0xFFFF;
    return language == kLanguageArabic || language == kLanguageHebrew ? 1 : 0;
}

void Gdiplus_DrawText(QPainter* painter, const WCHAR* text, const RECT* layout, uint32_t argb,
                      const QFont* font, const GpStringFormat* format) {
    if (painter == nullptr || text == nullptr || text[0] == 0 || layout == nullptr) return;
    painter->save();
    painter->setRenderHint(QPainter::TextAntialiasing);
    if (font != nullptr) painter->setFont(*font);
    painter->setPen(QColor::fromRgba(argb));
    painter->drawText(QRectF(layout->left, layout->top, layout->right - layout->left,
                             layout->bottom - layout->top),
                      QtTextFlags(format), FromWide(text));
    painter->restore();
}

int Gdiplus_CalcFontSize(QPainter* painter, const WCHAR* text, int width, int height,
                         const WCHAR* face, int startSize, int style,
                         const GpStringFormat* format) {
    const QString content = FromWide(text);
    if (content.isEmpty() || face == nullptr || width < 1 || height < 1 || startSize < 1) return 0;
    const QString family = FromWide(face);
    const QRectF box(0, 0, width, height);
    const int flags = QtTextFlags(format);
    QPaintDevice* device = painter != nullptr ? painter->device() : nullptr;
    for (int size = std::min(startSize, kMaxFitFontSize); size >= 1; --size) {
        const QFontMetricsF metrics(FontOf(family, size, style), device);
        const QRectF needed = metrics.boundingRect(box, flags, content);
        if (needed.width() <= width && needed.height() <= height) return size;
    }
    return 0;
}
