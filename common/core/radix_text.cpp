#include "radix_text.h"

#include <string>

#include "text_chars_internal.h"
#include "utf_convert.h"

using namespace orbo_text;

namespace {

constexpr int kMinRadix = 2;
constexpr int kMaxRadix = 36;
constexpr uint64_t kTenThousand = 10000;
constexpr uint64_t kHundredMillion = 100000000;

constexpr const char* kDigits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

template <typename Char>
void LongToChar(uint64_t value, Char* out, int digits, int radix) {
    if (out == nullptr || digits < 0 || radix < kMinRadix || radix > kMaxRadix) return;
    for (int i = digits - 1; i >= 0; --i) {
        out[i] = Char(kDigits[value % static_cast<uint64_t>(radix)]);
        value /= static_cast<uint64_t>(radix);
    }
    out[digits] = Char(0);
}

std::string Radix36(uint64_t value) {
    std::string text;
    do {
        text.insert(text.begin(), kDigits[value % kMaxRadix]);
        value /= kMaxRadix;
    } while (value != 0);
    return text;
}

template <typename Char>
int StoreText(const std::basic_string<Char>& text, Char* out, int outLength) {
    if (out == nullptr || outLength < 1) return 0;
    if (text.size() + 1 > static_cast<size_t>(outLength)) {
        out[0] = Char(0);
        return 0;
    }
    for (size_t i = 0; i < text.size(); ++i) out[i] = text[i];
    out[text.size()] = Char(0);
    return static_cast<int>(text.size());
}

template <typename Char>
uint64_t FromRadix36(const Char* text, int length) {
    length = ResolveLength(text, length);
    uint64_t value = 0;
    for (int i = 0; i < length; ++i) {
        const int digit = DigitValue(text[i]);
        value = value * kMaxRadix + static_cast<uint64_t>(digit < 0 ? 0 : digit);
    }
    return value;
}

constexpr char16_t kChineseDigits[] = u"零一二三四五六七八九";
constexpr char16_t kChineseUnits[] = u"个十百千";  // index 0 is never written
constexpr char16_t kChineseZero = u'零';
constexpr char16_t kChineseNegative = u'负';
constexpr char16_t kChineseTenThousand = u'万';
constexpr char16_t kChineseHundredMillion = u'亿';

// A number below 10000. `leading`: this is the start of the whole number, where 一十 is 十.
std::u16string ChineseSection(uint64_t n, bool leading) {
    std::u16string text;
    bool pendingZero = false;
    bool any = false;
    uint64_t scale = 1000;
    for (int unit = 3; unit >= 0; --unit, scale /= 10) {
        const int digit = static_cast<int>(n / scale % 10);
        if (digit == 0) {
            pendingZero = any;
            continue;
        }
        if (pendingZero) text += kChineseZero;
        pendingZero = false;
        if (!(leading && !any && unit == 1 && digit == 1)) text += kChineseDigits[digit];
        if (unit > 0) text += kChineseUnits[unit];
        any = true;
    }
    return text;
}

// A number below 10^8: thousands of 万 and the rest.
std::u16string ChineseGroup(uint64_t n, bool leading) {
    if (n < kTenThousand) return ChineseSection(n, leading);
    std::u16string text = ChineseSection(n / kTenThousand, leading);
    text += kChineseTenThousand;
    const uint64_t low = n % kTenThousand;
    if (low > 0) {
        if (low < kTenThousand / 10) text += kChineseZero;
        text += ChineseSection(low, false);
    }
    return text;
}

// Groups of eight digits, each followed by as many 亿 as its place needs (10^16 is 一亿亿); a
// gap of zeros before a lower group is read as one 零.
std::u16string Chinese(uint64_t n) {
    uint64_t groups[3] = {n % kHundredMillion, n / kHundredMillion % kHundredMillion,
                          n / kHundredMillion / kHundredMillion};
    std::u16string text;
    bool written = false;
    bool pendingZero = false;
    for (int k = 2; k >= 0; --k) {
        const uint64_t group = groups[k];
        if (group == 0) {
            pendingZero = written;
            continue;
        }
        if (written && (pendingZero || group < kHundredMillion / 10)) text += kChineseZero;
        text += ChineseGroup(group, !written);
        text.append(static_cast<size_t>(k), kChineseHundredMillion);
        written = true;
        pendingZero = false;
    }
    return text;
}

std::u16string ChineseNumber(int64_t value) {
    if (value == 0) return std::u16string(1, kChineseZero);
    std::u16string text;
    uint64_t magnitude = static_cast<uint64_t>(value);
    if (value < 0) {
        text += kChineseNegative;
        magnitude = ~magnitude + 1;
    }
    return text + Chinese(magnitude);
}

}  // namespace

void ConvertLongToCharA(uint64_t value, char* out, int digits, int radix) {
    LongToChar(value, out, digits, radix);
}

void ConvertLongToCharW(uint64_t value, WCHAR* out, int digits, int radix) {
    LongToChar(value, out, digits, radix);
}

int ConvertNumberToRadix36StringA(uint64_t value, char* out, int outLength) {
    return StoreText(Radix36(value), out, outLength);
}

int ConvertNumberToRadix36StringW(uint64_t value, WCHAR* out, int outLength) {
    const std::string text = Radix36(value);
    return StoreText(std::u16string(text.begin(), text.end()), out, outLength);
}

uint64_t ConvertRadix36StringToNumberA(const char* text, int length) {
    return FromRadix36(text, length);
}

uint64_t ConvertRadix36StringToNumberW(const WCHAR* text, int length) {
    return FromRadix36(text, length);
}

int ConvertNumberToChineseNumberA(int64_t value, char* out, int outLength) {
    std::string narrow;
    Utf16ToUtf8(ChineseNumber(value), narrow);
    return StoreText(narrow, out, outLength);
}

int ConvertNumberToChineseNumberW(int64_t value, WCHAR* out, int outLength) {
    return StoreText(ChineseNumber(value), out, outLength);
}
