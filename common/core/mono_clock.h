// The one clock of the library: 64-bit monotonic milliseconds (CLOCK_MONOTONIC). Every time-out,
// tick and elapsed-time calculation uses it; nothing subtracts 32-bit tick values.
#pragma once

#include <cstdint>
#include "core/common_api.h"

// Milliseconds since an arbitrary fixed point; never goes backwards. Any thread.
ORBO_COMMON_API uint64_t MonoTimeMs();

// Microseconds on the same clock, for measurements finer than a millisecond.
ORBO_COMMON_API uint64_t MonoTimeUs();

// Sleeps at least the given number of milliseconds (restarts after signals). Any thread.
ORBO_COMMON_API void SleepMs(uint64_t milliseconds);

// Adds a time-out to a point in time without wrapping: the result saturates at UINT64_MAX.
constexpr uint64_t DeadlineAfterMs(uint64_t nowMs, uint64_t timeoutMs) {
    return timeoutMs > UINT64_MAX - nowMs ? UINT64_MAX : nowMs + timeoutMs;
}

// The deadline of a time-out that starts now, on the MonoTimeMs clock. The current instant is
// rounded up to the next whole millisecond first: MonoTimeMs() rounds down, so a deadline taken
// from it could pass up to 1 ms before the time-out has. Once MonoTimeMs() >= the result, at
// least timeoutMs have passed; a time-out of 0 has passed at once. Any thread.
ORBO_COMMON_API uint64_t MonoDeadlineMs(uint64_t timeoutMs);
