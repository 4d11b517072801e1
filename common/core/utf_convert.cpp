#include "utf_convert.h"

#include <cstdint>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Decodes one well-formed UTF-8 sequence at text[i]; returns its length, or 0 when it is not
// well-formed (truncated, overlong, a surrogate, or beyond U+10FFFF).
size_t DecodeUtf8(std::string_view text, size_t i, char32_t& codePoint) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[i + k]); };
    const unsigned char lead = byte(0);
    const size_t left = text.size() - i;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        if (left < 2 || !IsContinuation(byte(1))) return 0;
        codePoint = ((lead & 0x1Fu) << 6) | (byte(1) & 0x3Fu);
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (left < 3 || !IsContinuation(byte(1)) || !IsContinuation(byte(2))) return 0;
        codePoint = ((lead & 0x0Fu) << 12) | ((byte(1) & 0x3Fu) << 6) | (byte(2) & 0x3Fu);
        if (codePoint < 0x800 || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) return 0;
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (left < 4 || !IsContinuation(byte(1)) || !IsContinuation(byte(2)) ||
            !IsContinuation(byte(3)))
            return 0;
        codePoint = ((lead & 0x07u) << 18) | ((byte(1) & 0x3Fu) << 12) |
                    ((byte(2) & 0x3Fu) << 6) | (byte(3) & 0x3Fu);
        if (codePoint < 0x10000 || codePoint > 0x10FFFF) return 0;
        return 4;
    }
    return 0;
}

void AppendUtf16(std::u16string& out, char32_t codePoint) {
    if (codePoint < 0x10000) {
        out.push_back(static_cast<char16_t>(codePoint));
    } else {
        codePoint -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
    }
}

void AppendUtf8(std::string& out, char32_t codePoint) {
    if (codePoint < 0x80) {
        out.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
}

// Decodes one code point of UTF-16 at text[i]; returns the units used, or 0 for an unpaired
// surrogate.
size_t DecodeUtf16(std::u16string_view text, size_t i, char32_t& codePoint) {
    const char16_t unit = text[i];
    if (unit < 0xD800 || unit > 0xDFFF) {
        codePoint = unit;
        return 1;
    }
    if (unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
        codePoint = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
                    (static_cast<char32_t>(text[i + 1]) - 0xDC00);
        return 2;
    }
    return 0;
}

template <bool kLossy>
bool ConvertToUtf16(std::string_view text, std::u16string& out) {
    out.clear();
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t codePoint = 0;
        const size_t used = DecodeUtf8(text, i, codePoint);
        if (used == 0) {
            if (!kLossy) {
                out.clear();
                return false;
            }
            AppendUtf16(out, kReplacement);
            ++i;
            continue;
        }
        AppendUtf16(out, codePoint);
        i += used;
    }
    return true;
}

template <bool kLossy>
bool ConvertToUtf8(std::u16string_view text, std::string& out) {
    out.clear();
    out.reserve(text.size() * kMaxUtf8BytesPerUtf16Unit);
    for (size_t i = 0; i < text.size();) {
        char32_t codePoint = 0;
        const size_t used = DecodeUtf16(text, i, codePoint);
        if (used == 0) {
            if (!kLossy) {
                out.clear();
                return false;
            }
            AppendUtf8(out, kReplacement);
            ++i;
            continue;
        }
        AppendUtf8(out, codePoint);
        i += used;
    }
    return true;
}

}  // namespace

size_t WideLength(const char16_t* text) {
    if (text == nullptr) return 0;
    size_t length = 0;
    while (text[length] != 0) ++length;
    return length;
}

bool Utf8ToUtf16(std::string_view text, std::u16string& out) {
    return ConvertToUtf16<false>(text, out);
}

bool Utf16ToUtf8(std::u16string_view text, std::string& out) {
    return ConvertToUtf8<false>(text, out);
}

std::u16string Utf8ToUtf16Lossy(std::string_view text) {
    std::u16string out;
    ConvertToUtf16<true>(text, out);
    return out;
}

std::string Utf16ToUtf8Lossy(std::u16string_view text) {
    std::string out;
    ConvertToUtf8<true>(text, out);
    return out;
}
