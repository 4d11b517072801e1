// Whole numbers written in a radix of 2 to 36, in base 36, and in Chinese numerals.
// Narrow (A) and wide (W) twins behave alike (the narrow Chinese numerals are UTF-8).
// No state; any thread.
#pragma once

#include <cstdint>

#include "core/common_api.h"
#include "platform_types.h"

// Writes exactly `digits` digits of the value in the radix (2..36; digits from 0-9 then A-Z),
// leading zeros included, and a terminator: `out` holds digits + 1 characters. Digits beyond
// `digits` are lost (the lowest ones are written). Nothing happens for a null out, digits < 0 or
// a radix outside 2..36.
ORBO_COMMON_API void ConvertLongToCharA(uint64_t value, char* out, int digits, int radix);
ORBO_COMMON_API void ConvertLongToCharW(uint64_t value, WCHAR* out, int digits, int radix);

// The value in base 36 with the digits 0-9 and A-Z, without leading zeros ("0" for 0), into a
// buffer of outLength characters (terminator included). Returns the number of digits, or 0
// (out empty when outLength >= 1) when it does not fit. At most 13 digits are ever needed.
ORBO_COMMON_API int ConvertNumberToRadix36StringA(uint64_t value, char* out, int outLength);
ORBO_COMMON_API int ConvertNumberToRadix36StringW(uint64_t value, WCHAR* out, int outLength);

// Reads base-36 text (0-9, A-Z and a-z; any other character counts as the digit 0), length in
// characters (negative: up to the terminator). Values beyond 64 bits wrap.
ORBO_COMMON_API uint64_t ConvertRadix36StringToNumberA(const char* text, int length);
ORBO_COMMON_API uint64_t ConvertRadix36StringToNumberW(const WCHAR* text, int length);

// The value in Chinese numerals (零一二三四五六七八九, 十百千, 万 and 亿; a leading 一十 is
// written 十; zeros inside are read as one 零: 1001 is 一千零一, 100000 is 十万; negative values
// begin with 负) into a buffer of outLength characters (units of the text's width, terminator
// included). Returns the length written, or 0 (out empty when outLength >= 1) when it does not
// fit or out is null.
ORBO_COMMON_API int ConvertNumberToChineseNumberA(int64_t value, char* out, int outLength);
ORBO_COMMON_API int ConvertNumberToChineseNumberW(int64_t value, WCHAR* out, int outLength);
