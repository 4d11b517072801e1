#include "core/hex_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "core/base_string.h"
#include "core/dbg_output.h"
#include "support/log_capture.h"

namespace {

TEST(HexText, CharAndStringTests) {
    for (char c : std::string("0123456789abcdefABCDEF")) EXPECT_EQ(IsHexCharA(c), 1) << c;
    for (char c : std::string("gG xX-")) EXPECT_EQ(IsHexCharA(c), 0) << c;
    EXPECT_EQ(IsHexCharW(u'F'), 1);
    EXPECT_EQ(IsHexCharW(u'\uFF21'), 0);  // full-width A

    struct Case {
        const char* text;
        int expected;
    } cases[] = {{"1F", 1}, {"0x1f", 1}, {"0X", 0}, {"", 0}, {"12G", 0}, {"0x0x1", 0}};
    for (const auto& c : cases) EXPECT_EQ(IsHexStringA(c.text, -1), c.expected) << c.text;
    EXPECT_EQ(IsHexStringW(u"0xBEEF", -1), 1);
    EXPECT_EQ(IsHexStringA("12zz", 2), 1);
}

TEST(HexText, BytesToText) {
    char two[3];
    ByteToHexA(0xAB, two, 1);
    EXPECT_STREQ(two, "AB");
    char16_t wide[3];
    ByteToHexW(0x0F, wide, 0);
    EXPECT_EQ(std::u16string(wide), u"0f");

    const uint8_t data[] = {0x00, 0x1A, 0xFF, 0x7E, 0x80};
    CBaseStringA text("old content");
    BufferToHexStringA(data, 5, &text, 1, 1);
    EXPECT_STREQ(text.GetString(), "00 1A FF 7E 80");
    BufferToHexStringA(data, 5, &text, 0, 0);
    EXPECT_STREQ(text.GetString(), "001aff7e80");
    FormatBufferToHexStringA(data, 5, &text, 2, 1);
    EXPECT_STREQ(text.GetString(), "00 1A\r\nFF 7E\r\n80");
    CBaseStringW wideText;
    BufferToHexStringW(data, 2, &wideText, 1, 0);
    EXPECT_EQ(std::u16string(wideText.GetString()), u"00 1a");
    BufferToHexStringA(nullptr, 5, &text, 1, 1);
    EXPECT_EQ(text.GetLength(), 0);
}

TEST(HexText, LowerCaseResultReplacesUpperCaseContent) {
    const uint8_t data[] = {0xAB};
    CBaseStringA text;
    BufferToHexStringA(data, 1, &text, 0, 1);
    BufferToHexStringA(data, 1, &text, 0, 0);
    EXPECT_STREQ(text.GetString(), "ab");
}

TEST(HexText, TextToNumbers) {
    struct Case {
        const char* text;
        uint64_t as64;
        uint32_t as32;
        uint8_t as8;
    } cases[] = {
        {"1F", 0x1F, 0x1F, 0x1F},
        {"0x1f", 0x1F, 0x1F, 0x1F},
        {"0XfFz9", 0xFF, 0xFF, 0xFF},
        {"123456789ABCDEF0", 0x123456789ABCDEF0ull, 0x9ABCDEF0u, 0xF0},
        {"", 0, 0, 0},
        {"zz", 0, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HexStringToUint64A(c.text, -1), c.as64) << c.text;
        EXPECT_EQ(HexStringToUint32A(c.text, -1), c.as32) << c.text;
        EXPECT_EQ(HexStringToByteA(c.text, -1), c.as8) << c.text;
    }
    EXPECT_EQ(HexStringToUint32W(u"0x0x1F", -1), 0u);  // a second prefix is no digit here
    EXPECT_EQ(HexStringToUint32W(u"ABCD", 2), 0xABu);
    EXPECT_EQ(HexStringToUint64W(u"FFFFFFFFFFFFFFFF", -1), UINT64_MAX);
}

TEST(HexText, TextToBuffersRoundTrips) {
    const uint8_t data[] = {0x00, 0x1A, 0xFF, 0x7E};
    CBaseStringA text;
    FormatBufferToHexStringA(data, 4, &text, 2, 0);
    uint8_t back[8] = {};
    EXPECT_EQ(HexStringToBufferA(text.GetString(), -1, back, sizeof back), 4);
    EXPECT_EQ(std::vector<uint8_t>(back, back + 4), std::vector<uint8_t>(data, data + 4));

    EXPECT_EQ(HexStringToBufferA("0x010203", -1, back, 2), 2);  // stops when full
    EXPECT_EQ(HexStringToBufferA("0102x3", -1, back, 8), 2);    // stops at another character
    EXPECT_EQ(HexStringToBufferA("010", -1, back, 8), 1);       // a lone last digit is left
    EXPECT_EQ(HexStringToBufferW(u"ff ee", -1, back, 8), 2);
    EXPECT_EQ(back[1], 0xEE);
    EXPECT_EQ(HexStringToBufferA("0102", -1, nullptr, 8), 0);
}

TEST(HexText, TextToStrings) {
    CBaseStringA narrow;
    EXPECT_EQ(HexStringToStringA("48 69", -1, &narrow), 2);
    EXPECT_STREQ(narrow.GetString(), "Hi");
    CBaseStringW wide;
    EXPECT_EQ(HexStringToStringW(u"E9BB91", -1, &wide), 3);
    EXPECT_EQ(std::u16string(wide.GetString()), u"\u9ED1");
    EXPECT_EQ(HexStringToStringW(u"FF", -1, &wide), 1);  // not UTF-8
    EXPECT_EQ(wide.GetLength(), 0);

    char buffer[4];
    EXPECT_EQ(StringFromHexA("41424344", -1, buffer, sizeof buffer), 3);
    EXPECT_STREQ(buffer, "ABC");
    EXPECT_EQ(StringFromHexA("41", -1, buffer, 0), 0);
}

TEST(HexText, BinaryText) {
    EXPECT_EQ(BinStringToByteA("10000001", -1), 0x81);
    EXPECT_EQ(BinStringToByteA("110000001", -1), 0x81);  // the ninth digit pushes out
    EXPECT_EQ(BinStringToByteW(u"1012", -1), 5);         // stops at '2'
    EXPECT_EQ(BinStringToUINT64A("1111", 2), 3u);
    EXPECT_EQ(BinStringToUINT64W(std::u16string(64, u'1').c_str(), -1), UINT64_MAX);
}

TEST(HexText, BitFieldsRoundTripAcrossBytes) {
    struct Case {
        int first;
        int last;
        uint64_t value;
    } cases[] = {
        {0, 0, 1}, {3, 10, 0xA5}, {7, 8, 2}, {0, 63, 0x0123456789ABCDEFull}, {20, 31, 0xFFF}};
    for (const auto& c : cases) {
        uint8_t buffer[9] = {};
        buffer[8] = 0x5A;
        ASSERT_EQ(SetBufferValueByBit(buffer, sizeof buffer, c.first, c.last, c.value), 1);
        EXPECT_EQ(GetBufferValueByBit(buffer, sizeof buffer, c.first, c.last), c.value)
            << c.first << ".." << c.last;
        EXPECT_EQ(buffer[8], 0x5A);
    }
    uint8_t bytes[2] = {0xFF, 0xFF};
    SetBufferValueByBit(bytes, 2, 4, 11, 0);
    EXPECT_EQ(bytes[0], 0x0F);  // least significant bit first within each byte
    EXPECT_EQ(bytes[1], 0xF0);
}

TEST(HexText, BitFieldsOutsideTheBufferAreRefused) {
    uint8_t buffer[2] = {0x12, 0x34};
    struct Case {
        int first;
        int last;
    } cases[] = {{-1, 3}, {5, 4}, {0, 16}, {0, 64}, {15, 15 + 64}};
    for (const auto& c : cases) {
        EXPECT_EQ(SetBufferValueByBit(buffer, 2, c.first, c.last, 0), 0);
        EXPECT_EQ(GetBufferValueByBit(buffer, 2, c.first, c.last), 0u);
    }
    EXPECT_EQ(buffer[0], 0x12);
    EXPECT_EQ(buffer[1], 0x34);
    EXPECT_EQ(SetBufferValueByBit(nullptr, 2, 0, 1, 1), 0);
    EXPECT_EQ(GetBufferValueByBit(buffer, 2, 15, 15), 0u);
}

TEST(HexText, PrintHexBufferWritesOneLinePerRow) {
    const uint8_t data[] = {1, 2, 3, 4, 5};
    // The library's threads log too (for example when they start): own lines only.
    LogCapture log({.threads = LogThreads::Own, .level = kDbgLevelInfo});
    PrintHexBuffer(data, 5, 2);
    const std::vector<std::string> lines = log.Texts();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_NE(lines[0].find("PrintHexBuffer: addr="), std::string::npos);
    EXPECT_NE(lines[1].find("00000000-00000001: 01 02\r\n"), std::string::npos) << lines[1];
    EXPECT_NE(lines[3].find("00000004-00000004: 05\r\n"), std::string::npos) << lines[3];
}

}  // namespace
