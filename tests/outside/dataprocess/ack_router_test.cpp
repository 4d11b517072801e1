#include "dataprocess/ack_router.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "core/mono_clock.h"
#include "outside/dataprocess/ack_frame_bytes.h"
#include "support/wait_until.h"

namespace {

using ack_test::AckFrame;
using ack_test::Bytes;
using ack_test::Cat;

class StreamRecorder : public IStreamBytesSink {
public:
    void OnStreamBytes(const uint8_t* bytes, size_t count) override {
        bytes_.insert(bytes_.end(), bytes, bytes + count);
    }
    Bytes bytes_;
};

Bytes StreamBytes(size_t count, uint8_t seed) {
    Bytes bytes;
    for (size_t i = 0; i < count; ++i) bytes.push_back(static_cast<uint8_t>((seed + i) % 0xF0));
    return bytes;
}

constexpr uint64_t kNow = 1000000;

}  // namespace

TEST(AckRouter, HandsTheExpectedAcknowledgementToTheWaitingCommand) {
    StreamRecorder stream;
    AckRouter router(stream, 25600);
    const Bytes before = StreamBytes(50, 1);
    const Bytes after = StreamBytes(30, 7);
    const Bytes input = Cat({before, AckFrame(0x0073, 0, {48, 0, 0, 0}), after});
    router.Expect(0x0173);
    router.Feed(input.data(), input.size(), kNow);
    Bytes payload;
    ASSERT_TRUE(router.WaitAck(payload, MonoTimeMs()));
    EXPECT_EQ(payload, (Bytes{0, 0, 48, 0, 0, 0}));
    EXPECT_EQ(stream.bytes_, Cat({before, after}));
    EXPECT_EQ(router.AcksDelivered(), 1u);
}

TEST(AckRouter, DropsAcknowledgementsNobodyWaitsFor) {
    struct Case {
        const char* name;
        bool expect;
        uint16_t expected;
    };
    const Case cases[] = {{"no command waits", false, 0}, {"another word expected", true, 0x0171}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StreamRecorder stream;
        AckRouter router(stream, 25600);
        if (c.expect) router.Expect(c.expected);
        const Bytes ack = AckFrame(0x00FF, 0, {2, 0, 0, 0x10});
        router.Feed(ack.data(), ack.size(), kNow);
        EXPECT_EQ(router.AcksDropped(), 1u);
        EXPECT_TRUE(stream.bytes_.empty());
        Bytes payload;
        EXPECT_FALSE(router.WaitAck(payload, MonoTimeMs()));
    }
}

TEST(AckRouter, AnAcknowledgementBeforeTheExpectIsNotTakenForTheNextCommand) {
    StreamRecorder stream;
    AckRouter router(stream, 25600);
    router.Expect(0x0171);
    const Bytes ack = AckFrame(0x0071, 0, {1, 0, 0, 0});
    router.Feed(ack.data(), ack.size(), kNow);
    // A new command arms the slot afresh: the earlier, unconsumed answer is forgotten.
    router.Expect(0x0171);
    Bytes payload;
    EXPECT_FALSE(router.WaitAck(payload, MonoTimeMs()));
}

TEST(AckRouter, GivesUpAHeldFalseHeaderAfterItsTransferTimeAndGrace) {
    StreamRecorder stream;
    const uint32_t bytesPerSecond = 1000;  // 110 announced bytes take 110 ms, counted twice
    AckRouter router(stream, bytesPerSecond);
    const Bytes falseHeader = {0xFD, 0xFC, 0xFB, 0xFA, 100, 0};
    const Bytes tail = StreamBytes(20, 3);
    const Bytes input = Cat({falseHeader, tail});
    router.Feed(input.data(), input.size(), kNow);
    EXPECT_TRUE(stream.bytes_.empty());
    const uint64_t allowance = kHeldAckGraceMs + 110 * 2;
    router.Tick(kNow + allowance - 1);
    EXPECT_TRUE(stream.bytes_.empty());
    router.Tick(kNow + allowance);
    EXPECT_EQ(stream.bytes_, input);
}

TEST(AckRouter, DiscardDropsWhatCameAndWhatWasHeld) {
    StreamRecorder stream;
    AckRouter router(stream, 25600);
    const Bytes ack = AckFrame(0x00FF, 0, {2, 0, 0, 0x10});
    router.Expect(0x01FF);
    router.Feed(ack.data(), 7, kNow);  // a stale, partial answer
    router.BeginDiscard();
    const Bytes during = StreamBytes(40, 9);
    router.Feed(during.data(), during.size(), kNow);
    router.EndDiscard();
    router.Feed(ack.data() + 7, ack.size() - 7, kNow);
    Bytes payload;
    EXPECT_FALSE(router.WaitAck(payload, MonoTimeMs()));
    // The partial answer's rest is plain stream now; nothing of the discard time came through.
    EXPECT_EQ(stream.bytes_, Bytes(ack.begin() + 7, ack.end()));
}

TEST(AckRouter, AbortReleasesTheWaitingCommandAtOnce) {
    StreamRecorder stream;
    AckRouter router(stream, 25600);
    router.Expect(0x01FF);
    std::atomic<bool> returned{false};
    std::atomic<bool> result{true};
    const uint64_t start = MonoTimeMs();
    std::thread waiter([&] {
        Bytes payload;
        result = router.WaitAck(payload, DeadlineAfterMs(MonoTimeMs(), 10000));
        returned = true;
    });
    ASSERT_TRUE(WaitUntil([&] { return MonoTimeMs() - start >= 20; }, std::chrono::seconds(1)));
    router.Abort();
    EXPECT_TRUE(WaitUntil([&] { return returned.load(); }, std::chrono::seconds(2)));
    waiter.join();
    EXPECT_FALSE(result.load());
    // Later commands fail at once too.
    router.Expect(0x01FE);
    Bytes payload;
    EXPECT_FALSE(router.WaitAck(payload, DeadlineAfterMs(MonoTimeMs(), 10000)));
}

TEST(AckRouter, WaitAckWakesWhenTheAcknowledgementArrivesFromTheReader) {
    StreamRecorder stream;
    AckRouter router(stream, 25600);
    router.Expect(0x0165);
    const Bytes ack = AckFrame(0x0065, 0, {1, 0, 0x56, 0x5A});
    std::thread reader([&] {
        for (uint8_t byte : ack) {
            router.Feed(&byte, 1, MonoTimeMs());
        }
    });
    Bytes payload;
    const bool got = router.WaitAck(payload, DeadlineAfterMs(MonoTimeMs(), 5000));
    reader.join();
    ASSERT_TRUE(got);
    EXPECT_EQ(payload, (Bytes{0, 0, 1, 0, 0x56, 0x5A}));
    EXPECT_TRUE(stream.bytes_.empty());
}
