// CDigitalEdit: the numeric edit of the parameter pages. It accepts only what can make a number
// of its type (integer or floating point, signed or not, optionally hexadecimal digits), checks a
// finished entry against hard limits (a violating value is replaced by the limit) and advisory
// limits (a warning only), and reports both in its balloon ("Data Invalid", e.g.
// "MinValue Must >= 10").
//
// The whole text must be a number: pasted, dropped or input-method text is checked character
// by character like typed text, and an entry such as "12abc" is never read as 12.
//
// The point key: when an input method turns the main keyboard's period into another character
// (U+3002), the key produced no point, so one is posted to the control 70 ms after the key is
// released; when the key produced its point, nothing more happens.
//
// SetDlgItemDouble and GetDlgItemDouble show and read a double in a dialog's control.
// Window thread only.
#pragma once

#include <cstdint>
#include <vector>

#include <QString>

#include "controls/digital_value.h"
#include "controls/x_edit.h"

// Delay of the point posted for a period key that produced none.
inline constexpr uint32_t kPointDelayMs = 70;

class CDigitalEdit : public CXEdit {
    Q_OBJECT
public:
    explicit CDigitalEdit(QWidget* parent = nullptr);
    ~CDigitalEdit() override;

    // DigitalValueType (Int32 when out of range).
    void SetValueType(int type);
    int ValueType() const { return m_type; }
    void SetHexAllowed(bool allowed) { m_hexAllowed = allowed; }

    // Replace the hard limits with one limit of the current type (value read per the type, see
    // ValueLimit), labelled "MinValue" / "MaxValue".
    void SetMinValue(uint64_t value, double tolerance = 0.0);
    void SetMaxValue(uint64_t value, double tolerance = 0.0);
    // The limit lists; owners fill the advisory ones themselves (FindLimit finds an entry).
    std::vector<ValueLimit>& MustMinLimits() { return m_limits.mustMin; }
    std::vector<ValueLimit>& MustMaxLimits() { return m_limits.mustMax; }
    std::vector<ValueLimit>& SuggestMinLimits() { return m_limits.suggestMin; }
    std::vector<ValueLimit>& SuggestMaxLimits() { return m_limits.suggestMax; }

    int IsValidChar(char32_t& ch, int repeat, int flags, std::u16string& message) override;
    int PreKeyDown(int& key, int repeat, int flags) override;
    int PreKeyUp(int key, int repeat, int flags) override;
    int ValidateInput() override;

private:
    DigitalLimits m_limits;
    int m_type = Int32;
    bool m_hexAllowed = false;
    bool m_pointSeen = false;  // the period key produced a point since it went down
    QString m_lastValid;       // the text restored when an entry is no number at all
};

// Shows the value with as many of at most two decimals as it needs ("2.5", "3").
void SetDlgItemDouble(QWidget* dialog, int id, double value);
// The control's text read as a decimal number: its longest leading number, 0 when none.
double GetDlgItemDouble(const QWidget* dialog, int id);
