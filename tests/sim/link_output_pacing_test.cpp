// ctest-labels: unit
// The simulator's output in-process on a stepped clock: frames leave no faster than the line
// rate, in order and whole, the loop is told when to come back, and without pacing they leave
// at once.
#include <gtest/gtest.h>

#include "link_output.h"
#include "sim/byte_pipe.h"
#include "sim_clock.h"

namespace {

constexpr uint32_t kBaud = 256000;  // 25.6 bytes a millisecond
constexpr size_t kBurstBytes = 256;
constexpr size_t kFrames = 8;

Bytes Payload(size_t i) {
    Bytes payload(500, static_cast<uint8_t>(i));
    payload[0] = wire::kReportType;
    return payload;
}

Bytes AllFrames() {
    Bytes all;
    for (size_t i = 0; i < kFrames; ++i) {
        const Bytes frame = wire::BuildStreamFrame(Payload(i));
        all.insert(all.end(), frame.begin(), frame.end());
    }
    return all;
}

TEST(LinkOutputPacing, FramesLeaveAtTheLineRateInOrder) {
    BytePipe line;
    ASSERT_TRUE(line.Valid());
    SteppedClock wall(10'000);
    LinkOutput output({}, kBaud, 1);
    output.SetNow(wall.NowMs());
    for (size_t i = 0; i < kFrames; ++i) output.SendStream(Payload(i));
    const Bytes expected = AllFrames();

    ASSERT_TRUE(output.WriteTo(line.WriteFd(), wall.NowMs()));
    Bytes received = line.Take();
    EXPECT_EQ(received.size(), kBurstBytes);
    EXPECT_FALSE(output.HasReadyBytes(wall.NowMs()));
    ASSERT_EQ(output.NextWakeMs(), wall.NowMs() + 1);

    const uint64_t startMs = wall.NowMs();
    while (received.size() < expected.size()) {
        const auto wake = output.NextWakeMs();
        ASSERT_TRUE(wake.has_value()) << received.size();
        wall.Step(*wake - wall.NowMs());
        ASSERT_TRUE(output.HasReadyBytes(wall.NowMs()));
        ASSERT_TRUE(output.WriteTo(line.WriteFd(), wall.NowMs()));
        const Bytes more = line.Take();
        received.insert(received.end(), more.begin(), more.end());
        const double limit =
            kBurstBytes + kBaud / 10000.0 * static_cast<double>(wall.NowMs() - startMs);
        ASSERT_LE(static_cast<double>(received.size()), limit);
    }
    EXPECT_EQ(received, expected);
    // (4080 - 256) bytes at 25.6 a millisecond.
    EXPECT_EQ(wall.NowMs() - startMs, 150u);
    EXPECT_FALSE(output.NextWakeMs().has_value());
}

TEST(LinkOutputPacing, WithoutPacingEverythingLeavesAtOnce) {
    BytePipe line;
    ASSERT_TRUE(line.Valid());
    LinkOutput output({}, 0, 1);
    for (size_t i = 0; i < kFrames; ++i) output.SendStream(Payload(i));
    ASSERT_TRUE(output.WriteTo(line.WriteFd(), 0));
    EXPECT_EQ(line.Take(), AllFrames());
    EXPECT_FALSE(output.NextWakeMs().has_value());
}

// A delayed acknowledgement is due at its time, then paced like everything else.
TEST(LinkOutputPacing, ADelayedAcknowledgementLeavesAtItsTime) {
    BytePipe line;
    ASSERT_TRUE(line.Valid());
    SteppedClock wall(500);
    OutputFaults faults;
    faults.ackDelayMs = 40;
    LinkOutput output(faults, kBaud, 1);
    output.SetNow(wall.NowMs());
    output.SendAck(wire::kReadVersion, {0x00, 0x00});
    ASSERT_TRUE(output.WriteTo(line.WriteFd(), wall.NowMs()));
    EXPECT_TRUE(line.Take().empty());
    EXPECT_EQ(output.NextWakeMs(), 540u);
    wall.Step(39);
    EXPECT_FALSE(output.HasReadyBytes(wall.NowMs()));
    wall.Step(1);
    ASSERT_TRUE(output.WriteTo(line.WriteFd(), wall.NowMs()));
    EXPECT_EQ(line.Take(), wire::BuildAckFrame(wire::kReadVersion, {0x00, 0x00}));
}

TEST(LinkOutputPacing, AClosedTerminalIsReported) {
    LinkOutput output({}, 0, 1);
    output.SendStream(Payload(0));
    EXPECT_FALSE(output.WriteTo(-1, 0));
}

}  // namespace
