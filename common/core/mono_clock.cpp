#include "mono_clock.h"

#include <cerrno>
#include <ctime>

namespace {

timespec Now() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts;
}

}  // namespace

uint64_t MonoTimeMs() {
    const timespec ts = Now();
    return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

uint64_t MonoTimeUs() {
    const timespec ts = Now();
    return static_cast<uint64_t>(ts.tv_sec) * 1000000u + static_cast<uint64_t>(ts.tv_nsec) / 1000u;
}

uint64_t MonoDeadlineMs(uint64_t timeoutMs) {
    if (timeoutMs == 0) return MonoTimeMs();  // passed at once: no wait at all
    const timespec ts = Now();
    const uint64_t roundedUpMs = static_cast<uint64_t>(ts.tv_sec) * 1000u +
                                 (static_cast<uint64_t>(ts.tv_nsec) + 999999u) / 1000000u;
    return DeadlineAfterMs(roundedUpMs, timeoutMs);
}

void SleepMs(uint64_t milliseconds) {
    timespec left{static_cast<time_t>(milliseconds / 1000),
                  static_cast<long>((milliseconds % 1000) * 1000000)};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}
