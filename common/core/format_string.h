// printf formatting into a newly allocated text of any length (common/core/text_format.h: the
// original platform's %s/%ls/%S meanings, "C" locale). The caller frees the text with
// FreeFormatStringA/W. Any thread.
#pragma once

#include <cstdarg>

#include "core/common_api.h"
#include "platform_types.h"

// The formatted text, zero-terminated, and its length in characters through `length` (may be
// null). Null (length 0) for a null format or one that cannot be formatted (written at level 4).
ORBO_COMMON_API char* FormatStringA(int* length, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
ORBO_COMMON_API WCHAR* FormatStringW(int* length, const WCHAR* format, ...);
ORBO_COMMON_API char* FormatStringValistA(int* length, const char* format, va_list args);
ORBO_COMMON_API WCHAR* FormatStringValistW(int* length, const WCHAR* format, va_list args);

// Frees a text of FormatString (null is allowed).
ORBO_COMMON_API void FreeFormatStringA(char* text);
ORBO_COMMON_API void FreeFormatStringW(WCHAR* text);
