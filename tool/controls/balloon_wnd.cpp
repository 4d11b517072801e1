#include "controls/balloon_wnd.h"

#include <QEnterEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>
#include <QScreen>

#include <vector>

#include "core/dbg_output.h"
#include "platform/font_substitution.h"

namespace {

// The fonts' face and point sizes: warning mark, information mark, titles, texts.
const QString kBalloonFace = QString::fromUtf8(kTemplateChineseFace);
constexpr int kWarningMarkPt = 10;
constexpr int kInfoMarkPt = 14;
constexpr int kTitlePt = 14;
constexpr int kTextPt = 9;
// The transparency key and the test of a key pixel.
constexpr QRgb kKeyColour = 0xFFFF0000;
constexpr int kKeyTolerance = 16;
// A pop-up that stays on top, takes no focus and is left alone by the window manager (no frame,
// no task-bar entry), like a tooltip; unlike the tooltip type it is not raised on every show,
// which headless platforms cannot do.
constexpr Qt::WindowFlags kBalloonWindowFlags =
    Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
    Qt::X11BypassWindowManagerHint | Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint;
// Rectangles gathered before they are merged into the region.
constexpr int kRegionBatch = 2000;
constexpr int kCornerRadius = 7;  // 14 x 14 corner ellipse
constexpr int kHideLogLevel = 2;  // debug output level of the hide line
constexpr int kCloseInset = 6;
constexpr int kCloseStroke = 3;
constexpr int kCrossInset = 8;
constexpr int kCrossStroke = 2;
const QColor kTitleColour(0, 51, 153);
const QColor kInfoFill(0, 120, 215);
const QColor kInfoOutline(0x00, 0x4E, 0x8C);
const QColor kWarningFill(0xFC, 0xE1, 0x00);
const QColor kWarningOutline(0xFF, 0xB9, 0x00);
const QColor kErrorFill(0xF0, 0x3A, 0x17);
const QColor kErrorOutline(0xA5, 0x26, 0x13);

QString ToQString(const std::u16string& text) {
    QString s = QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return s;
}

// The headless platform plugins have no window masks and no stacking order: there the bubble's
// shape comes from its transparent pixels alone, and raising it means nothing.
bool PlatformHasWindowServices() {
    const QString name = QGuiApplication::platformName();
    return name != QLatin1String("offscreen") && name != QLatin1String("minimal");
}

QRect ToQRect(const RECT& r) {
    return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
}

QFont BalloonFont(int points) {
    QFont font(kBalloonFace);
    font.setPointSize(points);
    font.setWeight(QFont::Normal);
    return font;
}

// A string measured as one block: lines split at line breaks only.
BalloonTextSize Measure(const QFont& font, const QString& text) {
    if (text.isEmpty()) return {};
    QFontMetrics metrics(font);
    QRect bounds =
        metrics.boundingRect(QRect(0, 0, 1 << 20, 1 << 20), Qt::AlignLeft | Qt::AlignTop, text);
    return BalloonTextSize{bounds.width(), bounds.height()};
}

bool IsKey(QRgb pixel) {
    return qRed(pixel) == 255 && qGreen(pixel) <= kKeyTolerance && qBlue(pixel) <= kKeyTolerance;
}

}  // namespace

CBalloonWnd::CBalloonWnd(QWidget* parent)
    : QWidget(parent, kBalloonWindowFlags),
      m_warningFont(BalloonFont(kWarningMarkPt)),
      m_infoFont(BalloonFont(kInfoMarkPt)),
      m_titleFont(BalloonFont(kTitlePt)),
      m_textFont(BalloonFont(kTextPt)) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(true);
    m_displayTimer.setInterval(kBalloonTickMs);
    m_fadeTimer.setInterval(kBalloonTickMs);
    connect(&m_displayTimer, &QTimer::timeout, this, &CBalloonWnd::StepDisplayTimer);
    connect(&m_fadeTimer, &QTimer::timeout, this, &CBalloonWnd::StepFadeTimer);
}

CBalloonWnd::~CBalloonWnd() = default;

int CBalloonWnd::CreateBalloon(QWidget* owner) {
    m_owner = owner;
    m_created = true;
    return 1;
}

void CBalloonWnd::SetDisplayTime(int ms) {
    m_model.SetDisplayMs(ms);
}

int CBalloonWnd::Show(const std::u16string& title, const std::u16string& text, int icon,
                      QWidget* owner, const RECT& anchor, int id) {
    if (!m_created) return 0;
    StopTimers();
    m_model.Show(title, text, icon, id);
    m_owner = owner;
    m_ownerRect = OwnerScreenRect();
    m_anchor = anchor;
    LayOutAndRender();
    show();
    if (PlatformHasWindowServices()) raise();
    m_closeHot = false;
    m_displayTimer.start();
    return 1;
}

QRect CBalloonWnd::OwnerScreenRect() const {
    if (!m_owner) return {};
    QWidget* window = m_owner->window();
    return QRect(window->mapToGlobal(QPoint(0, 0)), window->size());
}

void CBalloonWnd::StopTimers() {
    m_displayTimer.stop();
    m_fadeTimer.stop();
}

void CBalloonWnd::StepDisplayTimer() {
    bool ownerVisible = !m_owner || m_owner->isVisible();
    bool ownerMoved = m_owner && OwnerScreenRect() != m_ownerRect;
    switch (m_model.TickDisplay(ownerVisible, ownerMoved)) {
        case BalloonAction::Rerender:
            LayOutAndRender();
            break;
        case BalloonAction::Hide:
            hide();
            break;
        case BalloonAction::StartFade:
            m_displayTimer.stop();
            m_fadeTimer.start();
            update();
            break;
        default:
            break;
    }
}

void CBalloonWnd::StepFadeTimer() {
    switch (m_model.TickFade()) {
        case BalloonAction::SetOpacity:
            update();
            break;
        case BalloonAction::Hide:
            hide();
            break;
        default:
            break;
    }
}

QRect CBalloonWnd::CloseButtonRect() const {
    return ToQRect(m_layout.closeButton);
}

void CBalloonWnd::LayOutAndRender() {
    std::vector<BalloonItemMetrics> metrics;
    for (const BalloonMessage* m : m_model.LiveMessages()) {
        metrics.push_back(BalloonItemMetrics{BalloonIconKind(m->icon) != BalloonIcon::None,
                                             Measure(m_titleFont, ToQString(m->title)),
                                             Measure(m_textFont, ToQString(m->text))});
    }
    QScreen* screen = m_owner ? m_owner->screen() : QGuiApplication::primaryScreen();
    QRect usable = screen ? screen->availableGeometry() : QRect(0, 0, 1 << 16, 1 << 16);
    SIZE screenSize{usable.x() + usable.width(), usable.y() + usable.height()};
    m_layout = LayOutBalloon(metrics, m_anchor, screenSize);
    RenderImage();
    // Follow the owner if it moved since the message was shown.
    QPoint moved = m_owner ? OwnerScreenRect().topLeft() - m_ownerRect.topLeft() : QPoint();
    setGeometry(m_layout.position.x + moved.x(), m_layout.position.y + moved.y(), m_layout.width,
                m_layout.height);
    update();
}

void CBalloonWnd::RenderImage() {
    const int w = m_layout.width;
    const int h = m_layout.height;
    // Opaque drawing in the painter's native format, so nothing is converted (conversions of large
    // images run on Qt's worker threads).
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(kKeyColour);
    {
        QPainter painter(&image);
        painter.setPen(QPen(Qt::black, 1));
        painter.setBrush(Qt::white);
        QPolygon tail;
        for (const POINT& p : m_layout.tail) tail << QPoint(p.x, p.y);
        painter.drawPolygon(tail);
        const RECT& b = m_layout.body;
        painter.drawRoundedRect(QRect(b.left, b.top, b.right - b.left - 1, b.bottom - b.top - 1),
                                kCornerRadius, kCornerRadius);
        // Open the outline where the tail joins the body.
        painter.setPen(QPen(Qt::white, 1));
        painter.drawLine(m_layout.tail[1].x + 1, m_layout.tail[1].y, m_layout.tail[2].x - 1,
                         m_layout.tail[2].y);

        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        std::vector<const BalloonMessage*> live = m_model.LiveMessages();
        for (size_t i = 0; i < live.size() && i < m_layout.items.size(); ++i) {
            const BalloonItemLayout& item = m_layout.items[i];
            DrawIcon(painter, live[i]->icon, ToQRect(item.icon));
            painter.setPen(kTitleColour);
            painter.setFont(m_titleFont);
            painter.drawText(ToQRect(item.title), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip,
                             ToQString(live[i]->title));
            painter.setPen(Qt::black);
            painter.setFont(m_textFont);
            painter.drawText(ToQRect(item.text), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip,
                             ToQString(live[i]->text));
        }
    }
    QRegion shape = BitmapToRegion(image);
    if (PlatformHasWindowServices()) setMask(shape);
    // Outside the shape the window is transparent.
    for (int y = 0; y < h; ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x)
            if (IsKey(row[x])) row[x] = 0;
    }
    m_image = image;
}

void CBalloonWnd::DrawIcon(QPainter& painter, int icon, const QRect& rect) const {
    switch (BalloonIconKind(icon)) {
        case BalloonIcon::Information:
            painter.setPen(kInfoOutline);
            painter.setBrush(kInfoFill);
            painter.drawEllipse(rect);
            painter.setPen(Qt::white);
            painter.setFont(m_infoFont);
            painter.drawText(rect, Qt::AlignCenter, QStringLiteral("i"));
            break;
        case BalloonIcon::Warning: {
            QPolygon triangle;
            triangle << QPoint(rect.center().x(), rect.top()) << rect.bottomLeft()
                     << rect.bottomRight();
            painter.setPen(kWarningOutline);
            painter.setBrush(kWarningFill);
            painter.drawPolygon(triangle);
            painter.setPen(Qt::black);
            painter.setFont(m_warningFont);
            painter.drawText(rect.adjusted(0, 0, 0, -1), Qt::AlignHCenter | Qt::AlignBottom,
                             QStringLiteral("!"));
            break;
        }
        case BalloonIcon::Error:
            painter.setPen(kErrorOutline);
            painter.setBrush(kErrorFill);
            painter.drawEllipse(rect);
            painter.setPen(QPen(Qt::white, kCrossStroke));
            painter.drawLine(rect.topLeft() + QPoint(kCrossInset, kCrossInset),
                             rect.bottomRight() - QPoint(kCrossInset, kCrossInset));
            painter.drawLine(rect.topRight() + QPoint(-kCrossInset, kCrossInset),
                             rect.bottomLeft() + QPoint(kCrossInset, -kCrossInset));
            break;
        case BalloonIcon::None:
            break;
    }
    painter.setBrush(Qt::NoBrush);
}

QRegion CBalloonWnd::BitmapToRegion(const QImage& image) {
    QRegion region;
    if (image.isNull()) return region;
    // 32-bit images are read as they are (converting a large one runs on Qt's worker threads);
    // the shape is drawn opaque, where premultiplied pixels equal plain ones.
    const bool direct = image.format() == QImage::Format_RGB32 ||
                        image.format() == QImage::Format_ARGB32 ||
                        image.format() == QImage::Format_ARGB32_Premultiplied;
    const QImage pixels = direct ? image : image.convertToFormat(QImage::Format_ARGB32);
    std::vector<QRect> runs;
    auto flush = [&] {
        QRegion batch;
        batch.setRects(runs.data(), static_cast<int>(runs.size()));
        region = region.united(batch);
        runs.clear();
    };
    for (int y = 0; y < pixels.height(); ++y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
        int x = 0;
        while (x < pixels.width()) {
            while (x < pixels.width() && IsKey(row[x])) ++x;
            int start = x;
            while (x < pixels.width() && !IsKey(row[x])) ++x;
            if (x > start) runs.emplace_back(start, y, x - start, 1);
            if (static_cast<int>(runs.size()) >= kRegionBatch) flush();
        }
    }
    if (!runs.empty()) flush();
    return region;
}

void CBalloonWnd::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setOpacity(m_model.Alpha() / double(kBalloonOpaque));
    painter.drawImage(0, 0, m_image);
    // The close button.
    QRect button = CloseButtonRect();
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    painter.setPen(m_closeHot ? pal.color(QPalette::Active, QPalette::Dark)
                              : pal.color(QPalette::Inactive, QPalette::Mid));
    painter.setBrush(m_closeHot ? pal.color(QPalette::Highlight) : pal.color(QPalette::Button));
    painter.drawEllipse(button);
    painter.setPen(
        QPen(m_closeHot ? Qt::white : Qt::black, kCloseStroke, Qt::SolidLine, Qt::RoundCap));
    QRect cross = button.adjusted(kCloseInset, kCloseInset, -kCloseInset, -kCloseInset);
    painter.drawLine(cross.topLeft(), cross.bottomRight());
    painter.drawLine(cross.topRight(), cross.bottomLeft());
}

void CBalloonWnd::mouseMoveEvent(QMouseEvent* event) {
    bool hot = CloseButtonRect().contains(event->position().toPoint());
    if (hot != m_closeHot) {
        m_closeHot = hot;
        update();
    }
}

void CBalloonWnd::enterEvent(QEnterEvent*) {
    if (m_model.MouseEnter()) {
        StopTimers();
        update();
    }
}

void CBalloonWnd::leaveEvent(QEvent*) {
    if (m_closeHot) {
        m_closeHot = false;
        update();
    }
    if (m_model.MouseLeave()) m_displayTimer.start();
}

void CBalloonWnd::mousePressEvent(QMouseEvent*) {
    if (PlatformHasWindowServices()) raise();
}

void CBalloonWnd::mouseReleaseEvent(QMouseEvent* event) {
    if (CloseButtonRect().contains(event->position().toPoint())) hide();
}

void CBalloonWnd::hideEvent(QHideEvent* event) {
    DbgOutputA(kHideLogLevel, "BalloonWnd Hide\r\n");
    StopTimers();
    m_model.Hidden();
    QWidget::hideEvent(event);
}

void CBalloonWnd::focusOutEvent(QFocusEvent* event) {
    if (m_hideOnFocusLoss) {
        m_displayTimer.stop();
        m_model.FadeOutNow();
        m_fadeTimer.start();
    }
    QWidget::focusOutEvent(event);
}
