#include "url_html_coding.h"

#include <cstring>
#include <string>

#include "core/dbg_output.h"
#include "core/size_limits.h"
#include "core/utf_convert.h"

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr char16_t kReplacementCharacter = 0xFFFD;
constexpr uint32_t kMaxCodePoint = 0x10FFFF;
// Digits beyond this value cannot make a character any more; parsing saturates here.
constexpr uint32_t kSaturatedValue = kMaxCodePoint + 1;

size_t TextLength(const char* text, int length) {
    return length < 0 ? std::strlen(text) : static_cast<size_t>(length);
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '/';
}

// Results longer than a string may hold are refused whole rather than cut.
bool FitsString(size_t length, const char* operation) {
    if (length < kMaxStringChars) return true;
    DbgOutputA(kDbgLevelError, "%s: result of %zu characters exceeds the string limit\r\n",
               operation, length);
    return false;
}

void AppendBytes(CBaseStringA& out, const std::string& bytes, const char* operation) {
    if (!bytes.empty() && FitsString(bytes.size(), operation)) {
        out.Append(bytes.data(), static_cast<int>(bytes.size()));
    }
}

// The number at the start of a reference body (the text between "&#" and ";"): true and the
// value (saturated above the code point range, negative values as such) when it begins with
// digits in its form.
bool ParseReference(const char* body, size_t length, int64_t& value) {
    size_t at = 0;
    int base = 10;
    bool negative = false;
    if (at < length && (body[at] == 'x' || body[at] == 'X')) {
        base = 16;
        ++at;
        if (at + 2 < length && body[at] == '0' && (body[at + 1] == 'x' || body[at + 1] == 'X') &&
            HexValue(body[at + 2]) >= 0) {
            at += 2;
        }
    } else if (at < length && (body[at] == '+' || body[at] == '-')) {
        negative = body[at] == '-';
        ++at;
    }
    uint32_t magnitude = 0;
    size_t digits = 0;
    for (; at < length; ++at, ++digits) {
        const int digit = base == 16 ? HexValue(body[at])
                                     : (body[at] >= '0' && body[at] <= '9' ? body[at] - '0' : -1);
        if (digit < 0) break;
        magnitude = magnitude * base + static_cast<uint32_t>(digit);
        if (magnitude > kSaturatedValue) magnitude = kSaturatedValue;
    }
    if (digits == 0) return false;
    value = negative ? -static_cast<int64_t>(magnitude) : magnitude;
    return true;
}

void AppendCharacter(std::u16string& out, int64_t value) {
    if (value <= 0 || value > kMaxCodePoint || (value >= 0xD800 && value <= 0xDFFF)) {
        out += kReplacementCharacter;
    } else if (value > 0xFFFF) {
        const uint32_t v = static_cast<uint32_t>(value) - 0x10000;
        out += static_cast<char16_t>(0xD800 + (v >> 10));
        out += static_cast<char16_t>(0xDC00 + (v & 0x3FF));
    } else {
        out += static_cast<char16_t>(value);
    }
}

// Plain text between references, converted exactly; a stretch that cannot be converted adds
// nothing (as appending it to the wide string would).
void AppendNarrow(std::u16string& out, const char* text, size_t length) {
    if (length == 0) return;
    std::u16string converted;
    if (Utf8ToUtf16(std::string_view(text, length), converted)) out += converted;
}

}  // namespace

void EncodeURL(const char* text, int length, CBaseStringA& out) {
    if (text == nullptr) return;
    const size_t n = TextLength(text, length);
    std::string encoded;
    encoded.reserve(n * 3);
    for (size_t i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (IsUnreserved(c)) {
            encoded += static_cast<char>(c);
        } else if (c == ' ') {
            encoded += '+';
        } else {
            encoded += '%';
            encoded += kHexDigits[c >> 4];
            encoded += kHexDigits[c & 15];
        }
    }
    AppendBytes(out, encoded, "EncodeURL");
}

void DecodeURL(const char* text, int length, CBaseStringA& out) {
    if (text == nullptr) return;
    const size_t n = TextLength(text, length);
    std::string decoded;
    decoded.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        const char c = text[i];
        if (c == '+') {
            decoded += ' ';
        } else if (c == '%' && i + 2 < n && HexValue(text[i + 1]) >= 0 &&
                   HexValue(text[i + 2]) >= 0) {
            decoded += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            decoded += c;
        }
    }
    AppendBytes(out, decoded, "DecodeURL");
}

void HtmlCodeToString(const char* text, int length, CBaseStringW& out) {
    if (text == nullptr || length == 0) return;
    // The text ends at its first zero byte within the length.
    const size_t n = length < 0 ? std::strlen(text) : strnlen(text, static_cast<size_t>(length));
    std::u16string result;
    size_t at = 0;
    // The next ';' at or after the current reference body (n: none), found once and reused so
    // that many unterminated "&#" do not rescan the text.
    size_t semicolon = 0;
    bool semicolonKnown = false;
    while (at < n) {
        size_t ref = at;
        while (ref < n && !(text[ref] == '&' && ref + 1 < n && text[ref + 1] == '#')) {
            const void* amp = std::memchr(text + ref + 1, '&', n - ref - 1);
            ref = amp == nullptr ? n : static_cast<size_t>(static_cast<const char*>(amp) - text);
        }
        AppendNarrow(result, text + at, ref - at);
        if (ref >= n) break;

        const size_t bodyStart = ref + 2;
        if (!semicolonKnown || semicolon < bodyStart) {
            const void* found = std::memchr(text + bodyStart, ';', n - bodyStart);
            semicolon =
                found == nullptr ? n : static_cast<size_t>(static_cast<const char*>(found) - text);
            semicolonKnown = true;
        }
        int64_t value = 0;
        if (semicolon >= n || !ParseReference(text + bodyStart, semicolon - bodyStart, value)) {
            // Not a reference: "&#" stays as written and the scan goes on behind it.
            result += u"&#";
            at = bodyStart;
            continue;
        }
        AppendCharacter(result, value);
        at = semicolon + 1;
    }
    if (!result.empty() && FitsString(result.size(), "HtmlCodeToString")) {
        out.Append(result.data(), static_cast<int>(result.size()));
    }
}
