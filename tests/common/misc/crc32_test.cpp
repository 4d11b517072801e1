#include "misc/crc32.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

constexpr char kCheckText[] = "123456789";

std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed) {
    std::mt19937 engine(seed);
    std::vector<uint8_t> bytes(count);
    for (auto& b : bytes) b = static_cast<uint8_t>(engine());
    return bytes;
}

uint32_t Reverse(uint32_t value, int bits) {
    uint32_t result = 0;
    for (int i = 0; i < bits; ++i) result = (result << 1) | ((value >> i) & 1u);
    return result;
}

// The default set computed the way it is defined, one byte at a time: the reflected table of
// 0x04C11DB7, each byte bit-reversed before the right-shifting update, the register bit-reversed
// at the end, no final XOR.
uint32_t DefaultSetByDefinition(const std::vector<uint8_t>& data) {
    uint32_t table[256];
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t b = Reverse(i, 8) << 24;
        for (int k = 0; k < 8; ++k) b = (b & 0x80000000u) ? (b << 1) ^ 0x04C11DB7u : b << 1;
        table[i] = Reverse(b, 32);
    }
    uint32_t reg = 0xFFFFFFFF;
    for (uint8_t byte : data) reg = (reg >> 8) ^ table[(reg ^ Reverse(byte, 8)) & 0xFF];
    return Reverse(reg, 32);
}

TEST(CCRC32, DefaultSetGivesTheHashExamples) {
    CCRC32 crc;
    crc.AppendData("abc", 3);
    EXPECT_EQ(crc.GetResult(), 0x9B73448Cu);
    crc.Reset();
    crc.AppendData(kCheckText, 9);
    EXPECT_EQ(crc.GetResult(), 0x0376E6E7u);  // the catalogue's CRC-32/MPEG-2 check value
}

TEST(CCRC32, DefaultSetIsNotTheReflectedZlibCrc) {
    CCRC32 crc;
    crc.AppendData(kCheckText, 9);
    EXPECT_NE(crc.GetResult(), 0xCBF43926u);
}

TEST(CCRC32, DefaultSetEqualsItsDefinitionOnRandomData) {
    for (size_t size :
         {0u, 1u, 7u, 8u, 9u, 15u, 16u, 17u, 63u, 64u, 65u, 1000u, 4099u, (1u << 20) + 13u}) {
        const std::vector<uint8_t> data = RandomBytes(size, static_cast<uint32_t>(size));
        CCRC32 crc;
        crc.AppendData(data.data(), static_cast<int>(data.size()));
        EXPECT_EQ(crc.GetResult(), DefaultSetByDefinition(data)) << size << " bytes";
    }
}

struct FreeSetCase {
    const char* name;
    uint32_t poly;
    uint32_t init;
    uint32_t finalXor;
    int reflectInput;
    int reflectOutput;
    uint32_t check;  // CRC of "123456789"
};

// Catalogue check values (CRC-32/BZIP2, CKSUM, CRC-32Q, XFER, MPEG-2); the rows marked "model"
// come from a bit-at-a-time python3 model of the catalogue's parameter form (width 32, poly,
// init, refin, refout, xorout), run once on "123456789".
const FreeSetCase kFreeSets[] = {
    {"BZIP2", 0x04C11DB7, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0, 0xFC891918},
    {"BZIP2 through the reflected path", 0x04C11DB7, 0xFFFFFFFF, 0xFFFFFFFF, 1, 1, 0xFC891918},
    {"CKSUM", 0x04C11DB7, 0x00000000, 0xFFFFFFFF, 0, 0, 0x765E7680},
    {"CRC-32Q", 0x814141AB, 0x00000000, 0x00000000, 0, 0, 0x3010BF7F},
    {"XFER", 0x000000AF, 0x00000000, 0x00000000, 0, 0, 0xBD0BE338},
    {"MPEG-2", 0x04C11DB7, 0xFFFFFFFF, 0x00000000, 0, 0, 0x0376E6E7},
    // BZIP2 with the register bit-reversed on output (model: refin false, refout true).
    {"reversed output", 0x04C11DB7, 0xFFFFFFFF, 0xFFFFFFFF, 0, 1, 0x1898913F},
    {"reversed output, reflected path", 0x04C11DB7, 0xFFFFFFFF, 0xFFFFFFFF, 1, 0, 0x1898913F},
    // The reflected path takes the initial value as the reflected register (model: init
    // 0x1E6A2C48 = reverse of 0x12345678, unreflected).
    {"asymmetric init, reflected path", 0x04C11DB7, 0x12345678, 0, 1, 1, 0x333C892C},
    {"asymmetric init, direct path", 0x04C11DB7, 0x12345678, 0, 0, 0, 0xEBC418C4},
};

TEST(CCRC32, FreeParametersGiveTheirCheckValues) {
    for (const auto& c : kFreeSets) {
        CCRC32 crc;
        crc.SetPolyParameter(c.poly, c.init, c.finalXor, c.reflectInput, c.reflectOutput);
        crc.AppendData(kCheckText, 9);
        EXPECT_EQ(crc.GetResult(), c.check) << c.name;
    }
}

TEST(CCRC32, PiecewiseFeedingEqualsOneCall) {
    const std::vector<uint8_t> data = RandomBytes(5000, 32);
    for (const auto& c : kFreeSets) {
        CCRC32 whole;
        whole.SetPolyParameter(c.poly, c.init, c.finalXor, c.reflectInput, c.reflectOutput);
        whole.AppendData(data.data(), static_cast<int>(data.size()));
        for (size_t chunk : {1u, 5u, 8u, 13u, 1024u}) {
            CCRC32 pieces;
            pieces.SetPolyParameter(c.poly, c.init, c.finalXor, c.reflectInput, c.reflectOutput);
            for (size_t at = 0; at < data.size(); at += chunk) {
                const size_t n = std::min(chunk, data.size() - at);
                pieces.AppendData(data.data() + at, static_cast<int>(n));
            }
            EXPECT_EQ(pieces.GetResult(), whole.GetResult()) << c.name << " chunk " << chunk;
        }
    }
}

TEST(CCRC32, GetResultLeavesTheRegisterAndResetRestartsIt) {
    CCRC32 crc;
    EXPECT_EQ(crc.GetResult(), 0xFFFFFFFFu);
    crc.AppendData("ab", 2);
    const uint32_t partial = crc.GetResult();
    EXPECT_EQ(crc.GetResult(), partial);
    crc.AppendData("c", 1);
    EXPECT_EQ(crc.GetResult(), 0x9B73448Cu);
    crc.Reset();
    EXPECT_EQ(crc.GetResult(), 0xFFFFFFFFu);
    crc.AppendData(nullptr, 3);
    crc.AppendData("abc", 0);
    crc.AppendData("abc", -1);
    EXPECT_EQ(crc.GetResult(), 0xFFFFFFFFu);
}

}  // namespace
