// ctest-labels: gui
#include "platform/window_message.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <tuple>
#include <vector>

#include "core/delay_post_msg.h"
#include "core/message_target.h"
#include "support/qt_test_app.h"

namespace {

using Message = std::tuple<uint32_t, uint64_t, int64_t>;

// A target that records what it receives and on which thread.
struct RecordingTarget {
    std::vector<Message> received;
    std::vector<std::thread::id> threads;
    std::unique_ptr<WindowMessageTarget> target =
        std::make_unique<WindowMessageTarget>([this](uint32_t msg, uint64_t w, int64_t l) {
            received.emplace_back(msg, w, l);
            threads.push_back(std::this_thread::get_id());
        });
    HWND Handle() const { return target->Handle(); }
};

class WindowMessageTest : public GuiTest {};

TEST_F(WindowMessageTest, PostedMessagesArriveInOrderWithTheirParameters) {
    RecordingTarget window;
    EXPECT_NE(window.Handle(), HWND{0});
    EXPECT_EQ(IsTargetAlive(window.Handle()), 1);
    EXPECT_EQ(PostTargetMessage(window.Handle(), 0x500, 1, -1), 1);
    EXPECT_EQ(PostTargetMessage(window.Handle(), 0x501, UINT64_MAX, INT64_MIN), 1);
    EXPECT_EQ(window.target->Post(0x500, 3, 4), 1);
    EXPECT_TRUE(window.received.empty()) << "delivery is queued, never inside the post";
    ASSERT_TRUE(ProcessEventsUntil([&] { return window.received.size() == 3; }));
    EXPECT_EQ(window.received, (std::vector<Message>{
                                   {0x500, 1, -1}, {0x501, UINT64_MAX, INT64_MIN}, {0x500, 3, 4}}));
}

TEST_F(WindowMessageTest, HandlesAreNeverReused) {
    auto first = std::make_unique<RecordingTarget>();
    const HWND gone = first->Handle();
    first.reset();
    RecordingTarget second;
    EXPECT_NE(second.Handle(), gone);
    EXPECT_EQ(IsTargetAlive(gone), 0);
}

TEST_F(WindowMessageTest, PostingToAGoneTargetDoesNothing) {
    auto window = std::make_unique<RecordingTarget>();
    const HWND handle = window->Handle();
    EXPECT_EQ(PostTargetMessage(handle, 0x500, 1, 1), 1);
    window.reset();  // the queued message goes with it
    EXPECT_EQ(IsTargetAlive(handle), 0);
    EXPECT_EQ(PostTargetMessage(handle, 0x500, 2, 2), 0);
    EXPECT_EQ(PurgeTargetMessages(handle, 0x500), 0);
    EXPECT_EQ(FindTargetWindow(handle), nullptr);
    ProcessPendingEvents();  // nothing is delivered to freed memory (checked by the sanitizers)
}

TEST_F(WindowMessageTest, PurgeDropsOnlyThatMessagesQueuedSoFar) {
    RecordingTarget window;
    for (int i = 0; i < 3; ++i) PostTargetMessage(window.Handle(), 0x500, i, 0);
    PostTargetMessage(window.Handle(), 0x501, 7, 0);
    EXPECT_EQ(PurgeTargetMessages(window.Handle(), 0x500), 3);
    EXPECT_EQ(PurgeTargetMessages(window.Handle(), 0x500), 0);
    PostTargetMessage(window.Handle(), 0x500, 9, 0);
    ASSERT_TRUE(ProcessEventsUntil([&] { return window.received.size() == 2; }));
    ProcessPendingEvents();
    EXPECT_EQ(window.received, (std::vector<Message>{{0x501, 7, 0}, {0x500, 9, 0}}));
}

TEST_F(WindowMessageTest, MessagesFromWorkersAreHandledOnTheWindowThread) {
    RecordingTarget window;
    constexpr int kWorkers = 4;
    constexpr int kEach = 50;
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w) {
        workers.emplace_back([&, w] {
            for (int i = 0; i < kEach; ++i) PostTargetMessage(window.Handle(), 0x500, w, i);
        });
    }
    // Delivered while the workers still post.
    const bool all = ProcessEventsUntil([&] { return window.received.size() == kWorkers * kEach; });
    for (auto& worker : workers) worker.join();
    ASSERT_TRUE(all);
    for (auto id : window.threads) EXPECT_EQ(id, std::this_thread::get_id());
    // Each worker's messages keep their order.
    std::vector<int64_t> next(kWorkers, 0);
    for (const auto& [msg, w, l] : window.received) EXPECT_EQ(l, next[w]++);
}

TEST_F(WindowMessageTest, ATargetDestroyedByItsOwnHandlerDropsTheRest) {
    int calls = 0;
    std::unique_ptr<WindowMessageTarget> target;
    target = std::make_unique<WindowMessageTarget>([&](uint32_t, uint64_t, int64_t) {
        ++calls;
        target.reset();
    });
    const HWND handle = target->Handle();
    PostTargetMessage(handle, 0x500, 0, 0);
    PostTargetMessage(handle, 0x500, 1, 0);
    ASSERT_TRUE(ProcessEventsUntil([&] { return target == nullptr; }));
    ProcessPendingEvents();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(IsTargetAlive(handle), 0);
}

TEST_F(WindowMessageTest, FindTargetWindowAnswersTheRegisteredWidget) {
    QObject widget;
    WindowMessageTarget target([](uint32_t, uint64_t, int64_t) {}, &widget);
    EXPECT_EQ(FindTargetWindow(target.Handle()), &widget);
    RecordingTarget bare;
    EXPECT_EQ(FindTargetWindow(bare.Handle()), nullptr);
}

TEST_F(WindowMessageTest, WorkFromAWorkerRunsOnTheWindowThread) {
    RecordingTarget window;
    std::atomic<int> queued{-1};
    std::thread::id ranOn;
    std::thread worker([&] {
        queued = RunOnWindowThread(window.Handle(), [&] { ranOn = std::this_thread::get_id(); });
    });
    worker.join();
    EXPECT_EQ(queued.load(), 1);
    ASSERT_TRUE(ProcessEventsUntil([&] { return ranOn != std::thread::id(); }));
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST_F(WindowMessageTest, WorkForAGoneTargetNeverRuns) {
    auto window = std::make_unique<RecordingTarget>();
    const HWND handle = window->Handle();
    bool ran = false;
    EXPECT_EQ(RunOnWindowThread(handle, [&] { ran = true; }), 1);
    window.reset();
    EXPECT_EQ(RunOnWindowThread(handle, [&] { ran = true; }), 0);
    ProcessPendingEvents();
    EXPECT_FALSE(ran);
}

// A delayed message whose target was destroyed while it waited is dropped, not delivered.
class PostedCounter : public IDelayMSGPostCallback {
public:
    std::atomic<int> posted{0};
    int OnDelayMsgPosted(HWND, HWND, uint32_t, uint64_t, int64_t, uint64_t) override {
        ++posted;
        return 0;
    }
};

TEST_F(WindowMessageTest, DelayedMessageForADestroyedTargetIsDropped) {
    CDelayPostMsgEngine engine;
    ASSERT_EQ(engine.Start(), 1);
    PostedCounter counter;
    auto gone = std::make_unique<RecordingTarget>();
    RecordingTarget staying;
    constexpr uint32_t kDelayMs = 30;
    engine.DelayPostMsg(kDelayMs, gone->Handle(), gone->Handle(), 0x500, 1, 1, &counter, 0);
    engine.DelayPostMsg(kDelayMs, staying.Handle(), staying.Handle(), 0x500, 2, 2, &counter, 0);
    gone.reset();
    ASSERT_TRUE(ProcessEventsUntil([&] { return counter.posted == 2; }));
    ASSERT_TRUE(ProcessEventsUntil([&] { return staying.received.size() == 1; }));
    EXPECT_EQ(staying.received[0], (Message{0x500, 2, 2}));
    engine.Stop();
}

}  // namespace
