#include "text_format.h"

#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <locale.h>
#include <string_view>

#include "utf_convert.h"

namespace {

enum class Length { None, Char, Short, Long, LongLong, IntMax, Size, PtrDiff, LongDouble, Wide };

// One parsed conversion: flags, width and precision are kept as narrow text for snprintf.
struct Spec {
    std::string flags;
    int width = -1;
    int precision = -1;
    Length length = Length::None;
    char conversion = 0;
};

// Numbers are always formatted in the "C" locale, whatever the process or thread locale.
class CLocaleScope {
public:
    CLocaleScope() : m_previous(uselocale(CLocale())) {}
    ~CLocaleScope() { uselocale(m_previous); }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    static locale_t CLocale() {
        static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(0));
        return cLocale;
    }
    locale_t m_previous;
};

std::string NumericSpec(const Spec& spec, const char* lengthText, char conversion) {
    std::string text = "%" + spec.flags;
    if (spec.width >= 0) text += std::to_string(spec.width);
    if (spec.precision >= 0) text += "." + std::to_string(spec.precision);
    text += lengthText;
    text += conversion;
    return text;
}

template <typename T>
std::string FormatNumber(const std::string& specText, T value) {
    char small[128];
    const int needed = std::snprintf(small, sizeof small, specText.c_str(), value);
    if (needed < 0) return {};
    if (static_cast<size_t>(needed) < sizeof small) return std::string(small, needed);
    std::string big(static_cast<size_t>(needed) + 1, '\0');
    std::snprintf(big.data(), big.size(), specText.c_str(), value);
    big.resize(static_cast<size_t>(needed));
    return big;
}

// Output-width helpers: the narrow output is UTF-8, the wide output UTF-16.
void AppendAscii(std::string& out, std::string_view text) { out.append(text); }
void AppendAscii(std::u16string& out, std::string_view text) {
    for (char c : text) out.push_back(static_cast<unsigned char>(c));
}

bool ToOutput(std::string_view narrow, std::string& out) {
    out.assign(narrow);
    return true;
}
bool ToOutput(std::string_view narrow, std::u16string& out) { return Utf8ToUtf16(narrow, out); }
bool ToOutput(std::u16string_view wide, std::string& out) { return Utf16ToUtf8(wide, out); }
bool ToOutput(std::u16string_view wide, std::u16string& out) {
    out.assign(wide);
    return true;
}

// Where a prefix of `text` of at most `units` code units ends without splitting a character.
size_t CharBoundary(const std::string& text, size_t units) {
    if (units >= text.size()) return text.size();
    while (units > 0 && (static_cast<unsigned char>(text[units]) & 0xC0) == 0x80) --units;
    return units;
}
size_t CharBoundary(const std::u16string& text, size_t units) {
    if (units >= text.size()) return text.size();
    if (units > 0 && text[units] >= 0xDC00 && text[units] <= 0xDFFF) --units;
    return units;
}

template <typename Out>
void AppendPadded(Out& out, const Out& piece, const Spec& spec) {
    const size_t width = spec.width > 0 ? static_cast<size_t>(spec.width) : 0;
    const bool left = spec.flags.find('-') != std::string::npos;
    if (!left && piece.size() < width) out.append(width - piece.size(), ' ');
    out.append(piece);
    if (left && piece.size() < width) out.append(width - piece.size(), ' ');
}

template <typename Out>
bool AppendString(Out& out, const Spec& spec, bool wideArgument, va_list& args) {
    Out piece;
    if (wideArgument) {
        const char16_t* text = va_arg(args, const char16_t*);
        if (text == nullptr) {
            AppendAscii(piece, "(null)");
        } else if (!ToOutput(std::u16string_view(text, WideLength(text)), piece)) {
            return false;
        }
    } else {
        const char* text = va_arg(args, const char*);
        if (text == nullptr) {
            AppendAscii(piece, "(null)");
        } else if (!ToOutput(std::string_view(text), piece)) {
            return false;
        }
    }
    if (spec.precision >= 0) piece.resize(CharBoundary(piece, static_cast<size_t>(spec.precision)));
    AppendPadded(out, piece, spec);
    return true;
}

template <typename Out>
bool AppendChar(Out& out, const Spec& spec, bool wideArgument, va_list& args) {
    const unsigned value = static_cast<unsigned>(va_arg(args, int));
    Out piece;
    if (wideArgument) {
        const char16_t unit = static_cast<char16_t>(value);
        if (!ToOutput(std::u16string_view(&unit, 1), piece)) return false;
    } else {
        const char byte = static_cast<char>(value);
        if (!ToOutput(std::string_view(&byte, 1), piece)) return false;
    }
    AppendPadded(out, piece, spec);
    return true;
}

bool AppendSigned(std::string& number, const Spec& spec, va_list& args) {
    long long value = 0;
    switch (spec.length) {
        case Length::Char: value = static_cast<signed char>(va_arg(args, int)); break;
        case Length::Short: value = static_cast<short>(va_arg(args, int)); break;
        case Length::Long: value = va_arg(args, long); break;
        case Length::LongLong: value = va_arg(args, long long); break;
        case Length::IntMax: value = va_arg(args, intmax_t); break;
        case Length::Size: value = va_arg(args, ssize_t); break;
        case Length::PtrDiff: value = va_arg(args, ptrdiff_t); break;
        default: value = va_arg(args, int); break;
    }
    number = FormatNumber(NumericSpec(spec, "ll", spec.conversion), value);
    return true;
}

bool AppendUnsigned(std::string& number, const Spec& spec, va_list& args) {
    unsigned long long value = 0;
    switch (spec.length) {
        case Length::Char: value = static_cast<unsigned char>(va_arg(args, unsigned)); break;
        case Length::Short: value = static_cast<unsigned short>(va_arg(args, unsigned)); break;
        case Length::Long: value = va_arg(args, unsigned long); break;
        case Length::LongLong: value = va_arg(args, unsigned long long); break;
        case Length::IntMax: value = va_arg(args, uintmax_t); break;
        case Length::Size: value = va_arg(args, size_t); break;
        case Length::PtrDiff: value = static_cast<unsigned long long>(va_arg(args, ptrdiff_t)); break;
        default: value = va_arg(args, unsigned); break;
    }
    number = FormatNumber(NumericSpec(spec, "ll", spec.conversion), value);
    return true;
}

bool AppendFloat(std::string& number, const Spec& spec, va_list& args) {
    if (spec.length == Length::LongDouble) {
        number = FormatNumber(NumericSpec(spec, "L", spec.conversion), va_arg(args, long double));
    } else {
        number = FormatNumber(NumericSpec(spec, "", spec.conversion), va_arg(args, double));
    }
    return true;
}

template <typename Char>
bool IsDigit(Char c) {
    return c >= '0' && c <= '9';
}

// Parses the part of a conversion after '%'; `p` is left on the conversion character.
template <typename Char>
bool ParseSpec(const Char*& p, Spec& spec, va_list& args) {
    while (*p == '-' || *p == '+' || *p == ' ' || *p == '#' || *p == '0') {
        spec.flags += static_cast<char>(*p++);
    }
    if (*p == '*') {
        spec.width = va_arg(args, int);
        if (spec.width < 0) {
            spec.flags += '-';
            spec.width = -spec.width;
        }
        ++p;
    } else {
        for (spec.width = IsDigit(*p) ? 0 : -1; IsDigit(*p); ++p) {
            if (spec.width > 100000) return false;
            spec.width = spec.width * 10 + (*p - '0');
        }
    }
    if (*p == '.') {
        ++p;
        if (*p == '*') {
            spec.precision = va_arg(args, int);
            if (spec.precision < 0) spec.precision = -1;
            ++p;
        } else {
            for (spec.precision = 0; IsDigit(*p); ++p) {
                if (spec.precision > 100000) return false;
                spec.precision = spec.precision * 10 + (*p - '0');
            }
        }
    }
    switch (*p) {
        case 'h':
            ++p;
            spec.length = Length::Short;
            if (*p == 'h') {
                ++p;
                spec.length = Length::Char;
            }
            break;
        case 'l':
            ++p;
            spec.length = Length::Long;
            if (*p == 'l') {
                ++p;
                spec.length = Length::LongLong;
            }
            break;
        case 'q': ++p; spec.length = Length::LongLong; break;
        case 'j': ++p; spec.length = Length::IntMax; break;
        case 'z': ++p; spec.length = Length::Size; break;
        case 't': ++p; spec.length = Length::PtrDiff; break;
        case 'L': ++p; spec.length = Length::LongDouble; break;
        case 'w': ++p; spec.length = Length::Wide; break;
        case 'I':
            ++p;
            if (p[0] == '6' && p[1] == '4') {
                p += 2;
                spec.length = Length::LongLong;
            } else if (p[0] == '3' && p[1] == '2') {
                p += 2;
                spec.length = Length::None;
            } else {
                spec.length = Length::PtrDiff;
            }
            break;
        default: break;
    }
    if (*p == 0 || static_cast<uint32_t>(*p) > 0x7F) return false;
    spec.conversion = static_cast<char>(*p);
    return true;
}

template <typename Char, typename Out>
bool FormatWith(Out& out, const Char* format, va_list args) {
    out.clear();
    if (format == nullptr) return false;
    constexpr bool kWideFormat = sizeof(Char) == 2;
    const CLocaleScope cLocale;
    va_list ap;
    va_copy(ap, args);
    bool ok = true;
    for (const Char* p = format; *p != 0 && ok; ++p) {
        if (*p != '%') {
            const Char* start = p;
            while (p[1] != 0 && p[1] != '%') ++p;
            Out piece;
            if (!ToOutput(std::basic_string_view<Char>(start, static_cast<size_t>(p - start + 1)),
                          piece)) {
                ok = false;
                break;
            }
            out.append(piece);
            continue;
        }
        ++p;
        Spec spec;
        if (!ParseSpec(p, spec, ap)) {
            ok = false;
            break;
        }
        // Which width a string or character argument has: the format's own width unless an
        // 'h' (narrow) or 'l'/'w' (wide) modifier or the swapped letters S and C say otherwise.
        const bool explicitWide = spec.length == Length::Long || spec.length == Length::Wide;
        const bool explicitNarrow = spec.length == Length::Short;
        std::string number;
        switch (spec.conversion) {
            case '%': AppendAscii(out, "%"); break;
            case 's':
                ok = AppendString(out, spec, explicitWide || (kWideFormat && !explicitNarrow), ap);
                break;
            case 'S':
                ok = AppendString(out, spec, explicitWide || (!kWideFormat && !explicitNarrow), ap);
                break;
            case 'c':
                ok = AppendChar(out, spec, explicitWide || (kWideFormat && !explicitNarrow), ap);
                break;
            case 'C':
                ok = AppendChar(out, spec, explicitWide || (!kWideFormat && !explicitNarrow), ap);
                break;
            case 'd':
            case 'i': ok = AppendSigned(number, spec, ap); break;
            case 'u':
            case 'o':
            case 'x':
            case 'X': ok = AppendUnsigned(number, spec, ap); break;
            case 'e':
            case 'E':
            case 'f':
            case 'F':
            case 'g':
            case 'G':
            case 'a':
            case 'A': ok = AppendFloat(number, spec, ap); break;
            case 'p': number = FormatNumber(NumericSpec(spec, "", 'p'), va_arg(ap, void*)); break;
            default: ok = false; break;  // %n and unknown conversions are refused
        }
        if (ok && !number.empty()) AppendAscii(out, number);
    }
    va_end(ap);
    return ok;
}

}  // namespace

bool FormatTextV(std::string& out, const char* format, va_list args) {
    return FormatWith(out, format, args);
}

bool FormatTextV(std::u16string& out, const char16_t* format, va_list args) {
    return FormatWith(out, format, args);
}

bool FormatText(std::string& out, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const bool ok = FormatTextV(out, format, args);
    va_end(args);
    return ok;
}

bool FormatText(std::u16string& out, const char16_t* format, ...) {
    va_list args;
    va_start(args, format);
    const bool ok = FormatTextV(out, format, args);
    va_end(args);
    return ok;
}
