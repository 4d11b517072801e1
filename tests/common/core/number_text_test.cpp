#include "core/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "core/base_string.h"
#include "core/value_text.h"
#include "support/comma_locale.h"

namespace {

TEST(NumberText, SuitableDecimalCount) {
    struct Case {
        double value;
        int maximum;
        int expected;
    } cases[] = {
        {2.0, 3, 0},
        {2.5, 3, 1},
        {3.14159, 3, 3},
        {1.004, 2, 0},
        {0.25, 4, 2},
        {-0.25, 4, 2},
        {0.1, 10, 1},
        {1.006, 2, 2},
        {5e9 + 0.5, 4, 1},
        {1e15, 6, 0},
        {3.14159, 0, 0},
        {3.14159, -2, 0},
        {std::numeric_limits<double>::quiet_NaN(), 5, 0},
        {std::numeric_limits<double>::infinity(), 5, 0},
        {7.0, 400, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GetSuitableDecimalFormatCount(c.value, c.maximum), c.expected)
            << c.value << " max " << c.maximum;
    }
}

TEST(NumberText, DisplayFormatIsPercentDotNF) {
    CBaseStringW wide;
    GetDoubleSuitableDisplayFormatW(0.25, 4, &wide);
    EXPECT_EQ(std::u16string(wide.GetString()), u"%.2f");
    CBaseStringA narrow("%.9F");
    GetDoubleSuitableDisplayFormatA(2.0, 10, &narrow);
    EXPECT_STREQ(narrow.GetString(), "%.0f");
}

TEST(NumberText, ValuesAreReadInTheirTypeWidth) {
    const uint8_t byte = 0xFE;
    const int16_t shortValue = -2;
    const uint32_t u32 = 0xFFFFFFFFu;
    const int64_t i64 = INT64_MIN;
    const uint64_t u64 = UINT64_MAX;
    const float f = 1.25f;
    const double d = -2.5;
    struct Case {
        const char* format;
        int type;
        const void* value;
        const char* expected;
    } cases[] = {
        {"%d", kValueTypeUInt8, &byte, "254"},
        {"%d", kValueTypeInt8, &byte, "-2"},
        {"%d", kValueTypeInt16, &shortValue, "-2"},
        {"%u", kValueTypeUInt16, &shortValue, "65534"},
        {"%u", kValueTypeUInt32, &u32, "4294967295"},
        {"0x%08X", kValueTypeUInt32B, &u32, "0xFFFFFFFF"},
        {"%d", kValueTypeInt32, &u32, "-1"},
        {"%lld", kValueTypeInt64, &i64, "-9223372036854775808"},
        {"%llu", kValueTypeUInt64, &u64, "18446744073709551615"},
        {"%I64u", kValueTypeUInt64, &u64, "18446744073709551615"},
        {"%.2f", kValueTypeFloat, &f, "1.25"},
        {"%.1f", kValueTypeDouble, &d, "-2.5"},
        {"%d", kValueTypeDouble, &d, "-2"},
        {"%.1f", kValueTypeUInt64, &u64, "18446744073709551616.0"},
        {"[%5d%%]", kValueTypeInt32, &u32, "[   -1%]"},
    };
    for (const auto& c : cases) {
        CBaseStringA out("x=");
        DigtalValueToStringA(&out, c.format, c.type, c.value);
        EXPECT_EQ(std::string(out.GetString()), std::string("x=") + c.expected) << c.format;
    }
    CBaseStringW wide;
    DigtalValueToStringW(&wide, u"%.3f", kValueTypeDouble, &d);
    EXPECT_EQ(std::u16string(wide.GetString()), u"-2.500");
}

TEST(NumberText, UnusableFormatsAndTypesAppendNothing) {
    const int32_t value = 5;
    for (const char* format : {"%s", "%p", "%d %d", "none", "%n", "%*d", "%Lf"}) {
        CBaseStringA out("keep");
        DigtalValueToStringA(&out, format, kValueTypeInt32, &value);
        EXPECT_STREQ(out.GetString(), "keep") << format;
    }
    CBaseStringA out("keep");
    DigtalValueToStringA(&out, "%d", 11, &value);
    DigtalValueToStringA(&out, "%d", -1, &value);
    DigtalValueToStringA(&out, "%d", kValueTypeInt32, nullptr);
    EXPECT_STREQ(out.GetString(), "keep");
}

TEST(NumberText, ArraysAndGroupsOfValues) {
    const int16_t values[] = {1, -2, 3, 4, 5, 6};
    CBaseStringA out;
    AppendDigitalArrayValueA(&out, "%d", kValueTypeInt16, values, 4, ", ");
    EXPECT_STREQ(out.GetString(), "1, -2, 3, 4");

    CBaseStringA groups;
    EXPECT_EQ(
        AppendDigitalGroupArrayValueA(&groups, "%d", kValueTypeInt16, values, 2, 2, 3, ";", ","),
        2);
    EXPECT_STREQ(groups.GetString(), "1,-2;4,5");
    CBaseStringW wide;
    EXPECT_EQ(
        AppendDigitalGroupArrayValueW(&wide, u"%d", kValueTypeInt16, values, 3, 2, 0, u"|", u" "),
        3);
    EXPECT_EQ(std::u16string(wide.GetString()), u"1 -2|3 4|5 6");
    CBaseStringW array;
    AppendDigitalArrayValueW(&array, u"%x", kValueTypeInt16, values + 2, 2, nullptr);
    EXPECT_EQ(std::u16string(array.GetString()), u"34");
    EXPECT_EQ(
        AppendDigitalGroupArrayValueA(&groups, "%s", kValueTypeInt16, values, 2, 2, 2, ";", ","),
        0);
}

TEST(NumberText, ParsesListsIntoPackedArrays) {
    int16_t values[5] = {9, 9, 9, 9, 9};
    EXPECT_EQ(ParseDigitalArrayValueA("1,-2,,0x10,7", -1, kValueTypeInt16, values, 4, ",", 1, 1),
              4);
    EXPECT_EQ(values[0], 1);
    EXPECT_EQ(values[1], -2);
    EXPECT_EQ(values[2], 16);
    EXPECT_EQ(values[3], 7);
    EXPECT_EQ(values[4], 9);

    double reals[3] = {};
    EXPECT_EQ(ParseDigitalArrayValueW(u"1.5 ;2.25", -1, kValueTypeDouble, reals, 3, u";", 1, 0), 2);
    EXPECT_DOUBLE_EQ(reals[0], 1.5);
    EXPECT_DOUBLE_EQ(reals[1], 2.25);

    uint8_t empties[3] = {7, 7, 7};
    EXPECT_EQ(ParseDigitalArrayValueA("1,,3", -1, kValueTypeUInt8, empties, 3, ",", 1, 0), 3);
    EXPECT_EQ(empties[1], 0);  // an empty part reads as 0
    EXPECT_EQ(ParseDigitalArrayValueA("1,2", -1, 11, empties, 3, ",", 1, 0), 0);
}

TEST(NumberText, ParsesGroupsIntoRows) {
    int32_t table[3][2] = {{-1, -1}, {-1, -1}, {-1, -1}};
    EXPECT_EQ(ParseDigitalGroupArrayValueA("1,2;3;4,5,6;7,8", -1, kValueTypeInt32, table, 3, 2, ";",
                                           1, ",", 1, 1),
              3);
    EXPECT_EQ(table[0][0], 1);
    EXPECT_EQ(table[0][1], 2);
    EXPECT_EQ(table[1][0], 3);
    EXPECT_EQ(table[1][1], -1);  // the group lacked a second value
    EXPECT_EQ(table[2][0], 4);
    EXPECT_EQ(table[2][1], 5);

    uint64_t wide[2][2] = {};
    EXPECT_EQ(ParseDigitalGroupArrayValueW(u"18446744073709551615 1|0xFFFFFFFFFFFFFFFF", -1,
                                           kValueTypeUInt64, wide, 2, 2, u"|", 1, u" ", 1, 1),
              2);
    EXPECT_EQ(wide[1][0], UINT64_MAX);
    EXPECT_EQ(wide[0][1], 1u);
}

TEST(NumberText, DecimalCommaLocaleChangesNothing) {
    ScopedCommaLocale locale;
    if (!locale.Available()) GTEST_SKIP() << locale.Reason();
    const double value = 3.25;
    CBaseStringA out;
    DigtalValueToStringA(&out, "%.2f", kValueTypeDouble, &value);
    EXPECT_STREQ(out.GetString(), "3.25");
    double parsed[2] = {};
    EXPECT_EQ(ParseDigitalArrayValueA("1.5;2.75", -1, kValueTypeDouble, parsed, 2, ";", 1, 1), 2);
    EXPECT_DOUBLE_EQ(parsed[0], 1.5);
    EXPECT_DOUBLE_EQ(parsed[1], 2.75);
}

}  // namespace
