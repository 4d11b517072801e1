// ctest-labels: sim
// zorvan-sim's boot loader: running mode, partitions, writing an image packet by packet into a
// partition file, and the refusals of bad transfers.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "sim/raw_link_client.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"
#include "support/whole_file.h"

using namespace simtest;

namespace {

constexpr uint16_t kRunningMode = 0x0060;
constexpr uint16_t kPartitions = 0x0061;
constexpr uint16_t kBinInfo = 0x0062;
constexpr uint16_t kPacket = 0x0063;
constexpr uint16_t kReset = 0x0064;
constexpr uint16_t kDeviceId = 0x0065;

// 20 times faster: erase 75 ms, application start 50 ms after the last packet.
const std::vector<std::string> kBootFast = {"--time-scale", "20", "--start-in-bootloader"};

uint32_t Sum(const Bytes& bytes, size_t from = 0, size_t to = SIZE_MAX) {
    uint32_t sum = 0;
    for (size_t i = from; i < std::min(to, bytes.size()); ++i) sum += bytes[i];
    return sum;
}

size_t Padding(size_t size) {
    return (4 - size % 4) % 4;
}

uint32_t ImageChecksum(const Bytes& image) {
    return Sum(image) + 0xFFu * static_cast<uint32_t>(Padding(image.size()));
}

Bytes BinInfo(uint32_t mask, uint32_t size, uint32_t checksum) {
    Bytes payload;
    PutU32(payload, mask);
    PutU32(payload, size);
    PutU32(payload, checksum);
    return payload;
}

Bytes PacketPayload(uint32_t sequence, const Bytes& data, std::optional<uint32_t> checksum = {}) {
    Bytes payload;
    PutU32(payload, sequence);
    PutU32(payload, checksum.value_or(Sum(data)));
    payload.insert(payload.end(), data.begin(), data.end());
    return payload;
}

// The host's cut of an image into packets of at most `perPacket` bytes; the last one carries
// the padding.
std::vector<Bytes> Packets(const Bytes& image, size_t perPacket) {
    std::vector<Bytes> packets;
    size_t at = 0;
    while (at < image.size()) {
        const size_t n = std::min(perPacket, image.size() - at);
        Bytes data(image.begin() + at, image.begin() + at + n);
        at += n;
        if (at == image.size()) data.insert(data.end(), Padding(image.size()), 0xFF);
        packets.push_back(std::move(data));
    }
    return packets;
}

Bytes TestImage(size_t size, uint8_t seed) {
    Bytes image(size);
    for (size_t i = 0; i < size; ++i) image[i] = static_cast<uint8_t>(i * 31 + seed + (i >> 8));
    return image;
}

// A boot loader answer: status, and the u32 after it.
struct Answer {
    uint16_t status = 0xFFFF;
    uint32_t value = 0;
    size_t bodyBytes = 0;
};

class SimBootLoader : public ::testing::Test {
protected:
    void Start(std::vector<std::string> args = kBootFast, const std::string& flashDir = {}) {
        m_sim = std::make_unique<SimProcess>(args, flashDir);
        ASSERT_TRUE(m_sim->Started()) << m_sim->Error();
        ASSERT_TRUE(m_client.Open(m_sim->PortPath()));
    }
    std::optional<Answer> Ask(uint16_t word, const Bytes& payload = {}) {
        const auto ack = m_client.Command(word, payload, milliseconds(10000));
        if (!ack) return std::nullopt;
        Answer answer{ack->Status(), 0, ack->body.size()};
        if (ack->body.size() == 6) answer.value = U32(ack->body, 2);
        return answer;
    }
    // Flashes the image into `partition`; the status of the first failure (or 0).
    uint16_t Flash(int partition, const Bytes& image) {
        const auto info = Ask(
            kBinInfo,
            BinInfo(1u << partition, static_cast<uint32_t>(image.size()), ImageChecksum(image)));
        if (!info) return 0xFFFF;
        if (info->status != 0) return info->status;
        const size_t perPacket = (info->value & 0xFFFF) - 20;
        uint32_t sequence = 0;
        for (const Bytes& data : Packets(image, perPacket)) {
            const auto answer = Ask(kPacket, PacketPayload(sequence++, data));
            if (!answer) return 0xFFFF;
            if (answer->status != 0) return answer->status;
        }
        return 0;
    }
    // Waits until the running-mode answer is `mode` (asked in command mode, which the
    // application needs and the boot loader accepts).
    bool WaitRunningMode(uint32_t mode) {
        return WaitUntil([&] {
            const auto enter = m_client.Command(0x00FF, Bytes{2, 0}, milliseconds(200));
            if (!enter || enter->Status() != 0) return false;
            const auto ack = m_client.Command(kRunningMode, {}, milliseconds(200));
            return ack && ack->Status() == 0 && ack->body.size() == 6 && U32(ack->body, 2) == mode;
        });
    }

    std::unique_ptr<SimProcess> m_sim;
    RawLinkClient m_client;
};

}  // namespace

TEST_F(SimBootLoader, AnswersWithoutCommandModeAndStreamsNothing) {
    Start({"--time-scale", "20", "--start-in-bootloader", "--partitions", "0x7", "--device-id",
           "0xCAFE"});
    struct Case {
        uint16_t word;
        uint32_t value;
    };
    for (const Case& c : {Case{kRunningMode, 1}, Case{kPartitions, 0x7}, Case{kDeviceId, 0xCAFE}}) {
        const auto answer = Ask(c.word);
        ASSERT_TRUE(answer.has_value()) << c.word;
        EXPECT_EQ(answer->status, 0) << c.word;
        EXPECT_EQ(answer->bodyBytes, 6u) << c.word;
        EXPECT_EQ(answer->value, c.value) << c.word;
    }
    // Entering and leaving command mode is accepted; application commands are not known.
    EXPECT_EQ(m_client.Command(0x00FF, Bytes{2, 0})->Status(), 0);
    EXPECT_EQ(m_client.Command(0x00FE)->Status(), 0);
    EXPECT_EQ(m_client.Command(0x0071, Bytes{0x0A, 0})->Status(), 0x0001);
    EXPECT_TRUE(m_client.CollectStreams(milliseconds(300)).empty());
}

TEST_F(SimBootLoader, FlashedImagesEndUpByteIdenticalAndTheirApplicationStarts) {
    struct Case {
        const char* what;
        size_t size;
        int partition;
        uint32_t runningMode;
    };
    const Case cases[] = {
        {"padded last packet (2050 bytes)", 2050, 1, 4},
        {"whole packets (2048 bytes)", 2048, 0, 2},
        {"three bytes and one pad byte", 3, 1, 4},
        {"one byte short of a packet", 1023, 0, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Start();
        const Bytes image = TestImage(c.size, static_cast<uint8_t>(c.size));
        ASSERT_EQ(Flash(c.partition, image), 0);
        const std::string file = m_sim->FlashDir() + "/APP" + std::to_string(c.partition) + ".bin";
        EXPECT_EQ(ReadWholeFileBytes(file), image);
        EXPECT_TRUE(WaitRunningMode(c.runningMode));
        // The application streams again once command mode ends.
        EXPECT_EQ(m_client.Command(0x00FE)->Status(), 0);
        EXPECT_TRUE(m_client.NextReport(milliseconds(2000)).has_value());
    }
}

TEST_F(SimBootLoader, ThreeByteImageHasTheChecksumOfItsPadding) {
    Start();
    const Bytes image{0x01, 0x02, 0x03};
    ASSERT_EQ(ImageChecksum(image), 0x105u);
    const auto info = Ask(kBinInfo, BinInfo(0x1, 3, 0x105));
    ASSERT_TRUE(info.has_value());
    ASSERT_EQ(info->status, 0);
    EXPECT_EQ(info->value & 0xFFFF, 1044u);
    const auto packet = Ask(kPacket, PacketPayload(0, {0x01, 0x02, 0x03, 0xFF}));
    ASSERT_TRUE(packet.has_value());
    EXPECT_EQ(packet->status, 0);
    EXPECT_EQ(ReadWholeFileBytes(m_sim->FlashDir() + "/APP0.bin"), image);
}

TEST_F(SimBootLoader, BadPacketChecksumIsRefusedAndThePacketMaySimplyBeSentAgain) {
    Start();
    const Bytes image = TestImage(3000, 7);
    ASSERT_EQ(Ask(kBinInfo, BinInfo(0x2, 3000, ImageChecksum(image)))->status, 0);
    const std::vector<Bytes> packets = Packets(image, 1024);
    const auto bad = Ask(kPacket, PacketPayload(0, packets[0], Sum(packets[0]) + 1));
    ASSERT_TRUE(bad.has_value());
    EXPECT_EQ(bad->status, 0xA002);
    EXPECT_EQ(bad->bodyBytes, 6u);
    EXPECT_EQ(bad->value, 0xA002u);  // the detail a host shows as the error code
    for (uint32_t s = 0; s < packets.size(); ++s) {
        EXPECT_EQ(Ask(kPacket, PacketPayload(s, packets[s]))->status, 0) << s;
    }
    EXPECT_EQ(ReadWholeFileBytes(m_sim->FlashDir() + "/APP1.bin"), image);
}

TEST_F(SimBootLoader, PacketsOutOfSequenceAreRefused) {
    Start();
    const Bytes image = TestImage(3000, 9);
    ASSERT_EQ(Ask(kBinInfo, BinInfo(0x1, 3000, ImageChecksum(image)))->status, 0);
    const std::vector<Bytes> packets = Packets(image, 1024);
    EXPECT_EQ(Ask(kPacket, PacketPayload(1, packets[1]))->status, 0xA001);
    EXPECT_EQ(Ask(kPacket, PacketPayload(0, packets[0]))->status, 0);
    EXPECT_EQ(Ask(kPacket, PacketPayload(0, packets[0]))->status, 0xA001);  // no repeats
    EXPECT_EQ(Ask(kPacket, PacketPayload(2, packets[2]))->status, 0xA001);  // no gaps
    EXPECT_EQ(Ask(kPacket, PacketPayload(1, packets[1]))->status, 0);
}

TEST_F(SimBootLoader, ImageWhosePaddingWasCountedButNotSentFailsItsChecksum) {
    // P = 1045 lets 1025 bytes into a packet: an image of exactly that size goes out without
    // its 3 padding bytes, which the announced checksum counts.
    Start({"--time-scale", "20", "--start-in-bootloader", "--packet-size", "1045"});
    const Bytes image = TestImage(1025, 3);
    const auto info = Ask(kBinInfo, BinInfo(0x1, 1025, ImageChecksum(image)));
    ASSERT_EQ(info->status, 0);
    ASSERT_EQ(info->value & 0xFFFF, 1045u);
    EXPECT_EQ(Ask(kPacket, PacketPayload(0, image))->status, 0xA002);
    EXPECT_TRUE(ReadWholeFileBytes(m_sim->FlashDir() + "/APP0.bin").empty());
    // With its padding the same packet is accepted.
    Bytes padded = image;
    padded.insert(padded.end(), 3, 0xFF);
    EXPECT_EQ(Ask(kPacket, PacketPayload(0, padded))->status, 0);
    EXPECT_EQ(ReadWholeFileBytes(m_sim->FlashDir() + "/APP0.bin"), image);
}

TEST_F(SimBootLoader, BadTransfersAreRefusedWithTheirStatus) {
    Start({"--time-scale", "20", "--start-in-bootloader", "--partitions", "0x3", "--partition-size",
           "4096"});
    struct Case {
        const char* what;
        uint16_t word;
        Bytes payload;
        uint16_t status;
    };
    const std::vector<Case> before = {
        {"packet before the bin file information", kPacket, PacketPayload(0, {1, 2, 3, 4}), 0xA006},
        {"partition that does not exist", kBinInfo, BinInfo(0x4, 16, 0), 0xA003},
        {"two partitions at once", kBinInfo, BinInfo(0x3, 16, 0), 0xA003},
        {"no partition", kBinInfo, BinInfo(0x0, 16, 0), 0xA003},
        {"image larger than the partition", kBinInfo, BinInfo(0x1, 4097, 0), 0xA004},
        {"bin file information of 8 bytes", kBinInfo, Bytes(8, 0), 0x0002},
        {"packet without its header", kPacket, Bytes(4, 0), 0x0002},
    };
    for (const Case& c : before) {
        SCOPED_TRACE(c.what);
        const auto answer = Ask(c.word, c.payload);
        ASSERT_TRUE(answer.has_value());
        EXPECT_EQ(answer->status, c.status);
        EXPECT_EQ(answer->bodyBytes, 6u);
    }
    const Bytes image = TestImage(4096, 1);
    ASSERT_EQ(Ask(kBinInfo, BinInfo(0x1, 4096, ImageChecksum(image)))->status, 0);
    Bytes tooLong(image.begin(), image.begin() + 1025);
    EXPECT_EQ(Ask(kPacket, PacketPayload(0, tooLong))->status, 0x0002);
    EXPECT_EQ(Ask(kPacket, PacketPayload(0, {}))->status, 0x0002);
}

TEST_F(SimBootLoader, ResetAbandonsATransfer) {
    Start();
    const Bytes image = TestImage(2000, 5);
    ASSERT_EQ(Ask(kBinInfo, BinInfo(0x1, 2000, ImageChecksum(image)))->status, 0);
    ASSERT_EQ(Ask(kPacket, PacketPayload(0, Packets(image, 1024)[0]))->status, 0);
    ASSERT_TRUE(m_client.Send(kReset));
    EXPECT_TRUE(WaitRunningMode(1));
    EXPECT_EQ(Ask(kPacket, PacketPayload(1, Packets(image, 1024)[1]))->status, 0xA006);
}

TEST_F(SimBootLoader, ApplicationResetFlashAndRestartKeepTheImage) {
    TempDir flash;
    {
        Start({"--time-scale", "20"}, flash.Path().string());
        // The host's way into the boot loader: command mode, software reset, ask again.
        ASSERT_EQ(m_client.Command(0x00FF, Bytes{2, 0})->Status(), 0);
        const auto mode = Ask(kRunningMode);
        ASSERT_TRUE(mode.has_value());
        EXPECT_EQ(mode->value, 2u);
        ASSERT_TRUE(m_client.Send(kReset));
        ASSERT_TRUE(WaitRunningMode(1));
        const Bytes image = TestImage(5000, 11);
        ASSERT_EQ(Flash(1, image), 0);
        ASSERT_TRUE(WaitRunningMode(4));
        m_client.Close();
        m_sim.reset();
    }
    // A new simulator on the same folder reads the image back and runs it.
    Start({"--time-scale", "20"}, flash.Path().string());
    ASSERT_EQ(m_client.Command(0x00FF, Bytes{2, 0})->Status(), 0);
    const auto mode = Ask(kRunningMode);
    ASSERT_TRUE(mode.has_value());
    EXPECT_EQ(mode->value, 4u);
    EXPECT_EQ(ReadWholeFileBytes(flash.File("APP1.bin")), TestImage(5000, 11));
}
