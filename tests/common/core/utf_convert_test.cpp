#include "core/utf_convert.h"

#include <gtest/gtest.h>

namespace {

struct RoundTripCase {
    const char* name;
    std::string utf8;
    std::u16string utf16;
};

TEST(UtfConvert, WellFormedTextRoundTrips) {
    const RoundTripCase cases[] = {
        {"empty", "", u""},
        {"ascii", "abc 123", u"abc 123"},
        {"two-byte", "\xC3\xA9t\xC3\xA9", u"\u00E9t\u00E9"},
        {"three-byte CJK", "\xE9\xBB\x91\xE4\xBD\x93", u"\u9ED1\u4F53"},
        {"four-byte surrogate pair", "\xF0\x9F\x98\x80!", u"\U0001F600!"},
        {"highest code point", "\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
        {"embedded nul", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
    };
    for (const auto& c : cases) {
        std::u16string wide;
        ASSERT_TRUE(Utf8ToUtf16(c.utf8, wide)) << c.name;
        EXPECT_EQ(wide, c.utf16) << c.name;
        std::string narrow;
        ASSERT_TRUE(Utf16ToUtf8(wide, narrow)) << c.name;
        EXPECT_EQ(narrow, c.utf8) << c.name;
    }
}

TEST(UtfConvert, MalformedUtf8IsRefusedWithEmptyOutput) {
    const std::pair<const char*, std::string> cases[] = {
        {"lone continuation", "a\x80"},
        {"truncated three-byte", "\xE9\xBB"},
        {"overlong slash", "\xC0\xAF"},
        {"overlong three-byte", "\xE0\x80\xAF"},
        {"encoded surrogate", "\xED\xA0\x80"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80"},
        {"invalid lead", "\xFF"},
    };
    for (const auto& [name, bytes] : cases) {
        std::u16string wide = u"stale";
        EXPECT_FALSE(Utf8ToUtf16(bytes, wide)) << name;
        EXPECT_TRUE(wide.empty()) << name;
    }
}

TEST(UtfConvert, UnpairedSurrogatesAreRefusedExactlyAndReplacedForDisplay) {
    const std::u16string cases[] = {u"\xD800", u"a\xDC00", std::u16string{0xD83D, u'x'}};
    for (const auto& text : cases) {
        std::string narrow = "stale";
        EXPECT_FALSE(Utf16ToUtf8(text, narrow));
        EXPECT_TRUE(narrow.empty());
        EXPECT_NE(Utf16ToUtf8Lossy(text).find("\xEF\xBF\xBD"), std::string::npos);
    }
    EXPECT_EQ(Utf8ToUtf16Lossy("a\xFF" "b"), u"a\uFFFDb");
}

TEST(UtfConvert, WideLengthCountsUnitsAndToleratesNull) {
    EXPECT_EQ(WideLength(nullptr), 0u);
    EXPECT_EQ(WideLength(u""), 0u);
    EXPECT_EQ(WideLength(u"\U0001F600a"), 3u);
}

}  // namespace
