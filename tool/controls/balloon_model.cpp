#include "controls/balloon_model.h"

#include <algorithm>

namespace {

// Layout constants of the bubble, in pixels.
constexpr int kTopMargin = 20;     // first message below the tail
constexpr int kIconLeft = 14;      // icon's left edge
constexpr int kIconSize = 30;      // icon square
constexpr int kIconTopGap = 10;    // icon below the message top
constexpr int kTextLeftIcon = 54;  // title/text left edge with an icon
constexpr int kTextLeftNone = 24;  // ... without
constexpr int kTitleTopGap = 8;
constexpr int kTitleBottomGap = 10;
constexpr int kTextGap = 2;
constexpr int kSideMargin = 40;
constexpr int kWidthMultiple = 4;
constexpr int kBottomMargin = 8;
constexpr int kTail = 20;  // tail height, and its base width
constexpr int kTailHalfBase = 10;
constexpr int kCloseSize = 20;
constexpr int kCloseRight = 10;
constexpr int kCloseTopBelow = 32;
constexpr int kCloseTopAbove = 12;
constexpr int kAnchorGap = 2;

RECT Shifted(RECT r, int dy) {
    return RECT{r.left, r.top + dy, r.right, r.bottom + dy};
}

}  // namespace

BalloonIcon BalloonIconKind(int icon) {
    switch (icon) {
        case 1:
        case 4:
            return BalloonIcon::Information;
        case 2:
        case 5:
            return BalloonIcon::Warning;
        case 3:
        case 6:
            return BalloonIcon::Error;
        default:
            return BalloonIcon::None;
    }
}

void BalloonModel::Show(const std::u16string& title, const std::u16string& text, int icon, int id) {
    auto found = std::find_if(m_messages.begin(), m_messages.end(), [&](const BalloonMessage& m) {
        return id < 0 ? (m.title == title && m.text == text) : m.id == id;
    });
    BalloonMessage message;
    if (found != m_messages.end()) {
        message = *found;
        m_messages.erase(found);
        if (id >= 0) {
            message.title = title;
            message.text = text;
        }
    } else {
        message.id = id;
        message.title = title;
        message.text = text;
    }
    message.icon = icon;
    message.titleLineSpacing = -1;
    message.textLineSpacing = -1;
    message.remainingMs = m_displayMs;
    m_messages.insert(m_messages.begin(), std::move(message));
    m_mouseOver = false;
    m_alpha = kBalloonOpaque;
    m_phase = BalloonPhase::Showing;
}

BalloonAction BalloonModel::TickDisplay(bool ownerVisible, bool ownerMoved) {
    if (m_phase != BalloonPhase::Showing) return BalloonAction::None;
    if (!ownerVisible) {
        Hidden();
        return BalloonAction::Hide;
    }
    bool expired = false;
    bool alive = false;
    for (BalloonMessage& m : m_messages) {
        if (m.remainingMs <= 0) continue;
        if (m.remainingMs > kBalloonTickMs) {
            m.remainingMs -= kBalloonTickMs;
            alive = true;
        } else {
            m.remainingMs = 0;
            expired = true;
        }
    }
    if (alive) {
        if (expired) return BalloonAction::Rerender;
        if (ownerMoved) {
            Hidden();
            return BalloonAction::Hide;
        }
        return BalloonAction::None;
    }
    m_alpha = kBalloonOpaque;
    m_phase = BalloonPhase::Fading;
    return BalloonAction::StartFade;
}

BalloonAction BalloonModel::TickFade() {
    if (m_phase != BalloonPhase::Fading) return BalloonAction::None;
    m_alpha -= kBalloonFadeStep;
    if (m_alpha < 1) {
        Hidden();
        return BalloonAction::Hide;
    }
    return BalloonAction::SetOpacity;
}

bool BalloonModel::MouseEnter() {
    if (m_mouseOver || m_phase == BalloonPhase::Hidden || m_alpha <= 0) return false;
    m_mouseOver = true;
    m_alpha = kBalloonOpaque;
    m_phase = BalloonPhase::Hovered;
    return true;
}

bool BalloonModel::MouseLeave() {
    if (!m_mouseOver) return false;
    m_mouseOver = false;
    for (BalloonMessage& m : m_messages) m.remainingMs = std::max(m.remainingMs, kBalloonLeaveMs);
    m_phase = BalloonPhase::Showing;
    return true;
}

void BalloonModel::FadeOutNow() {
    m_messages.clear();
    m_alpha = kBalloonOpaque;
    m_phase = BalloonPhase::Fading;
}

void BalloonModel::Hidden() {
    m_messages.clear();
    m_mouseOver = false;
    m_alpha = kBalloonOpaque;
    m_phase = BalloonPhase::Hidden;
}

std::vector<const BalloonMessage*> BalloonModel::LiveMessages() const {
    std::vector<const BalloonMessage*> live;
    for (const BalloonMessage& m : m_messages)
        if (m.remainingMs > 0) live.push_back(&m);
    return live;
}

BalloonLayout LayOutBalloon(const std::vector<BalloonItemMetrics>& items, const RECT& anchor,
                            SIZE screen) {
    BalloonLayout layout;
    int y = kTopMargin;
    int width = 0;
    for (const BalloonItemMetrics& item : items) {
        BalloonItemLayout out;
        int x = item.hasIcon ? kTextLeftIcon : kTextLeftNone;
        out.icon = item.hasIcon ? RECT{kIconLeft, y + kIconTopGap, kIconLeft + kIconSize,
                                       y + kIconTopGap + kIconSize}
                                : RECT{kIconLeft, y + kIconTopGap, kIconLeft, y + kIconTopGap};
        int titleBottom =
            item.title.height > 0 ? y + kTitleBottomGap + item.title.height : y + kTitleTopGap;
        out.title = RECT{x, y + kTitleTopGap, x + item.title.width + kTextGap, titleBottom};
        int textTop = titleBottom + kTextGap;
        int textBottom = item.text.height > 0 ? textTop + item.text.height + kTextGap : textTop;
        out.text = RECT{x, textTop, x + item.text.width + kTextGap, textBottom};
        width =
            std::max({width, static_cast<int>(out.title.right), static_cast<int>(out.text.right)});
        y = std::max({static_cast<int>(out.icon.bottom), static_cast<int>(out.title.bottom),
                      static_cast<int>(out.text.bottom)});
        layout.items.push_back(out);
    }
    layout.width = (width + kSideMargin + kWidthMultiple - 1) / kWidthMultiple * kWidthMultiple;
    layout.height = y + kBottomMargin;
    const int w = layout.width;
    const int h = layout.height;
    if (anchor.left + w - kTail >= screen.cx) layout.flags |= kBalloonCentred;
    if (anchor.bottom + h >= screen.cy) layout.flags |= kBalloonAbove;
    const bool centred = layout.flags & kBalloonCentred;
    const bool above = layout.flags & kBalloonAbove;

    int tipX = centred ? w / 2 : kTail;
    int baseLeft = centred ? w / 2 - kTailHalfBase : kTail;
    int baseRight = centred ? w / 2 + kTailHalfBase : 2 * kTail;
    int tipY = above ? h : 0;
    int baseY = above ? h - kTail : kTail;
    layout.tail[0] = POINT{tipX, tipY};
    layout.tail[1] = POINT{baseLeft, baseY};
    layout.tail[2] = POINT{baseRight, baseY};
    layout.body = above ? RECT{0, 0, w, h - kTail} : RECT{0, kTail, w, h};
    if (above) {
        for (BalloonItemLayout& item : layout.items) {
            item.icon = Shifted(item.icon, -kTail);
            item.title = Shifted(item.title, -kTail);
            item.text = Shifted(item.text, -kTail);
        }
    }
    int closeTop = above ? kCloseTopAbove : kCloseTopBelow;
    layout.closeButton =
        RECT{w - kCloseRight - kCloseSize, closeTop, w - kCloseRight, closeTop + kCloseSize};
    layout.position.x = centred ? anchor.left - w / 2 : anchor.left - kTail;
    layout.position.y = above ? anchor.top - h - kAnchorGap : anchor.bottom + kAnchorGap;
    return layout;
}
