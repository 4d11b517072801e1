// printf-style formatting for both text widths, with the original platform's meanings and
// always in the "C" locale (a decimal comma never appears, whatever the process locale).
//
// Narrow format: %s is a narrow (UTF-8) string, %ls and %S a wide (char16_t) string; %c a
// narrow character, %lc and %C a wide character.
// Wide format: %s and %ls are a wide string, %hs and %S a narrow string; %c and %lc a wide
// character, %hc and %C a narrow character.
// Everything else follows C printf: flags, width, precision (also '*'), the length modifiers
// hh h l ll j z t L and the Microsoft I64/I32/I forms, the conversions d i u o x X e E f F g G
// a A p c s %. %n is refused. Width and precision of strings count characters of the output
// width. A null string argument prints "(null)".
// Thread-safe.
#pragma once

#include <cstdarg>
#include <string>
#include "core/common_api.h"

// Formats into `out` (replacing it). Returns false for an invalid format or an argument that
// cannot be converted; `out` then holds what was formatted up to the fault.
ORBO_COMMON_API bool FormatTextV(std::string& out, const char* format, va_list args);
ORBO_COMMON_API bool FormatTextV(std::u16string& out, const char16_t* format, va_list args);

// Convenience forms of the above.
ORBO_COMMON_API bool FormatText(std::string& out, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
ORBO_COMMON_API bool FormatText(std::u16string& out, const char16_t* format, ...);
