#include "firmware/firmware_protocol.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "core/byte_order.h"

namespace {

std::vector<uint8_t> Pattern(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 3);
    return bytes;
}

TEST(FirmwareChecksum, ImageSumCountsPaddingToAMultipleOfFour) {
    struct Case {
        std::vector<uint8_t> image;
        uint32_t padding;
        uint32_t checksum;
    };
    const Case cases[] = {
        {{0x01, 0x02, 0x03}, 1, 0x00000105},
        {{0x01, 0x02, 0x03, 0x04}, 0, 0x0000000A},
        {{0xFF}, 3, 0x000003FC},
        {{0x10, 0x20}, 2, 0x0000022E},
        {{0x00, 0x00, 0x00, 0x00, 0x80}, 3, 0x0000037D},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.image.size());
        EXPECT_EQ(ImagePaddingBytes(c.image.size()), c.padding);
        EXPECT_EQ(ImageChecksum(c.image.data(), c.image.size()), c.checksum);
    }
}

TEST(FirmwareChecksum, ImageSumEqualsSumOfImageWithItsPadding) {
    for (size_t size : {1u, 2u, 3u, 4u, 1023u, 2050u, 4096u}) {
        std::vector<uint8_t> image = Pattern(size);
        const uint32_t checksum = ImageChecksum(image.data(), image.size());
        image.resize(size + ImagePaddingBytes(size), 0xFF);
        EXPECT_EQ(image.size() % 4, 0u);
        EXPECT_EQ(checksum, std::accumulate(image.begin(), image.end(), uint32_t{0}))
            << "size " << size;
    }
}

TEST(FirmwareChecksum, SumWrapsModulo32Bits) {
    const uint8_t data[] = {0xFF, 0xFF};
    EXPECT_EQ(PacketChecksum(data, 2, 3), 0x1FEu + 3 * 0xFFu);
    EXPECT_EQ(PacketChecksum(nullptr, 0, 0), 0u);
    // 17 MiB + 1 bytes of 0xFF sum to more than 2^32.
    std::vector<uint8_t> big(17 * 1024 * 1024 + 1, 0xFF);
    ASSERT_GT(uint64_t{0xFF} * big.size(), uint64_t{UINT32_MAX});
    const uint64_t exact = uint64_t{0xFF} * (big.size() + ImagePaddingBytes(big.size()));
    EXPECT_EQ(ImageChecksum(big.data(), big.size()), static_cast<uint32_t>(exact));
}

TEST(FirmwareBinInfo, CarriesMaskSizeAndChecksumLittleEndian) {
    struct Case {
        int partition;
        uint32_t mask;
    };
    for (const Case c : {Case{0, 0x1}, Case{2, 0x4}, Case{31, 0x80000000u}}) {
        const auto payload = BuildBinFileInfo(c.partition, 3, 0x00000105);
        EXPECT_EQ(ReadLe32(&payload[0]), c.mask);
        EXPECT_EQ(ReadLe32(&payload[4]), 3u);
        EXPECT_EQ(ReadLe32(&payload[8]), 0x105u);
    }
    const auto bytes = BuildBinFileInfo(1, 0x01020304, 0xA1B2C3D4);
    const std::array<uint8_t, 12> expected = {0x02, 0,    0,    0,    0x04, 0x03,
                                              0x02, 0x01, 0xD4, 0xC3, 0xB2, 0xA1};
    EXPECT_EQ(bytes, expected);
}

TEST(FirmwareBinInfo, PartitionOutsideTheMaskGivesNoBit) {
    EXPECT_EQ(ReadLe32(&BuildBinFileInfo(-1, 1, 1)[0]), 0u);
    EXPECT_EQ(ReadLe32(&BuildBinFileInfo(32, 1, 1)[0]), 0u);
}

// The slices of a whole transfer.
std::vector<PacketSlice> Plan(size_t size, size_t dataPerPacket) {
    std::vector<PacketSlice> slices;
    size_t sent = 0;
    for (;;) {
        const PacketSlice slice = NextPacketSlice(sent, size, dataPerPacket);
        slices.push_back(slice);
        sent += slice.count;
        if (slice.last || slices.size() > 100) break;
    }
    return slices;
}

TEST(FirmwarePackets, ImageIsCutIntoPacketsWithPaddingOnlyInTheLast) {
    struct Case {
        size_t size;
        size_t dataPerPacket;
        std::vector<size_t> counts;
        uint32_t lastPadding;
    };
    const Case cases[] = {
        {3, 1024, {3}, 1},
        {2050, 1024, {1024, 1024, 2}, 2},
        {2048, 1024, {1024, 1024}, 0},
        {2049, 1024, {1024, 1024, 1}, 3},
        {1024, 1024, {1024}, 0},
        {5, 1, {1, 1, 1, 1, 1}, 3},
        // The last packet fills a whole packet yet the image needs padding: it is sent.
        {2050, 1025, {1025, 1025}, 2},
        {6, 3, {3, 3}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.size << " bytes by " << c.dataPerPacket);
        const std::vector<PacketSlice> slices = Plan(c.size, c.dataPerPacket);
        ASSERT_EQ(slices.size(), c.counts.size());
        size_t offset = 0;
        for (size_t i = 0; i < slices.size(); ++i) {
            EXPECT_EQ(slices[i].offset, offset);
            EXPECT_EQ(slices[i].count, c.counts[i]);
            const bool last = i + 1 == slices.size();
            EXPECT_EQ(slices[i].last, last);
            EXPECT_EQ(slices[i].padding, last ? c.lastPadding : 0u);
            offset += slices[i].count;
        }
        EXPECT_EQ(offset, c.size);
    }
}

TEST(FirmwarePackets, PacketCarriesSequenceChecksumDataAndPadding) {
    const std::vector<uint8_t> image = Pattern(2050);
    std::vector<uint8_t> packet;
    BuildPacket(2, image.data() + 2048, 2, 2, packet);
    ASSERT_EQ(packet.size(), 8u + 2 + 2);
    EXPECT_EQ(ReadLe32(&packet[0]), 2u);
    EXPECT_EQ(ReadLe32(&packet[4]), uint32_t{image[2048]} + image[2049] + 2 * 0xFF);
    EXPECT_EQ(packet[8], image[2048]);
    EXPECT_EQ(packet[9], image[2049]);
    EXPECT_EQ(packet[10], 0xFF);
    EXPECT_EQ(packet[11], 0xFF);

    BuildPacket(0x01020304, image.data(), 1024, 0, packet);
    ASSERT_EQ(packet.size(), 8u + 1024);
    EXPECT_EQ(packet[0], 0x04);
    EXPECT_EQ(packet[3], 0x01);
    EXPECT_EQ(ReadLe32(&packet[4]),
              std::accumulate(image.begin(), image.begin() + 1024, uint32_t{0}));
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + 1024, packet.begin() + 8));
}

TEST(FirmwareAck, SixBytesGiveCodeAndStoreValue) {
    struct Case {
        std::vector<uint8_t> payload;
        uint16_t code;
        uint32_t answer;
    };
    const Case cases[] = {
        {{0x00, 0x00, 0x14, 0x04, 0x00, 0x00}, 0x0000, 1044},
        {{0x02, 0xA0, 0x02, 0xA0, 0x00, 0x00}, 0xA002, 0xA002},
        {{0x00, 0x00, 0x01, 0x00, 0x56, 0x5A}, 0x0000, 0x5A560001},
        // Wrong lengths: the reader's own code, the answer keeps its previous value.
        {{0x00, 0x00, 0x14, 0x04}, 0xA005, 77},
        {{}, 0xA005, 77},
        {{0x00, 0x00, 0x14, 0x04, 0x00, 0x00, 0x00}, 0xA005, 77},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.payload.size());
        uint32_t answer = 77;
        EXPECT_EQ(
            DecodeBootLoaderAck(c.payload.data(), static_cast<int>(c.payload.size()), &answer),
            c.code);
        EXPECT_EQ(answer, c.answer);
    }
    uint32_t answer = 5;
    EXPECT_EQ(DecodeBootLoaderAck(nullptr, 6, &answer), kAckWrongLength);
    EXPECT_EQ(answer, 5u);
}

TEST(FirmwareRunningMode, NamesKnownModesAndUnknownForTheRest) {
    struct Case {
        uint32_t mode;
        const char* name;
    };
    for (const Case c : {Case{1, "BootLoader"}, Case{2, "App0"}, Case{4, "App1"},
                         Case{8, "Unknown"}, Case{0, "Unknown"}, Case{3, "Unknown"}}) {
        EXPECT_STREQ(RunningModeName(c.mode), c.name) << c.mode;
    }
}

}  // namespace
