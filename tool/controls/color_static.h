// CColorStatic: the label of the dark-themed pages. It paints a background colour or a stretched
// image, then its text (one block, or line by line evenly spread or a fixed gap apart) or a list
// of independently formatted text segments, all anti-aliased; an owner may draw before (and
// instead of) and after the default drawing.
//
// The text is the label's own (SetWindowText empties the segment list first). Colours are
// platform colours (COLORREF, 0x00BBGGRR). Window thread only.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QLabel>
#include <QString>

#include <cstdint>
#include <vector>

#include "core/platform_types.h"

class QPainter;

// An owner's drawing hook.
class IStaticDrawCallback {
public:
    virtual ~IStaticDrawCallback() = default;
    // Before the default drawing; nonzero means the callback drew the control itself.
    virtual int OnBeforeDraw(QPainter* painter, const QRect& rect, uintptr_t context) = 0;
    // After drawing (the default or the callback's own).
    virtual int OnAfterDraw(QPainter* painter, const QRect& rect, uintptr_t context) = 0;
};

// One independently formatted piece of text.
struct TextSegment {
    QString text;
    QString fontFace;
    int fontSize = 9;  // points
    int weight = 400;  // >= 700 draws bold
    COLORREF colour = 0;
    Qt::Alignment horizontal = Qt::AlignLeft;
    int flags = 0;  // Qt::TextFlag values
};

// The brush colour of SetStaticStyle: a dark slate.
inline constexpr COLORREF kStaticStyleBackground = 0x3C322A;
inline constexpr COLORREF kStaticStyleText = 0xFFFFFF;

class CColorStatic : public QLabel {
    Q_OBJECT
public:
    explicit CColorStatic(QWidget* parent = nullptr);
    ~CColorStatic() override;

    // An opaque background of that colour.
    void SetBkColour(COLORREF colour);
    // White text in the "黑体" face at `fontSize` points, left-aligned and vertically centred,
    // spread lines (spacing 0), on a dark slate background or a copy of `image` (when not null);
    // the text is set when `text` is not null; the text area becomes the whole control.
    void SetStaticStyle(const QImage* image, const QString* text, int fontSize);

    // Empties the segment list and sets the text.
    void SetWindowText(const QString& text);

    void SetTextColour(COLORREF colour);
    // Horizontal and vertical alignment of the text (and of the segments' block).
    void SetStringFormat(Qt::Alignment alignment);
    // The text area in control coordinates; an empty rectangle means the whole control.
    void SetTextRect(const QRect& rect);
    // -1: one block; 0: lines spread evenly; > 0: that gap in pixels between lines.
    void SetLineSpacing(int spacing);
    void SetBackgroundImage(const QImage* image);
    void AddSegment(const TextSegment& segment);
    void ClearSegments();
    void SetDrawCallback(IStaticDrawCallback* callback, uintptr_t context);
    // Shows `text` as a tooltip on hover while on.
    void SetTooltip(bool on, const QString& text);

    // A transparent background (nothing is painted under the text); for overlays such as hints.
    void SetTransparentBackground();

    COLORREF BkColour() const;
    COLORREF TextColour() const;
    int LineSpacing() const { return m_lineSpacing; }
    const std::vector<TextSegment>& Segments() const { return m_segments; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void RefreshOpacity();
    void DrawDefault(QPainter& painter, const QRect& area);
    void DrawLines(QPainter& painter, const QRect& area);
    void DrawSegments(QPainter& painter, const QRect& area);

    IStaticDrawCallback* m_callback = nullptr;
    uintptr_t m_callbackContext = 0;
    QImage m_backgroundImage;
    QColor m_background;
    QColor m_textColour;
    Qt::Alignment m_alignment = Qt::AlignCenter;
    QRect m_textRect;
    int m_lineSpacing = -1;
    std::vector<TextSegment> m_segments;
};

// Platform colour to Qt colour and back.
QColor ColorFromRef(COLORREF colour);
COLORREF RefFromColor(const QColor& colour);
