// Character-level helpers shared by the text and number functions, for narrow (char) and wide
// (char16_t) text alike: resolving "negative length = up to the terminator", folding the case of
// A-Z only, and digit values. Internal to the library; plain inline templates.
#pragma once

#include <cstddef>

namespace orbo_text {

// Number of characters before the terminator.
template <typename Char>
inline int TerminatedLength(const Char* text) {
    if (text == nullptr) return 0;
    int length = 0;
    while (text[length] != Char(0)) ++length;
    return length;
}

// The length to use for a text given with a length: a negative length means up to the
// terminator; a null text is empty.
template <typename Char>
inline int ResolveLength(const Char* text, int length) {
    if (text == nullptr) return 0;
    return length < 0 ? TerminatedLength(text) : length;
}

// A-Z to a-z; every other character is left as it is.
template <typename Char>
constexpr Char FoldCase(Char ch) {
    return (ch >= Char('A') && ch <= Char('Z')) ? Char(ch - Char('A') + Char('a')) : ch;
}

template <typename Char>
constexpr bool SameChar(Char a, Char b, bool ignoreCase) {
    return ignoreCase ? FoldCase(a) == FoldCase(b) : a == b;
}

// Value of a digit in radix up to 36 (0-9, then A-Z or a-z); -1 for any other character.
template <typename Char>
constexpr int DigitValue(Char ch) {
    if (ch >= Char('0') && ch <= Char('9')) return int(ch - Char('0'));
    if (ch >= Char('A') && ch <= Char('Z')) return int(ch - Char('A')) + 10;
    if (ch >= Char('a') && ch <= Char('z')) return int(ch - Char('a')) + 10;
    return -1;
}

template <typename Char>
constexpr int HexDigitValue(Char ch) {
    const int value = DigitValue(ch);
    return value < 16 ? value : -1;
}

// Length of an "0x"/"0X" prefix at the start of the text (0 or 2).
template <typename Char>
inline int HexPrefixLength(const Char* text, int length) {
    return (length >= 2 && text[0] == Char('0') && (text[1] == Char('x') || text[1] == Char('X')))
               ? 2
               : 0;
}

}  // namespace orbo_text
