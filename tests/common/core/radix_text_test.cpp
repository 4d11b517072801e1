#include "core/radix_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(RadixText, LongToCharWritesExactlyTheDigits) {
    struct Case {
        uint64_t value;
        int digits;
        int radix;
        const char* expected;
    } cases[] = {
        {255, 4, 16, "00FF"}, {5, 8, 2, "00000101"}, {0x12345, 3, 16, "345"},
        {35, 1, 36, "Z"},     {0, 0, 10, ""},
    };
    for (const auto& c : cases) {
        char out[16] = "garbage";
        ConvertLongToCharA(c.value, out, c.digits, c.radix);
        EXPECT_STREQ(out, c.expected);
    }
    char16_t wide[8];
    ConvertLongToCharW(1295, wide, 3, 36);
    EXPECT_EQ(std::u16string(wide), u"0ZZ");
    char untouched[4] = "abc";
    ConvertLongToCharA(5, untouched, 2, 37);
    EXPECT_STREQ(untouched, "abc");
}

TEST(RadixText, Radix36RoundTrips) {
    for (uint64_t value : {uint64_t{0}, uint64_t{35}, uint64_t{36}, uint64_t{1295},
                           uint64_t{123456789}, UINT64_MAX}) {
        char text[14];
        ASSERT_GT(ConvertNumberToRadix36StringA(value, text, sizeof text), 0) << value;
        EXPECT_EQ(ConvertRadix36StringToNumberA(text, -1), value) << text;
        char16_t wide[14];
        ASSERT_GT(ConvertNumberToRadix36StringW(value, wide, 14), 0);
        EXPECT_EQ(ConvertRadix36StringToNumberW(wide, -1), value);
    }
    char text[14];
    ConvertNumberToRadix36StringA(UINT64_MAX, text, sizeof text);
    EXPECT_STREQ(text, "3W5E11264SGSF");
    EXPECT_EQ(ConvertNumberToRadix36StringA(UINT64_MAX, text, 13), 0);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(ConvertRadix36StringToNumberA("zz", -1), 1295u);
    EXPECT_EQ(ConvertRadix36StringToNumberA("1-1", -1), 1297u);  // '-' counts as 0
}

TEST(RadixText, ChineseNumerals) {
    struct Case {
        int64_t value;
        const char16_t* expected;
    } cases[] = {
        {0, u"零"},
        {7, u"七"},
        {10, u"十"},
        {15, u"十五"},
        {20, u"二十"},
        {110, u"一百一十"},
        {1001, u"一千零一"},
        {1010, u"一千零一十"},
        {10010, u"一万零一十"},
        {100000, u"十万"},
        {123456789, u"一亿二千三百四十五万六千七百八十九"},
        {100000001, u"一亿零一"},
        {100010000, u"一亿零一万"},
        {-305, u"负三百零五"},
        {100000000, u"一亿"},
        {10000000000000000, u"一亿亿"},
        {10000000000000001, u"一亿亿零一"},
        {10000000100000000, u"一亿亿零一亿"},
        {INT64_MIN, u"负九百二十二亿亿三千三百七十二万零三百六十八亿五千四百七十七万五千八百零八"},
    };
    for (const auto& c : cases) {
        char16_t out[64];
        const int length = ConvertNumberToChineseNumberW(c.value, out, 64);
        EXPECT_EQ(std::u16string(out), c.expected) << c.value;
        EXPECT_EQ(length, static_cast<int>(std::u16string(c.expected).size()));
    }
    char narrow[16];
    EXPECT_EQ(ConvertNumberToChineseNumberA(15, narrow, sizeof narrow), 6);
    EXPECT_STREQ(narrow, "\xE5\x8D\x81\xE4\xBA\x94");
    EXPECT_EQ(ConvertNumberToChineseNumberA(15, narrow, 6), 0);
    EXPECT_STREQ(narrow, "");
}

}  // namespace
