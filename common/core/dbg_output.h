// The library's diagnostic output: every line of the system goes through DbgOutputA/W.
//
// A line is: [tag + " "] [time stamp] ["(pid:%5d, lwp:%5d) "] "[L]=> " message, where L is the
// level's letter (0 blank, 1 D, 2 I, 3 W, 4 E). No terminator is added: messages end with "\r\n".
// Display type 0 (default) writes to standard error only when the environment variable
// ORBO_DEBUG is set; 1 writes to standard output; any other value writes nowhere. Every
// registered callback receives every line. Any thread may write lines; the setters are meant
// for start-up.
#pragma once

#include <cstdint>

#include "core/common_api.h"
#include "platform_types.h"

constexpr uint32_t kDbgLevelNone = 0;
constexpr uint32_t kDbgLevelDebug = 1;
constexpr uint32_t kDbgLevelInfo = 2;
constexpr uint32_t kDbgLevelWarning = 3;
constexpr uint32_t kDbgLevelError = 4;

// Time stamp types.
constexpr int kDbgTimeOfDay = 0;   // "hh:mm:ss.mmm "
constexpr int kDbgDateTime = 1;    // "yyyy/mm/dd hh:mm:ss.mmm "
constexpr int kDbgNoTime = 2;

// Display types.
constexpr int kDbgDisplayDebugger = 0;  // standard error, when ORBO_DEBUG is set
constexpr int kDbgDisplayStdout = 1;

// A log sink: (user data, level, line, line length in bytes). The line is valid during the call
// only. Calls are serialised; a callback that writes a debug line itself is not called again for
// that nested line (it reaches the other callbacks). The result is not used.
using DbgOutputCallback = int (*)(uintptr_t userData, uint32_t level, const char* line, int length);

ORBO_COMMON_API void DbgOutputA(uint32_t level, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
ORBO_COMMON_API void DbgOutputW(uint32_t level, const WCHAR* format, ...);

ORBO_COMMON_API void DbgOutputSetTag(int enabled, const char* tag);
ORBO_COMMON_API void DbgOutputSetTimeType(int timeType);
ORBO_COMMON_API void DbgOutputSetIncludePIDTID(int include);
ORBO_COMMON_API void DbgOutputSetDisplayType(int displayType);

ORBO_COMMON_API void DbgOutputAddCallback(DbgOutputCallback callback, uintptr_t userData);
ORBO_COMMON_API void DbgOutputDelCallback(DbgOutputCallback callback);
ORBO_COMMON_API void DbgOutputDelAllCallback();
