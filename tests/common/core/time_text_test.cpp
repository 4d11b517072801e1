#include "core/time_text.h"

#include <gtest/gtest.h>

namespace {

TEST(TimeText, ClockTextToMilliseconds) {
    struct Case {
        const char* text;
        int hms;
        int ms;
    } cases[] = {
        {"1:02:03", 3723000, 0},
        {"1:02:03.5", 3723500, 0},
        {"0:00:01,05", 1050, 0},
        {"0:0:0.123", 123, 0},
        {"2:03", 0, 123000},
        {"2:03.250", 0, 123250},
        {"1:2:3.1234", 0, 0},
        {"1:2:", 0, 0},
        {"a:2:3", 0, 0},
        {"1:2:3 ", 0, 0},
        {"", 0, 0},
        {"999999:00:00", 0, 0},
        {"1:02:03.", 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TimeStringToInt_HMS(c.text, -1), c.hms) << c.text;
        EXPECT_EQ(TimeStringToInt_MS(c.text, -1), c.ms) << c.text;
    }
    EXPECT_EQ(TimeStringToInt_MS("1:30xyz", 4), 90000);
    EXPECT_EQ(TimeStringToInt_HMS(nullptr, -1), 0);
}

TEST(TimeText, StringToSystemTimeReadsTheFields) {
    LocalDateTime time;
    time.milliseconds = 42;
    EXPECT_EQ(StringToSystemTimeA("2026/01/31 09:05:07", &time), 6);
    EXPECT_EQ(time.year, 2026);
    EXPECT_EQ(time.month, 1);
    EXPECT_EQ(time.day, 31);
    EXPECT_EQ(time.hour, 9);
    EXPECT_EQ(time.minute, 5);
    EXPECT_EQ(time.second, 7);
    EXPECT_EQ(time.milliseconds, 42);

    LocalDateTime partial;
    partial.hour = 11;
    EXPECT_EQ(StringToSystemTimeW(u"2025/12/24", &partial), 3);
    EXPECT_EQ(partial.day, 24);
    EXPECT_EQ(partial.hour, 11);
    EXPECT_EQ(StringToSystemTimeA("12345/1/1", &partial), 1);  // at most four year digits
    EXPECT_EQ(partial.year, 1234);
    EXPECT_EQ(StringToSystemTimeA("2024/7/1 8:30", &partial), 5);
    EXPECT_EQ(partial.minute, 30);
    EXPECT_EQ(StringToSystemTimeA("x", &partial), 0);
    EXPECT_EQ(StringToSystemTimeA(nullptr, &partial), 0);
}

}  // namespace
