// CXEdit: the single-line edit of the tool's pages. Every inserted character — typed, pasted,
// dropped or committed by an input method — goes through IsValidChar and the allowed/denied
// lists; a refused insertion is dropped whole and its message shown in a balloon at the caret.
// A grey hint shows while the control is empty; Enter and Tab move the focus on. By default the
// parent hears of a change once, when the focus leaves and ValidateInput accepts the text
// (EditChanged); with deferred notify off, after every change.
//
// The control is a message target (Handle()): characters may be posted to it as kMsgChar
// messages (wParam = the character), and posting to a destroyed control does nothing.
//
// Window thread only.
#pragma once

#include <QLineEdit>
#include <QPointer>

#include <cstdint>
#include <memory>
#include <string>

#include "controls/balloon_wnd.h"
#include "controls/color_static.h"
#include "controls/edit_char_filter.h"
#include "core/platform_types.h"

class WindowMessageTarget;

// A character message posted to an edit: wParam = the character.
inline constexpr uint32_t kMsgChar = 0x0102;
// The hint static's control id.
inline constexpr int kHintControlId = 0xFFFF;
// Display time of the edit's balloon messages.
inline constexpr int kEditBalloonDisplayMs = 3000;

class CXEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CXEdit(QWidget* parent = nullptr);
    ~CXEdit() override;

    // The hooks of derived controls, in this order. IsValidChar may change the character; a
    // nonzero result lets it through (the lists still apply), 0 refuses it with `message` (none
    // when empty). During IsValidChar, InsertionText/InsertionPosition tell where it goes.
    virtual int IsValidChar(char32_t& ch, int repeat, int flags, std::u16string& message);
    // 0 suppresses the default key-down / key-up processing.
    virtual int PreKeyDown(int& key, int repeat, int flags);
    virtual int PreKeyUp(int key, int repeat, int flags);
    // For a change the control did not make itself: 0 passes it on to the parent.
    virtual int OnTextChanged();
    virtual int OnFocusGained();
    virtual void OnFocusLost(int reason);
    // The check when the focus leaves a changed control: nonzero accepts the text.
    virtual int ValidateInput();

    // Shows a message in the control's balloon, its tail at the caret.
    void ShowInputBalloon(const std::u16string& title, const std::u16string& text, int icon,
                          int id);
    // A balloon request of the platform's kind (id -1). 1.
    int ShowBalloonTip(const std::u16string& title, const std::u16string& text, int icon);

    void SetDeferredNotify(bool deferred);
    void SetQuietFocusLoss(bool quiet) { m_quietFocusLoss = quiet; }
    void SetHintText(const QString& hint);
    void SetHintColour(COLORREF colour);
    void SetUnfocusedTextColour(COLORREF colour);
    void SetTooltip(bool on, const QString& text);
    void SetAllowedChars(const std::u16string& chars, const std::u16string& message);
    void SetDeniedChars(const std::u16string& chars, const std::u16string& message);

    // The control's message target.
    HWND Handle() const;
    // The balloon (null until the first message).
    CBalloonWnd* Balloon() const { return m_balloon; }
    // The hint static (null until first needed).
    CColorStatic* Hint() const { return m_hint; }

signals:
    // The edit-change notification to the parent, with the control's id.
    void EditChanged(int controlId);
    // A focus loss that was not consumed (nothing changed and quiet focus loss is off).
    void FocusLeft(int controlId);

protected:
    // Text and position of the insertion being checked (valid during IsValidChar).
    const std::u16string& InsertionText() const { return m_insertionText; }
    size_t InsertionPosition() const { return m_insertionPosition; }
    // A message posted to the control's handle.
    virtual void OnWindowMessage(uint32_t msg, uint64_t wParam, int64_t lParam);
    // Inserts text as if typed (through every check).
    void InsertAsTyped(const QString& text);
    // Sets the text as the control itself, passed on to the parent as a change.
    void ReplaceText(const QString& text);

    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    class InsertionGate;
    friend class InsertionGate;

    // Checks an insertion into `before` at `position`; false refuses it (its message pending).
    bool CheckInsertion(std::u16string before, size_t position, std::u16string& inserted);
    void OnQtTextChanged(const QString& text);
    void FocusLossCheck();
    void ShowPendingMessage();
    void UpdateHint();
    void UpdateTextColour();
    void MoveFocusOn(bool forward);

    std::unique_ptr<WindowMessageTarget> m_target;
    InsertionGate* m_gate = nullptr;  // owned by Qt (child)
    QPointer<CBalloonWnd> m_balloon;
    QPointer<CColorStatic> m_hint;
    CharLists m_lists;
    QString m_hintText;
    COLORREF m_hintColour = 0x808080;
    COLORREF m_unfocusedTextColour = 0;
    QString m_lastText;  // the text before the change being checked
    std::u16string m_insertionText;
    size_t m_insertionPosition = 0;
    std::u16string m_pendingMessage;
    int m_userInput = 0;  // nesting of user input being processed
    bool m_deferredNotify = true;
    bool m_quietFocusLoss = true;
    bool m_changed = false;
    bool m_suppressChange = true;
};
