// The toolkit-free half of the numeric edit control: number types, hard and advisory limits, the
// check of a finished entry against them (with the balloon texts it produces), reading decimal
// text and the short display form of a double.
//
// Texts are UTF-16 (std::u16string). No state; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Number type of a numeric edit control.
enum DigitalValueType : int {
    Int32 = 0,
    UInt32 = 1,
    Int64 = 2,
    UInt64 = 3,
    Float = 4,
    Double = 5,
};

// One limit. The 64-bit value is read per type: Int32/UInt32 in the low 32 bits, Int64/UInt64 as
// a 64-bit integer, Float as a 32-bit float in the low 32 bits, Double as a double. The tolerance
// counts for Float and Double only. An empty format means the type's default format.
struct ValueLimit {
    int type = Int32;
    uint64_t value = 0;
    double tolerance = 0.0;
    std::u16string label;
    std::u16string format;
};

// Default labels of the hard limits.
inline constexpr char16_t kMinValueLabel[] = u"MinValue";
inline constexpr char16_t kMaxValueLabel[] = u"MaxValue";

// The raw 64-bit value of `number` stored as the type (integers truncated toward zero).
uint64_t DigitalValueFromNumber(int type, double number);
// The raw value read as a double per type; 0 for a type above Double.
double DigitalValueToNumber(int type, uint64_t value);

// The first entry equal to `value` (read per the entry's type): Int64/UInt64 exactly, Float and
// Double within the entry's tolerance, the other types by their low 32 bits. Entries with a type
// above Double are skipped. Null when none matches.
ValueLimit* FindLimit(std::vector<ValueLimit>& list, uint64_t value);

// The limit's value as text: its own format, else "%d", "%u", "%lld", "%llu", or for Float and
// Double the shortest fixed format with up to 10 decimals.
std::u16string FormatLimitValue(const ValueLimit& limit);

// Checks x against every entry of the list as a lower (or upper) bound. Integer limits widen by
// 0.5 (so a value that rounds to an allowed integer passes), Float and Double limits by their
// tolerance. On the first failure the result is the message "<label> <operator> <limit>", e.g.
// "MinValue Must >= 10" ("Suggest" instead of "Must" for advisory lists), and `failed` points
// at the entry. An empty list passes (no result).
struct LimitFailure {
    std::u16string message;
    const ValueLimit* failed = nullptr;
};
std::optional<LimitFailure> CheckLimits(double x, const std::vector<ValueLimit>& list,
                                        bool lowerBound, bool must);

// Reads the longest decimal number at the start of the text (after leading blanks): sign, digits,
// fraction, exponent, always in the "C" rules. 0 when there is none. `consumed` (optional)
// receives the number of characters read, blanks included (0 when there is no number).
double ParseLeadingDecimal(std::u16string_view text, size_t* consumed = nullptr);

// Reads a whole entry of a numeric edit control: an optional minus sign and digits with an
// optional fraction ("12", "-0.5", "1.", ".5"); with hexadecimal digits allowed, also a run of
// hexadecimal digits that holds a letter ("1A" = 26). Nothing else may follow or precede, so
// "12abc", "-" and "." are not numbers (no result). The empty text is no number either.
std::optional<double> ReadEntryNumber(std::u16string_view text, bool hexAllowed);

// The display text of a double: fixed notation with as many of at most two decimals as the
// value needs, so trailing zeros are dropped (2.50 -> "2.5", 3.0 -> "3", 1.234 -> "1.23").
std::u16string FormatDisplayDouble(double value);

// A balloon message of the edit controls.
struct EditBalloon {
    std::u16string title;
    std::u16string text;
    int icon = 0;  // 2 warning, 3 error
    int id = 0;
};

// Balloon ids and icons of the numeric edit control.
inline constexpr int kBalloonIconWarning = 2;
inline constexpr int kBalloonIconError = 3;
inline constexpr int kBalloonIdInputError = 1;
inline constexpr int kBalloonIdSuggestMin = 11;
inline constexpr int kBalloonIdSuggestMax = 12;
inline constexpr int kBalloonIdMustMin = 13;
inline constexpr int kBalloonIdMustMax = 14;
inline constexpr char16_t kInputErrorTitle[] = u"Input Error";
inline constexpr char16_t kDataInvalidTitle[] = u"Data Invalid";

struct DigitalLimits {
    std::vector<ValueLimit> mustMin;
    std::vector<ValueLimit> mustMax;
    std::vector<ValueLimit> suggestMin;
    std::vector<ValueLimit> suggestMax;
};

// The check of a finished entry (when focus leaves the control).
struct EntryCheck {
    bool valid = true;
    std::optional<EditBalloon> advisory;  // a suggest limit failed: a warning only
    std::optional<EditBalloon> refusal;   // a hard limit failed or the text is no number
    // For an invalid entry: the text to put in its place (the violated limit's value); empty when
    // the text was no number at all and the control should restore its last valid text.
    std::u16string replacement;
};

// The empty text counts as 0. A text that is not a whole number (ReadEntryNumber) is refused
// with "Invalid number '<text>'" (error icon, id 13). Otherwise the advisory lists are checked
// (minimum first, warning icon, id 11 or 12; advisory failures keep the entry valid), then the
// hard lists (minimum first, error icon, id 13 or 14), whose failure makes the entry invalid with
// the violated limit's value as replacement.
EntryCheck CheckEntry(std::u16string_view text, bool hexAllowed, const DigitalLimits& limits);
