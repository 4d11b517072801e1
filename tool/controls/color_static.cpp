#include "controls/color_static.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPalette>
#include <QStringList>

#include "controls/static_text_layout.h"
#include "platform/font_substitution.h"

namespace {

const QString kStaticStyleFace = QString::fromUtf8(kTemplateChineseFace);
constexpr int kBoldWeight = 700;
// Room for measuring a line without wrapping it.
constexpr qreal kUnbounded = 1 << 20;

TextVAlign VerticalOf(Qt::Alignment alignment) {
    if (alignment & Qt::AlignTop) return TextVAlign::Near;
    if (alignment & Qt::AlignBottom) return TextVAlign::Far;
    return TextVAlign::Centre;
}

QStringList SplitLines(const QString& text) {
    QString normal = text;
    normal.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return normal.split(QLatin1Char('\n'));
}

}  // namespace

QColor ColorFromRef(COLORREF colour) {
    return QColor(GetRValue(colour), GetGValue(colour), GetBValue(colour));
}

COLORREF RefFromColor(const QColor& colour) {
    return RGB(static_cast<uint8_t>(colour.red()), static_cast<uint8_t>(colour.green()),
               static_cast<uint8_t>(colour.blue()));
}

CColorStatic::CColorStatic(QWidget* parent) : QLabel(parent) {
    m_background = palette().color(QPalette::Button);
    m_textColour = palette().color(QPalette::ButtonText);
    RefreshOpacity();
}

void CColorStatic::RefreshOpacity() {
    // An opaque colour covers the whole label: Qt need not paint what lies under it first. An
    // owner drawing instead of the default may leave parts uncovered.
    setAttribute(Qt::WA_OpaquePaintEvent, m_background.alpha() == 255 && m_callback == nullptr);
}

CColorStatic::~CColorStatic() = default;

void CColorStatic::SetBkColour(COLORREF colour) {
    m_background = ColorFromRef(colour);
    RefreshOpacity();
    update();
}

void CColorStatic::SetTransparentBackground() {
    m_background = Qt::transparent;
    RefreshOpacity();
    update();
}

void CColorStatic::SetStaticStyle(const QImage* image, const QString* text, int fontSize) {
    m_textRect = QRect();
    QFont font(kStaticStyleFace);
    font.setPointSize(fontSize);
    font.setWeight(QFont::Normal);
    setFont(font);
    m_alignment = Qt::AlignLeft | Qt::AlignVCenter;
    m_lineSpacing = 0;
    m_textColour = ColorFromRef(kStaticStyleText);
    SetBackgroundImage(image);
    m_background = ColorFromRef(kStaticStyleBackground);
    RefreshOpacity();
    if (text) SetWindowText(*text);
    update();
}

void CColorStatic::SetWindowText(const QString& text) {
    m_segments.clear();
    setText(text);
    update();
}

void CColorStatic::SetTextColour(COLORREF colour) {
    m_textColour = ColorFromRef(colour);
    update();
}

void CColorStatic::SetStringFormat(Qt::Alignment alignment) {
    m_alignment = alignment;
    update();
}

void CColorStatic::SetTextRect(const QRect& rect) {
    m_textRect = rect;
    update();
}

void CColorStatic::SetLineSpacing(int spacing) {
    m_lineSpacing = spacing;
    update();
}

void CColorStatic::SetBackgroundImage(const QImage* image) {
    m_backgroundImage = image ? image->copy() : QImage();
    update();
}

void CColorStatic::AddSegment(const TextSegment& segment) {
    m_segments.push_back(segment);
    update();
}

void CColorStatic::ClearSegments() {
    m_segments.clear();
    update();
}

void CColorStatic::SetDrawCallback(IStaticDrawCallback* callback, uintptr_t context) {
    m_callback = callback;
    RefreshOpacity();
    m_callbackContext = context;
}

void CColorStatic::SetTooltip(bool on, const QString& text) {
    setToolTip(on ? text : QString());
}

COLORREF CColorStatic::BkColour() const {
    return RefFromColor(m_background);
}
COLORREF CColorStatic::TextColour() const {
    return RefFromColor(m_textColour);
}

void CColorStatic::paintEvent(QPaintEvent*) {
    // Straight onto the window: Qt's backing store already keeps a half-drawn label off the
    // screen, and a buffer of our own would cost a fill and a blend of the whole label per paint.
    const QRect whole = rect();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    bool drawn = m_callback && m_callback->OnBeforeDraw(&painter, whole, m_callbackContext);
    if (!drawn) DrawDefault(painter, whole);
    if (m_callback) m_callback->OnAfterDraw(&painter, whole, m_callbackContext);
}

void CColorStatic::DrawDefault(QPainter& painter, const QRect& whole) {
    painter.fillRect(whole, m_background);
    if (!m_backgroundImage.isNull()) painter.drawImage(whole, m_backgroundImage);
    const QRect area = m_textRect.isEmpty() ? whole : m_textRect;
    if (!m_segments.empty()) {
        DrawSegments(painter, area);
    } else if (m_lineSpacing < 0) {
        painter.setFont(font());
        painter.setPen(m_textColour);
        painter.drawText(area, static_cast<int>(m_alignment) | Qt::TextWordWrap, text());
    } else {
        DrawLines(painter, area);
    }
}

void CColorStatic::DrawLines(QPainter& painter, const QRect& area) {
    const QStringList lines = SplitLines(text());
    QFontMetricsF metrics(font());
    std::vector<double> heights;
    for (const QString& line : lines) {
        heights.push_back(metrics
                              .boundingRect(QRectF(0, 0, area.width(), kUnbounded),
                                            Qt::AlignLeft | Qt::TextWordWrap, line)
                              .height());
    }
    std::vector<double> tops =
        SpreadLineTops(heights, area.top(), area.height(), m_lineSpacing, VerticalOf(m_alignment));
    painter.setFont(font());
    painter.setPen(m_textColour);
    const int horizontal = static_cast<int>(m_alignment & Qt::AlignHorizontal_Mask);
    for (int i = 0; i < lines.size(); ++i) {
        QRectF box(area.left(), tops[i], area.width(), heights[i]);
        painter.drawText(box, horizontal | Qt::AlignTop | Qt::TextWordWrap, lines[i]);
    }
}

void CColorStatic::DrawSegments(QPainter& painter, const QRect& area) {
    std::vector<QFont> fonts;
    std::vector<double> heights;
    for (const TextSegment& segment : m_segments) {
        QFont font(segment.fontFace);
        font.setPointSize(segment.fontSize);
        font.setBold(segment.weight >= kBoldWeight);
        QFontMetricsF metrics(font);
        heights.push_back(metrics
                              .boundingRect(QRectF(0, 0, area.width(), kUnbounded),
                                            static_cast<int>(segment.horizontal) |
                                                Qt::AlignVCenter | segment.flags,
                                            segment.text)
                              .height());
        fonts.push_back(font);
    }
    std::vector<double> tops =
        SpreadLineTops(heights, area.top(), area.height(), 0, VerticalOf(m_alignment));
    for (size_t i = 0; i < m_segments.size(); ++i) {
        const TextSegment& segment = m_segments[i];
        painter.setFont(fonts[i]);
        painter.setPen(ColorFromRef(segment.colour));
        painter.drawText(QRectF(area.left(), tops[i], area.width(), heights[i]),
                         static_cast<int>(segment.horizontal) | Qt::AlignVCenter | segment.flags,
                         segment.text);
    }
}
