#include "core/text_format.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "support/comma_locale.h"

namespace {

std::string Narrow(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string out;
    EXPECT_TRUE(FormatTextV(out, format, args)) << format;
    va_end(args);
    return out;
}

std::u16string Wide(const char16_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::u16string out;
    EXPECT_TRUE(FormatTextV(out, format, args));
    va_end(args);
    return out;
}

TEST(TextFormat, NumbersFollowPrintfInBothWidths) {
    EXPECT_EQ(Narrow("%d|%5d|%-5d|%05d|%+d", -3, 42, 42, 42, 7), "-3|   42|42   |00042|+7");
    EXPECT_EQ(Narrow("%u %x %X %#o", 4000000000u, 255u, 255u, 8u), "4000000000 ff FF 010");
    EXPECT_EQ(Narrow("%llu %lld %zu", 18446744073709551615ull, -9223372036854775807ll - 1,
                     size_t{12}),
              "18446744073709551615 -9223372036854775808 12");
    EXPECT_EQ(Narrow("%I64u %I64d %I32d", 5000000000ull, -5000000000ll, 17), "5000000000 -5000000000 17");
    EXPECT_EQ(Narrow("%hhd %hu", 300, 70000), "44 4464");
    EXPECT_EQ(Narrow("%.3f %e %g %*.*f", 3.14159, 1500.0, 0.5, 8, 2, 2.5), "3.142 1.500000e+03 0.5     2.50");
    EXPECT_EQ(Wide(u"%d-%05.1f-%x", 12, 3.25, 0xabu), u"12-003.2-ab");
    EXPECT_EQ(Narrow("100%%"), "100%");
}

TEST(TextFormat, StringArgumentsTakeThePlatformMeaningsInEachWidth) {
    const char* narrow = "n\xC3\xA9";       // "né"
    const char16_t* wide = u"w\u9ED1";      // "w黑"
    // Wide format: %s and %ls wide, %hs and %S narrow.
    EXPECT_EQ(Wide(u"[%s][%ls][%hs][%S]", wide, wide, narrow, narrow), u"[w\u9ED1][w\u9ED1][n\u00E9][n\u00E9]");
    // Narrow format: %s narrow, %ls and %S wide.
    EXPECT_EQ(Narrow("[%s][%ls][%S]", narrow, wide, wide), "[n\xC3\xA9][w\xE9\xBB\x91][w\xE9\xBB\x91]");
    EXPECT_EQ(Wide(u"%c%hc%C", u'\u9ED1', 'a', 'b'), u"\u9ED1ab");
    EXPECT_EQ(Narrow("%c%lc", 'x', u'\u00E9'), "x\xC3\xA9");
    EXPECT_EQ(Narrow("[%s]", static_cast<const char*>(nullptr)), "[(null)]");
}

TEST(TextFormat, StringWidthAndPrecisionCountCharactersWithoutSplittingThem) {
    EXPECT_EQ(Narrow("[%5s][%-5s][%.2s]", "ab", "ab", "abcdef"), "[   ab][ab   ][ab]");
    EXPECT_EQ(Wide(u"[%4s][%.1s]", u"\U0001F600", u"\U0001F600z"), u"[  \U0001F600][]");
    EXPECT_EQ(Narrow("[%.1S]", u"\u00E9x"), "[]");  // a 2-byte letter does not fit in 1 byte
    EXPECT_EQ(Narrow("[%.2S]", u"\u00E9x"), "[\xC3\xA9]");
}

TEST(TextFormat, LongResultsAreNeverTruncated) {
    const std::string big(5000, 'x');
    EXPECT_EQ(Narrow("<%s>", big.c_str()), "<" + big + ">");
    const std::u16string bigWide(5000, u'y');
    EXPECT_EQ(Wide(u"%s", bigWide.c_str()), bigWide);
    EXPECT_EQ(Wide(u"%hs", big.c_str()).size(), 5000u);
}

TEST(TextFormat, InvalidFormatsAndArgumentsFailWithoutCrashing) {
    // Formats held in variables: the compiler would rightly refuse these as literals.
    const char* trailingPercent = "%";
    const char* storesCount = "ab%n";
    const char* wideString = "%ls";
    std::string out;
    EXPECT_FALSE(FormatText(out, trailingPercent));
    int count = 0;
    EXPECT_FALSE(FormatText(out, storesCount, &count));
    EXPECT_EQ(out, "ab");
    EXPECT_FALSE(FormatText(out, wideString, u"\xD800"));  // unpaired surrogate cannot become UTF-8
    std::u16string wide;
    EXPECT_FALSE(FormatText(wide, u"%hs", "\xFF"));  // invalid UTF-8 cannot become UTF-16
    EXPECT_FALSE(FormatTextV(out, nullptr, nullptr));
}

TEST(TextFormat, DecimalPointIgnoresTheProcessLocale) {
    const ScopedCommaLocale commaLocale;
    if (!commaLocale.Available()) GTEST_SKIP() << commaLocale.Reason();
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    EXPECT_STREQ(probe, "1,5") << "the comma locale should be in force";
    EXPECT_EQ(Narrow("%.2f", 2.25), "2.25");
    EXPECT_EQ(Wide(u"%.1f", 0.5), u"0.5");
}

}  // namespace
