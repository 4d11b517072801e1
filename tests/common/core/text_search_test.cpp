#include "core/text_search.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(KmpSearch, FailureTableOfAPattern) {
    std::vector<int> table(7);
    ASSERT_EQ(CreateKMPPatternA("abababc", -1, table.data()), 7);
    EXPECT_EQ(table, (std::vector<int>{0, 0, 1, 2, 3, 4, 0}));
    ASSERT_EQ(CreateKMPPatternNoCaseA("aAbA", -1, table.data()), 4);
    EXPECT_EQ(std::vector<int>(table.begin(), table.begin() + 4), (std::vector<int>{0, 1, 0, 1}));
    EXPECT_EQ(CreateKMPPatternA("", -1, table.data()), 0);
    EXPECT_EQ(CreateKMPPatternW(u"ab", -1, nullptr), 0);
}

TEST(KmpSearch, FindsTheFirstOccurrence) {
    struct Case {
        const char* buffer;
        const char* pattern;
        int exact;
        int noCase;
    } cases[] = {
        {"abababcab", "ababc", 2, 2},
        {"xxAbAbCx", "ababc", -1, 2},
        {"short", "longer text", -1, -1},
        {"aaaa", "aa", 0, 0},
        {"abc", "", 0, 0},
        {"abc", "abd", -1, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BufFindPatternA(c.buffer, -1, c.pattern, -1, nullptr), c.exact) << c.buffer;
        EXPECT_EQ(BufFindPatternNoCaseA(c.buffer, -1, c.pattern, -1, nullptr), c.noCase)
            << c.buffer;
    }
    std::vector<int> table(3);
    CreateKMPPatternW(u"\u9ED1\u4F53x", -1, table.data());
    EXPECT_EQ(BufFindPatternW(u"ab\u9ED1\u4F53x", -1, u"\u9ED1\u4F53x", -1, table.data()), 2);
    EXPECT_EQ(BufFindPatternNoCaseW(u"..XY", -1, u"xy", -1, nullptr), 2);
    EXPECT_EQ(BufFindPatternA("abcabc", 4, "bc", -1, nullptr), 1);
    EXPECT_EQ(BufFindPatternA("abcabc", 2, "bc", -1, nullptr), -1);
    EXPECT_EQ(BufFindPatternA(nullptr, 3, "a", -1, nullptr), -1);
}

TEST(MemFind, FindsSequencesAndCharactersWithinTheLength) {
    const char buffer[] = {'a', '\0', 'b', 'c', 'b', 'c'};
    EXPECT_EQ(MemFindBufA(buffer, 6, "bc", 2), buffer + 2);
    EXPECT_EQ(MemFindBufA(buffer, 3, "bc", 2), nullptr);
    EXPECT_EQ(MemFindBufA(buffer, 6, "\0b", 2), buffer + 1);
    EXPECT_EQ(MemFindChrA(buffer, 6, 'c'), buffer + 3);
    EXPECT_EQ(MemFindChrA(buffer, 3, 'c'), nullptr);
    const char16_t wide[] = u"xyzy";
    EXPECT_EQ(MemFindBufW(wide, 4, u"zy", 2), wide + 2);
    EXPECT_EQ(MemFindChrW(wide, 4, u'y'), wide + 1);
    EXPECT_EQ(MemFindBufA(buffer, 6, "", 0), nullptr);
}

TEST(StrMaxSameLength, BestAgreementOverAllShifts) {
    struct Case {
        const char* a;
        const char* b;
        int ignoreCase;
        int expected;
    } cases[] = {
        {"abcd", "xbcx", 0, 2}, {"abcd", "cd", 0, 2},      {"abcd", "ABCD", 0, 0},
        {"abcd", "ABCD", 1, 4}, {"hello", "yellow", 0, 4}, {"", "abc", 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StrMaxSameLengthA(c.a, c.b, c.ignoreCase), c.expected) << c.a << "/" << c.b;
        EXPECT_EQ(StrMaxSameLengthA(c.b, c.a, c.ignoreCase), c.expected) << c.b << "/" << c.a;
    }
    EXPECT_EQ(StrMaxSameLengthW(u"\u00E9t\u00E9", u"\u00C9T\u00C9", 1), 1);  // only t folds
    EXPECT_EQ(StrMaxSameLengthA(nullptr, "a", 0), 0);
}

}  // namespace
