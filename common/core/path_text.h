// Shared mechanics of the path functions for both text widths: separators, the length limit and
// the passage between our path texts and the file system's byte paths.
//
// Separators: '/' is written; '\\' is accepted as a separator on input. A path is absolute when
// it starts with a separator. The limit is kMaxPathChars code units of the text's own width
// (bytes for narrow text, UTF-16 units for wide text), because callers' buffers hold
// kMaxPathChars + 1 units; a path that does not fit is refused, never cut.
// Internal to the library's core; all functions are reentrant.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/common_api.h"
#include "platform_types.h"
#include "size_limits.h"

template <class C>
constexpr bool IsPathSeparator(C c) {
    return c == C('/') || c == C('\\');
}

// Length of a zero-terminated text of either width; 0 for null.
template <class C>
size_t TextLength(const C* text) {
    if (text == nullptr) return 0;
    size_t n = 0;
    while (text[n] != C(0)) ++n;
    return n;
}

// The text with every '\\' turned into '/'; null gives an empty text.
template <class C>
std::basic_string<C> NormalizedPath(const C* path) {
    std::basic_string<C> out(path == nullptr ? std::basic_string_view<C>()
                                             : std::basic_string_view<C>(path));
    for (C& c : out) {
        if (c == C('\\')) c = C('/');
    }
    return out;
}

// Copies a path with its terminator into a caller's buffer of kMaxPathChars + 1 units.
// A path beyond the limit is refused: the buffer gets an empty text, a warning names the
// operation, and the result is false.
ORBO_COMMON_API bool StorePath(char* out, const std::string& path, const char* operation);
ORBO_COMMON_API bool StorePath(WCHAR* out, const std::u16string& path, const char* operation);

// The byte path for a system call: separators normalised, the limit checked, wide text converted
// exactly to UTF-8. False (with a warning naming the operation) for null, a path beyond the
// limit, or wide text that is not well-formed UTF-16.
ORBO_COMMON_API bool ToSystemPath(const char* path, std::string& out, const char* operation);
ORBO_COMMON_API bool ToSystemPath(const WCHAR* path, std::string& out, const char* operation);

// A byte path from the file system in the caller's width. False when it is not well-formed
// UTF-8 (wide form only) — such a name is never turned into a different one.
ORBO_COMMON_API bool FromSystemPath(const std::string& path, std::string& out);
ORBO_COMMON_API bool FromSystemPath(const std::string& path, std::u16string& out);
