// Text coding for web addresses and pages: form-style percent coding of narrow text (EncodeURL,
// DecodeURL) and numeric HTML character references resolved into wide text (HtmlCodeToString).
// Each function appends its result to the caller's string without emptying it first.
//
// A length of -1 (any negative value) means "up to the terminator"; a null text does nothing.
// All functions are reentrant.
#pragma once

#include "core/base_string.h"
#include "core/common_api.h"

// Letters A-Z and a-z, digits, '.' and '/' stay as they are; a space becomes '+'; every other
// byte becomes '%' and two upper-case hexadecimal digits ("a b/c-d" -> "a+b/c%2Dd").
ORBO_COMMON_API void EncodeURL(const char* text, int length, CBaseStringA& out);

// '+' becomes a space and '%' followed by two hexadecimal digits becomes the byte they give. A
// '%' without two hexadecimal digits after it stays as it is ("100%" -> "100%", "%G1" -> "%G1"),
// so no malformed escape is turned into a different byte or swallowed. Equal byte for byte to
// Python's urllib.parse.unquote_plus. The result may hold any byte, a zero byte included.
ORBO_COMMON_API void DecodeURL(const char* text, int length, CBaseStringA& out);

// Copies the text (at most `length` bytes, ending at a zero byte; 0 does nothing) into `out`,
// converted from UTF-8 as CBaseStringW does (a stretch that is not valid UTF-8 adds nothing),
// resolving numeric character references:
// - "&#" decimal digits ";" (an optional sign before the digits) and "&#x" hexadecimal digits
//   ";" ("X" accepted too; an extra "0x"/"0X" before the digits is skipped). Characters between
//   the digits and the ";" are ignored ("&#65abc;" -> "A").
// - A character above U+FFFF becomes its surrogate pair. A value that is no character (0, a
//   negative value, a surrogate, above U+10FFFF) becomes U+FFFD, as HTML does.
// - "&#" not followed by digits, or without a ";" after it, is kept as written.
ORBO_COMMON_API void HtmlCodeToString(const char* text, int length, CBaseStringW& out);
