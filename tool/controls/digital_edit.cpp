#include "controls/digital_edit.h"

#include "controls/edit_char_filter.h"
#include "core/delay_post_msg.h"
#include "platform/dialog_items.h"

namespace {

constexpr char32_t kPoint = U'.';

bool IsMainPeriodKey(int key, int flags) {
    return key == Qt::Key_Period && !(flags & Qt::KeypadModifier);
}

}  // namespace

CDigitalEdit::CDigitalEdit(QWidget* parent) : CXEdit(parent) {}

CDigitalEdit::~CDigitalEdit() = default;

void CDigitalEdit::SetValueType(int type) {
    m_type = (type >= Int32 && type <= Double) ? type : Int32;
}

void CDigitalEdit::SetMinValue(uint64_t value, double tolerance) {
    m_limits.mustMin.assign(1, ValueLimit{m_type, value, tolerance, kMinValueLabel, {}});
}

void CDigitalEdit::SetMaxValue(uint64_t value, double tolerance) {
    m_limits.mustMax.assign(1, ValueLimit{m_type, value, tolerance, kMaxValueLabel, {}});
}

int CDigitalEdit::IsValidChar(char32_t& ch, int, int, std::u16string& message) {
    if (ch == kPoint) m_pointSeen = true;
    CharVerdict verdict =
        CheckDigitalChar(m_type, m_hexAllowed, InsertionText(), InsertionPosition(), ch);
    message = verdict.message;
    return verdict.valid ? 1 : 0;
}

int CDigitalEdit::PreKeyDown(int& key, int, int flags) {
    if (IsMainPeriodKey(key, flags)) m_pointSeen = false;
    return 1;
}

int CDigitalEdit::PreKeyUp(int key, int, int flags) {
    if (!IsMainPeriodKey(key, flags)) return 1;
    // An input method turned the key into something else: give the point it meant.
    const uint64_t point = kPoint;
    const HWND self = Handle();
    if (!m_pointSeen &&
        !gDelayPostMsgEngine.HasDelayPostMsg(self, self, kMsgChar, &point, nullptr)) {
        gDelayPostMsgEngine.DelayPostMsg(kPointDelayMs, self, self, kMsgChar, point, 0, nullptr, 0);
    }
    m_pointSeen = false;
    return 0;
}

int CDigitalEdit::ValidateInput() {
    EntryCheck check = CheckEntry(text().toStdU16String(), m_hexAllowed, m_limits);
    if (check.advisory) {
        ShowInputBalloon(check.advisory->title, check.advisory->text, check.advisory->icon,
                         check.advisory->id);
    }
    if (check.refusal) {
        ShowInputBalloon(check.refusal->title, check.refusal->text, check.refusal->icon,
                         check.refusal->id);
    }
    if (!check.valid) {
        ReplaceText(check.replacement.empty() ? m_lastValid
                                              : QString::fromStdU16String(check.replacement));
        m_lastValid = text();
        return 0;
    }
    m_lastValid = text();
    return 1;
}

void SetDlgItemDouble(QWidget* dialog, int id, double value) {
    SetDlgItemText(dialog, id, QString::fromStdU16String(FormatDisplayDouble(value)));
}

double GetDlgItemDouble(const QWidget* dialog, int id) {
    return ParseLeadingDecimal(GetDlgItemText(dialog, id).toStdU16String());
}
