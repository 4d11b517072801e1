// Typed values behind untyped pointers: the value type codes shared by every function that reads
// or writes a number through a void pointer, and reading such a value from text.
//
// Code  Size  Value
//  0     1    8-bit integer, shown unsigned
//  1     1    8-bit integer, shown sign-extended
//  2     4    32-bit integer
//  3     2    16-bit integer, shown sign-extended
//  4     2    16-bit integer, shown unsigned
//  5     4    32-bit integer
//  6     4    32-bit integer
//  7     8    64-bit integer
//  8     8    64-bit integer
//  9     4    single-precision floating point
// 10     8    double-precision floating point
// Codes outside 0..10 are ignored: nothing is read or written. Arrays of typed values are packed
// at these sizes; values are stored in the machine's (little-endian) byte order.
// No state is kept: every function may be called from any thread.
#pragma once

#include "core/common_api.h"
#include "platform_types.h"

constexpr int kValueTypeUInt8 = 0;
constexpr int kValueTypeInt8 = 1;
constexpr int kValueTypeInt32 = 2;
constexpr int kValueTypeInt16 = 3;
constexpr int kValueTypeUInt16 = 4;
constexpr int kValueTypeUInt32 = 5;
constexpr int kValueTypeUInt32B = 6;
constexpr int kValueTypeInt64 = 7;
constexpr int kValueTypeUInt64 = 8;
constexpr int kValueTypeFloat = 9;
constexpr int kValueTypeDouble = 10;
constexpr int kValueTypeLast = kValueTypeDouble;

// Size in bytes of a value of the type; 0 for a code outside 0..10.
ORBO_COMMON_API int GetValueTypeSize(int type);

// Reads the text (length in units; negative: up to the terminator, which also ends a text of
// given length) and stores the value at `out` in the type's width:
// - codes outside 0..10, or a null out: nothing is stored;
// - 9 and 10: the text is read as a decimal floating-point number (leading blanks, sign,
//   fraction, exponent; the "C" rules whatever the process locale), stored as float or double;
// - integer codes with an empty or null text store 0;
// - a text containing "0x" or "0X" anywhere is hexadecimal: its first two characters are skipped
//   as the prefix, a second "0x"/"0X" directly behind them too, then hexadecimal digits are taken
//   up to the first other character; higher digits than the type holds are lost;
// - otherwise a signed decimal number (leading blanks, optional sign, digits up to the first
//   other character) read as 64 bits (saturating beyond that) and stored in the type's width,
//   so "300" as code 0 stores 44, and 64-bit types get their full value.
ORBO_COMMON_API void DigtalStringToValueA(const char* text, int length, void* out, int type);
ORBO_COMMON_API void DigtalStringToValueW(const WCHAR* text, int length, void* out, int type);
