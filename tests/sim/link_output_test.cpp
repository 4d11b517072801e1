// ctest-labels: sim
// zorvan-sim's output faults and pacing: garbage between frames, broken tails, acknowledgements
// cut short, with a wrong tail or late, and output paced at the configured baud rate.
#include <gtest/gtest.h>

#include "sim/raw_link_client.h"
#include "support/sim_process.h"

using namespace simtest;

namespace {

const milliseconds kReportDeadline{2000};

struct Started {
    std::unique_ptr<SimProcess> sim;
    RawLinkClient client;
};

// Starts the simulator 20 times faster with the extra arguments and opens its port.
void Start(Started& s, std::vector<std::string> args) {
    args.insert(args.begin(), {"--time-scale", "20"});
    s.sim = std::make_unique<SimProcess>(args);
    ASSERT_TRUE(s.sim->Started()) << s.sim->Error();
    ASSERT_TRUE(s.client.Open(s.sim->PortPath()));
}

}  // namespace

TEST(SimOutput, GarbageBeforeEveryFrameLeavesEveryFrameIntact) {
    Started s;
    Start(s, {"--garbage", "7"});
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(s.client.NextReport(kReportDeadline).has_value());
    const auto ack = s.client.Command(0x00FF, Bytes{2, 0});
    ASSERT_TRUE(ack.has_value());
    EXPECT_EQ(ack->Status(), 0);
    EXPECT_EQ(s.client.BrokenFrames(), 0u);
    // Seven bytes before each of at least five reports and the acknowledgement (the first frame
    // may have been cut by opening late).
    EXPECT_GE(s.client.SkippedBytes(), 5u * 7u);
}

TEST(SimOutput, BrokenTailEveryNthStreamFrame) {
    Started s;
    Start(s, {"--broken-tail", "2"});
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(s.client.NextReport(kReportDeadline).has_value());
    EXPECT_GE(s.client.BrokenFrames(), 3u);
    EXPECT_LE(s.client.BrokenFrames(), 5u);
}

TEST(SimOutput, AcknowledgementFaultsHitOnlyTheirCommand) {
    struct Case {
        const char* what;
        std::vector<std::string> args;
    };
    const Case cases[] = {
        {"short acknowledgement", {"--short-ack", "0x0011"}},
        {"wrong tail", {"--broken-ack-tail", "0x0011"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Started s;
        Start(s, c.args);
        const auto enter = s.client.Command(0x00FF, Bytes{2, 0});
        ASSERT_TRUE(enter.has_value());
        EXPECT_EQ(enter->Status(), 0);
        EXPECT_FALSE(s.client.Command(0x0011, {}, milliseconds(300)).has_value());
        const auto version = s.client.Command(0x0000);
        ASSERT_TRUE(version.has_value());
        EXPECT_EQ(version->Status(), 0);
        EXPECT_EQ(s.client.ShortAcks() + s.client.BrokenFrames(), 1u);
    }
}

TEST(SimOutput, AcknowledgementDelayHoldsEveryAnswer) {
    Started s;
    Start(s, {"--ack-delay", "400"});
    ASSERT_TRUE(s.client.Send(0x00FF, Bytes{2, 0}));
    EXPECT_FALSE(s.client.WaitAck(0x00FF, milliseconds(150)).has_value());
    const auto late = s.client.WaitAck(0x00FF, milliseconds(3000));
    ASSERT_TRUE(late.has_value());
    EXPECT_EQ(late->Status(), 0);
}

TEST(SimOutput, PacingKeepsTheByteRateAtTheBaudRate) {
    // At 20 times the speed the sensor wants 20 reports (1600 bytes) a second; 2400 baud lets
    // 240 bytes a second through.
    Started s;
    Start(s, {"--pace", "--baud", "2400"});
    const auto start = Clock::now();
    s.client.CollectStreams(milliseconds(1000));
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_GT(s.client.ReceivedBytes(), 0u);
    // The terminal's buffer may hold what went out before we opened it; the flush at open
    // dropped that, so only the paced bytes count, plus one burst.
    EXPECT_LE(static_cast<double>(s.client.ReceivedBytes()), 240.0 * seconds + 80.0);
}

TEST(SimOutput, WithoutPacingTheStreamIsNotHeldBack) {
    Started s;
    Start(s, {"--baud", "2400"});  // the rate alone changes nothing
    s.client.CollectStreams(milliseconds(1000));
    EXPECT_GT(s.client.ReceivedBytes(), 240.0 + 80.0);
}
