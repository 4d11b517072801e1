// Numbers and text: the display precision of a floating-point value, typed values (value type
// codes of value_text.h) formatted into strings, and text lists parsed into packed arrays of
// typed values.
//
// Formats are printf formats (text_format.h rules, "C" locale) holding exactly one numeric
// conversion (d i u o x X c, or e E f F g G a A; "%%" is allowed besides). The value is read in
// its type's width and handed over as the conversion expects: an integer conversion without a
// length modifier (or with h/hh) gets a 32-bit int, with l/ll/j/z/t/I64 a 64-bit one, a
// floating-point conversion a double. A format with no or several conversions, or another
// conversion (%s, %p, %n), appends nothing and is logged at level 4.
//
// Narrow (A) and wide (W) twins behave alike. No state; any thread.
#pragma once

#include "core/common_api.h"
#include "platform_types.h"

class CBaseStringA;
class CBaseStringW;

// The number of decimals worth showing for the value, at most `maximum`: starting from d = 0 and
// x = value, while d < maximum and the distance of x from its nearest integer is at least
// 0.01 or at least half of 10^-maximum, add one decimal and continue with ten times that
// distance. 2.0 gives 0, 2.5 gives 1, 3.14159 with 3 gives 3, 1.004 with 2 gives 0. Not-a-number
// and infinities give 0.
ORBO_COMMON_API int GetSuitableDecimalFormatCount(double value, int maximum);

// out := "%.Nf" with N = GetSuitableDecimalFormatCount(value, maximum) ("%.2f" for 0.25 and 4).
ORBO_COMMON_API void GetDoubleSuitableDisplayFormatA(double value, int maximum, CBaseStringA* out);
ORBO_COMMON_API void GetDoubleSuitableDisplayFormatW(double value, int maximum, CBaseStringW* out);

// Appends the typed value at `value` formatted with the format. Nothing for a null argument or a
// type code outside 0..10.
ORBO_COMMON_API void DigtalValueToStringA(CBaseStringA* out, const char* format, int type,
                                          const void* value);
ORBO_COMMON_API void DigtalValueToStringW(CBaseStringW* out, const WCHAR* format, int type,
                                          const void* value);

// Appends `count` packed values of the array, separated by the separator text (null: none).
ORBO_COMMON_API void AppendDigitalArrayValueA(CBaseStringA* out, const char* format, int type,
                                              const void* array, int count, const char* separator);
ORBO_COMMON_API void AppendDigitalArrayValueW(CBaseStringW* out, const WCHAR* format, int type,
                                              const void* array, int count, const WCHAR* separator);

// Appends `groups` groups of `perGroup` values; group g starts at value index g * groupStride
// (a stride <= 0 means perGroup). Groups are separated by groupSeparator, the values inside a
// group by valueSeparator. Returns the number of groups appended (0 for invalid arguments).
ORBO_COMMON_API int AppendDigitalGroupArrayValueA(CBaseStringA* out, const char* format, int type,
                                                  const void* array, int groups, int perGroup,
                                                  int groupStride, const char* groupSeparator,
                                                  const char* valueSeparator);
ORBO_COMMON_API int AppendDigitalGroupArrayValueW(CBaseStringW* out, const WCHAR* format, int type,
                                                  const void* array, int groups, int perGroup,
                                                  int groupStride, const WCHAR* groupSeparator,
                                                  const WCHAR* valueSeparator);

// Splits the text as DevideStringByCharList does (separator characters, skipEmpty) and stores
// each part's value (DigtalStringToValue rules) into the packed array `out`, at most maxCount
// of them. Returns the number of values stored; 0 for a null text or out, or an invalid type.
ORBO_COMMON_API int ParseDigitalArrayValueA(const char* text, int length, int type, void* out,
                                            int maxCount, const char* separators,
                                            int separatorCount, int skipEmpty);
ORBO_COMMON_API int ParseDigitalArrayValueW(const WCHAR* text, int length, int type, void* out,
                                            int maxCount, const WCHAR* separators,
                                            int separatorCount, int skipEmpty);

// Splits the text into groups at the group separator characters, and each group into values at
// the value separator characters; stores group g's values from index g * perGroup of `out`, at
// most perGroup per group (values a group lacks are left as they are) and at most maxGroups
// groups. Returns the number of groups stored.
ORBO_COMMON_API int ParseDigitalGroupArrayValueA(const char* text, int length, int type, void* out,
                                                 int maxGroups, int perGroup,
                                                 const char* groupSeparators,
                                                 int groupSeparatorCount,
                                                 const char* valueSeparators,
                                                 int valueSeparatorCount, int skipEmpty);
ORBO_COMMON_API int ParseDigitalGroupArrayValueW(const WCHAR* text, int length, int type, void* out,
                                                 int maxGroups, int perGroup,
                                                 const WCHAR* groupSeparators,
                                                 int groupSeparatorCount,
                                                 const WCHAR* valueSeparators,
                                                 int valueSeparatorCount, int skipEmpty);
