// Millisecond time, sleeping and local calendar time.
//
// MS_GetTime keeps its 32-bit result for callers that show or store it; it is the low bits of the
// library's 64-bit monotonic clock (mono_clock.h), and durations are never computed from it.
// Calendar times are local time (localtime_r). Every function may be called from any thread.
#pragma once

#include <cstdint>
#include <ctime>
#include "core/common_api.h"

// Milliseconds of the monotonic clock (since the system started), low 32 bits: wraps about every
// 49.7 days. Use MonoTimeMs for differences.
ORBO_COMMON_API int MS_GetTime();

// Blocks the calling thread for at least that many milliseconds; nothing for values <= 0.
ORBO_COMMON_API void HQ_Sleep(int milliseconds);

// Spins on the microsecond clock until at least that many microseconds have passed; returns the
// microseconds actually elapsed.
ORBO_COMMON_API int64_t MS_BusyDelay(uint32_t microseconds);

// A local calendar time, field by field.
struct ORBO_COMMON_API LocalDateTime {
    int year = 0;          // e.g. 2026
    int month = 0;         // 1..12
    int dayOfWeek = 0;     // 0 = Sunday .. 6
    int day = 0;           // 1..31
    int hour = 0;          // 0..23
    int minute = 0;        // 0..59
    int second = 0;        // 0..60
    int milliseconds = 0;  // 0..999
};

// The local time of a point in real time (seconds and nanoseconds since the epoch).
// False when it cannot be represented.
ORBO_COMMON_API bool ToLocalDateTime(const timespec& when, LocalDateTime& out);

// The current local time. False when the clock or the time zone conversion fails.
ORBO_COMMON_API bool GetLocalDateTime(LocalDateTime& out);
