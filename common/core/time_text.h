// Times and dates read from text.
// No state; any thread.
#pragma once

#include "core/common_api.h"
#include "platform_types.h"
#include "time_util.h"

// "h:m:s" (TimeStringToInt_HMS) or "m:s" (TimeStringToInt_MS), each field one or more decimal
// digits, optionally followed by a fraction of one to three digits after ',' or '.' (".5" is
// 500 ms, ".05" is 50 ms), into milliseconds. 0 when the text is malformed or the result does
// not fit an int. Length in characters; negative: up to the terminator.
ORBO_COMMON_API int TimeStringToInt_HMS(const char* text, int length);
ORBO_COMMON_API int TimeStringToInt_MS(const char* text, int length);

// Reads "%04hd/%02hd/%02hd %02hd:%02hd:%02hd" (year, month, day, hour, minute, second; each
// field at most as many digits as its width) into the record, as the C library's scanf does;
// returns the number of fields read (0 to 6). Fields not read are left as they are; the day of
// the week and the milliseconds are not touched. 0 for a null argument.
ORBO_COMMON_API int StringToSystemTimeA(const char* text, LocalDateTime* time);
ORBO_COMMON_API int StringToSystemTimeW(const WCHAR* text, LocalDateTime* time);
