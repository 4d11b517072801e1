// The plain text functions beside the strings: bounded character search, case-blind substring
// search, digit and letter tests, in-place case changes.
#include "core/base_string_functions.h"

#include <gtest/gtest.h>

#include <string>

#include "common/core/base_string_test_support.h"

namespace {

// Offset of a found pointer in its text, or -1 for null.
template <typename Char>
long Offset(const Char* text, const Char* found) {
    return found == nullptr ? -1 : static_cast<long>(found - text);
}

TEST(BaseStringFunctions, StrnchrSearchesTheFirstCountCharacters) {
    const struct {
        const char* text;
        int count;
        char ch;
        long expected;
    } cases[] = {
        {"abcabc", 6, 'c', 2},  {"abcabc", 2, 'c', -1}, {"abcabc", 3, 'c', 2},
        {"abcabc", 0, 'a', -1}, {"abcabc", -1, 'c', 2}, {"abc", 10, 'z', -1},
        {"abc", 10, '\0', -1},  // the terminator ends the search
        {"", 5, 'a', -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Offset(c.text, strnchr(c.text, c.count, c.ch)), c.expected)
            << c.text << " " << c.count << " " << c.ch;
        const std::u16string wide = L<char16_t>(c.text);
        EXPECT_EQ(Offset(wide.c_str(), wcsnchr(wide.c_str(), c.count, char16_t(c.ch))), c.expected)
            << c.text << " " << c.count << " " << c.ch;
    }
    // Stops at the terminator even when the count reaches beyond it.
    const char stale[] = {'a', '\0', 'x', '\0'};
    EXPECT_EQ(strnchr(stale, 4, 'x'), nullptr);
    EXPECT_EQ(strnchr(static_cast<const char*>(nullptr), 5, 'a'), nullptr);
    EXPECT_EQ(wcsnchr(static_cast<const char16_t*>(nullptr), 5, u'a'), nullptr);

    char writable[] = "key=value";
    char* equals = strnchr(writable, -1, '=');
    ASSERT_NE(equals, nullptr);
    *equals = ':';
    EXPECT_STREQ(writable, "key:value");
}

TEST(BaseStringFunctions, StristrIgnoresTheCaseOfLatinLettersOnly) {
    const struct {
        const char* text;
        const char* search;
        long expected;
    } cases[] = {
        {"Hello World", "WORLD", 6},
        {"Hello World", "o w", 4},
        {"Hello", "hello", 0},
        {"Hello", "", 0},  // an empty search text matches at the start
        {"", "", -1},      // but not in an empty text
        {"", "a", -1},
        {"abc", "abcd", -1},
        {"abc", "x", -1},
        {"a[b", "A{", -1},  // '[' and '{' differ only in bit 5 but are not letters
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Offset(c.text, stristr(c.text, c.search)), c.expected)
            << c.text << " / " << c.search;
        const std::u16string wide = L<char16_t>(c.text);
        EXPECT_EQ(Offset(wide.c_str(), wcsistr(wide.c_str(), L<char16_t>(c.search).c_str())),
                  c.expected)
            << c.text << " / " << c.search;
    }
    EXPECT_EQ(stristr(static_cast<const char*>(nullptr), "a"), nullptr);
    EXPECT_EQ(stristr("a", nullptr), nullptr);
    EXPECT_EQ(wcsistr(u"\u00E9t\u00E9", u"\u00C9T"), nullptr);
    EXPECT_NE(wcsistr(u"\u00E9t\u00E9", u"\u00E9T"), nullptr);
}

TEST(BaseStringFunctions, StrnistrSearchesWithinTheCount) {
    const struct {
        const char* text;
        int count;
        const char* search;
        int searchLength;
        long expected;
    } cases[] = {
        {"abcDEF", 6, "def", -1, 3},  {"abcDEF", 5, "def", -1, -1}, {"abcDEF", -1, "def", -1, 3},
        {"abcDEF", 2, "abc", -1, -1},  // count below the search length
        {"abcDEF", 6, "cdx", 2, 2},    // the search text's length is taken as given
        {"abcDEF", 0, "", 0, -1},     {"abcDEF", 3, "", -1, 0},     {"ab", 50, "B", -1, 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Offset(c.text, strnistr(c.text, c.count, c.search, c.searchLength)), c.expected)
            << c.text << " " << c.count << " / " << c.search;
        const std::u16string wide = L<char16_t>(c.text);
        EXPECT_EQ(Offset(wide.c_str(), wcsnistr(wide.c_str(), c.count,
                                                L<char16_t>(c.search).c_str(), c.searchLength)),
                  c.expected)
            << c.text << " " << c.count << " / " << c.search;
    }
    EXPECT_EQ(strnistr(static_cast<const char*>(nullptr), 3, "a", 1), nullptr);
    EXPECT_EQ(wcsnistr(u"abc", 3, nullptr, 1), nullptr);
}

TEST(BaseStringFunctions, TestsDigitAndLetterTexts) {
    const struct {
        const char* text;
        int digit;
        int alpha;
    } cases[] = {
        {"", 1, 1},    {"0123456789", 1, 0}, {"AbCz", 0, 1},
        {"12a", 0, 0}, {"/:@[`{", 0, 0},     {" 1", 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsDigitStringA(c.text), c.digit) << c.text;
        EXPECT_EQ(IsAlphaStringA(c.text), c.alpha) << c.text;
        const std::u16string wide = L<char16_t>(c.text);
        EXPECT_EQ(IsDigitStringW(wide.c_str()), c.digit) << c.text;
        EXPECT_EQ(IsAlphaStringW(wide.c_str()), c.alpha) << c.text;
    }
    EXPECT_EQ(IsDigitStringA(nullptr), 0);
    EXPECT_EQ(IsAlphaStringW(nullptr), 0);
    EXPECT_EQ(IsDigitStringW(u"\uFF11"), 0);  // a full-width digit is not 0-9
    EXPECT_EQ(IsAlphaStringA("\xC3\xA9"), 0);
}

TEST(BaseStringFunctions, ChangesCaseInPlace) {
    char narrow[] = "Mixed Case 09 \xC3\xA9!";
    ToUpperStringA(narrow);
    EXPECT_STREQ(narrow, "MIXED CASE 09 \xC3\xA9!");
    ToLowerStringA(narrow);
    EXPECT_STREQ(narrow, "mixed case 09 \xC3\xA9!");

    std::u16string wide = u"Mixed \u00E9\u00C9\u9ED1";
    ToUpperStringW(wide.data());
    EXPECT_EQ(wide, u"MIXED \u00E9\u00C9\u9ED1");
    ToLowerStringW(wide.data());
    EXPECT_EQ(wide, u"mixed \u00E9\u00C9\u9ED1");

    ToUpperStringA(nullptr);
    ToLowerStringW(nullptr);
}

}  // namespace
