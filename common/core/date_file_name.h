// File names made from the local date and time, a number or random letters, as narrow (A) and
// wide (W) twins. The result is written to a buffer of kMaxPathChars + 1 units; a name that does
// not fit is refused (empty output, result 0), never cut. Null texts count as empty.
// No state is kept except the random generator, which is per thread: any thread may call.
#pragma once

#include <cstdint>

#include "core/common_api.h"
#include "platform_types.h"
#include "time_util.h"

// out := prefix; with date "%04d_%02d_%02d_" of year, month, day; "%02d_%02d_%02d" of hour,
// minute, second; with milliseconds "_%03d"; the suffix; then, when the extension is not
// empty, a dot unless the extension begins with one, and the extension. Local time now; the
// reserved argument is ignored. 1 on success, 0 when out is null or the name does not fit.
// Example: (out, ".log", "Zorvan_TOOL_", "", 0, 1, 0) gives Zorvan_TOOL_2026_01_31_09_05_07.log.
ORBO_COMMON_API int GetFileNameByDateA(char* out, const char* extension, const char* prefix,
                                       const char* suffix, int reserved, int withDate,
                                       int withMilliseconds);
ORBO_COMMON_API int GetFileNameByDateW(WCHAR* out, const WCHAR* extension, const WCHAR* prefix,
                                       const WCHAR* suffix, int reserved, int withDate,
                                       int withMilliseconds);

// The same for a given local time.
ORBO_COMMON_API int FormatFileNameByDateA(char* out, const char* extension, const char* prefix,
                                          const char* suffix, int withDate, int withMilliseconds,
                                          const LocalDateTime& when);
ORBO_COMMON_API int FormatFileNameByDateW(WCHAR* out, const WCHAR* extension, const WCHAR* prefix,
                                          const WCHAR* suffix, int withDate, int withMilliseconds,
                                          const LocalDateTime& when);

// out := prefix, the number in decimal (unsigned), then, when the extension is not null, a dot
// unless the extension begins with one, and the extension (an empty extension leaves a trailing
// dot). 1 on success, 0 when out is null or the name does not fit.
ORBO_COMMON_API int GetFileNameByNumberA(char* out, const char* extension, const char* prefix,
                                         uint32_t number);
ORBO_COMMON_API int GetFileNameByNumberW(WCHAR* out, const WCHAR* extension, const WCHAR* prefix,
                                         uint32_t number);

// out := prefix, `length` random characters, then the extension as for GetFileNameByNumber.
// Per character two values r1, r2 are drawn: r2 mod 7 of 0..2 gives a lower-case letter (a third
// draw mod 26), 3..5 an upper-case letter (a third draw mod 26), 6 a digit (r1 mod 10). The
// generator is seeded per thread from the system's entropy, so two processes do not make the
// same names. 1 on success, 0 when out is null or the name does not fit.
ORBO_COMMON_API int GetFileNameByRandomA(char* out, const char* extension, const char* prefix,
                                         int length);
ORBO_COMMON_API int GetFileNameByRandomW(WCHAR* out, const WCHAR* extension, const WCHAR* prefix,
                                         int length);
