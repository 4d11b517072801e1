#include "core/text_split.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/base_string.h"
#include "core/ptr_array_ctrl.h"
#include "core/ptr_list_ctrl.h"

namespace {

std::vector<std::string> Parts(CPtrCtrl& parts) {
    std::vector<std::string> out;
    for (int i = 0; i < parts.GetCount(); ++i) out.emplace_back(static_cast<char*>(parts.GetAt(i)));
    return out;
}

std::vector<std::u16string> WideParts(CPtrCtrl& parts) {
    std::vector<std::u16string> out;
    for (int i = 0; i < parts.GetCount(); ++i) {
        out.emplace_back(static_cast<char16_t*>(parts.GetAt(i)));
    }
    return out;
}

struct CharSplitCase {
    const char* text;
    const char* separators;
    int skipEmpty;
    int maxParts;
    std::vector<std::string> expected;
};

TEST(DevideStringByCharList, SplitsAsTheRulesSay) {
    const CharSplitCase cases[] = {
        {"a,,b", ",", 0, 0, {"a", "", "b"}},
        {"a,,b", ",", 1, 0, {"a", "b"}},
        {"a,b,c,d", ",", 0, 2, {"a", "b,c,d"}},
        {"a,b,c,d", ",", 0, 1, {"a,b,c,d"}},
        {"a,", ",", 0, 0, {"a"}},
        {",a", ",", 0, 0, {"", "a"}},
        {",a", ",", 1, 0, {"a"}},
        {"a;b c", "; ", 0, 0, {"a", "b", "c"}},
        {"a,,b,c", ",", 1, 2, {"a", "b,c"}},
        {"", ",", 0, 0, {}},
        {"abc", ",", 0, 0, {"abc"}},
    };
    for (const auto& c : cases) {
        CPtrArrayCtrl parts;
        char* block =
            DevideStringByCharListA(c.text, -1, c.separators, -1, c.skipEmpty, &parts, c.maxParts);
        ASSERT_NE(block, nullptr) << c.text;
        EXPECT_EQ(Parts(parts), c.expected)
            << c.text << " skip=" << c.skipEmpty << " max=" << c.maxParts;
        Internal_DelArrayA(block);
    }
}

TEST(DevideStringByCharList, WideTwinSplitsAlikeIntoAList) {
    CPtrListCtrl parts;
    const char16_t* text = u"\u9ED1,,\u4F53,x";
    char16_t* block = DevideStringByCharListW(text, -1, u",", 1, 0, &parts, 3);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(WideParts(parts), (std::vector<std::u16string>{u"\u9ED1", u"", u"\u4F53,x"}));
    Internal_DelArrayW(block);
}

TEST(DevideStringByCharList, LengthLimitsTheTextAndPartsFollowExistingEntries) {
    CPtrArrayCtrl parts;
    static char existing[] = "old";
    parts.AddData(existing, -1);
    char* block = DevideStringByCharListA("a,b,c", 3, ",", 1, 0, &parts, 2);
    EXPECT_EQ(Parts(parts), (std::vector<std::string>{"old", "a", "b"}));
    Internal_DelArrayA(block);
}

TEST(DevideStringByCharList, NullTextOrContainerGivesNull) {
    CPtrArrayCtrl parts;
    EXPECT_EQ(DevideStringByCharListA(nullptr, -1, ",", 1, 0, &parts, 0), nullptr);
    EXPECT_EQ(DevideStringByCharListA("a,b", -1, ",", 1, 0, nullptr, 0), nullptr);
    EXPECT_EQ(parts.GetCount(), 0);
}

TEST(DevideStringByStringList, SplitsAtEarliestAndLongestSeparator) {
    const char* separators[] = {"\r\n", "\n", "::", ":"};
    CPtrArrayCtrl parts;
    char* block = DevideStringByStringListA("a\r\nb\n\nc::d:e", -1, separators, 4, &parts);
    EXPECT_EQ(Parts(parts), (std::vector<std::string>{"a", "b", "c", "d", "e"}));
    Internal_DelArrayA(block);

    const char16_t* wideSeparators[] = {u"--"};
    CPtrArrayCtrl wideParts;
    char16_t* wideBlock =
        DevideStringByStringListW(u"--x----y-", -1, wideSeparators, 1, &wideParts);
    EXPECT_EQ(WideParts(wideParts), (std::vector<std::u16string>{u"x", u"y-"}));
    Internal_DelArrayW(wideBlock);
}

TEST(FindStringFromStringWithSeprator, WordMustBeDelimited) {
    struct Case {
        const char* text;
        const char* word;
        int ignoreCase;
        int expected;
    } cases[] = {
        {".bin;.hex", ".hex", 0, 1},
        {".bin;.hex", ".HEX", 0, 0},
        {".bin;.hex", ".HEX", 1, 1},
        {".binx;.hex", ".bin", 0, 0},
        {"ab;b", "b", 0, 1},
        {"ab;cb", "b", 0, 0},
        {"b", "b", 0, 1},
        {"", "b", 0, 0},
        {"a;b", "", 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FindStringFromStringWithSepratorA(c.text, -1, c.word, -1, ";", 1, c.ignoreCase),
                  c.expected)
            << c.text << " / " << c.word;
    }
    EXPECT_EQ(FindStringFromStringWithSepratorW(u"x y", -1, u"Y", -1, u" ", 1, 1), 1);
}

TEST(GetStringLines, CountsLineFeedsPlusOne) {
    EXPECT_EQ(GetStringLinesA("", -1), 1);
    EXPECT_EQ(GetStringLinesA("a\r\nb\nc", -1), 3);
    EXPECT_EQ(GetStringLinesA("a\nb\n", 2), 2);
    EXPECT_EQ(GetStringLinesW(u"a\n", -1), 2);
    EXPECT_EQ(GetStringLinesA(nullptr, -1), 0);
}

TEST(ConfigText, GetAttrValueFindsTheFirstPartStartingWithTheKey) {
    const char* separators[] = {";"};
    CBaseStringA value;
    EXPECT_EQ(GetAttrValueFromConfig("a=1;bb=2;b=3", separators, 1, "b=", &value), 1);
    EXPECT_STREQ(value.GetString(), "3");
    EXPECT_EQ(GetAttrValueFromConfig("a=1", separators, 1, "c=", &value), 0);
    EXPECT_STREQ(value.GetString(), "3");

    CPtrArrayCtrl lines;
    static char line1[] = "port=/dev/ttyUSB0";
    static char line2[] = "baud=115200";
    lines.AddData(line1, -1);
    lines.AddData(line2, -1);
    EXPECT_EQ(GetAttrValueFromConfigLineList(&lines, "baud=", &value), 1);
    EXPECT_STREQ(value.GetString(), "115200");
}

TEST(ConfigText, SetAttrValueReplacesOrAppends) {
    struct Case {
        const char* config;
        const char* key;
        const char* value;
        const char* expected;
    } cases[] = {
        {"a=1;b=2", "b=", "3", "a=1;b=3"},
        {"a=1;B=2;c=4", "b=", "3", "a=1;b=3;c=4"},
        {"a=1;xb=2", "b=", "3", "a=1;xb=2;b=3"},
        {"", "k=", "v", "k=v"},
        {"a=1", "a=", nullptr, "a="},
    };
    for (const auto& c : cases) {
        CBaseStringA config(c.config);
        SetAttrValueToConfig(&config, ";", c.key, c.value);
        EXPECT_STREQ(config.GetString(), c.expected) << c.config;
    }
}

TEST(ParseIntValues, ReadsCommaSeparatedIntegersUpToTheCount) {
    int values[4] = {};
    EXPECT_EQ(ParseIntValues(" 1, -2 ,+3,4", values, 4), 4);
    EXPECT_EQ(values[0], 1);
    EXPECT_EQ(values[1], -2);
    EXPECT_EQ(values[2], 3);
    EXPECT_EQ(values[3], 4);
    EXPECT_EQ(ParseIntValues("7,8,9", values, 2), 2);
    EXPECT_EQ(ParseIntValues("5,x,6", values, 4), 1);
    EXPECT_EQ(ParseIntValues("99999999999,-99999999999", values, 4), 2);
    EXPECT_EQ(values[0], INT32_MAX);
    EXPECT_EQ(values[1], INT32_MIN);
    EXPECT_EQ(ParseIntValues("", values, 4), 0);
}

}  // namespace
