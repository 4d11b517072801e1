#include "core/delay_post_msg.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <set>
#include <vector>

#include "core/message_target.h"
#include "core/mono_clock.h"
#include "support/message_target_recorder.h"
#include "support/thread_names.h"
#include "support/timeout_table.h"
#include "support/wait_until.h"

namespace {

constexpr uint32_t kMsgA = 0x500;
constexpr uint32_t kMsgB = 0x501;
constexpr HWND kFirst = 100;
constexpr HWND kTarget1 = 1;
constexpr HWND kTarget2 = 2;
constexpr HWND kGoneTarget = 9;
constexpr uint32_t kLongDelayMs = 60000;

struct Call {
    HWND first;
    HWND target;
    uint32_t msg;
    uint64_t userData;
};

class RecordingCallback : public IDelayMSGPostCallback {
public:
    int OnDelayMsgPosted(HWND first, HWND target, uint32_t msg, uint64_t, int64_t,
                         uint64_t userData) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.push_back({first, target, msg, userData});
        return 1;
    }
    size_t Count() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_calls.size();
    }
    std::vector<Call> Calls() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_calls;
    }

private:
    std::mutex m_mutex;
    std::vector<Call> m_calls;
};

class DelayPostMsgTest : public ::testing::Test {
protected:
    void SetUp() override { m_recorder.InstallHooks(); }
    void TearDown() override { m_engine.Stop(); }
    size_t PostedCount() const { return m_recorder.PostedCount(); }
    std::vector<PostedMessage> PostedCopy() const { return m_recorder.Posted(); }

    MessageTargetRecorder m_recorder;
    CDelayPostMsgEngine m_engine;
};

TEST_F(DelayPostMsgTest, MessagesArriveInDueOrderNoEarlierThanDue) {
    ASSERT_EQ(m_engine.Start(), 1);
    const uint64_t queuedAt = MonoTimeMs();
    m_engine.DelayPostMsg(100, kFirst, kTarget1, kMsgA, 1, 0, nullptr, 0);
    m_engine.DelayPostMsg(50, kFirst, kTarget1, kMsgB, 2, 0, nullptr, 0);
    ASSERT_TRUE(WaitUntil([&] { return PostedCount() == 2; }));
    const auto posted = PostedCopy();
    EXPECT_EQ(posted[0].msg, kMsgB);
    EXPECT_EQ(posted[1].msg, kMsgA);
    EXPECT_GE(posted[0].atMs, queuedAt + 50);
    EXPECT_GE(posted[1].atMs, queuedAt + 100);
    EXPECT_EQ(m_engine.GetPendingCount(), 0);
}

TEST_F(DelayPostMsgTest, NoMessageIsPostedBeforeItsDelayOnAnotherClock) {
    ASSERT_EQ(m_engine.Start(), 1);
    ExpectNoEarlyTimeouts("DelayPostMsg", [&](uint32_t ms) {
        const size_t before = PostedCount();
        m_engine.DelayPostMsg(ms, kFirst, kTarget1, kMsgA, ms, 0, nullptr, 0);
        EXPECT_TRUE(WaitUntil([&] { return PostedCount() == before + 1; }, kTimeoutHangDeadline));
        return PostedCopy().back().at;
    });
}

TEST_F(DelayPostMsgTest, MessagesDueInTheSamePassGoOutInQueueingOrder) {
    m_engine.DelayPostMsg(30, kFirst, kTarget1, kMsgA, 0, 0, nullptr, 0);
    m_engine.DelayPostMsg(10, kFirst, kTarget1, kMsgB, 0, 0, nullptr, 0);
    const uint64_t queuedBy = MonoTimeMs();
    // The engine is not running yet: both become due before its first pass (a due time is the
    // queueing instant rounded up to the next millisecond, plus the delay).
    ASSERT_TRUE(WaitUntil([&] { return MonoTimeMs() >= queuedBy + 1 + 30; }));
    EXPECT_EQ(PostedCount(), 0u);
    ASSERT_EQ(m_engine.Start(), 1);
    ASSERT_TRUE(WaitUntil([&] { return PostedCount() == 2; }));
    const auto posted = PostedCopy();
    EXPECT_EQ(posted[0].msg, kMsgA);
    EXPECT_EQ(posted[1].msg, kMsgB);
}

TEST_F(DelayPostMsgTest, LibraryEngineRunsFromLoadAndPostsAZeroDelayAtOnce) {
    RecordingCallback callback;
    gDelayPostMsgEngine.DelayPostMsg(0, kFirst, kTarget2, kMsgA, 7, -7, &callback, 42);
    ASSERT_TRUE(WaitUntil([&] { return callback.Count() == 1; }));
    const auto posted = PostedCopy();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].target, kTarget2);
    EXPECT_EQ(posted[0].wParam, 7u);
    EXPECT_EQ(posted[0].lParam, -7);
    const auto calls = callback.Calls();
    EXPECT_EQ(calls[0].first, kFirst);
    EXPECT_EQ(calls[0].userData, 42u);
}

TEST_F(DelayPostMsgTest, HasDelayPostMsgMatchesWindowsMessageAndParameters) {
    m_engine.DelayPostMsg(kLongDelayMs, kFirst, kTarget1, kMsgA, 5, -5, nullptr, 0);
    const uint64_t five = 5, six = 6;
    const int64_t minusFive = -5;
    struct Case {
        HWND first;
        HWND target;
        uint32_t msg;
        const uint64_t* wParam;
        const int64_t* lParam;
        int expected;
    } cases[] = {
        {kFirst, kTarget1, kMsgA, nullptr, nullptr, 1},
        {kFirst, kTarget1, kDelayMsgAny, nullptr, nullptr, 1},
        {kFirst, kTarget1, kMsgA, &five, &minusFive, 1},
        {kFirst, kTarget1, kMsgA, &six, nullptr, 0},
        {kFirst, kTarget1, kMsgB, nullptr, nullptr, 0},
        {kFirst, kTarget2, kMsgA, nullptr, nullptr, 0},
        {kFirst + 1, kTarget1, kMsgA, nullptr, nullptr, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(m_engine.HasDelayPostMsg(c.first, c.target, c.msg, c.wParam, c.lParam),
                  c.expected);
    }
}

TEST_F(DelayPostMsgTest, HasDelayPostMsgIsZeroOncePosted) {
    ASSERT_EQ(m_engine.Start(), 1);
    m_engine.DelayPostMsg(0, kFirst, kTarget1, kMsgA, 0, 0, nullptr, 0);
    ASSERT_TRUE(WaitUntil([&] { return PostedCount() == 1; }));
    EXPECT_EQ(m_engine.HasDelayPostMsg(kFirst, kTarget1, kDelayMsgAny, nullptr, nullptr), 0);
}

TEST_F(DelayPostMsgTest, PurgeRemovesQueuedMessagesOfOneIdForOneTarget) {
    ASSERT_EQ(m_engine.Start(), 1);
    RecordingCallback callback;
    m_engine.DelayPostMsg(kLongDelayMs, kFirst, kTarget1, kMsgA, 1, 0, &callback, 0);
    m_engine.DelayPostMsg(kLongDelayMs, kFirst, kTarget1, kMsgA, 2, 0, &callback, 0);
    m_engine.DelayPostMsg(kLongDelayMs, kFirst, kTarget1, kMsgB, 1, 0, &callback, 0);
    m_engine.DelayPostMsg(kLongDelayMs, kFirst, kTarget2, kMsgA, 1, 0, &callback, 0);

    EXPECT_EQ(m_engine.RemoveDelayPostMsg(kFirst, kTarget1, kMsgA, nullptr, nullptr, 1), 2);
    EXPECT_EQ(m_engine.HasDelayPostMsg(kFirst, kTarget1, kMsgA, nullptr, nullptr), 0);
    EXPECT_EQ(m_engine.HasDelayPostMsg(kFirst, kTarget1, kMsgB, nullptr, nullptr), 1);
    EXPECT_EQ(m_engine.HasDelayPostMsg(kFirst, kTarget2, kMsgA, nullptr, nullptr), 1);
    EXPECT_EQ(m_recorder.Purged(),
              (std::vector<std::pair<HWND, uint32_t>>{{kTarget1, kMsgA}, {kTarget1, kMsgA}}));

    const uint64_t one = 1;
    EXPECT_EQ(m_engine.RemoveAllDelayPostMsg(kDelayMsgAny, &one, nullptr, 0), 2);
    EXPECT_EQ(m_engine.GetPendingCount(), 0);
    EXPECT_EQ(m_recorder.Purged().size(), 2u);  // no purge without the flag
    EXPECT_EQ(callback.Count(), 0u);            // withdrawn records are not reported
    EXPECT_EQ(PostedCount(), 0u);
}

TEST_F(DelayPostMsgTest, TargetThatVanishedGetsNothing) {
    m_recorder.MarkGone(kGoneTarget);
    RecordingCallback callback;
    ASSERT_EQ(m_engine.Start(), 1);
    m_engine.DelayPostMsg(0, kFirst, kGoneTarget, kMsgA, 0, 0, &callback, 1);
    m_engine.DelayPostMsg(0, kFirst, kTarget1, kMsgA, 0, 0, &callback, 2);
    ASSERT_TRUE(WaitUntil([&] { return callback.Count() == 2; }));
    const auto posted = PostedCopy();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].target, kTarget1);
    EXPECT_EQ(m_engine.GetPendingCount(), 0);
}

TEST_F(DelayPostMsgTest, WithoutHooksNothingIsPostedButRecordsAreConsumed) {
    SetMessageTargetHooks(nullptr, nullptr, nullptr);
    RecordingCallback callback;
    ASSERT_EQ(m_engine.Start(), 1);
    m_engine.DelayPostMsg(0, kFirst, kTarget1, kMsgA, 0, 0, &callback, 0);
    ASSERT_TRUE(WaitUntil([&] { return callback.Count() == 1; }));
    EXPECT_EQ(PostedCount(), 0u);
    EXPECT_EQ(m_engine.GetPendingCount(), 0);
}

TEST_F(DelayPostMsgTest, StopDiscardsPendingMessagesWithoutPostingAndRestarts) {
    RecordingCallback callback;
    ASSERT_EQ(m_engine.Start(), 1);
    m_engine.DelayPostMsg(kLongDelayMs, kFirst, kTarget1, kMsgA, 0, 0, &callback, 0);
    m_engine.DelayPostMsg(kLongDelayMs, kFirst, kTarget1, kMsgB, 0, 0, &callback, 0);
    m_engine.Stop();
    EXPECT_EQ(m_engine.GetPendingCount(), 0);
    EXPECT_EQ(callback.Count(), 0u);
    EXPECT_EQ(PostedCount(), 0u);
    m_engine.Stop();  // harmless

    m_engine.DelayPostMsg(0, kFirst, kTarget1, kMsgA, 3, 0, &callback, 0);
    EXPECT_EQ(m_engine.GetPendingCount(), 1);  // waits for the next start
    ASSERT_EQ(m_engine.Start(), 1);
    EXPECT_EQ(m_engine.Start(), 1);  // a running engine is left alone
    ASSERT_TRUE(WaitUntil([&] { return callback.Count() == 1; }));
    EXPECT_EQ(PostedCopy()[0].wParam, 3u);
}

TEST_F(DelayPostMsgTest, SameMessageQueuedTwicePostsTwice) {
    ASSERT_EQ(m_engine.Start(), 1);
    m_engine.DelayPostMsg(0, kFirst, kTarget1, kMsgA, 0, 0, nullptr, 0);
    m_engine.DelayPostMsg(0, kFirst, kTarget1, kMsgA, 0, 0, nullptr, 0);
    ASSERT_TRUE(WaitUntil([&] { return PostedCount() == 2; }));
}

// Queues one more message from inside the callback, as the engine lock allows.
class RequeueingCallback : public IDelayMSGPostCallback {
public:
    explicit RequeueingCallback(CDelayPostMsgEngine& engine) : m_engine(engine) {}
    int OnDelayMsgPosted(HWND first, HWND target, uint32_t msg, uint64_t, int64_t,
                         uint64_t userData) override {
        if (userData == 0) {
            m_pendingSeen = m_engine.HasDelayPostMsg(first, target, msg, nullptr, nullptr);
            m_engine.DelayPostMsg(0, first, target, kMsgB, 0, 0, this, 1);
        }
        return 1;
    }
    int m_pendingSeen = -1;

private:
    CDelayPostMsgEngine& m_engine;
};

TEST_F(DelayPostMsgTest, CallbackMayQueueAndQuery) {
    RequeueingCallback callback(m_engine);
    ASSERT_EQ(m_engine.Start(), 1);
    m_engine.DelayPostMsg(0, kFirst, kTarget1, kMsgA, 0, 0, &callback, 0);
    ASSERT_TRUE(WaitUntil([&] { return PostedCount() == 2; }));
    const auto posted = PostedCopy();
    EXPECT_EQ(posted[0].msg, kMsgA);
    EXPECT_EQ(posted[1].msg, kMsgB);
    EXPECT_EQ(callback.m_pendingSeen, 0);
}

TEST_F(DelayPostMsgTest, NextPostTimeIsTheEarliestDueTime) {
    EXPECT_EQ(m_engine.UpdateNextPostTime(), kDelayMsgNoneDue);
    const uint64_t before = MonoTimeMs();
    m_engine.DelayPostMsg(5000, kFirst, kTarget1, kMsgA, 0, 0, nullptr, 0);
    m_engine.DelayPostMsg(2000, kFirst, kTarget1, kMsgA, 0, 0, nullptr, 0);
    m_engine.DelayPostMsg(UINT32_MAX, kFirst, kTarget1, kMsgA, 0, 0, nullptr, 0);
    const uint64_t after = MonoTimeMs();
    const uint64_t next = m_engine.UpdateNextPostTime();
    EXPECT_GE(next, before + 2000);
    // The queueing instant is rounded up to the next whole millisecond.
    EXPECT_LE(next, after + 1 + 2000);
}

// In a forked child the bookkeeping of the parent's other threads (their thread-local
// destructors) is unreachable; the leak checker of sanitizer builds must not count it.
int gInForkedChild = 0;

}  // namespace

#if defined(__SANITIZE_ADDRESS__)
extern "C" int __lsan_is_turned_off() {
    return gInForkedChild;
}
#endif

namespace {

// In a forked child the engine thread does not exist; ending the process must not wait for it.
void ExitFromForkedChild() {
    gInForkedChild = 1;
    gDelayPostMsgEngine.DelayPostMsg(kLongDelayMs, kFirst, kTarget1, kMsgA, 0, 0, nullptr, 0);
    std::exit(0);  // runs the library's unload steps
}

TEST(DelayPostMsgFork, ForkedChildExitsWithoutWaitingForTheParentsThread) {
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(ExitFromForkedChild(), ::testing::ExitedWithCode(0), "");
}

// The common library's tests link its objects: the process holds that one copy of the library
// and one engine, and must not load libOrbo_Common.so beside it (a second engine, a second
// callback list, a second port number table).
TEST(DelayPostMsgCopies, OneLibraryEngineRunsAndTheSharedLibraryIsNotLoaded) {
    EXPECT_EQ(ThreadsNamed("DelayMsg"), 1);
    void* shared = dlopen("libOrbo_Common.so.0", RTLD_LAZY | RTLD_NOLOAD);
    EXPECT_EQ(shared, nullptr);
    if (shared != nullptr) dlclose(shared);
}

}  // namespace
