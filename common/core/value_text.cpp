#include "value_text.h"

#include <locale.h>
#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <type_traits>

namespace {

constexpr int kValueTypeSizes[kValueTypeLast + 1] = {1, 1, 4, 2, 2, 4, 4, 8, 8, 4, 8};

// The "C" locale for number parsing, whatever the process locale is.
locale_t CLocale() {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

template <class C>
size_t UsedLength(const C* text, int length) {
    if (text == nullptr) return 0;
    size_t n = 0;
    const size_t limit = length < 0 ? SIZE_MAX : static_cast<size_t>(length);
    while (n < limit && text[n] != C(0)) ++n;
    return n;
}

template <class C>
bool IsBlank(C c) {
    return c == C(' ') || (c >= C('\t') && c <= C('\r'));
}

template <class C>
int HexDigit(C c) {
    if (c >= C('0') && c <= C('9')) return static_cast<int>(c - C('0'));
    if (c >= C('a') && c <= C('f')) return static_cast<int>(c - C('a')) + 10;
    if (c >= C('A') && c <= C('F')) return static_cast<int>(c - C('A')) + 10;
    return -1;
}

template <class C>
bool IsHexPrefix(const C* text, size_t at, size_t length) {
    return at + 1 < length && text[at] == C('0') &&
           (text[at + 1] == C('x') || text[at + 1] == C('X'));
}

template <class C>
uint64_t ReadHex(const C* text, size_t length) {
    size_t at = 2;  // the first two characters are the prefix
    if (IsHexPrefix(text, at, length)) at += 2;
    uint64_t value = 0;
    for (; at < length; ++at) {
        const int digit = HexDigit(text[at]);
        if (digit < 0) break;
        value = (value << 4) | static_cast<uint64_t>(digit);
    }
    return value;
}

// A signed decimal number as 64 bits; magnitudes beyond the range saturate.
template <class C>
uint64_t ReadDecimal(const C* text, size_t length) {
    size_t at = 0;
    while (at < length && IsBlank(text[at])) ++at;
    bool negative = false;
    if (at < length && (text[at] == C('-') || text[at] == C('+'))) negative = text[at++] == C('-');
    uint64_t magnitude = 0;
    for (; at < length && text[at] >= C('0') && text[at] <= C('9'); ++at) {
        const uint64_t digit = static_cast<uint64_t>(text[at] - C('0'));
        if (magnitude > (UINT64_MAX - digit) / 10) {
            magnitude = UINT64_MAX;
            while (at < length && text[at] >= C('0') && text[at] <= C('9')) ++at;
            break;
        }
        magnitude = magnitude * 10 + digit;
    }
    if (!negative) return magnitude;
    constexpr uint64_t kMostNegative = uint64_t{1} << 63;
    return magnitude >= kMostNegative ? kMostNegative : 0 - magnitude;
}

double ReadDouble(const std::string& text) {
    return strtod_l(text.c_str(), nullptr, CLocale());
}

template <class C>
std::string AsciiPrefix(const C* text, size_t length) {
    std::string ascii;
    ascii.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        // Nothing beyond ASCII belongs to a number; it ends the text as any other letter would.
        if (static_cast<std::make_unsigned_t<C>>(text[i]) > 0x7F) break;
        ascii.push_back(static_cast<char>(text[i]));
    }
    return ascii;
}

void StoreInteger(void* out, int type, uint64_t value) {
    const int size = kValueTypeSizes[type];
    uint8_t bytes[8];
    for (int i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
    std::memcpy(out, bytes, static_cast<size_t>(size));
}

template <class C>
void DigtalStringToValueT(const C* text, int length, void* out, int type) {
    if (out == nullptr || type < 0 || type > kValueTypeLast) return;
    const size_t used = UsedLength(text, length);
    if (type == kValueTypeFloat || type == kValueTypeDouble) {
        const double value = used == 0 ? 0.0 : ReadDouble(AsciiPrefix(text, used));
        if (type == kValueTypeFloat) {
            // Beyond the float range the value is an infinity (a plain cast would be undefined).
            const float single =
                std::isfinite(value) && std::fabs(value) > FLT_MAX
                    ? std::copysign(HUGE_VALF, static_cast<float>(value > 0 ? 1 : -1))
                    : static_cast<float>(value);
            std::memcpy(out, &single, sizeof(single));
        } else {
            std::memcpy(out, &value, sizeof(value));
        }
        return;
    }
    if (used == 0) {
        StoreInteger(out, type, 0);
        return;
    }
    bool hex = false;
    for (size_t i = 0; i + 1 < used && !hex; ++i) hex = IsHexPrefix(text, i, used);
    StoreInteger(out, type, hex ? ReadHex(text, used) : ReadDecimal(text, used));
}

}  // namespace

int GetValueTypeSize(int type) {
    return type < 0 || type > kValueTypeLast ? 0 : kValueTypeSizes[type];
}

void DigtalStringToValueA(const char* text, int length, void* out, int type) {
    DigtalStringToValueT(text, length, out, type);
}

void DigtalStringToValueW(const WCHAR* text, int length, void* out, int type) {
    DigtalStringToValueT(text, length, out, type);
}
