// Formatting, conversions between the widths, Replace and RemoveCharList of CBaseStringA and
// CBaseStringW.
#include <gtest/gtest.h>

#include <cstdarg>
#include <string>

#include "common/core/base_string_test_support.h"
#include "core/base_string.h"

namespace {

// "a", EURO SIGN (3 UTF-8 bytes), MUSICAL SYMBOL G CLEF (4 UTF-8 bytes, a surrogate pair),
// CJK "黑" (3 bytes), "é" (2 bytes).
const char kUtf8[] = "a\xE2\x82\xAC\xF0\x9D\x84\x9E\xE9\xBB\x91\xC3\xA9";
const char16_t kUtf16[] = u"a\u20AC\U0001D11E\u9ED1\u00E9";

// Formats through the va_list form, so that a narrow format may carry the platform's own
// conversions (%ls, %S with char16_t arguments) that the compiler's printf check does not know.
void FormatNarrowV(CBaseStringA& s, const char* format, ...) {
    va_list args;
    va_start(args, format);
    s.FormatV(format, args);
    va_end(args);
}

TEST(BaseStringConvert, WideTextRoundTripsThroughUtf8WithSurrogatePairs) {
    const CBaseStringW wide(kUtf8);
    ASSERT_EQ(Text(wide), std::u16string(kUtf16));
    EXPECT_EQ(wide.GetLength(), 6);  // the G clef takes two code units
    EXPECT_EQ(wide.GetString()[2], u'\xD834');
    EXPECT_EQ(wide.GetString()[3], u'\xDD1E');

    const CBaseStringA narrow(wide);
    EXPECT_EQ(Text(narrow), std::string(kUtf8));
    EXPECT_EQ(narrow.GetLength(), 13);

    CBaseStringA appended("<");
    appended.Append(kUtf16);
    appended.Append(u'>');
    EXPECT_EQ(Text(appended), std::string("<") + kUtf8 + ">");

    CBaseStringW fromNarrowString(narrow);
    EXPECT_EQ(fromNarrowString.Equal(&narrow), 1);
    EXPECT_EQ(narrow.Equal(&fromNarrowString), 1);
    EXPECT_EQ(narrow.StartWith(u"a\u20AC"), 1);
    EXPECT_EQ(fromNarrowString.StartWith("a\xE2\x82\xAC"), 1);
}

TEST(BaseStringConvert, TextThatCannotBeConvertedCountsAsEmpty) {
    const char* const invalidUtf8[] = {
        "\xC3\x28",          // a lead byte without its continuation
        "\x80",              // a lone continuation byte
        "\xC0\xAF",          // overlong
        "\xED\xA0\x80",      // a surrogate encoded in UTF-8
        "ok\xF0\x9D\x84",    // a truncated four-byte sequence
        "\xF4\x90\x80\x80",  // beyond U+10FFFF
    };
    for (const char* text : invalidUtf8) {
        CBaseStringW set(u"before");
        set.Set(text);
        EXPECT_EQ(set.GetLength(), 0) << text;
        EXPECT_EQ(set.GetCapacity(), 0) << text;

        CBaseStringW appended(u"before");
        appended.Append(text);
        EXPECT_EQ(Text(appended), u"before") << text;

        EXPECT_EQ(CBaseStringW(text).GetLength(), 0) << text;
        // Unconvertible text equals nothing, not even an empty string.
        EXPECT_EQ(CBaseStringW().Equal(text), 0) << text;
        EXPECT_EQ(CBaseStringW().StartWith(text), 0) << text;
    }

    const char16_t loneHigh[] = {u'a', 0xD800, u'b', 0};
    const char16_t loneLow[] = {0xDC00, 0};
    for (const char16_t* text : {loneHigh, loneLow}) {
        CBaseStringA set("before");
        set.Set(text);
        EXPECT_EQ(set.GetLength(), 0);

        CBaseStringA appended("before");
        appended.Append(text);
        EXPECT_EQ(Text(appended), "before");
        EXPECT_EQ(CBaseStringA().Equal(text), 0);
    }

    CBaseStringA single("x");
    single.Append(char16_t(0xD800));
    EXPECT_EQ(Text(single), "x");
    CBaseStringW singleWide(u"x");
    singleWide.Append('\xE9');  // one byte of a two-byte sequence
    EXPECT_EQ(Text(singleWide), u"x");
    singleWide.Set('\xE9');
    EXPECT_EQ(singleWide.GetLength(), 0);
}

TEST(BaseStringConvert, SingleCharactersOfTheOtherWidthConvert) {
    CBaseStringA narrow;
    narrow.Set(u'\u00E9');
    EXPECT_EQ(Text(narrow), "\xC3\xA9");
    narrow.Append(u'\u9ED1');
    EXPECT_EQ(Text(narrow), "\xC3\xA9\xE9\xBB\x91");
    EXPECT_EQ(CBaseStringA("\xC3\xA9").Equal(u'\u00E9'), 1);
    EXPECT_EQ(CBaseStringA("\xE9\xBB\x91x").StartWith(u'\u9ED1'), 1);

    CBaseStringW wide;
    wide.Set('q');
    wide.Append('!');
    EXPECT_EQ(Text(wide), u"q!");
    EXPECT_EQ(CBaseStringW(u"q").Equal('Q', 1), 1);
}

TEST(BaseStringConvert, CaseBlindComparisonFoldsOnlyLatinLetters) {
    const CBaseStringW accented(u"\u00E9t\u00E9");
    EXPECT_EQ(accented.Equal(u"\u00C9T\u00C9", -1, 1), 0);
    EXPECT_EQ(accented.Equal(u"\u00E9T\u00E9", -1, 1), 1);
    EXPECT_EQ(accented.StartWith(u"\u00C9", -1, 1), 0);
    EXPECT_EQ(accented.Find(u"\u00C9T", 0, 1), -1);

    // A character outside A-Z/a-z matches no letter even when its low byte would.
    EXPECT_EQ(CBaseStringW(u"a").Equal(char16_t(0x0141), 1), 0);
    EXPECT_EQ(CBaseStringW(u"\u0161").Equal(u"A", -1, 1), 0);

    CBaseStringW mixed(u"abc\u00E9\u9ED1\u00C9xyz");
    mixed.ToUpper();
    EXPECT_EQ(Text(mixed), u"ABC\u00E9\u9ED1\u00C9XYZ");
    mixed.ToLower();
    EXPECT_EQ(Text(mixed), u"abc\u00E9\u9ED1\u00C9xyz");

    CBaseStringA narrow("abc\xC3\xA9\xC3\x89");
    narrow.ToUpper();
    EXPECT_EQ(Text(narrow), "ABC\xC3\xA9\xC3\x89");
}

TEST(BaseStringFormat, LongResultsAreNeverTruncated) {
    const std::string longNarrow(5000, 'n');
    const std::u16string longWide(5000, u'w');

    CBaseStringA narrow;
    narrow.Format("%s", longNarrow.c_str());
    EXPECT_EQ(Text(narrow), longNarrow);
    narrow.Format("%5000d", 7);
    EXPECT_EQ(narrow.GetLength(), 5000);
    EXPECT_EQ(narrow.GetString()[4999], '7');

    CBaseStringW wide;
    wide.Format(u"%s", longWide.c_str());
    EXPECT_EQ(Text(wide), longWide);
    wide.Format(u"%-5000d|", 7);
    EXPECT_EQ(wide.GetLength(), 5001);
    EXPECT_EQ(wide.GetString()[0], u'7');
    EXPECT_EQ(wide.GetString()[5000], u'|');

    CBaseStringW wideFromNarrowFormat;
    wideFromNarrowFormat.Format("%s", longNarrow.c_str());
    EXPECT_EQ(Text(wideFromNarrowFormat), std::u16string(5000, u'n'));

    CBaseStringA appended("head:");
    appended.AppendFormat("%s", longNarrow.c_str());
    EXPECT_EQ(Text(appended), "head:" + longNarrow);
}

TEST(BaseStringFormat, StringConversionsFollowTheFormatWidth) {
    CBaseStringW wide;
    wide.Format(u"<%s|%ls>", u"wide", u"also wide");
    EXPECT_EQ(Text(wide), u"<wide|also wide>");
    wide.Format(u"<%S|%hs|%d>", "narrow", "h-narrow", 42);
    EXPECT_EQ(Text(wide), u"<narrow|h-narrow|42>");
    wide.Format(u"%s", u"\U0001D11E");
    EXPECT_EQ(Text(wide), u"\U0001D11E");

    CBaseStringA narrow;
    narrow.Format("<%s|%d|%.2f>", "narrow", -3, 2.5);
    EXPECT_EQ(Text(narrow), "<narrow|-3|2.50>");
    FormatNarrowV(narrow, "<%ls|%S>", u"\u9ED1", u"w");
    EXPECT_EQ(Text(narrow), "<\xE9\xBB\x91|w>");
}

TEST(BaseStringFormat, FormatsInTheOtherWidthAndConverts) {
    CBaseStringW wide;
    wide.Format("%d-%s", 5, "\xC3\xA9");
    EXPECT_EQ(Text(wide), u"5-\u00E9");
    wide.AppendFormat("+%x", 255);
    EXPECT_EQ(Text(wide), u"5-\u00E9+ff");

    CBaseStringA narrow;
    narrow.Format(u"%s=%d", u"\u043A\u043B\u044E\u0447", 3);
    EXPECT_EQ(Text(narrow), "\xD0\xBA\xD0\xBB\xD1\x8E\xD1\x87=3");
    narrow.AppendFormat(u"%S", "!");
    EXPECT_EQ(Text(narrow), "\xD0\xBA\xD0\xBB\xD1\x8E\xD1\x87=3!");

    // A narrow result that is not UTF-8 converts to nothing.
    wide.Format("%s", "\xFF");
    EXPECT_EQ(wide.GetLength(), 0);
    wide.Set(u"keep");
    wide.AppendFormat("%s", "\xFF");
    EXPECT_EQ(Text(wide), u"keep");
}

TEST(BaseStringFormat, AppendFormatAppendsAndFormatReplaces) {
    CBaseStringA s("x=");
    s.AppendFormat("%d", 1);
    s.AppendFormat("%s", "");
    s.AppendFormat("/%03u", 7u);
    EXPECT_EQ(Text(s), "x=1/007");
    s.Format("%s", "");
    EXPECT_EQ(s.GetLength(), 0);
    EXPECT_EQ(s.GetCapacity(), 0);
    s.Format("%.3f", 0.125);
    EXPECT_EQ(Text(s), "0.125");
}

TEST(BaseStringFormat, FaultyFormatKeepsWhatWasFormattedAndLogs) {
    LogCapture errors({.level = kDbgLevelError});
    CBaseStringA s;
    FormatNarrowV(s, "ab%n", nullptr);
    EXPECT_EQ(Text(s), "ab");
    ASSERT_EQ(errors.Texts().size(), 1u);
    EXPECT_NE(errors.Texts()[0].find("CBaseStringA::Format"), std::string::npos);
}

struct ReplaceCase {
    const char* in;
    const char* search;
    const char* replacement;
    int ignoreCase;
    const char* expected;
};

const ReplaceCase kReplaceCases[] = {
    {"a.b.c", ".", "::", 0, "a::b::c"},
    {"aaa", "aa", "b", 0, "ba"},   // occurrences do not overlap
    {"aa", "a", "aa", 0, "aaaa"},  // a replacement is never rescanned
    {"ABab", "ab", "x", 1, "xx"},
    {"ABab", "ab", "x", 0, "ABx"},
    {"a-b-", "-", "", 0, "ab"},  // an empty replacement deletes
    {"abc", "x", "y", 0, "abc"},
    {"abc", "", "y", 0, "abc"},  // an empty search text changes nothing
    {"abc", "abcd", "y", 0, "abc"},
    {"abc", "abc", "", 0, ""},
    {"V1.2v", "v", "", 1, "1.2"},
};

TEST(BaseStringEdit, ReplacesEveryOccurrenceInBothWidths) {
    for (const ReplaceCase& c : kReplaceCases) {
        CBaseStringA narrow(c.in);
        narrow.Replace(c.search, -1, c.replacement, -1, c.ignoreCase);
        EXPECT_EQ(Text(narrow), c.expected) << c.in << " / " << c.search;

        CBaseStringW wide(c.in);
        wide.Replace(L<char16_t>(c.search).c_str(), -1, L<char16_t>(c.replacement).c_str(), -1,
                     c.ignoreCase);
        EXPECT_EQ(Text(wide), L<char16_t>(c.expected)) << c.in << " / " << c.search;

        // The other width's texts are converted first.
        CBaseStringW wideByNarrow(c.in);
        wideByNarrow.Replace(c.search, -1, c.replacement, -1, c.ignoreCase);
        EXPECT_EQ(Text(wideByNarrow), L<char16_t>(c.expected)) << c.in << " / " << c.search;
    }
}

TEST(BaseStringEdit, ReplaceChangesNothingForNullTextsOrNoBuffer) {
    CBaseStringA s("abc");
    s.Replace(static_cast<const char*>(nullptr), 1, "x", 1, 0);
    s.Replace("b", 1, static_cast<const char*>(nullptr), 1, 0);
    EXPECT_EQ(Text(s), "abc");

    CBaseStringA empty;
    empty.Replace("", -1, "x", -1, 0);
    EXPECT_EQ(empty.GetCapacity(), 0);

    // Replacement texts that cannot be converted change nothing (never a deletion).
    const char16_t lone[] = {0xD800, 0};
    s.Replace(u"b", -1, lone, -1, 0);
    s.Replace(lone, -1, u"x", -1, 0);
    EXPECT_EQ(Text(s), "abc");
    CBaseStringW w(u"abc");
    w.Replace("b", -1, "\xC3", -1, 0);
    EXPECT_EQ(Text(w), u"abc");
}

TEST(BaseStringEdit, ReplaceAcceptsTextsFromItsOwnBuffer) {
    CBaseStringA s("abc");
    s.Replace("b", 1, s.GetString(), 3, 0);
    EXPECT_EQ(Text(s), "aabcc");
    CBaseStringW w(u"xyx");
    w.Replace(w.GetString() + 2, 1, w.GetString(), 2, 0);
    EXPECT_EQ(Text(w), u"xyyxy");
}

TEST(BaseStringEdit, RemovesListedCharacters) {
    const struct {
        const char* in;
        const char* list;
        int ignoreCase;
        const char* expected;
    } cases[] = {
        {"V1.2v", "v", 1, "1.2"}, {"V1.2v", "v", 0, "V1.2"}, {"a-b_c", "-_", 0, "abc"},
        {"abc", "xyz", 0, "abc"}, {"abc", "", 0, "abc"},     {"abc", "CBA", 1, ""},
        {"1.[2", "{", 1, "1.[2"},
    };
    for (const auto& c : cases) {
        CBaseStringA narrow(c.in);
        narrow.RemoveCharList(c.list, -1, c.ignoreCase);
        EXPECT_EQ(Text(narrow), c.expected) << c.in << " - " << c.list;

        CBaseStringW wide(c.in);
        wide.RemoveCharList(L<char16_t>(c.list).c_str(), -1, c.ignoreCase);
        EXPECT_EQ(Text(wide), L<char16_t>(c.expected)) << c.in << " - " << c.list;

        CBaseStringW wideByNarrow(c.in);
        wideByNarrow.RemoveCharList(c.list, -1, c.ignoreCase);
        EXPECT_EQ(Text(wideByNarrow), L<char16_t>(c.expected)) << c.in << " - " << c.list;
    }

    CBaseStringA s("a.b");
    s.RemoveCharList(static_cast<const char*>(nullptr), 3, 0);
    s.RemoveCharList(".x", 1, 0);
    EXPECT_EQ(Text(s), "ab");
    CBaseStringA none;
    none.RemoveCharList("a", -1, 0);
    EXPECT_EQ(none.GetCapacity(), 0);

    CBaseStringW cjk(u"\u9ED1-\u4F53");
    cjk.RemoveCharList(u"\u4F53", -1, 1);
    EXPECT_EQ(Text(cjk), u"\u9ED1-");
}

}  // namespace
