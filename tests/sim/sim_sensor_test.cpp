// ctest-labels: sim
// zorvan-sim's command faults (no answer, a failure status, a chosen packet refused, the packet
// size, the running-mode answer) and its reading of command frames on a noisy line.
#include <gtest/gtest.h>

#include "sim/raw_link_client.h"
#include "support/sim_process.h"

using namespace simtest;

namespace {

class SimSensor : public ::testing::Test {
protected:
    void Start(std::vector<std::string> args) {
        args.insert(args.begin(), {"--time-scale", "20"});
        m_sim = std::make_unique<SimProcess>(args);
        ASSERT_TRUE(m_sim->Started()) << m_sim->Error();
        ASSERT_TRUE(m_client.Open(m_sim->PortPath()));
    }
    uint16_t Status(uint16_t word, const Bytes& payload = {}) {
        const auto ack = m_client.Command(word, payload, milliseconds(5000));
        return ack ? ack->Status() : 0xFFFF;
    }

    std::unique_ptr<SimProcess> m_sim;
    RawLinkClient m_client;
};

Bytes BinInfo(uint32_t mask, uint32_t size, uint32_t checksum) {
    Bytes payload;
    PutU32(payload, mask);
    PutU32(payload, size);
    PutU32(payload, checksum);
    return payload;
}

Bytes Packet(uint32_t sequence, const Bytes& data) {
    Bytes payload;
    PutU32(payload, sequence);
    uint32_t sum = 0;
    for (uint8_t b : data) sum += b;
    PutU32(payload, sum);
    payload.insert(payload.end(), data.begin(), data.end());
    return payload;
}

}  // namespace

TEST_F(SimSensor, IgnoredCommandIsNeitherAnsweredNorCarriedOut) {
    Start({"--no-ack", "0x00FF"});
    ASSERT_TRUE(m_client.Send(0x00FF, Bytes{2, 0}));
    EXPECT_FALSE(m_client.WaitAck(0x00FF, milliseconds(300)).has_value());
    // Still streaming: command mode was not entered.
    EXPECT_TRUE(m_client.NextReport(milliseconds(2000)).has_value());
    EXPECT_EQ(Status(0x0000), 0x0004);
}

TEST_F(SimSensor, FailStatusAnswersWithoutCarryingOut) {
    Start({"--fail-status", "0x0070:0x0003", "--fail-status", "0x0061:0x0007"});
    ASSERT_EQ(Status(0x00FF, Bytes{2, 0}), 0);
    Bytes set;
    PutU16(set, 0x0006);
    PutU32(set, 30);
    EXPECT_EQ(Status(0x0070, set), 0x0003);
    const auto absence = m_client.Command(0x0071, Bytes{0x06, 0x00});
    ASSERT_TRUE(absence.has_value());
    EXPECT_EQ(U32(absence->Data(), 0), 20u);
    const auto partitions = m_client.Command(0x0061);
    ASSERT_TRUE(partitions.has_value());
    EXPECT_EQ(partitions->Status(), 0x0007);
    EXPECT_EQ(partitions->body.size(), 6u);
}

TEST_F(SimSensor, RunningModeAndPacketSizeAnswersCanBeChosen) {
    Start({"--start-in-bootloader", "--running-mode", "8", "--packet-size", "20"});
    const auto mode = m_client.Command(0x0060);
    ASSERT_TRUE(mode.has_value());
    EXPECT_EQ(U32(mode->Data(), 0), 8u);
    const auto info = m_client.Command(0x0062, BinInfo(0x1, 4, 0x10), milliseconds(5000));
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->Status(), 0);
    EXPECT_EQ(U32(info->Data(), 0) & 0xFFFF, 20u);
    // With P = 20 no packet can carry data.
    EXPECT_EQ(Status(0x0063, Packet(0, {4, 4, 4, 4})), 0x0002);
}

TEST_F(SimSensor, ChosenPacketIsRefusedEveryTime) {
    Start({"--start-in-bootloader", "--refuse-packet", "1", "--refuse-packet", "2:0xA00F"});
    ASSERT_EQ(Status(0x0062, BinInfo(0x1, 3000, 3000 * 0x11)), 0);
    EXPECT_EQ(Status(0x0063, Packet(0, Bytes(1024, 0x11))), 0);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const auto refused = m_client.Command(0x0063, Packet(1, Bytes(1024, 0x11)));
        ASSERT_TRUE(refused.has_value());
        EXPECT_EQ(refused->Status(), 0xA002);
        EXPECT_EQ(U32(refused->Data(), 0), 0xA002u);
    }
}

TEST_F(SimSensor, CommandsAreFoundAmidLineNoise) {
    Start({});
    struct Case {
        const char* what;
        Bytes before;
    };
    const Case cases[] = {
        {"garbage", {0x00, 0x55, 0xAA, 0xFD, 0xFC, 0x13}},
        {"header with an impossible length", {0xFD, 0xFC, 0xFB, 0xFA, 0xFF, 0x7F}},
        {"header with a length of one", {0xFD, 0xFC, 0xFB, 0xFA, 0x01, 0x00}},
        {"frame with a wrong tail",
         {0xFD, 0xFC, 0xFB, 0xFA, 0x02, 0x00, 0xFF, 0x00, 0x09, 0x09, 0x09, 0x09}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes bytes = c.before;
        const Bytes frame = CommandFrameBytes(0x00FF, Bytes{2, 0});
        bytes.insert(bytes.end(), frame.begin(), frame.end());
        ASSERT_TRUE(m_client.SendRaw(bytes));
        const auto ack = m_client.WaitAck(0x00FF, milliseconds(2000));
        ASSERT_TRUE(ack.has_value());
        EXPECT_EQ(ack->Status(), 0);
    }
}

TEST_F(SimSensor, CommandSplitAcrossWritesIsReassembled) {
    Start({});
    const Bytes frame = CommandFrameBytes(0x00FF, Bytes{2, 0});
    for (uint8_t b : frame) ASSERT_TRUE(m_client.SendRaw(Bytes{b}));
    const auto ack = m_client.WaitAck(0x00FF, milliseconds(2000));
    ASSERT_TRUE(ack.has_value());
    EXPECT_EQ(ack->Status(), 0);
}

TEST_F(SimSensor, StrayHeaderDoesNotSwallowTheNextCommandForLong) {
    // A header announcing 4000 bytes that never come: the sensor gives it up after a short
    // silence and then hears the next command.
    Start({});
    ASSERT_TRUE(m_client.SendRaw(Bytes{0xFD, 0xFC, 0xFB, 0xFA, 0xA0, 0x0F, 0x00, 0x00}));
    const auto ack = m_client.Command(0x00FF, Bytes{2, 0}, milliseconds(200));
    // Swallowed into the stray frame the first time...
    EXPECT_FALSE(ack.has_value());
    // ...and heard once the stray frame timed out.
    std::optional<Ack> later;
    for (int attempt = 0; attempt < 20 && !later; ++attempt) {
        later = m_client.Command(0x00FF, Bytes{2, 0}, milliseconds(500));
    }
    ASSERT_TRUE(later.has_value());
    EXPECT_EQ(later->Status(), 0);
}
