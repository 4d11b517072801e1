#include "base_string_functions.h"

#include <limits>

#include "base_string_internal.h"

using namespace base_string_internal;

namespace {

// Characters of a zero-terminated text looked at under a count (negative: no bound).
template <typename T>
size_t CountedLength(const T* text, int count) {
    return count < 0 ? TextLength(text) : BoundedLength(text, static_cast<size_t>(count));
}

template <typename T>
const T* FindChar(const T* text, int count, T ch) {
    if (text == nullptr || count == 0) return nullptr;
    const size_t limit = count < 0 ? std::numeric_limits<size_t>::max() : size_t(count);
    for (size_t i = 0; i < limit && text[i] != T(0); ++i) {
        if (text[i] == ch) return text + i;
    }
    return nullptr;
}

template <typename T>
const T* FindNoCase(const T* text, size_t textLength, const T* search, size_t searchLength) {
    if (textLength == 0 || textLength < searchLength) return nullptr;
    const size_t at = FindText(text, textLength, search, searchLength, true);
    return at == std::basic_string_view<T>::npos ? nullptr : text + at;
}

template <typename T>
const T* FindNoCase(const T* text, const T* search) {
    if (text == nullptr || search == nullptr) return nullptr;
    return FindNoCase(text, TextLength(text), search, TextLength(search));
}

template <typename T>
const T* FindNoCase(const T* text, int count, const T* search, int searchLength) {
    if (text == nullptr || search == nullptr) return nullptr;
    const size_t searchCount = static_cast<size_t>(ArgumentLength(search, searchLength));
    if (count >= 0 && static_cast<size_t>(count) < searchCount) return nullptr;
    return FindNoCase(text, CountedLength(text, count), search, searchCount);
}

template <typename T, typename Test>
int EveryChar(const T* text, Test test) {
    if (text == nullptr) return 0;
    for (; *text != T(0); ++text) {
        if (!test(*text)) return 0;
    }
    return 1;
}

template <typename T, typename Change>
void ChangeEach(T* text, Change change) {
    if (text == nullptr) return;
    for (; *text != T(0); ++text) *text = change(*text);
}

}  // namespace

const char* strnchr(const char* text, int count, char ch) {
    return FindChar(text, count, ch);
}
const WCHAR* wcsnchr(const WCHAR* text, int count, WCHAR ch) {
    return FindChar(text, count, ch);
}

const char* stristr(const char* text, const char* search) {
    return FindNoCase(text, search);
}
const WCHAR* wcsistr(const WCHAR* text, const WCHAR* search) {
    return FindNoCase(text, search);
}

const char* strnistr(const char* text, int count, const char* search, int searchLength) {
    return FindNoCase(text, count, search, searchLength);
}
const WCHAR* wcsnistr(const WCHAR* text, int count, const WCHAR* search, int searchLength) {
    return FindNoCase(text, count, search, searchLength);
}

int IsDigitStringA(const char* text) {
    return EveryChar(text, IsDigitChar<char>);
}
int IsDigitStringW(const WCHAR* text) {
    return EveryChar(text, IsDigitChar<WCHAR>);
}
int IsAlphaStringA(const char* text) {
    return EveryChar(text, IsAlphaChar<char>);
}
int IsAlphaStringW(const WCHAR* text) {
    return EveryChar(text, IsAlphaChar<WCHAR>);
}

void ToLowerStringA(char* text) {
    ChangeEach(text, FoldAscii<char>);
}
void ToLowerStringW(WCHAR* text) {
    ChangeEach(text, FoldAscii<WCHAR>);
}
void ToUpperStringA(char* text) {
    ChangeEach(text, UpperAscii<char>);
}
void ToUpperStringW(WCHAR* text) {
    ChangeEach(text, UpperAscii<WCHAR>);
}
