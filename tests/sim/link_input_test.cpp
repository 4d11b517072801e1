// ctest-labels: unit
// The simulator's reading side in-process on a stepped clock: with pacing on, what the host
// wrote is taken no faster than the line rate (the rest waits in the terminal), whole and in
// order; without pacing it is taken at once.
#include "link_input.h"

#include <gtest/gtest.h>

#include "sim/byte_pipe.h"
#include "sim_clock.h"
#include "wire_format.h"

namespace {

constexpr uint32_t kBaud = 256000;  // 25.6 bytes a millisecond
constexpr size_t kBurstBytes = 256;
constexpr size_t kWrittenBytes = 10'000;

Bytes HostBytes() {
    Bytes bytes(kWrittenBytes);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 256);
    return bytes;
}

class LinkInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_line.Valid());
        ASSERT_TRUE(m_line.Put(HostBytes()));
    }
    bool Read(LinkInput& input) {
        return input.ReadFrom(m_line.ReadFd(), m_wall.NowMs(), [this](const uint8_t* p, size_t n) {
            m_received.insert(m_received.end(), p, p + n);
        });
    }

    BytePipe m_line;
    SteppedClock m_wall{2'000};
    Bytes m_received;
};

TEST_F(LinkInputTest, PacedReadingTakesTheHostsBytesAtTheLineRate) {
    LinkInput input(kBaud);
    ASSERT_TRUE(Read(input));
    EXPECT_EQ(m_received.size(), kBurstBytes);
    EXPECT_FALSE(input.CanTake(m_wall.NowMs()));
    ASSERT_EQ(input.NextWakeMs(), m_wall.NowMs() + 1);

    const uint64_t startMs = m_wall.NowMs();
    while (m_received.size() < kWrittenBytes) {
        const auto wake = input.NextWakeMs();
        ASSERT_TRUE(wake.has_value()) << m_received.size();
        m_wall.Step(*wake - m_wall.NowMs());
        ASSERT_TRUE(input.CanTake(m_wall.NowMs()));
        ASSERT_TRUE(Read(input));
        const double limit =
            kBurstBytes + kBaud / 10000.0 * static_cast<double>(m_wall.NowMs() - startMs);
        ASSERT_LE(static_cast<double>(m_received.size()), limit);
    }
    EXPECT_EQ(m_received, HostBytes());
    EXPECT_EQ(input.BytesTaken(), kWrittenBytes);
    // (10000 - 256) bytes at 25.6 a millisecond: 380.6 ms.
    EXPECT_EQ(m_wall.NowMs() - startMs, 381u);
}

// A loop that wakes late takes one burst, not the time it slept: the line carried nothing more
// meanwhile, the host's bytes waited in the terminal.
TEST_F(LinkInputTest, ALateWakeTakesNoMoreThanOneBurst) {
    LinkInput input(kBaud);
    ASSERT_TRUE(Read(input));
    m_wall.Step(1000);
    ASSERT_TRUE(Read(input));
    EXPECT_EQ(m_received.size(), 2 * kBurstBytes);
}

TEST_F(LinkInputTest, WithoutPacingEverythingIsTakenAtOnce) {
    LinkInput input(0);
    ASSERT_TRUE(Read(input));
    EXPECT_EQ(m_received, HostBytes());
    EXPECT_TRUE(input.CanTake(m_wall.NowMs()));
    EXPECT_FALSE(input.NextWakeMs().has_value());
}

TEST_F(LinkInputTest, AFailedReadIsReported) {
    LinkInput input(kBaud);
    EXPECT_FALSE(input.ReadFrom(-1, 0, [](const uint8_t*, size_t) {}));
}

}  // namespace
