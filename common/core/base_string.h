// The library's growable strings: CBaseStringA holds narrow text (UTF-8 bytes), CBaseStringW
// wide text (UTF-16 code units in char16_t). The two are twins: every operation exists on both,
// and most accept their text in either width, converting it exactly first (common/core/
// utf_convert.h). A text that cannot be converted (invalid UTF-8, an unpaired surrogate) counts
// as an empty text: Set then empties the string, Append adds nothing.
//
// Conventions of every operation:
// - A text comes with a length in characters (code units); a negative length means "up to the
//   terminator". A null text counts as empty unless said otherwise.
// - The last int argument of comparisons and searches is an ignore-case flag: nonzero folds only
//   the letters A-Z/a-z; every other character (accented letters, CJK) matches only itself.
// - Integer results are 1 (yes) / 0 (no), or an index with -1 for "not found".
// - Lengths index with int; a string never holds kMaxStringChars (size_limits.h) characters or
//   more. An operation that would exceed that (or whose memory cannot be had) leaves the string
//   unchanged and writes an error line (level 4) through DbgOutputA. No operation throws.
//
// Set never changes only the letter case of the content: setting a text of the same length that
// differs from the current content only in the case of A-Z leaves the string as it is (a string
// holding "abc" still holds "abc" after Set("ABC")). Everything that ends in Set shares this:
// copy assignment, Format, Replace, RemoveCharList and the converting Set forms.
//
// Capacity rule (CapacityForRoom below): room for n characters (terminator included) doubles the
// capacity from max(capacity, 1) until it holds n, or halves it while the half still holds n.
// Appending to an empty string thus gives capacities 2, 4, 8, ...; cutting a string to less than
// half its capacity gives memory back.
//
// A string is not guarded: one thread at a time may use one string.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <memory>

#include "core/common_api.h"
#include "platform_types.h"

class CBaseStringW;

namespace base_string_internal {
template <typename S>
struct BaseStringCore;
}

// The capacity that the capacity rule gives a buffer of `capacity` characters that must hold
// `needed` characters (terminator included); never above `maxCapacity` (which must be at least
// `needed`). The pointer array uses the same rule.
constexpr int64_t CapacityForRoom(int64_t capacity, int64_t needed, int64_t maxCapacity) {
    if (capacity < needed) {
        int64_t grown = capacity > 0 ? capacity : 1;
        while (grown < needed) grown *= 2;
        return grown > maxCapacity ? maxCapacity : grown;
    }
    if (needed < capacity / 2) {
        while (capacity / 2 >= needed) capacity /= 2;
    }
    return capacity;
}

class ORBO_COMMON_API CBaseStringA {
public:
    using CharType = char;

    // Empty, without a buffer; or as Set with the given text. Conversions between the widths are
    // explicit so that no text changes width unnoticed.
    CBaseStringA() = default;
    CBaseStringA(const char* text, int length = -1);
    explicit CBaseStringA(const WCHAR* text, int length = -1);
    CBaseStringA(const CBaseStringA& other);
    explicit CBaseStringA(const CBaseStringW& other);
    explicit CBaseStringA(const CBaseStringA* other);
    explicit CBaseStringA(const CBaseStringW* other);
    // Takes the other string's buffer; the other string is left empty without a buffer.
    CBaseStringA(CBaseStringA&& other) noexcept;
    virtual ~CBaseStringA();

    // As Set with the other string's text (so a case-only difference is not copied).
    CBaseStringA& operator=(const CBaseStringA& other);
    // Takes the other string's content exactly, buffer included; the other is left empty.
    CBaseStringA& operator=(CBaseStringA&& other) noexcept;

    // Replaces the content. A text inside this string's own buffer (its tail, say) is fine.
    void Set(const char* text, int length = -1);
    void Set(const WCHAR* text, int length = -1);
    void Set(char ch);
    void Set(WCHAR ch);
    void Set(const CBaseStringA* other);  // null: empties
    void Set(const CBaseStringW* other);

    // Appends; nothing happens for a null or empty text. A text inside the own buffer is fine.
    void Append(const char* text, int length = -1);
    void Append(const WCHAR* text, int length = -1);
    void Append(char ch);
    void Append(WCHAR ch);

    // printf formatting (common/core/text_format.h: %s narrow, %ls/%S wide, "C" locale), never
    // truncated. A wide format is formatted wide and converted. Format replaces as Set does;
    // AppendFormat appends. A faulty format keeps what was formatted before the fault and logs.
    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void Format(const WCHAR* format, ...);
    void AppendFormat(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void AppendFormat(const WCHAR* format, ...);
    void FormatV(const char* format, va_list args);
    void FormatV(const WCHAR* format, va_list args);
    void AppendFormatV(const char* format, va_list args);
    void AppendFormatV(const WCHAR* format, va_list args);

    // Replaces every occurrence of the search text, scanning left to right without overlaps and
    // without rescanning replacements. Nothing happens when either text is null, the search text
    // is empty, the string holds no buffer, or a wide text cannot be converted.
    void Replace(const char* search, int searchLength, const char* replacement,
                 int replacementLength, int ignoreCase);
    void Replace(const WCHAR* search, int searchLength, const WCHAR* replacement,
                 int replacementLength, int ignoreCase);

    // Removes every character (byte) that occurs in the list.
    void RemoveCharList(const char* list, int length, int ignoreCase);
    void RemoveCharList(const WCHAR* list, int length, int ignoreCase);

    // Index of the first occurrence at or after `start` (a negative start counts as 0); -1 when
    // start is not below the length or there is none.
    int Find(char ch, int start = 0) const;
    // As above for a zero-terminated text; 0 for an empty text whatever the start; -1 for null.
    int Find(const char* text, int start = 0, int ignoreCase = 0) const;

    // 1 when the string and the argument have the same characters. Two empty texts are equal;
    // a null other string gives 0, the string itself 1; a text that cannot be converted gives 0.
    int Equal(const char* text, int length = -1, int ignoreCase = 0) const;
    int Equal(const WCHAR* text, int length = -1, int ignoreCase = 0) const;
    int Equal(char ch, int ignoreCase = 0) const;
    int Equal(WCHAR ch, int ignoreCase = 0) const;
    int Equal(const CBaseStringA* other, int ignoreCase = 0) const;
    int Equal(const CBaseStringW* other, int ignoreCase = 0) const;

    // 1 when the string begins with the whole argument. An empty or null argument gives 1 only
    // for an empty string; a null other string gives 0, the string itself 1; a text that cannot
    // be converted gives 0.
    int StartWith(const char* text, int length = -1, int ignoreCase = 0) const;
    int StartWith(const WCHAR* text, int length = -1, int ignoreCase = 0) const;
    int StartWith(char ch, int ignoreCase = 0) const;
    int StartWith(WCHAR ch, int ignoreCase = 0) const;
    int StartWith(const CBaseStringA* other, int ignoreCase = 0) const;
    int StartWith(const CBaseStringW* other, int ignoreCase = 0) const;

    // 1 when every character is 0-9 (respectively A-Z/a-z); 0 without a buffer; 1 for an empty
    // string that still holds a buffer.
    int IsDigit() const;
    int IsAlpha() const;

    // Change A-Z to a-z (respectively the reverse) in place; nothing else changes.
    void ToLower();
    void ToUpper();
    // Reverses the order of the bytes in place (a multi-byte UTF-8 character is reversed too).
    void Revert();

    // Cuts to the first n characters (negative: 0); nothing happens when n is not below the
    // length. The capacity then follows the capacity rule for n + 1.
    void Trunk(int length);

    // The text; an empty text when there is no buffer; never null. Valid until the next change.
    const char* GetString() const;
    int GetLength() const { return m_length; }
    // Characters the buffer holds, terminator included; 0 without a buffer.
    int GetCapacity() const { return m_capacity; }
    // Releases the buffer; length and capacity become 0.
    void Free();

private:
    template <typename S>
    friend struct base_string_internal::BaseStringCore;

    std::unique_ptr<char[]> m_text;
    int m_length = 0;
    int m_capacity = 0;
};

class ORBO_COMMON_API CBaseStringW {
public:
    using CharType = WCHAR;

    CBaseStringW() = default;
    CBaseStringW(const WCHAR* text, int length = -1);
    explicit CBaseStringW(const char* text, int length = -1);
    CBaseStringW(const CBaseStringW& other);
    explicit CBaseStringW(const CBaseStringA& other);
    explicit CBaseStringW(const CBaseStringW* other);
    explicit CBaseStringW(const CBaseStringA* other);
    CBaseStringW(CBaseStringW&& other) noexcept;
    virtual ~CBaseStringW();

    CBaseStringW& operator=(const CBaseStringW& other);
    CBaseStringW& operator=(CBaseStringW&& other) noexcept;

    // Every operation behaves as its namesake of CBaseStringA, on UTF-16 code units.
    void Set(const WCHAR* text, int length = -1);
    void Set(const char* text, int length = -1);
    void Set(WCHAR ch);
    void Set(char ch);
    void Set(const CBaseStringW* other);
    void Set(const CBaseStringA* other);

    void Append(const WCHAR* text, int length = -1);
    void Append(const char* text, int length = -1);
    void Append(WCHAR ch);
    void Append(char ch);

    // Wide format: %s/%ls wide, %hs/%S narrow. A narrow format is formatted narrow and
    // converted.
    void Format(const WCHAR* format, ...);
    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void AppendFormat(const WCHAR* format, ...);
    void AppendFormat(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void FormatV(const WCHAR* format, va_list args);
    void FormatV(const char* format, va_list args);
    void AppendFormatV(const WCHAR* format, va_list args);
    void AppendFormatV(const char* format, va_list args);

    void Replace(const WCHAR* search, int searchLength, const WCHAR* replacement,
                 int replacementLength, int ignoreCase);
    void Replace(const char* search, int searchLength, const char* replacement,
                 int replacementLength, int ignoreCase);

    void RemoveCharList(const WCHAR* list, int length, int ignoreCase);
    void RemoveCharList(const char* list, int length, int ignoreCase);

    int Find(WCHAR ch, int start = 0) const;
    int Find(const WCHAR* text, int start = 0, int ignoreCase = 0) const;

    int Equal(const WCHAR* text, int length = -1, int ignoreCase = 0) const;
    int Equal(const char* text, int length = -1, int ignoreCase = 0) const;
    int Equal(WCHAR ch, int ignoreCase = 0) const;
    int Equal(char ch, int ignoreCase = 0) const;
    int Equal(const CBaseStringW* other, int ignoreCase = 0) const;
    int Equal(const CBaseStringA* other, int ignoreCase = 0) const;

    int StartWith(const WCHAR* text, int length = -1, int ignoreCase = 0) const;
    int StartWith(const char* text, int length = -1, int ignoreCase = 0) const;
    int StartWith(WCHAR ch, int ignoreCase = 0) const;
    int StartWith(char ch, int ignoreCase = 0) const;
    int StartWith(const CBaseStringW* other, int ignoreCase = 0) const;
    int StartWith(const CBaseStringA* other, int ignoreCase = 0) const;

    int IsDigit() const;
    int IsAlpha() const;

    void ToLower();
    void ToUpper();
    // Reverses the order of the code units (a surrogate pair is reversed too).
    void Revert();

    void Trunk(int length);

    const WCHAR* GetString() const;
    int GetLength() const { return m_length; }
    int GetCapacity() const { return m_capacity; }
    void Free();

private:
    template <typename S>
    friend struct base_string_internal::BaseStringCore;

    std::unique_ptr<WCHAR[]> m_text;
    int m_length = 0;
    int m_capacity = 0;
};
