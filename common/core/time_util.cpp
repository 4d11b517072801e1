#include "time_util.h"

#include "mono_clock.h"

int MS_GetTime() {
    return static_cast<int>(static_cast<uint32_t>(MonoTimeMs()));
}

void HQ_Sleep(int milliseconds) {
    if (milliseconds > 0) SleepMs(static_cast<uint64_t>(milliseconds));
}

int64_t MS_BusyDelay(uint32_t microseconds) {
    const uint64_t start = MonoTimeUs();
    uint64_t elapsed = 0;
    do {
        elapsed = MonoTimeUs() - start;
    } while (elapsed < microseconds);
    return static_cast<int64_t>(elapsed);
}

bool ToLocalDateTime(const timespec& when, LocalDateTime& out) {
    tm local{};
    const time_t seconds = when.tv_sec;
    if (localtime_r(&seconds, &local) == nullptr) return false;
    out.year = local.tm_year + 1900;
    out.month = local.tm_mon + 1;
    out.dayOfWeek = local.tm_wday;
    out.day = local.tm_mday;
    out.hour = local.tm_hour;
    out.minute = local.tm_min;
    out.second = local.tm_sec;
    out.milliseconds = static_cast<int>(when.tv_nsec / 1000000);
    return true;
}

bool GetLocalDateTime(LocalDateTime& out) {
    timespec now{};
    if (clock_gettime(CLOCK_REALTIME, &now) != 0) return false;
    return ToLocalDateTime(now, out);
}
