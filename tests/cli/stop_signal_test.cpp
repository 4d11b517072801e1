// ctest-labels: unit
#include "stop_signal.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "support/timeout_table.h"

TEST(StopSignal, ATimeLimitNeverEndsBeforeItsTimeOnAnotherClock) {
    StopSignal stop;
    ExpectNoEarlyTimeouts("StopSignal::Wait", [&](uint32_t ms) {
        EXPECT_EQ(stop.Wait(ms), StopReason::TimeLimit);
        return std::chrono::steady_clock::now();
    });
}

TEST(StopSignal, ANotificationEndsAWaitWithoutLimit) {
    StopSignal stop;
    std::thread notifier([&] { stop.Notify(); });
    EXPECT_EQ(stop.Wait(-1), StopReason::Notified);
    notifier.join();
}
