// The toolkit-free half of the balloon message window: its message list with display times, the
// two timers' steps (expiry every 100 ms, then a fade of 15 steps), hovering, and the layout
// arithmetic of the speech bubble from measured text sizes.
//
// The balloon widget owns one BalloonModel, calls its steps from its timers and draws what the
// layout gives; tests step it directly, so time is driven without waiting. Window thread only
// (like the widget); no locking.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/platform_types.h"

// Period of both timers.
inline constexpr int kBalloonTickMs = 100;
// How long a message stays after it was last shown.
inline constexpr int kBalloonDisplayMs = 3000;
// Opacity lost per fade step (255 / 17 = 15 steps, 1.5 s).
inline constexpr int kBalloonFadeStep = 17;
inline constexpr int kBalloonOpaque = 255;
// What every message keeps at least after the mouse left the balloon.
inline constexpr int kBalloonLeaveMs = 2000;

// Icon kinds: 0 none, 1 or 4 information, 2 or 5 warning, 3 or 6 error.
enum class BalloonIcon { None, Information, Warning, Error };
BalloonIcon BalloonIconKind(int icon);

struct BalloonMessage {
    int id = -1;  // -1: identified by title and text
    int icon = 0;
    std::u16string title;
    std::u16string text;
    int titleLineSpacing = -1;
    int textLineSpacing = -1;
    int remainingMs = 0;  // 0: expired
};

// What the widget must do after a step.
enum class BalloonAction {
    None,        // nothing changes on screen
    Rerender,    // a message expired, others remain: lay out and draw again
    Hide,        // hide the window (messages are gone)
    StartFade,   // no message is left: stop the expiry timer and start the fade timer
    SetOpacity,  // the fade went on: apply Alpha()
};

enum class BalloonPhase { Hidden, Showing, Hovered, Fading };

class BalloonModel {
public:
    explicit BalloonModel(int displayMs = kBalloonDisplayMs) : m_displayMs(displayMs) {}

    // The display time of messages shown from now on.
    void SetDisplayMs(int displayMs) { m_displayMs = displayMs; }

    // Adds a message or refreshes an existing one (same id, or for id < 0 same title and text):
    // a refreshed message gets the new icon (with an id match also title and text), its full
    // display time again and moves to the front. The balloon becomes opaque and showing.
    void Show(const std::u16string& title, const std::u16string& text, int icon, int id);

    // Expiry timer step. ownerVisible false: Hide. Otherwise every live message loses 100 ms
    // (one with 100 ms or less expires); if some remain, Rerender when one just expired, else
    // Hide when ownerMoved, else None; with none left, StartFade (opacity back to opaque).
    BalloonAction TickDisplay(bool ownerVisible, bool ownerMoved);

    // Fade timer step: opacity drops by 17; below 1 the messages are dropped and the result is
    // Hide, otherwise SetOpacity.
    BalloonAction TickFade();

    // The mouse entered the balloon: the timers stop and it turns opaque again. False when it
    // was already over it or the balloon had faded out (then nothing changes).
    bool MouseEnter();
    // The mouse left: every message keeps at least 2 s more and expiry resumes. False when the
    // mouse was not over the balloon.
    bool MouseLeave();

    // Focus loss with hide-on-focus-loss: start the fade and drop the messages.
    void FadeOutNow();

    // The window was hidden: messages are dropped, timers stop.
    void Hidden();

    // Live messages (remaining time > 0), newest first.
    std::vector<const BalloonMessage*> LiveMessages() const;
    const std::vector<BalloonMessage>& Messages() const { return m_messages; }

    int Alpha() const { return m_alpha; }
    BalloonPhase Phase() const { return m_phase; }
    bool MouseOver() const { return m_mouseOver; }
    int DisplayMs() const { return m_displayMs; }

private:
    int m_displayMs;
    std::vector<BalloonMessage> m_messages;  // newest first
    int m_alpha = kBalloonOpaque;
    BalloonPhase m_phase = BalloonPhase::Hidden;
    bool m_mouseOver = false;
};

// Layout of the bubble. Sizes are measured by the widget (a string as one block, lines split at
// line breaks only); a measured height of 0 means the string takes no room.
struct BalloonTextSize {
    int width = 0;
    int height = 0;
};
struct BalloonItemMetrics {
    bool hasIcon = false;
    BalloonTextSize title;
    BalloonTextSize text;
};
struct BalloonItemLayout {
    RECT icon{};
    RECT title{};
    RECT text{};
};

// Layout flags.
inline constexpr int kBalloonCentred = 1 << 0;  // centred over the anchor (right screen edge)
inline constexpr int kBalloonAbove = 1 << 3;    // above the anchor (bottom screen edge)

struct BalloonLayout {
    int width = 0;
    int height = 0;
    int flags = 0;
    std::vector<BalloonItemLayout> items;  // drawing rectangles (already moved up when above)
    POINT tail[3]{};                       // tip, then the two base corners
    RECT body{};                           // the rounded body
    RECT closeButton{};
    POINT position{};  // top-left on the screen, before following the owner's moves
};

// Lays out the messages for an anchor rectangle on a screen of the given usable size.
BalloonLayout LayOutBalloon(const std::vector<BalloonItemMetrics>& items, const RECT& anchor,
                            SIZE screen);
