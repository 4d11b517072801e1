#include "dataprocess/stream_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "core/mono_clock.h"
#include "support/timeout_table.h"
#include "support/wait_until.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Counting(size_t count, uint32_t start = 0) {
    Bytes bytes(count);
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>((start + i) * 7);
    return bytes;
}

// Fetches everything waiting (without waiting) and commits it.
Bytes Drain(StreamQueue& queue) {
    Bytes all;
    uint8_t* data = nullptr;
    int32_t length = 0;
    while (queue.Fetch(data, length, 0)) {
        all.insert(all.end(), data, data + length);
        queue.Commit(data);
    }
    return all;
}

// Runs a fetch on another thread; reports when it returned and how.
struct BackgroundFetch {
    explicit BackgroundFetch(StreamQueue& queue, uint32_t timeoutMs) {
        thread = std::thread([this, &queue, timeoutMs] {
            uint8_t* data = nullptr;
            int32_t length = 0;
            result = queue.Fetch(data, length, timeoutMs);
            if (result) queue.Commit(data);
            done = true;
        });
    }
    ~BackgroundFetch() { thread.join(); }
    std::thread thread;
    std::atomic<bool> done{false};
    std::atomic<bool> result{false};
};

constexpr uint32_t kLongFetchMs = 10000;

}  // namespace

TEST(StreamQueue, KeepsBytesOnlyWhileDelivering) {
    StreamQueue queue;
    const Bytes bytes = Counting(100);
    queue.Push(bytes.data(), bytes.size());
    EXPECT_EQ(queue.WaitingBytes(), 0);
    queue.SetDelivery(true);
    queue.Push(bytes.data(), bytes.size());
    EXPECT_EQ(Drain(queue), bytes);
    queue.Push(bytes.data(), bytes.size());
    queue.SetDelivery(false);  // Stop drops what waits
    EXPECT_EQ(queue.WaitingBytes(), 0);
}

TEST(StreamQueue, FetchLendsTheOldestBytesInOrderInBoundedBlocks) {
    StreamQueue queue;
    queue.SetDelivery(true);
    const Bytes bytes = Counting(kMaxFetchBlockBytes + 1000);
    for (size_t at = 0; at < bytes.size(); at += 4096) {
        queue.Push(bytes.data() + at, std::min<size_t>(4096, bytes.size() - at));
    }
    uint8_t* data = nullptr;
    int32_t length = 0;
    ASSERT_TRUE(queue.Fetch(data, length, 0));
    EXPECT_EQ(static_cast<uint32_t>(length), kMaxFetchBlockBytes);
    EXPECT_TRUE(std::equal(data, data + length, bytes.begin()));
    EXPECT_EQ(queue.LentBlocks(), 1u);
    EXPECT_TRUE(queue.Commit(data));
    EXPECT_EQ(queue.LentBlocks(), 0u);
    EXPECT_EQ(Drain(queue), Bytes(bytes.begin() + kMaxFetchBlockBytes, bytes.end()));
}

TEST(StreamQueue, ALentBlockOutlivesStopAndLaterFetches) {
    StreamQueue queue;
    queue.SetDelivery(true);
    const Bytes first = Counting(300, 1);
    queue.Push(first.data(), first.size());
    uint8_t* data = nullptr;
    int32_t length = 0;
    ASSERT_TRUE(queue.Fetch(data, length, 0));
    queue.SetDelivery(false);
    queue.SetDelivery(true);
    const Bytes second = Counting(500, 9);
    queue.Push(second.data(), second.size());
    EXPECT_EQ(Drain(queue), second);
    EXPECT_EQ(Bytes(data, data + length), first);
    EXPECT_TRUE(queue.Commit(data));
    EXPECT_FALSE(queue.Commit(data));  // once only
    uint8_t foreign = 0;
    EXPECT_FALSE(queue.Commit(&foreign));
}

TEST(StreamQueue, DropsTheOldestBytesWhenTheReaderFallsBehind) {
    StreamQueue queue;
    queue.SetDelivery(true);
    const Bytes bytes = Counting(static_cast<size_t>(kStreamQueueBytes) + 5000);
    for (size_t at = 0; at < bytes.size(); at += 4096) {
        queue.Push(bytes.data() + at, std::min<size_t>(4096, bytes.size() - at));
    }
    EXPECT_EQ(queue.DroppedBytes(), 5000u);
    EXPECT_EQ(Drain(queue), Bytes(bytes.begin() + 5000, bytes.end()));
}

TEST(StreamQueue, APieceLargerThanTheQueueKeepsItsNewestBytes) {
    StreamQueue queue;
    queue.SetDelivery(true);
    const Bytes old = Counting(100, 3);
    queue.Push(old.data(), old.size());
    const Bytes big = Counting(static_cast<size_t>(kStreamQueueBytes) + 10, 5);
    queue.Push(big.data(), big.size());
    EXPECT_EQ(queue.DroppedBytes(), 110u);
    EXPECT_EQ(Drain(queue), Bytes(big.begin() + 10, big.end()));
}

TEST(StreamQueue, ACancelBeforeTheFetchIsKeptForIt) {
    StreamQueue queue;
    queue.SetDelivery(true);
    queue.Cancel();
    const uint64_t start = MonoTimeMs();
    uint8_t* data = nullptr;
    int32_t length = 0;
    EXPECT_FALSE(queue.Fetch(data, length, kLongFetchMs));
    EXPECT_LT(MonoTimeMs() - start, kLongFetchMs / 2);
    EXPECT_EQ(data, nullptr);
    // Consumed: the next fetch sees the data again.
    const Bytes bytes = Counting(10);
    queue.Push(bytes.data(), bytes.size());
    EXPECT_TRUE(queue.Fetch(data, length, kLongFetchMs));
}

TEST(StreamQueue, CancelAndAbortReleaseAWaitingFetch) {
    for (bool abort : {false, true}) {
        SCOPED_TRACE(abort ? "abort" : "cancel");
        StreamQueue queue;
        queue.SetDelivery(true);
        BackgroundFetch fetch(queue, kLongFetchMs);
        ASSERT_TRUE(WaitUntil([&] { return queue.WaitingFetches() == 1; }));
        if (abort) {
            queue.Abort();
        } else {
            queue.Cancel();
        }
        EXPECT_TRUE(WaitUntil([&] { return fetch.done.load(); }, std::chrono::seconds(2)));
        EXPECT_FALSE(fetch.result.load());
    }
}

TEST(StreamQueue, AbortReleasesEveryWaiterButNotLaterFetches) {
    StreamQueue queue;
    queue.SetDelivery(true);
    {
        BackgroundFetch a(queue, kLongFetchMs);
        BackgroundFetch b(queue, kLongFetchMs);
        ASSERT_TRUE(WaitUntil([&] { return queue.WaitingFetches() == 2; }));
        queue.Abort();
        EXPECT_TRUE(
            WaitUntil([&] { return a.done.load() && b.done.load(); }, std::chrono::seconds(2)));
    }
    uint8_t* data = nullptr;
    int32_t length = 0;
    const uint64_t start = MonoTimeMs();
    EXPECT_FALSE(queue.Fetch(data, length, 50));
    EXPECT_GE(MonoTimeMs() - start, 50u);
}

TEST(StreamQueue, AWaitingFetchGetsBytesPushedLater) {
    StreamQueue queue;
    queue.SetDelivery(true);
    BackgroundFetch fetch(queue, kLongFetchMs);
    const Bytes bytes = Counting(64);
    queue.Push(bytes.data(), bytes.size());
    EXPECT_TRUE(WaitUntil([&] { return fetch.done.load(); }, std::chrono::seconds(5)));
    EXPECT_TRUE(fetch.result.load());
}

TEST(StreamQueue, AFetchWithNothingToTakeNeverEndsBeforeItsTimeOutOnAnotherClock) {
    StreamQueue queue;
    queue.SetDelivery(true);
    ExpectNoEarlyTimeouts("StreamQueue::Fetch", [&](uint32_t ms) {
        uint8_t* data = nullptr;
        int32_t length = 0;
        EXPECT_FALSE(queue.Fetch(data, length, ms));
        return std::chrono::steady_clock::now();
    });
}
