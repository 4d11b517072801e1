#include "core/base_event.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "core/mono_clock.h"
#include "support/timeout_table.h"
#include "support/wait_until.h"

namespace {

using namespace std::chrono_literals;

// A bound on waits that would only block if the event were broken.
constexpr uint64_t kLongWaitMs = 10000;
// A window in which nothing is expected to happen.
constexpr auto kQuietWindow = 50ms;

struct PollCase {
    const char* name;
    int manualReset;
    bool signalled;
    bool useMicroseconds;  // WaitUS(999) instead of Wait(0)
    int expected;
};

TEST(BaseEvent, ZeroWaitsPollWithoutBlocking) {
    const PollCase cases[] = {
        {"auto, set, Wait(0)", 0, true, false, 1},
        {"auto, clear, Wait(0)", 0, false, false, 0},
        {"manual, set, Wait(0)", 1, true, false, 1},
        {"manual, clear, Wait(0)", 1, false, false, 0},
        {"auto, set, WaitUS(999)", 0, true, true, 1},
        {"auto, clear, WaitUS(999)", 0, false, true, 0},
        {"manual, set, WaitUS(999)", 1, true, true, 1},
        {"manual, clear, WaitUS(999)", 1, false, true, 0},
    };
    for (const PollCase& c : cases) {
        SCOPED_TRACE(c.name);
        CBaseEvent event(nullptr, c.manualReset);
        if (c.signalled) event.Set();
        EXPECT_EQ(c.useMicroseconds ? event.WaitUS(999) : event.Wait(uint64_t{0}), c.expected);
        EXPECT_EQ(event.IsWaiting(), 0);
    }
}

TEST(BaseEvent, AutoResetIsConsumedByOneWaitManualStaysUntilReset) {
    CBaseEvent autoEvent(nullptr, 0);
    autoEvent.Set();
    EXPECT_EQ(autoEvent.Wait(uint64_t{0}), 1);
    EXPECT_EQ(autoEvent.Wait(uint64_t{0}), 0);

    CBaseEvent manualEvent(nullptr, 1);
    manualEvent.Set();
    EXPECT_EQ(manualEvent.Wait(uint64_t{0}), 1);
    EXPECT_EQ(manualEvent.Wait(), 1);
    EXPECT_EQ(manualEvent.WaitUS(0), 1);
    manualEvent.Reset();
    EXPECT_EQ(manualEvent.Wait(uint64_t{0}), 0);
}

TEST(BaseEvent, TimedWaitTimesOutNoEarlierThanAsked) {
    CBaseEvent event;
    const uint64_t start = MonoTimeMs();
    EXPECT_EQ(event.Wait(uint64_t{30}), 0);
    EXPECT_GE(MonoTimeMs() - start, 30u);
    const uint64_t startUs = MonoTimeMs();
    EXPECT_EQ(event.WaitUS(30999), 0);  // 30 ms
    EXPECT_GE(MonoTimeMs() - startUs, 30u);
}

TEST(BaseEvent, TimedWaitsNeverEndBeforeTheirTimeOutOnAnotherClock) {
    CBaseEvent event;
    ExpectNoEarlyTimeouts("CBaseEvent::Wait", [&](uint32_t ms) {
        EXPECT_EQ(event.Wait(uint64_t{ms}), 0);
        return std::chrono::steady_clock::now();
    });
    CBaseEvent e0, e1(nullptr, 1);
    CBaseEvent* events[] = {&e0, &e1};
    for (const int waitAll : {0, 1}) {
        ExpectNoEarlyTimeouts("WaitMultiEvent", [&](uint32_t ms) {
            EXPECT_EQ(WaitMultiEvent(2, events, waitAll, ms), kMultiWaitTimeout);
            return std::chrono::steady_clock::now();
        });
    }
}

// Waiters that record how many of them the event released.
struct Waiters {
    std::atomic<int> released{0};
    std::vector<std::thread> threads;

    void Start(CBaseEvent& event, int count) {
        for (int i = 0; i < count; ++i) {
            threads.emplace_back([&] {
                if (event.Wait(kLongWaitMs) == 1) released.fetch_add(1);
            });
        }
    }
    ~Waiters() {
        for (auto& t : threads) t.join();
    }
};

TEST(BaseEvent, AutoResetSetReleasesExactlyOneOfTwoWaiters) {
    CBaseEvent event(nullptr, 0);
    Waiters waiters;
    waiters.Start(event, 2);
    ASSERT_TRUE(WaitUntil([&] { return event.IsWaiting() == 1; }));
    event.Set();
    ASSERT_TRUE(WaitUntil([&] { return waiters.released.load() == 1; }));
    // The signal was consumed and the other waiter is still inside its wait.
    EXPECT_FALSE(WaitUntil([&] { return waiters.released.load() != 1; }, kQuietWindow));
    EXPECT_TRUE(WaitUntil([&] { return event.IsWaiting() == 1; }));
    event.Set();
    ASSERT_TRUE(WaitUntil([&] { return waiters.released.load() == 2; }));
    EXPECT_EQ(event.Wait(uint64_t{0}), 0);
}

TEST(BaseEvent, ManualResetSetReleasesAllWaitersAndLaterOnesUntilReset) {
    CBaseEvent event(nullptr, 1);
    {
        Waiters waiters;
        waiters.Start(event, 2);
        ASSERT_TRUE(WaitUntil([&] { return event.IsWaiting() == 1; }));
        event.Set();
        ASSERT_TRUE(WaitUntil([&] { return waiters.released.load() == 2; }));
    }
    EXPECT_EQ(event.Wait(uint64_t{0}), 1);
    EXPECT_EQ(event.Wait(), 1);
    event.Reset();
    EXPECT_EQ(event.Wait(uint64_t{0}), 0);
}

TEST(BaseEvent, IsWaitingStaysSetWhileAnyWaiterRemains) {
    CBaseEvent event(nullptr, 0);
    CBaseEvent marker;  // waited on only by the second waiter: shows when it is inside
    EXPECT_EQ(event.IsWaiting(), 0);
    std::atomic<int> released{0};
    std::thread first([&] {
        if (event.Wait(kLongWaitMs) == 1) released.fetch_add(1);
    });
    ASSERT_TRUE(WaitUntil([&] { return event.IsWaiting() == 1; }));
    CBaseEvent* both[] = {&event, &marker};
    std::thread second([&] {
        if (WaitMultiEvent(2, both, 0, static_cast<uint32_t>(kLongWaitMs)) == 0) {
            released.fetch_add(1);
        }
    });
    // A multi-event wait counts itself on every event before it blocks.
    ASSERT_TRUE(WaitUntil([&] { return marker.IsWaiting() == 1; }));
    event.Set();
    ASSERT_TRUE(WaitUntil([&] { return released.load() == 1; }));
    EXPECT_EQ(event.IsWaiting(), 1);  // the other one still waits
    event.Set();
    ASSERT_TRUE(WaitUntil([&] { return released.load() == 2; }));
    first.join();
    second.join();
    EXPECT_EQ(event.IsWaiting(), 0);
    EXPECT_EQ(marker.IsWaiting(), 0);
}

TEST(BaseEvent, SharedLockIsNotHeldWhileWaiting) {
    CBaseLock shared;
    CBaseEvent event(&shared, 0);
    std::atomic<int> result{-1};
    std::thread waiter([&] { result = event.Wait(kLongWaitMs); });
    ASSERT_TRUE(WaitUntil([&] { return event.IsWaiting() == 1; }));
    int lockedByOther = -1;
    std::thread([&] {
        lockedByOther = shared.TryLock();
        if (lockedByOther != 0) shared.Unlock();
    }).join();
    EXPECT_NE(lockedByOther, 0);
    event.Set();
    waiter.join();
    EXPECT_EQ(result.load(), 1);
}

TEST(BaseEvent, SharedLockOutlivesTheEvent) {
    CBaseLock shared;
    { CBaseEvent event(&shared, 1); }
    shared.Lock();  // still a valid lock after the event is gone
    EXPECT_NE(shared.TryLock(), 0);
    shared.Unlock();
    shared.Unlock();
}

TEST(BaseEvent, HugeTimeoutsDoNotWrapIntoShortWaits) {
    // 2^32 + 1 ms would become 1 ms if cut to 32 bits.
    const uint64_t wrapMs = (uint64_t{1} << 32) + 1;
    const uint64_t cases[] = {wrapMs * 1000, UINT64_MAX - 1};
    for (const uint64_t microseconds : cases) {
        SCOPED_TRACE(microseconds);
        CBaseEvent event;
        std::atomic<int> result{-1};
        std::thread waiter([&] { result = event.WaitUS(microseconds); });
        ASSERT_TRUE(WaitUntil([&] { return event.IsWaiting() == 1; }));
        EXPECT_FALSE(WaitUntil([&] { return result.load() != -1; }, kQuietWindow));
        event.Set();
        waiter.join();
        EXPECT_EQ(result.load(), 1);
    }
    CBaseEvent event;
    std::atomic<int> result{-1};
    std::thread waiter([&] { result = event.Wait(UINT64_MAX - 1); });  // ms * 1000 overflows
    ASSERT_TRUE(WaitUntil([&] { return event.IsWaiting() == 1; }));
    EXPECT_FALSE(WaitUntil([&] { return result.load() != -1; }, kQuietWindow));
    event.Set();
    waiter.join();
    EXPECT_EQ(result.load(), 1);
}

// ---- WaitMultiEvent

struct MultiCase {
    const char* name;
    std::vector<int> manualReset;  // one entry per event
    std::vector<int> signalled;    // indices set before the wait
    int waitAll;
    uint32_t expected;
    std::vector<int> stillSignalled;  // afterwards, checked with Wait(0)
};

TEST(WaitMultiEvent, ReturnsIndexZeroOrTimeoutAndConsumesOnlyWhatItReturns) {
    const MultiCase cases[] = {
        {"none signalled", {0, 0, 0}, {}, 0, kMultiWaitTimeout, {}},
        {"none signalled, all", {0, 1, 0}, {}, 1, kMultiWaitTimeout, {}},
        {"any: one auto", {0, 0, 0}, {2}, 0, 2, {}},
        {"any: lowest of two", {0, 0, 0}, {1, 2}, 0, 1, {2}},
        {"any: manual stays set", {1, 0}, {0}, 0, 0, {0}},
        {"all: partial consumes nothing", {0, 0, 1}, {0, 2}, 1, kMultiWaitTimeout, {0, 2}},
        {"all: every one", {0, 1, 0}, {0, 1, 2}, 1, 0, {1}},
    };
    for (const MultiCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::unique_ptr<CBaseEvent>> owned;
        std::vector<CBaseEvent*> events;
        for (const int manual : c.manualReset) {
            owned.push_back(std::make_unique<CBaseEvent>(nullptr, manual));
            events.push_back(owned.back().get());
        }
        for (const int index : c.signalled) events[index]->Set();
        EXPECT_EQ(
            WaitMultiEvent(static_cast<uint32_t>(events.size()), events.data(), c.waitAll, 10),
            c.expected);
        for (size_t i = 0; i < events.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(events[i]->IsWaiting(), 0);
            const bool expectSet = std::find(c.stillSignalled.begin(), c.stillSignalled.end(),
                                             static_cast<int>(i)) != c.stillSignalled.end();
            EXPECT_EQ(events[i]->Wait(uint64_t{0}), expectSet ? 1 : 0);
        }
    }
}

TEST(WaitMultiEvent, RefusesInvalidArguments) {
    CBaseEvent a, b;
    CBaseEvent* withNull[] = {&a, nullptr};
    CBaseEvent* twice[] = {&a, &a};
    CBaseEvent* pair[] = {&a, &b};
    EXPECT_EQ(WaitMultiEvent(0, pair, 0, 0), kMultiWaitFailed);
    EXPECT_EQ(WaitMultiEvent(0, pair, 1, kMultiWaitForever), kMultiWaitFailed);
    EXPECT_EQ(WaitMultiEvent(2, withNull, 0, 0), kMultiWaitFailed);
    EXPECT_EQ(WaitMultiEvent(2, twice, 1, 0), kMultiWaitFailed);
    EXPECT_EQ(WaitMultiEvent(1, nullptr, 0, 0), kMultiWaitFailed);
    std::vector<CBaseEvent*> tooMany(kMaxMultiWaitEvents + 1, &b);
    EXPECT_EQ(WaitMultiEvent(kMaxMultiWaitEvents + 1, tooMany.data(), 0, 0), kMultiWaitFailed);
    // Listing one event twice is fine when any one will do.
    a.Set();
    EXPECT_EQ(WaitMultiEvent(2, twice, 0, 0), 0u);
}

TEST(WaitMultiEvent, BlockedWaitForAnyWakesOnTheEventThatIsSet) {
    CBaseEvent e0, e1(nullptr, 1), e2;
    CBaseEvent* events[] = {&e0, &e1, &e2};
    std::atomic<uint32_t> result{12345};
    std::thread waiter([&] { result = WaitMultiEvent(3, events, 0, kMultiWaitForever); });
    ASSERT_TRUE(WaitUntil(
        [&] { return e0.IsWaiting() == 1 && e1.IsWaiting() == 1 && e2.IsWaiting() == 1; }));
    e2.Set();
    waiter.join();
    EXPECT_EQ(result.load(), 2u);
    EXPECT_EQ(e0.IsWaiting() + e1.IsWaiting() + e2.IsWaiting(), 0);
    EXPECT_EQ(e2.Wait(uint64_t{0}), 0);
}

TEST(WaitMultiEvent, BlockedWaitForAllReturnsOnlyWhenEveryEventIsSet) {
    CBaseEvent e0, e1;
    CBaseEvent* events[] = {&e0, &e1};
    std::atomic<uint32_t> result{12345};
    std::thread waiter([&] { result = WaitMultiEvent(2, events, 1, kMultiWaitForever); });
    ASSERT_TRUE(WaitUntil([&] { return e0.IsWaiting() == 1 && e1.IsWaiting() == 1; }));
    e0.Set();
    EXPECT_FALSE(WaitUntil([&] { return result.load() != 12345u; }, kQuietWindow));
    e1.Set();
    waiter.join();
    EXPECT_EQ(result.load(), 0u);
    EXPECT_EQ(e0.Wait(uint64_t{0}) + e1.Wait(uint64_t{0}), 0);  // both consumed together
}

TEST(WaitMultiEvent, TimesOutWithEveryWaitingFlagCleared) {
    CBaseEvent e0, e1(nullptr, 1);
    CBaseEvent* events[] = {&e0, &e1};
    for (const int waitAll : {0, 1}) {
        const uint64_t start = MonoTimeMs();
        EXPECT_EQ(WaitMultiEvent(2, events, waitAll, 30), kMultiWaitTimeout);
        EXPECT_GE(MonoTimeMs() - start, 30u);
        EXPECT_EQ(e0.IsWaiting(), 0);
        EXPECT_EQ(e1.IsWaiting(), 0);
    }
}

TEST(WaitMultiEvent, AutoResetSignalReleasesEitherASingleOrAMultiWaiterNotBoth) {
    CBaseEvent shared, other;
    CBaseEvent* events[] = {&other, &shared};
    std::atomic<int> single{-1};
    std::atomic<uint32_t> multi{12345};
    std::thread singleWaiter([&] { single = shared.Wait(kLongWaitMs); });
    std::thread multiWaiter([&] { multi = WaitMultiEvent(2, events, 0, kLongWaitMs); });
    ASSERT_TRUE(WaitUntil([&] { return other.IsWaiting() == 1; }));
    shared.Set();
    ASSERT_TRUE(WaitUntil([&] { return single.load() == 1 || multi.load() == 1u; }));
    EXPECT_FALSE(WaitUntil([&] { return single.load() == 1 && multi.load() == 1u; }, kQuietWindow));
    // Release whichever is left.
    if (single.load() == 1) {
        other.Set();
    } else {
        shared.Set();
    }
    singleWaiter.join();
    multiWaiter.join();
    EXPECT_EQ(single.load(), 1);
    EXPECT_TRUE(multi.load() == 0u || multi.load() == 1u);
}

}  // namespace
