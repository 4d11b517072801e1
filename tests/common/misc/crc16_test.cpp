#include "misc/crc16.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr char kCheckText[] = "123456789";

struct NamedSet {
    const char* name;
    void (CCRC16::*select)();
    uint16_t poly;
    uint16_t init;  // as listed in the catalogue (unreflected register)
    int reflected;
    uint16_t finalXor;
    uint16_t check;  // CRC of "123456789"
};

// Parameters and check values of the published catalogue of parametrised CRC algorithms
// (width=16 entries); each was re-derived with a bit-at-a-time model of the catalogue's
// parameters before being written here.
const NamedSet kNamedSets[] = {
    {"CRC-16/USB", &CCRC16::SetPolyParameter_USB, 0x8005, 0xFFFF, 1, 0xFFFF, 0xB4C8},
    {"CRC-16/MODBUS", &CCRC16::SetPolyParameter_MODBUS, 0x8005, 0xFFFF, 1, 0x0000, 0x4B37},
    {"CRC-16/DDS-110", &CCRC16::SetPolyParameter_DDS110, 0x8005, 0x800D, 0, 0x0000, 0x9ECF},
    {"CRC-16/CCITT-FALSE", &CCRC16::SetPolyParameter_CCITT_FALSE, 0x1021, 0xFFFF, 0, 0x0000,
     0x29B1},
    {"CRC-16/RIELLO", &CCRC16::SetPolyParameter_RIELLO, 0x1021, 0xB2AA, 1, 0x0000, 0x63D0},
    {"CRC-16/CDMA2000", &CCRC16::SetPolyParameter_CDMA2000, 0xC867, 0xFFFF, 0, 0x0000, 0x4C06},
    {"CRC-16/DECT-R", &CCRC16::SetPolyParameter_DECT_R, 0x0589, 0x0000, 0, 0x0001, 0x007E},
    {"CRC-16/DECT-X", &CCRC16::SetPolyParameter_DECT_X, 0x0589, 0x0000, 0, 0x0000, 0x007F},
    {"CRC-16/DNP", &CCRC16::SetPolyParameter_DNP, 0x3D65, 0x0000, 1, 0xFFFF, 0xEA82},
    {"CRC-16/EN-13757", &CCRC16::SetPolyParameter_EN_13757, 0x3D65, 0x0000, 0, 0xFFFF, 0xC2B7},
    {"CRC-16/T10-DIF", &CCRC16::SetPolyParameter_T10_DIF, 0x8BB7, 0x0000, 0, 0x0000, 0xD0DB},
    {"CRC-16/TELEDISK", &CCRC16::SetPolyParameter_TELEDISK, 0xA097, 0x0000, 0, 0x0000, 0x0FB3},
};

std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed) {
    std::mt19937 engine(seed);
    std::vector<uint8_t> bytes(count);
    for (auto& b : bytes) b = static_cast<uint8_t>(engine());
    return bytes;
}

TEST(CCRC16, NamedSetsGiveCatalogueCheckValues) {
    for (const auto& set : kNamedSets) {
        CCRC16 crc;
        (crc.*set.select)();
        crc.AppendData(kCheckText, 9);
        EXPECT_EQ(crc.GetResult(), set.check) << set.name;
    }
}

TEST(CCRC16, FreeParametersMatchNamedSets) {
    for (const auto& set : kNamedSets) {
        CCRC16 crc;
        // Reflected sets take the catalogue's initial value bit-reversed.
        crc.SetPolyParameter(set.poly, set.init, set.reflected ? 0 : 1, set.reflected,
                             set.finalXor);
        crc.AppendData(kCheckText, 9);
        EXPECT_EQ(crc.GetResult(), set.check) << set.name;
    }
}

TEST(CCRC16, CalculateWithOwnTableMatchesNamedSets) {
    for (const auto& set : kNamedSets) {
        uint16_t table[256];
        InitCRC16Table(set.poly, set.reflected, table);
        EXPECT_EQ(CalculateCRC16(table, set.init, set.reflected ? 0 : 1, set.reflected,
                                 set.finalXor, kCheckText, 9),
                  set.check)
            << set.name;
    }
}

TEST(CCRC16, InitAsIsTakesTheRegisterValueUnreversed) {
    // RIELLO's register starts at the reversed catalogue value 0xB2AA, i.e. 0x554D as is.
    CCRC16 crc;
    crc.SetPolyParameter(0x1021, 0x554D, 1, 1, 0);
    crc.AppendData(kCheckText, 9);
    EXPECT_EQ(crc.GetResult(), 0x63D0);
}

TEST(CCRC16, TablesHoldThePolynomialAtIndexOne) {
    uint16_t direct[256];
    InitCRC16Table(0x1021, 0, direct);
    EXPECT_EQ(direct[0], 0x0000);
    EXPECT_EQ(direct[1], 0x1021);
    EXPECT_EQ(direct[255], 0x1EF0);
    uint16_t reflected[256];
    InitCRC16Table(0x8005, 1, reflected);
    EXPECT_EQ(reflected[1], 0xC0C1);
    EXPECT_EQ(reflected[128], 0xA001);  // the reversed polynomial
}

TEST(CCRC16, ConstructorSelectsModbus) {
    CCRC16 crc;
    crc.AppendData(kCheckText, 9);
    EXPECT_EQ(crc.GetResult(), 0x4B37);
}

TEST(CCRC16, PiecewiseFeedingEqualsOneCallAndTheBytewiseCalculation) {
    const std::vector<uint8_t> data = RandomBytes(1000, 16);
    for (const auto& set : kNamedSets) {
        uint16_t table[256];
        InitCRC16Table(set.poly, set.reflected, table);
        const uint16_t bytewise =
            CalculateCRC16(table, set.init, set.reflected ? 0 : 1, set.reflected, set.finalXor,
                           data.data(), static_cast<uint32_t>(data.size()));
        CCRC16 whole;
        (whole.*set.select)();
        whole.AppendData(data.data(), static_cast<int>(data.size()));
        EXPECT_EQ(whole.GetResult(), bytewise) << set.name;
        for (size_t chunk : {1u, 3u, 7u, 8u, 9u, 64u, 333u}) {
            CCRC16 pieces;
            (pieces.*set.select)();
            for (size_t at = 0; at < data.size(); at += chunk) {
                const size_t n = std::min(chunk, data.size() - at);
                pieces.AppendData(data.data() + at, static_cast<int>(n));
            }
            EXPECT_EQ(pieces.GetResult(), bytewise) << set.name << " chunk " << chunk;
        }
    }
}

TEST(CCRC16, GetResultLeavesTheRegisterAndResetRestartsIt) {
    CCRC16 crc;
    crc.SetPolyParameter_CCITT_FALSE();
    crc.AppendData("1234", 4);
    const uint16_t first = crc.GetResult();
    EXPECT_EQ(crc.GetResult(), first);
    crc.AppendData("56789", 5);
    EXPECT_EQ(crc.GetResult(), 0x29B1);
    crc.Reset();
    EXPECT_EQ(crc.GetResult(), 0xFFFF);  // the initial register, final XOR 0
    crc.AppendData(kCheckText, 9);
    EXPECT_EQ(crc.GetResult(), 0x29B1);
}

TEST(CCRC16, EmptyOrNullInputChangesNothing) {
    CCRC16 crc;
    crc.SetPolyParameter_USB();
    const uint16_t before = crc.GetResult();
    crc.AppendData(kCheckText, 0);
    crc.AppendData(kCheckText, -5);
    crc.AppendData(nullptr, 9);
    EXPECT_EQ(crc.GetResult(), before);
}

TEST(CalculateCRC16, NullTableGivesZero) {
    EXPECT_EQ(CalculateCRC16(nullptr, 0xFFFF, 1, 0, 0xFFFF, kCheckText, 9), 0);
}

TEST(CalculateCRC16, NoDataGivesInitXorFinal) {
    uint16_t table[256];
    InitCRC16Table(0x1021, 0, table);
    EXPECT_EQ(CalculateCRC16(table, 0x1234, 1, 0, 0x00FF, nullptr, 9), 0x12CB);
    EXPECT_EQ(CalculateCRC16(table, 0x1234, 1, 0, 0x00FF, kCheckText, 0), 0x12CB);
}

}  // namespace
