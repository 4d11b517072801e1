// ctest-labels: unit
#include "controls/digital_value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

ValueLimit Limit(int type, double value, const char16_t* label, double tolerance = 0.0) {
    return ValueLimit{type, DigitalValueFromNumber(type, value), tolerance, label, {}};
}

TEST(DigitalValue, RawValuesRoundTripPerType) {
    struct Case {
        int type;
        double number;
        double back;
    } cases[] = {
        {Int32, -7, -7},
        {UInt32, 4000000000.0, 4000000000.0},
        {Int64, -9e15, -9e15},
        {UInt64, 1.8e19, 1.8e19},
        {Float, 0.5, 0.5},
        {Double, 3.14159, 3.14159},
        {Int32, 9.9, 9},  // integers truncate
        // out of the type's range: saturated, never an undefined conversion
        {Int32, 1e12, 2147483647.0},
        {Int32, -1e12, -2147483648.0},
        {UInt32, -5, 0},
        {UInt32, 1e12, 4294967295.0},
        {Int64, 1e30, 9.223372036854775807e18},
        {UInt64, -1, 0},
        {UInt64, 1e30, 1.8446744073709551615e19},
        {Int32, std::nan(""), 0},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(DigitalValueToNumber(c.type, DigitalValueFromNumber(c.type, c.number)),
                         c.back)
            << "type " << c.type;
    }
    EXPECT_EQ(DigitalValueToNumber(6, 12), 0.0);
}

TEST(DigitalValue, LimitMessagesUseLabelOperatorAndTypedFormat) {
    struct Case {
        ValueLimit limit;
        double x;
        bool lower;
        bool must;
        const char16_t* message;  // null: passes
    } cases[] = {
        {Limit(UInt32, 10, kMinValueLabel), 9, true, true, u"MinValue Must >= 10"},
        {Limit(UInt32, 10, kMinValueLabel), 9.6, true, true, nullptr},  // 9.6 >= 9.5
        {Limit(UInt32, 255, kMaxValueLabel), 256, false, true, u"MaxValue Must <= 255"},
        {Limit(UInt32, 255, kMaxValueLabel), 255.4, false, true, nullptr},
        {Limit(Int32, -5, kMinValueLabel), -6, true, false, u"MinValue Suggest >= -5"},
        {Limit(Int64, 100, kMaxValueLabel), 101, false, false, u"MaxValue Suggest <= 100"},
        {Limit(UInt64, 7, kMinValueLabel), 6, true, true, u"MinValue Must >= 7"},
        {Limit(Double, 0.25, kMinValueLabel, 0.001), 0.2, true, true, u"MinValue Must >= 0.25"},
        {Limit(Double, 0.25, kMinValueLabel, 0.1), 0.2, true, true, nullptr},  // within tolerance
        {Limit(Float, 2.5, kMaxValueLabel), 2.6, false, true, u"MaxValue Must <= 2.5"},
        {Limit(Double, 3.0, kMaxValueLabel), 3.5, false, true, u"MaxValue Must <= 3"},
    };
    for (const Case& c : cases) {
        std::vector<ValueLimit> list{c.limit};
        auto failure = CheckLimits(c.x, list, c.lower, c.must);
        if (c.message == nullptr) {
            EXPECT_FALSE(failure.has_value()) << c.x;
        } else {
            ASSERT_TRUE(failure.has_value()) << c.x;
            EXPECT_EQ(failure->message, c.message);
            EXPECT_EQ(failure->failed, &list[0]);
        }
    }
    EXPECT_FALSE(CheckLimits(-1e9, {}, true, true).has_value());
}

TEST(DigitalValue, FirstFailingEntryAndOwnFormatAndSentenceLabel) {
    std::vector<ValueLimit> list{Limit(Int32, 5, u"A"), Limit(Int32, 15, u"B")};
    list[1].format = u"%03d";
    auto failure = CheckLimits(10, list, true, false);
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->message, u"B Suggest >= 015");
}

TEST(DigitalValue, FindLimitComparesPerType) {
    std::vector<ValueLimit> list{Limit(Int32, 15, u"a"), Limit(Double, 2.5, u"b", 0.01),
                                 Limit(Float, 1.25, u"c", 0.01), Limit(Int64, 1LL << 40, u"d")};
    list.push_back(ValueLimit{9, 15, 0, u"unknown", {}});
    EXPECT_EQ(FindLimit(list, DigitalValueFromNumber(Int32, 15)), &list[0]);
    EXPECT_EQ(FindLimit(list, DigitalValueFromNumber(Double, 2.505)), &list[1]);
    EXPECT_EQ(FindLimit(list, DigitalValueFromNumber(Float, 1.255f)), &list[2]);
    EXPECT_EQ(FindLimit(list, DigitalValueFromNumber(Int64, double(1LL << 40))), &list[3]);
    EXPECT_EQ(FindLimit(list, DigitalValueFromNumber(Int32, 16)), nullptr);
}

TEST(DigitalValue, LeadingDecimalReadsTheLongestNumber) {
    struct Case {
        const char16_t* text;
        double value;
        size_t consumed;
    } cases[] = {
        {u"12abc", 12, 2}, {u"  -1.5x", -1.5, 6}, {u"1e3", 1000, 3},     {u"1e", 1, 1},
        {u".5", 0.5, 2},   {u"7.", 7, 2},         {u"abc", 0, 0},        {u"", 0, 0},
        {u"-", 0, 0},      {u"+3", 3, 2},         {u"2.5e-1!", 0.25, 6},
    };
    for (const Case& c : cases) {
        size_t consumed = 99;
        EXPECT_DOUBLE_EQ(ParseLeadingDecimal(c.text, &consumed), c.value)
            << std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text));
        EXPECT_EQ(consumed, c.consumed);
    }
}

TEST(DigitalValue, WholeEntryMustBeANumber) {
    struct Case {
        const char16_t* text;
        bool hex;
        bool number;
        double value;
    } cases[] = {
        {u"12", false, true, 12},  {u"-0.5", false, true, -0.5}, {u"1.", false, true, 1},
        {u".5", false, true, 0.5}, {u"12abc", false, false, 0},  {u"-", false, false, 0},
        {u".", false, false, 0},   {u"", false, false, 0},       {u" 12", false, false, 0},
        {u"1e3", false, false, 0}, {u"1A", true, true, 26},      {u"-ff", true, true, -255},
        {u"10", true, true, 10},   {u"1G", true, false, 0},      {u"+5", false, false, 0},
    };
    for (const Case& c : cases) {
        auto number = ReadEntryNumber(c.text, c.hex);
        ASSERT_EQ(number.has_value(), c.number)
            << std::string(c.text, c.text + std::char_traits<char16_t>::length(c.text));
        if (c.number) {
            EXPECT_DOUBLE_EQ(*number, c.value);
        }
    }
}

TEST(DigitalValue, DisplayDoubleDropsTrailingZeros) {
    struct Case {
        double value;
        const char16_t* text;
    } cases[] = {
        {2.50, u"2.5"},  {3.0, u"3"},   {1.234, u"1.23"}, {-0.5, u"-0.5"},
        {0.05, u"0.05"}, {100, u"100"}, {1.004, u"1"},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatDisplayDouble(c.value), c.text) << c.value;
}

DigitalLimits ParamLimits() {
    DigitalLimits limits;
    limits.mustMin.push_back(Limit(UInt32, 10, kMinValueLabel));
    limits.mustMax.push_back(Limit(UInt32, 255, kMaxValueLabel));
    return limits;
}

TEST(DigitalValue, EntryCheckRefusesHardLimitsAndReplacesTheText) {
    struct Case {
        const char16_t* text;
        bool valid;
        const char16_t* refusal;
        int id;
        const char16_t* replacement;
    } cases[] = {
        {u"9", false, u"MinValue Must >= 10", kBalloonIdMustMin, u"10"},
        {u"256", false, u"MaxValue Must <= 255", kBalloonIdMustMax, u"255"},
        {u"9.6", true, nullptr, 0, u""},
        {u"100", true, nullptr, 0, u""},
        {u"", false, u"MinValue Must >= 10", kBalloonIdMustMin, u"10"},  // empty reads as 0
        {u"12abc", false, u"Invalid number '12abc'", kBalloonIdMustMin, u""},
        {u"-", false, u"Invalid number '-'", kBalloonIdMustMin, u""},
    };
    for (const Case& c : cases) {
        EntryCheck check = CheckEntry(c.text, false, ParamLimits());
        EXPECT_EQ(check.valid, c.valid);
        EXPECT_FALSE(check.advisory.has_value());
        if (c.refusal) {
            ASSERT_TRUE(check.refusal.has_value());
            EXPECT_EQ(check.refusal->title, kDataInvalidTitle);
            EXPECT_EQ(check.refusal->text, c.refusal);
            EXPECT_EQ(check.refusal->icon, kBalloonIconError);
            EXPECT_EQ(check.refusal->id, c.id);
        } else {
            EXPECT_FALSE(check.refusal.has_value());
        }
        EXPECT_EQ(check.replacement, c.replacement);
    }
}

TEST(DigitalValue, AdvisoryLimitWarnsButKeepsTheEntryValid) {
    DigitalLimits limits = ParamLimits();
    limits.suggestMin.push_back(Limit(UInt32, 15, u"低帧频下较短的无人上报时间可能会影响检测性能"));
    limits.suggestMax.push_back(Limit(UInt32, 200, kMaxValueLabel));
    EntryCheck low = CheckEntry(u"12", false, limits);
    EXPECT_TRUE(low.valid);
    ASSERT_TRUE(low.advisory.has_value());
    EXPECT_EQ(low.advisory->text, u"低帧频下较短的无人上报时间可能会影响检测性能 Suggest >= 15");
    EXPECT_EQ(low.advisory->icon, kBalloonIconWarning);
    EXPECT_EQ(low.advisory->id, kBalloonIdSuggestMin);
    EntryCheck high = CheckEntry(u"240", false, limits);
    EXPECT_TRUE(high.valid);
    ASSERT_TRUE(high.advisory.has_value());
    EXPECT_EQ(high.advisory->id, kBalloonIdSuggestMax);
    // An advisory and a hard failure together: both are reported.
    EntryCheck both = CheckEntry(u"5", false, limits);
    EXPECT_FALSE(both.valid);
    EXPECT_TRUE(both.advisory.has_value());
    ASSERT_TRUE(both.refusal.has_value());
    EXPECT_EQ(both.refusal->text, u"MinValue Must >= 10");
}

}  // namespace
