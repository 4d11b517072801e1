#include "core/value_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

namespace {

constexpr uint64_t kSentinel = 0xA5A5A5A5A5A5A5A5u;

// The stored bytes read back as an unsigned number of the type's width; bytes beyond the width
// must keep the sentinel.
uint64_t StoredA(const char* text, int length, int type) {
    uint64_t slot = kSentinel;
    DigtalStringToValueA(text, length, &slot, type);
    const int size = GetValueTypeSize(type);
    if (size < 8) {
        const uint64_t untouched = kSentinel >> (8 * size) << (8 * size);
        EXPECT_EQ(slot & ~((uint64_t{1} << (8 * size)) - 1), untouched) << text;
        return slot & ((uint64_t{1} << (8 * size)) - 1);
    }
    return slot;
}

struct IntegerCase {
    const char* text;
    int length;
    int type;
    uint64_t expected;
};

TEST(DigtalStringToValue, ReadsIntegersInTheTypesWidth) {
    const IntegerCase cases[] = {
        {"0x1F", -1, 2, 31},
        {"0x0x1F", -1, 2, 31},
        {"-12", -1, 3, 0xFFF4},  // -12 as 16 bits
        {"300", -1, 0, 44},      // 300 modulo 256
        {"12abc", -1, 5, 12},
        {"", -1, 2, 0},
        {nullptr, -1, 2, 0},
        {"abc", -1, 2, 0},
        {"  42", -1, 2, 42},
        {"+7", -1, 1, 7},
        {"-1", -1, 1, 0xFF},
        {"0XFF000000", -1, 6, 0xFF000000},
        {"0xff000000", -1, 6, 0xFF000000},
        {"0x108", -1, 0, 0x08},  // a byte keeps the low digits
        {"0x123456789", -1, 2, 0x23456789},
        {"4294967295", -1, 6, 0xFFFFFFFF},
        {"-1", -1, 6, 0xFFFFFFFF},
        {"4294967296", -1, 2, 0},
        {"1234", 2, 2, 12},  // the given length ends the text
        {"0x1F", 3, 2, 1},   // "0x1"
        {"12\0"
         "34",
         5, 2, 12},  // so does a terminator inside it
        {"65535", -1, 4, 0xFFFF},
    };
    for (const IntegerCase& c : cases) {
        EXPECT_EQ(StoredA(c.text, c.length, c.type), c.expected)
            << (c.text ? c.text : "(null)") << " type " << c.type;
    }
}

TEST(DigtalStringToValue, ReadsDecimalTextOfSixtyFourBitTypesInFull) {
    const IntegerCase cases[] = {
        {"12345678901", -1, 7, 12345678901u},
        {"-12345678901", -1, 8, static_cast<uint64_t>(int64_t{-12345678901})},
        {"18446744073709551615", -1, 8, UINT64_MAX},
        {"9223372036854775807", -1, 7, INT64_MAX},
        {"-9223372036854775808", -1, 7, static_cast<uint64_t>(INT64_MIN)},
        {"99999999999999999999999", -1, 7, UINT64_MAX},  // saturates, never wraps
        {"-99999999999999999999999", -1, 7, static_cast<uint64_t>(INT64_MIN)},
        {"0x123456789ABCDEF0", -1, 7, 0x123456789ABCDEF0u},
        {"0XFFFFFFFFFFFFFFFF", -1, 8, UINT64_MAX},
    };
    for (const IntegerCase& c : cases) {
        EXPECT_EQ(StoredA(c.text, c.length, c.type), c.expected) << c.text;
    }
}

TEST(DigtalStringToValue, CodesOutsideTheTableStoreNothing) {
    for (const int type : {11, 12, -1, 1000}) {
        uint64_t slot = kSentinel;
        DigtalStringToValueA("123", -1, &slot, type);
        EXPECT_EQ(slot, kSentinel) << type;
        DigtalStringToValueW(u"123", -1, &slot, type);
        EXPECT_EQ(slot, kSentinel) << type;
    }
    DigtalStringToValueA("1", -1, nullptr, 2);  // a null out is ignored
}

TEST(DigtalStringToValue, TypeSizesFollowTheTable) {
    const int sizes[] = {1, 1, 4, 2, 2, 4, 4, 8, 8, 4, 8};
    for (int type = 0; type <= kValueTypeLast; ++type)
        EXPECT_EQ(GetValueTypeSize(type), sizes[type]);
    EXPECT_EQ(GetValueTypeSize(11), 0);
    EXPECT_EQ(GetValueTypeSize(-1), 0);
}

struct FloatCase {
    const char* text;
    double expected;
};

TEST(DigtalStringToValue, ReadsFloatingPointWithCRules) {
    const FloatCase cases[] = {
        {"3.5", 3.5}, {" -2.5e3", -2500.0}, {"1,5", 1.0},    {"abc", 0.0},
        {"", 0.0},    {"0.1", 0.1},         {"+.25x", 0.25},
    };
    for (const FloatCase& c : cases) {
        double value = -99.0;
        DigtalStringToValueA(c.text, -1, &value, kValueTypeDouble);
        EXPECT_EQ(value, c.expected) << c.text;
        uint64_t slot = kSentinel;
        DigtalStringToValueA(c.text, -1, &slot, kValueTypeFloat);
        float single = 0;
        std::memcpy(&single, &slot, sizeof(single));
        EXPECT_EQ(single, static_cast<float>(c.expected)) << c.text;
        EXPECT_EQ(slot >> 32, kSentinel >> 32) << c.text;
    }
    float big = 0;
    DigtalStringToValueA("1e40", -1, &big, kValueTypeFloat);
    EXPECT_TRUE(std::isinf(big) && big > 0);
    DigtalStringToValueA("-1e40", -1, &big, kValueTypeFloat);
    EXPECT_TRUE(std::isinf(big) && big < 0);
    double partial = 0;
    DigtalStringToValueA("2.75", 3, &partial, kValueTypeDouble);
    EXPECT_EQ(partial, 2.7);
}

TEST(DigtalStringToValue, WideTextFollowsTheSameRules) {
    int32_t value = 0;
    DigtalStringToValueW(u"0x0x1F", -1, &value, 2);
    EXPECT_EQ(value, 31);
    int16_t small = 0;
    DigtalStringToValueW(u"-12", -1, &small, 3);
    EXPECT_EQ(small, -12);
    int64_t wide64 = 0;
    DigtalStringToValueW(u"12345678901", -1, &wide64, 7);
    EXPECT_EQ(wide64, 12345678901);
    DigtalStringToValueW(u"12\u0663", -1, &value, 2);  // a non-ASCII digit ends the number
    EXPECT_EQ(value, 12);
    double real = 0;
    DigtalStringToValueW(u"6.25\u00e9", -1, &real, 10);
    EXPECT_EQ(real, 6.25);
}

}  // namespace
