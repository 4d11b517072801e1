// Checks that time-outs never end early, measured on std::chrono::steady_clock: a clock that is
// not the library's own millisecond clock, so a deadline rounded the wrong way on that clock
// shows. Each duration is tried several times, so the waits start at different points within a
// millisecond. Only a generous hang deadline bounds a wait from above.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>

// Short durations show a rounding error best; the longer ones are the reported cases.
inline constexpr uint32_t kTimeoutTableMs[] = {1, 2, 3, 5, 20, 70};
inline constexpr int kTimeoutRepeats = 4;
// A wait still running this long after its time-out is a hang, not a slow machine.
inline constexpr std::chrono::seconds kTimeoutHangDeadline{20};

// Runs `timedOut(ms)` for every duration of the table, several times each. It starts a wait of
// `ms` that is expected to time out, and returns when it has, with the steady_clock instant the
// time-out was seen at (by the function itself or by whatever the wait released). `what` names
// the wait in failure messages and in the line that reports the shortest margin (time waited
// minus time asked).
inline void ExpectNoEarlyTimeouts(
    const char* what,
    const std::function<std::chrono::steady_clock::time_point(uint32_t ms)>& timedOut) {
    using namespace std::chrono;
    microseconds shortestMargin = microseconds::max();
    for (const uint32_t ms : kTimeoutTableMs) {
        for (int repeat = 0; repeat < kTimeoutRepeats; ++repeat) {
            const steady_clock::time_point start = steady_clock::now();
            const steady_clock::time_point end = timedOut(ms);
            const auto waited = duration_cast<microseconds>(end - start);
            const auto asked = microseconds(milliseconds(ms));
            EXPECT_GE(waited, asked) << what << ": a time-out of " << ms << " ms ended after "
                                     << waited.count() << " us";
            EXPECT_LT(waited, asked + kTimeoutHangDeadline) << what << " hung";
            if (waited - asked < shortestMargin) shortestMargin = waited - asked;
        }
    }
    std::printf("%s: shortest margin %lld us\n", what,
                static_cast<long long>(shortestMargin.count()));
}
