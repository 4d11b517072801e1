#include "serial/serial_dcb_string.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(SerialDCBToString, WritesByteSizeParityLetterAndStopBits) {
    struct Case {
        uint8_t byteSize;
        uint8_t parity;
        uint8_t stopBits;
        const char* text;
    };
    const Case cases[] = {
        {8, 0, 0, "8N1"}, {7, 2, 1, "7E1.5"},     {2, 9, 5, "4S2"}, {0, 1, 0, "4O1"},
        {3, 3, 2, "4M2"}, {4, 4, 0, "4S1"},       {5, 0, 2, "5N2"}, {6, 1, 1, "6O1.5"},
        {9, 0, 0, "8N1"}, {255, 255, 255, "8S2"},
    };
    for (const Case& test : cases) {
        CBaseStringA text("previous content");
        SerialDCBToString(test.byteSize, test.parity, test.stopBits, &text);
        EXPECT_STREQ(text.GetString(), test.text)
            << int(test.byteSize) << " " << int(test.parity) << " " << int(test.stopBits);
    }
    SerialDCBToString(8, 0, 0, nullptr);
}

TEST(SerialParseDCBString, ReadsTheTextOrKeepsTheDefaults) {
    struct Case {
        const char* text;
        int length;
        uint8_t byteSize;
        uint8_t parity;
        uint8_t stopBits;
    };
    const Case cases[] = {
        {"7O2", -1, 7, 1, 2},   {"8N1.5", -1, 8, 0, 1}, {"8N", -1, 8, 0, 0},
        {"7E", -1, 8, 0, 0},  // 2 characters or less: defaults
        {"", -1, 8, 0, 0},      {"7E1", -1, 7, 2, 0},   {"6m2", -1, 6, 3, 2},
        {"5s1", -1, 5, 4, 0},   {"4e1.5", -1, 4, 2, 1}, {"9X1", -1, 8, 0, 0},
        {"3O2", -1, 8, 1, 2},   {"8N1.", -1, 8, 0, 0},  // "1." is not "1.5"
        {"8N1.5", 4, 8, 0, 0},                          // the length cuts "1.5" to "1."
        {"7O2", 2, 8, 0, 0},                            // the length keeps the defaults
        {"7O2xyz", 3, 7, 1, 2}, {"8N2", 100, 8, 0, 2},  // the terminator ends a longer length
        {"8N3", -1, 8, 0, 0},
    };
    for (const Case& test : cases) {
        uint8_t byteSize = 99;
        uint8_t parity = 99;
        uint8_t stopBits = 99;
        SerialParseDCBString(test.text, test.length, &byteSize, &parity, &stopBits);
        EXPECT_EQ(byteSize, test.byteSize) << test.text << " / " << test.length;
        EXPECT_EQ(parity, test.parity) << test.text << " / " << test.length;
        EXPECT_EQ(stopBits, test.stopBits) << test.text << " / " << test.length;
    }
}

TEST(SerialParseDCBString, NullTextGivesDefaultsAndNullOutputsAreSkipped) {
    uint8_t byteSize = 1;
    uint8_t parity = 1;
    uint8_t stopBits = 1;
    SerialParseDCBString(nullptr, -1, &byteSize, &parity, &stopBits);
    EXPECT_EQ(byteSize, 8);
    EXPECT_EQ(parity, 0);
    EXPECT_EQ(stopBits, 0);
    SerialParseDCBString("7E2", -1, nullptr, &parity, nullptr);
    EXPECT_EQ(parity, 2);
}

TEST(SerialDCBString, TextRoundTripsEveryValidSetting) {
    for (uint8_t byteSize = 4; byteSize <= 8; ++byteSize) {
        for (uint8_t parity = 0; parity <= 4; ++parity) {
            for (uint8_t stopBits = 0; stopBits <= 2; ++stopBits) {
                CBaseStringA text;
                SerialDCBToString(byteSize, parity, stopBits, &text);
                uint8_t b = 0, p = 0, s = 0;
                SerialParseDCBString(text.GetString(), text.GetLength(), &b, &p, &s);
                EXPECT_EQ(b, byteSize) << text.GetString();
                EXPECT_EQ(p, parity) << text.GetString();
                EXPECT_EQ(s, stopBits) << text.GetString();
            }
        }
    }
}

}  // namespace
