#include "core/time_util.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "core/mono_clock.h"
#include "support/scoped_env.h"

namespace {

// Runs with the given time zone; restores the previous one at the end.
class TimeZone {
public:
    explicit TimeZone(const char* zone) : m_tz(std::in_place, "TZ", zone) { tzset(); }
    ~TimeZone() {
        m_tz.reset();
        tzset();
    }

private:
    std::optional<ScopedEnv> m_tz;
};

TEST(MS_GetTime, IsLowBitsOfMonotonicClock) {
    const uint32_t before = static_cast<uint32_t>(MonoTimeMs());
    const uint32_t now = static_cast<uint32_t>(MS_GetTime());
    const uint32_t after = static_cast<uint32_t>(MonoTimeMs());
    // Differences modulo 2^32, the only way a 32-bit tick may be compared.
    EXPECT_LE(static_cast<uint32_t>(now - before), static_cast<uint32_t>(after - before));
}

TEST(HQ_Sleep, BlocksAtLeastTheGivenTime) {
    const uint64_t start = MonoTimeMs();
    HQ_Sleep(20);
    EXPECT_GE(MonoTimeMs() - start, 20u);
    const uint64_t again = MonoTimeMs();
    HQ_Sleep(0);
    HQ_Sleep(-5);
    EXPECT_LT(MonoTimeMs() - again, 5000u);  // returns at once; the bound only catches a hang
}

TEST(MS_BusyDelay, SpinsAtLeastTheGivenMicroseconds) {
    const uint64_t start = MonoTimeUs();
    const int64_t reported = MS_BusyDelay(3000);
    const uint64_t measured = MonoTimeUs() - start;
    EXPECT_GE(reported, 3000);
    EXPECT_LE(static_cast<uint64_t>(reported), measured);
    EXPECT_GE(MS_BusyDelay(0), 0);
}

TEST(LocalDateTime, FollowsTheLocalTimeZone) {
    const timespec when{1769850307, 42000000};  // 2026-01-31 09:05:07.042 UTC, a Saturday
    const struct {
        const char* zone;
        int day;
        int hour;
    } cases[] = {{"UTC0", 31, 9}, {"CET-1", 31, 10}, {"EST5", 31, 4}, {"XYZ-15", 1, 0}};
    for (const auto& c : cases) {
        TimeZone zone(c.zone);
        LocalDateTime local;
        ASSERT_TRUE(ToLocalDateTime(when, local)) << c.zone;
        EXPECT_EQ(local.day, c.day) << c.zone;
        EXPECT_EQ(local.hour, c.hour) << c.zone;
        EXPECT_EQ(local.minute, 5) << c.zone;
        EXPECT_EQ(local.second, 7) << c.zone;
        EXPECT_EQ(local.milliseconds, 42) << c.zone;
    }
    TimeZone utc("UTC0");
    LocalDateTime local;
    ASSERT_TRUE(ToLocalDateTime(when, local));
    EXPECT_EQ(local.year, 2026);
    EXPECT_EQ(local.month, 1);
    EXPECT_EQ(local.dayOfWeek, 6);
}

TEST(LocalDateTime, CurrentTimeIsNow) {
    TimeZone utc("UTC0");
    const time_t before = time(nullptr);
    LocalDateTime now;
    ASSERT_TRUE(GetLocalDateTime(now));
    tm expected{};
    gmtime_r(&before, &expected);
    EXPECT_EQ(now.year, expected.tm_year + 1900);
    EXPECT_GE(now.milliseconds, 0);
    EXPECT_LE(now.milliseconds, 999);
}

}  // namespace
