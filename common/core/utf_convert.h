// Exact conversions between narrow text (UTF-8) and wide text (UTF-16 in char16_t).
//
// The exact forms refuse input that is not well-formed (an invalid or overlong UTF-8 sequence,
// a surrogate encoded in UTF-8, an unpaired UTF-16 surrogate): they return false and leave the
// output empty, because a text that cannot be converted must never silently become another text
// (a path, a setting). Only display text uses the lossy forms, which substitute U+FFFD.
// All functions are thread-safe.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include "core/common_api.h"

// Length of a zero-terminated wide text; 0 for null.
ORBO_COMMON_API size_t WideLength(const char16_t* text);

ORBO_COMMON_API bool Utf8ToUtf16(std::string_view text, std::u16string& out);
ORBO_COMMON_API bool Utf16ToUtf8(std::u16string_view text, std::string& out);

ORBO_COMMON_API std::u16string Utf8ToUtf16Lossy(std::string_view text);
ORBO_COMMON_API std::string Utf16ToUtf8Lossy(std::u16string_view text);

// Most UTF-8 bytes one UTF-16 unit can need (a surrogate pair needs 4 bytes for 2 units).
constexpr size_t kMaxUtf8BytesPerUtf16Unit = 3;
