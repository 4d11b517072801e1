#include "controls/digital_value.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "core/base_string.h"
#include "core/hex_text.h"
#include "core/number_text.h"
#include "core/text_format.h"
#include "core/value_text.h"

namespace {

// Decimals the display form of a double may show.
constexpr int kDisplayDecimals = 2;
// Decimals a Float or Double limit may show in a message.
constexpr int kLimitDecimals = 10;
// Integer limits accept what rounds to an allowed integer.
constexpr double kIntegerLimitSlack = 0.5;

bool IsDigit(char16_t ch) {
    return ch >= u'0' && ch <= u'9';
}

// The typed-value code of value_text.h that reads the raw value of a number type.
int ValueTextType(int type) {
    switch (type) {
        case Int32:
            return kValueTypeInt32;
        case UInt32:
            return kValueTypeUInt32;
        case Int64:
            return kValueTypeInt64;
        case UInt64:
            return kValueTypeUInt64;
        case Float:
            return kValueTypeFloat;
        case Double:
            return kValueTypeDouble;
        default:
            return -1;
    }
}

float LowFloat(uint64_t value) {
    uint32_t bits = static_cast<uint32_t>(value);
    float f = 0;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

double RawDouble(uint64_t value) {
    double d = 0;
    std::memcpy(&d, &value, sizeof d);
    return d;
}

// The number in [begin, end) of an ASCII-only text.
double ReadAscii(std::u16string_view text) {
    std::string ascii(text.begin(), text.end());
    double value = 0;
    const char* first = ascii.data();
    if (!ascii.empty() && ascii[0] == '+') ++first;  // from_chars takes no plus sign
    std::from_chars(first, ascii.data() + ascii.size(), value);
    return value;
}

// Length of "[sign]digits[.digits]" (at least one digit) at the start; 0 when there is none.
size_t FixedNumberLength(std::u16string_view text, bool allowPlus) {
    size_t i = 0;
    if (i < text.size() && (text[i] == u'-' || (allowPlus && text[i] == u'+'))) ++i;
    size_t digits = 0;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
    if (i < text.size() && text[i] == u'.') {
        size_t afterPoint = i + 1;
        size_t fraction = 0;
        while (afterPoint + fraction < text.size() && IsDigit(text[afterPoint + fraction]))
            ++fraction;
        if (digits + fraction > 0) {
            i = afterPoint + fraction;
            digits += fraction;
        }
    }
    return digits > 0 ? i : 0;
}

std::u16string FormatWithDoubleFormat(double value, int maximumDecimals) {
    CBaseStringW format;
    GetDoubleSuitableDisplayFormatW(value, maximumDecimals, &format);
    std::u16string out;
    FormatText(out, format.GetString(), value);
    return out;
}

}  // namespace

namespace {

// A double converted to an integer type, saturating at the type's ends (NaN gives 0): a plain
// conversion of a value out of range is undefined.
template <typename Integer>
Integer SaturatingCast(double number) {
    if (std::isnan(number)) return 0;
    constexpr double kLowest = static_cast<double>(std::numeric_limits<Integer>::lowest());
    // The largest value as a double may round up past the type; compare with >= against it.
    constexpr double kBeyondMax = static_cast<double>(std::numeric_limits<Integer>::max());
    if (number <= kLowest) return std::numeric_limits<Integer>::lowest();
    if (number >= kBeyondMax) return std::numeric_limits<Integer>::max();
    return static_cast<Integer>(number);
}

}  // namespace

uint64_t DigitalValueFromNumber(int type, double number) {
    switch (type) {
        case Int32:
            return static_cast<uint32_t>(SaturatingCast<int32_t>(number));
        case UInt32:
            return SaturatingCast<uint32_t>(number);
        case Int64:
            return static_cast<uint64_t>(SaturatingCast<int64_t>(number));
        case UInt64:
            return SaturatingCast<uint64_t>(number);
        case Float: {
            float f = static_cast<float>(number);
            uint32_t bits = 0;
            std::memcpy(&bits, &f, sizeof bits);
            return bits;
        }
        case Double: {
            uint64_t bits = 0;
            std::memcpy(&bits, &number, sizeof bits);
            return bits;
        }
        default:
            return 0;
    }
}

double DigitalValueToNumber(int type, uint64_t value) {
    switch (type) {
        case Int32:
            return static_cast<int32_t>(static_cast<uint32_t>(value));
        case UInt32:
            return static_cast<uint32_t>(value);
        case Int64:
            return static_cast<double>(static_cast<int64_t>(value));
        case UInt64:
            return static_cast<double>(value);
        case Float:
            return LowFloat(value);
        case Double:
            return RawDouble(value);
        default:
            return 0;
    }
}

ValueLimit* FindLimit(std::vector<ValueLimit>& list, uint64_t value) {
    for (ValueLimit& entry : list) {
        bool equal = false;
        switch (entry.type) {
            case Int64:
            case UInt64:
                equal = entry.value == value;
                break;
            case Float:
                equal = std::fabs(LowFloat(entry.value) - LowFloat(value)) <
                        static_cast<float>(entry.tolerance);
                break;
            case Double:
                equal = std::fabs(RawDouble(entry.value) - RawDouble(value)) < entry.tolerance;
                break;
            case Int32:
            case UInt32:
                equal = static_cast<uint32_t>(entry.value) == static_cast<uint32_t>(value);
                break;
            default:
                continue;  // unknown type
        }
        if (equal) return &entry;
    }
    return nullptr;
}

std::u16string FormatLimitValue(const ValueLimit& limit) {
    int valueType = ValueTextType(limit.type);
    if (valueType < 0) return {};
    std::u16string format = limit.format;
    if (format.empty()) {
        switch (limit.type) {
            case Int32:
                format = u"%d";
                break;
            case UInt32:
                format = u"%u";
                break;
            case Int64:
                format = u"%lld";
                break;
            case UInt64:
                format = u"%llu";
                break;
            default:
                return FormatWithDoubleFormat(DigitalValueToNumber(limit.type, limit.value),
                                              kLimitDecimals);
        }
    }
    CBaseStringW out;
    DigtalValueToStringW(&out, format.c_str(), valueType, &limit.value);
    return std::u16string(out.GetString(), out.GetLength());
}

std::optional<LimitFailure> CheckLimits(double x, const std::vector<ValueLimit>& list,
                                        bool lowerBound, bool must) {
    const char16_t* op =
        lowerBound ? (must ? u"Must >=" : u"Suggest >=") : (must ? u"Must <=" : u"Suggest <=");
    for (const ValueLimit& entry : list) {
        if (ValueTextType(entry.type) < 0) continue;
        double slack =
            (entry.type == Float || entry.type == Double) ? entry.tolerance : kIntegerLimitSlack;
        double bound = DigitalValueToNumber(entry.type, entry.value);
        bound = lowerBound ? bound - slack : bound + slack;
        bool fails = lowerBound ? x < bound : x > bound;
        if (!fails) continue;
        LimitFailure failure;
        std::u16string limitText = FormatLimitValue(entry);
        FormatText(failure.message, u"%s %s %s", entry.label.c_str(), op, limitText.c_str());
        failure.failed = &entry;
        return failure;
    }
    return std::nullopt;
}

double ParseLeadingDecimal(std::u16string_view text, size_t* consumed) {
    size_t start = 0;
    while (start < text.size() && (text[start] == u' ' || text[start] == u'\t')) ++start;
    std::u16string_view rest = text.substr(start);
    size_t length = FixedNumberLength(rest, true);
    if (length == 0) {
        if (consumed) *consumed = 0;
        return 0;
    }
    // An exponent counts only when digits follow it.
    if (length < rest.size() && (rest[length] == u'e' || rest[length] == u'E')) {
        size_t i = length + 1;
        if (i < rest.size() && (rest[i] == u'+' || rest[i] == u'-')) ++i;
        size_t digitsFrom = i;
        while (i < rest.size() && IsDigit(rest[i])) ++i;
        if (i > digitsFrom) length = i;
    }
    if (consumed) *consumed = start + length;
    return ReadAscii(rest.substr(0, length));
}

std::optional<double> ReadEntryNumber(std::u16string_view text, bool hexAllowed) {
    if (text.empty()) return std::nullopt;
    size_t length = FixedNumberLength(text, false);
    if (length > 0 && length == text.size()) return ReadAscii(text);
    if (!hexAllowed) return std::nullopt;
    bool negative = text[0] == u'-';
    std::u16string_view digits = text.substr(negative ? 1 : 0);
    if (digits.empty()) return std::nullopt;
    double value = 0;
    for (char16_t ch : digits) {
        if (!IsHexCharW(ch)) return std::nullopt;
        int digit = IsDigit(ch) ? ch - u'0' : (ch | 0x20) - u'a' + 10;
        value = value * 16 + digit;
    }
    return negative ? -value : value;
}

std::u16string FormatDisplayDouble(double value) {
    return FormatWithDoubleFormat(value, kDisplayDecimals);
}

namespace {

EditBalloon DataInvalid(std::u16string text, int icon, int id) {
    return EditBalloon{kDataInvalidTitle, std::move(text), icon, id};
}

}  // namespace

EntryCheck CheckEntry(std::u16string_view text, bool hexAllowed, const DigitalLimits& limits) {
    EntryCheck check;
    double x = 0;
    if (!text.empty()) {
        std::optional<double> number = ReadEntryNumber(text, hexAllowed);
        if (!number) {
            std::u16string message;
            std::u16string shown(text);
            FormatText(message, u"Invalid number '%s'", shown.c_str());
            check.valid = false;
            check.refusal = DataInvalid(std::move(message), kBalloonIconError, kBalloonIdMustMin);
            return check;
        }
        x = *number;
    }
    if (auto failure = CheckLimits(x, limits.suggestMin, true, false)) {
        check.advisory = DataInvalid(failure->message, kBalloonIconWarning, kBalloonIdSuggestMin);
    } else if (auto failure = CheckLimits(x, limits.suggestMax, false, false)) {
        check.advisory = DataInvalid(failure->message, kBalloonIconWarning, kBalloonIdSuggestMax);
    }
    std::optional<LimitFailure> hard = CheckLimits(x, limits.mustMin, true, true);
    int id = kBalloonIdMustMin;
    if (!hard) {
        hard = CheckLimits(x, limits.mustMax, false, true);
        id = kBalloonIdMustMax;
    }
    if (hard) {
        check.valid = false;
        check.refusal = DataInvalid(hard->message, kBalloonIconError, id);
        check.replacement = FormatLimitValue(*hard->failed);
    }
    return check;
}
