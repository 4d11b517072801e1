// CBalloonWnd: the tool's balloon message window, a borderless pop-up shaped like a speech
// bubble whose tail points at an anchor rectangle (the caret of an edit control). It stacks short
// messages (icon, title, text), lets each expire after the display time, and fades out over
// 1.5 s when none is left. Hovering keeps it open; the close button hides it.
//
// The message list and the timer steps live in BalloonModel (balloon_model.h); this widget lays
// the bubble out with measured texts, draws it, and runs the two 100 ms timers, whose steps tests
// may also call directly (StepDisplayTimer, StepFadeTimer) to drive time without waiting.
//
// The fade is drawn (the bubble is painted with the current opacity on a translucent window), so
// it works on every platform plugin; the bubble's shape is also set as the window mask.
//
// Window thread only.
#pragma once

#include <QFont>
#include <QImage>
#include <QPointer>
#include <QRect>
#include <QRegion>
#include <QTimer>
#include <QWidget>

#include <string>

#include "controls/balloon_model.h"
#include "core/platform_types.h"

class CBalloonWnd : public QWidget {
    Q_OBJECT
public:
    // A balloon owned by `parent` (may be null); it is a top-level pop-up all the same.
    explicit CBalloonWnd(QWidget* parent = nullptr);
    ~CBalloonWnd() override;

    // Makes the window ready to show messages for the owner (may be null). 1.
    int CreateBalloon(QWidget* owner);

    // Shows a message (see BalloonModel::Show for how it is matched with one already shown),
    // anchored at `anchor` in screen coordinates, and starts the expiry timer. 0 before
    // CreateBalloon, else 1.
    int Show(const std::u16string& title, const std::u16string& text, int icon, QWidget* owner,
             const RECT& anchor, int id);

    void SetDisplayTime(int ms);
    void SetHideOnFocusLoss(bool hide) { m_hideOnFocusLoss = hide; }

    // One step of the expiry timer and of the fade timer (what the timers call).
    void StepDisplayTimer();
    void StepFadeTimer();
    bool IsDisplayTimerActive() const { return m_displayTimer.isActive(); }
    bool IsFadeTimerActive() const { return m_fadeTimer.isActive(); }

    const BalloonModel& Model() const { return m_model; }
    int Alpha() const { return m_model.Alpha(); }
    int LayoutFlags() const { return m_layout.flags; }
    // The close button in widget coordinates.
    QRect CloseButtonRect() const;

    // The region of every pixel of the image that is not the transparency key (red 255, green
    // and blue at most 16), built row by row from one-pixel-high runs. Empty for a null image.
    static QRegion BitmapToRegion(const QImage& image);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void LayOutAndRender();
    void RenderImage();
    void DrawIcon(QPainter& painter, int icon, const QRect& rect) const;
    QRect OwnerScreenRect() const;
    void StopTimers();

    BalloonModel m_model;
    BalloonLayout m_layout;
    QFont m_warningFont;
    QFont m_infoFont;
    QFont m_titleFont;
    QFont m_textFont;
    QImage m_image;  // the rendered bubble, transparent outside its shape
    QTimer m_displayTimer;
    QTimer m_fadeTimer;
    QPointer<QWidget> m_owner;
    QRect m_ownerRect;
    RECT m_anchor{};
    bool m_created = false;
    bool m_hideOnFocusLoss = true;
    bool m_closeHot = false;
};
