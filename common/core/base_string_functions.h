// Plain functions on zero-terminated text, narrow (UTF-8 bytes) and wide (UTF-16 code units):
// bounded character search, case-blind substring search, digit and letter tests, case
// conversion. "Case" is always only the letters A-Z/a-z; every other character matches itself
// alone. All tolerate null pointers (they then return null or 0, or do nothing) and are
// thread-safe for texts no other thread changes.
#pragma once

#include "core/common_api.h"
#include "platform_types.h"

// First occurrence of `ch` among the first `count` characters (a negative count: up to the
// terminator). The terminator ends the search and is never found itself. Null when count is 0
// or there is none.
ORBO_COMMON_API const char* strnchr(const char* text, int count, char ch);
ORBO_COMMON_API const WCHAR* wcsnchr(const WCHAR* text, int count, WCHAR ch);
inline char* strnchr(char* text, int count, char ch) {
    return const_cast<char*>(strnchr(static_cast<const char*>(text), count, ch));
}
inline WCHAR* wcsnchr(WCHAR* text, int count, WCHAR ch) {
    return const_cast<WCHAR*>(wcsnchr(static_cast<const WCHAR*>(text), count, ch));
}

// First occurrence of `search`, ignoring the case of A-Z. Null when the text is empty or shorter
// than the search text; an empty search text matches at the start of a non-empty text.
ORBO_COMMON_API const char* stristr(const char* text, const char* search);
ORBO_COMMON_API const WCHAR* wcsistr(const WCHAR* text, const WCHAR* search);
inline char* stristr(char* text, const char* search) {
    return const_cast<char*>(stristr(static_cast<const char*>(text), search));
}
inline WCHAR* wcsistr(WCHAR* text, const WCHAR* search) {
    return const_cast<WCHAR*>(wcsistr(static_cast<const WCHAR*>(text), search));
}

// As stristr within the first `count` characters of the text, with the search text's length
// given (negative counts and lengths: up to the terminator). Null when count is below the
// search length.
ORBO_COMMON_API const char* strnistr(const char* text, int count, const char* search,
                                     int searchLength);
ORBO_COMMON_API const WCHAR* wcsnistr(const WCHAR* text, int count, const WCHAR* search,
                                      int searchLength);
inline char* strnistr(char* text, int count, const char* search, int searchLength) {
    return const_cast<char*>(strnistr(static_cast<const char*>(text), count, search, searchLength));
}
inline WCHAR* wcsnistr(WCHAR* text, int count, const WCHAR* search, int searchLength) {
    return const_cast<WCHAR*>(
        wcsnistr(static_cast<const WCHAR*>(text), count, search, searchLength));
}

// 1 when every character is 0-9 (1 for an empty text), 0 for null or any other character.
ORBO_COMMON_API int IsDigitStringA(const char* text);
ORBO_COMMON_API int IsDigitStringW(const WCHAR* text);
// 1 when every character is A-Z or a-z (1 for an empty text), 0 for null or any other.
ORBO_COMMON_API int IsAlphaStringA(const char* text);
ORBO_COMMON_API int IsAlphaStringW(const WCHAR* text);

// Change A-Z to a-z (respectively a-z to A-Z) in place.
ORBO_COMMON_API void ToLowerStringA(char* text);
ORBO_COMMON_API void ToLowerStringW(WCHAR* text);
ORBO_COMMON_API void ToUpperStringA(char* text);
ORBO_COMMON_API void ToUpperStringW(WCHAR* text);
