#include "serial/serial_port_table.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

TEST(SerialPortTable, NumbersNewNamesUpwardsAndKeepsThem) {
    const int first = SerialPortNumberOf("/dev/ttyTableA");
    const int second = SerialPortNumberOf("/dev/ttyTableB");
    EXPECT_GE(first, 1);
    EXPECT_EQ(second, first + 1);
    EXPECT_EQ(SerialPortNumberOf("/dev/ttyTableA"), first);
    EXPECT_EQ(SerialPortNumberOf("/dev/ttyTableB"), second);

    std::string name;
    ASSERT_TRUE(SerialPortNameOf(first, name));
    EXPECT_EQ(name, "/dev/ttyTableA");
    ASSERT_TRUE(SerialPortNameOf(second, name));
    EXPECT_EQ(name, "/dev/ttyTableB");
}

TEST(SerialPortTable, ComparesNamesExactly) {
    const int lower = SerialPortNumberOf("/dev/ttyCase");
    const int upper = SerialPortNumberOf("/dev/TTYCASE");
    EXPECT_NE(lower, upper);
}

TEST(SerialPortTable, ZeroIsNeverAPortNumber) {
    EXPECT_EQ(SerialPortNumberOf(""), 0);
    std::string name = "untouched";
    for (int number : {0, -1, 1 << 30}) {
        EXPECT_FALSE(SerialPortNameOf(number, name)) << number;
    }
    EXPECT_EQ(name, "untouched");
}

TEST(SerialPortTable, ConcurrentRegistrationsGiveOneNumberPerName) {
    constexpr int kThreads = 4;
    constexpr int kNames = 200;
    std::vector<std::vector<int>> seen(kThreads, std::vector<int>(kNames));
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &seen] {
            for (int i = 0; i < kNames; ++i) {
                seen[t][i] = SerialPortNumberOf("/dev/ttyConcurrent" + std::to_string(i));
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int i = 0; i < kNames; ++i) {
        for (int t = 1; t < kThreads; ++t) EXPECT_EQ(seen[t][i], seen[0][i]);
        std::string name;
        ASSERT_TRUE(SerialPortNameOf(seen[0][i], name));
        EXPECT_EQ(name, "/dev/ttyConcurrent" + std::to_string(i));
    }
}

}  // namespace
