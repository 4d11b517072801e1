#include "controls/x_edit.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QValidator>

#include <algorithm>

#include "controls/balloon_model.h"
#include "controls/balloon_wnd.h"
#include "controls/color_static.h"
#include "controls/digital_value.h"
#include "platform/dialog_items.h"
#include "platform/window_message.h"

namespace {

// Width of the anchor rectangle around the caret.
constexpr int kCaretAnchorWidth = 4;
constexpr COLORREF kFocusedTextColour = 0x000000;
constexpr COLORREF kEditBackground = 0xFFFFFF;

}  // namespace

// Sees every change of the text before it is kept. Changes made while user input is processed
// (typing, paste, drop, input-method text, posted characters) are checked character by
// character; a refused change is undone whole by the line edit. The control's own and its
// owner's texts pass unchecked.
class CXEdit::InsertionGate : public QValidator {
public:
    explicit InsertionGate(CXEdit* edit) : QValidator(edit), m_edit(edit) {}

    State validate(QString& input, int& pos) const override {
        if (m_edit->m_userInput == 0) return Acceptable;
        const QString& old = m_edit->m_lastText;
        if (input == old) return Acceptable;
        const qsizetype limit = std::min(old.size(), input.size());
        qsizetype prefix = 0;
        while (prefix < limit && old[prefix] == input[prefix]) ++prefix;
        qsizetype suffix = 0;
        while (suffix < old.size() - prefix && suffix < input.size() - prefix &&
               old[old.size() - 1 - suffix] == input[input.size() - 1 - suffix])
            ++suffix;
        QString inserted = input.mid(prefix, input.size() - prefix - suffix);
        if (inserted.isEmpty()) return Acceptable;  // only removed text
        std::u16string before = (old.left(prefix) + old.right(suffix)).toStdU16String();
        std::u16string checked = inserted.toStdU16String();
        if (!m_edit->CheckInsertion(before, static_cast<size_t>(prefix), checked)) return Invalid;
        QString result = QString::fromStdU16String(checked);
        if (result != inserted) {
            input = old.left(prefix) + result + old.right(suffix);
            pos = static_cast<int>(prefix + result.size());
        }
        return Acceptable;
    }

private:
    CXEdit* m_edit;
};

CXEdit::CXEdit(QWidget* parent) : QLineEdit(parent) {
    m_target = std::make_unique<WindowMessageTarget>(
        [this](uint32_t msg, uint64_t wParam, int64_t lParam) {
            OnWindowMessage(msg, wParam, lParam);
        },
        this);
    m_gate = new InsertionGate(this);
    setValidator(m_gate);
    connect(this, &QLineEdit::textChanged, this, &CXEdit::OnQtTextChanged);
    QPalette pal = palette();
    pal.setColor(QPalette::Base, ColorFromRef(kEditBackground));
    setPalette(pal);
    UpdateTextColour();
}

CXEdit::~CXEdit() {
    // Messages still queued for the control are dropped from here on.
    m_target.reset();
}

HWND CXEdit::Handle() const {
    return m_target->Handle();
}

int CXEdit::IsValidChar(char32_t&, int, int, std::u16string&) {
    return 1;
}
int CXEdit::PreKeyDown(int&, int, int) {
    return 1;
}
int CXEdit::PreKeyUp(int, int, int) {
    return 1;
}
int CXEdit::OnTextChanged() {
    return 0;
}
int CXEdit::OnFocusGained() {
    return 0;
}
void CXEdit::OnFocusLost(int) {}
int CXEdit::ValidateInput() {
    return 1;
}

void CXEdit::SetDeferredNotify(bool deferred) {
    m_deferredNotify = deferred;
    m_suppressChange = deferred;
}

void CXEdit::SetHintText(const QString& hint) {
    m_hintText = hint;
    if (m_hint) m_hint->SetWindowText(hint);
    UpdateHint();
}

void CXEdit::SetHintColour(COLORREF colour) {
    m_hintColour = colour;
    if (m_hint) m_hint->SetTextColour(colour);
}

void CXEdit::SetUnfocusedTextColour(COLORREF colour) {
    m_unfocusedTextColour = colour;
    UpdateTextColour();
}

void CXEdit::SetTooltip(bool on, const QString& text) {
    setToolTip(on ? text : QString());
}

void CXEdit::SetAllowedChars(const std::u16string& chars, const std::u16string& message) {
    m_lists.allowed = chars;
    m_lists.notAllowedMessage = message;
}

void CXEdit::SetDeniedChars(const std::u16string& chars, const std::u16string& message) {
    m_lists.denied = chars;
    m_lists.deniedMessage = message;
}

bool CXEdit::CheckInsertion(std::u16string before, size_t position, std::u16string& inserted) {
    std::u16string accepted;
    for (size_t i = 0; i < inserted.size();) {
        char32_t ch = inserted[i];
        size_t units = 1;
        if (QChar::isHighSurrogate(inserted[i]) && i + 1 < inserted.size() &&
            QChar::isLowSurrogate(inserted[i + 1])) {
            ch = QChar::surrogateToUcs4(inserted[i], inserted[i + 1]);
            units = 2;
        }
        i += units;
        m_insertionText = before;
        m_insertionPosition = position;
        std::u16string message;
        CharVerdict verdict;
        if (IsValidChar(ch, 1, 0, message)) {
            verdict = CheckCharLists(m_lists, ch);
        } else {
            verdict = CharVerdict{false, message};
        }
        if (!verdict.valid) {
            m_pendingMessage = verdict.message;
            return false;
        }
        std::u16string piece;
        AppendCodePoint(piece, ch);
        before.insert(position, piece);
        position += piece.size();
        accepted += piece;
    }
    inserted = accepted;
    return true;
}

void CXEdit::ShowPendingMessage() {
    if (m_pendingMessage.empty()) return;
    std::u16string message;
    message.swap(m_pendingMessage);
    ShowInputBalloon(kInputErrorTitle, message, kBalloonIconError, kBalloonIdInputError);
}

void CXEdit::ShowInputBalloon(const std::u16string& title, const std::u16string& text, int icon,
                              int id) {
    if (!m_balloon) {
        m_balloon = new CBalloonWnd(this);
        m_balloon->SetDisplayTime(kEditBalloonDisplayMs);
        m_balloon->SetHideOnFocusLoss(false);
        m_balloon->CreateBalloon(this);
    }
    const int caretX = cursorRect().center().x();
    const QPoint topLeft = mapToGlobal(QPoint(caretX - kCaretAnchorWidth / 2, 0));
    RECT anchor{topLeft.x(), topLeft.y(), topLeft.x() + kCaretAnchorWidth, topLeft.y() + height()};
    m_balloon->Show(title, text, icon, this, anchor, id);
}

int CXEdit::ShowBalloonTip(const std::u16string& title, const std::u16string& text, int icon) {
    ShowInputBalloon(title, text, icon, -1);
    return 1;
}

void CXEdit::OnWindowMessage(uint32_t msg, uint64_t wParam, int64_t) {
    if (msg != kMsgChar) return;
    std::u16string text;
    AppendCodePoint(text, static_cast<char32_t>(wParam));
    InsertAsTyped(QString::fromStdU16String(text));
}

void CXEdit::InsertAsTyped(const QString& text) {
    ++m_userInput;
    insert(text);
    --m_userInput;
    ShowPendingMessage();
}

void CXEdit::ReplaceText(const QString& text) {
    const bool suppress = m_suppressChange;
    m_suppressChange = false;
    setText(text);
    m_suppressChange = suppress;
}

void CXEdit::OnQtTextChanged(const QString& text) {
    m_lastText = text;
    UpdateHint();
    const int id = GetControlId(this);
    if (m_userInput > 0) {
        m_suppressChange = m_deferredNotify;
        if (m_deferredNotify) {
            m_changed = true;
        } else {
            emit EditChanged(id);
        }
        return;
    }
    if (m_suppressChange) return;
    m_changed = true;
    if (OnTextChanged() == 0) emit EditChanged(id);
}

bool CXEdit::event(QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(event);
            const bool plain = !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
            if (plain && (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)) {
                int code = key->key();
                if (PreKeyDown(code, key->isAutoRepeat() ? 2 : 1, int(key->modifiers())))
                    MoveFocusOn(code == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier));
                return true;
            }
            [[fallthrough]];
        }
        case QEvent::InputMethod:
        case QEvent::Drop:
        case QEvent::MouseButtonRelease: {
            ++m_userInput;
            const bool handled = QLineEdit::event(event);
            --m_userInput;
            ShowPendingMessage();
            return handled;
        }
        default:
            return QLineEdit::event(event);
    }
}

void CXEdit::keyPressEvent(QKeyEvent* event) {
    int key = event->key();
    if (!PreKeyDown(key, event->isAutoRepeat() ? 2 : 1, int(event->modifiers()))) {
        event->accept();
        return;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        MoveFocusOn(true);
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void CXEdit::keyReleaseEvent(QKeyEvent* event) {
    if (!PreKeyUp(event->key(), event->isAutoRepeat() ? 2 : 1, int(event->modifiers()))) {
        event->accept();
        return;
    }
    QLineEdit::keyReleaseEvent(event);
}

void CXEdit::MoveFocusOn(bool forward) {
    focusNextPrevChild(forward);
    if (hasFocus()) FocusLossCheck();
}

void CXEdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    UpdateTextColour();
    OnFocusGained();
}

void CXEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    UpdateTextColour();
    // A context menu of the control itself is not leaving it.
    if (event->reason() != Qt::PopupFocusReason) FocusLossCheck();
}

void CXEdit::FocusLossCheck() {
    OnFocusLost(0);
    const int id = GetControlId(this);
    if (!m_changed) {
        if (!m_quietFocusLoss) emit FocusLeft(id);
        return;
    }
    if (ValidateInput()) {
        // While the parent handles the notification, a text it writes back into this control is
        // passed on at once (its own check runs again, nested).
        m_suppressChange = false;
        emit EditChanged(id);
        m_suppressChange = m_deferredNotify;
    }
    m_changed = false;
}

void CXEdit::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    UpdateHint();
}

void CXEdit::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // Pasting from the menu is user input like Ctrl+V: it goes through the character checks.
    if (QAction* pasteAction = menu->findChild<QAction*>(QStringLiteral("edit-paste"))) {
        QObject::disconnect(pasteAction, &QAction::triggered, nullptr, nullptr);
        connect(pasteAction, &QAction::triggered, this, [this] {
            ++m_userInput;
            paste();
            --m_userInput;
            ShowPendingMessage();
        });
    }
    menu->popup(event->globalPos());
}

void CXEdit::UpdateHint() {
    const bool show = text().isEmpty() && !m_hintText.isEmpty();
    if (show && !m_hint) {
        m_hint = new CColorStatic(this);
        SetControlId(m_hint, kHintControlId);
        m_hint->setEnabled(false);
        m_hint->setAttribute(Qt::WA_TransparentForMouseEvents);
        m_hint->SetTransparentBackground();  // the caret stays visible under the hint
        m_hint->SetTextColour(m_hintColour);
        m_hint->SetStringFormat(Qt::AlignLeft | Qt::AlignVCenter);
        m_hint->SetWindowText(m_hintText);
    }
    if (!m_hint) return;
    if (show) {
        QStyleOptionFrame option;
        initStyleOption(&option);
        QRect area = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
        const QMargins margins = textMargins();
        m_hint->setGeometry(area.marginsRemoved(margins).adjusted(2, 0, 0, 0));
        m_hint->setFont(font());
        m_hint->show();
    } else if (m_hint->isVisible()) {
        m_hint->hide();
    }
}

void CXEdit::UpdateTextColour() {
    QPalette pal = palette();
    pal.setColor(QPalette::Text,
                 ColorFromRef(hasFocus() ? kFocusedTextColour : m_unfocusedTextColour));
    setPalette(pal);
}
