// ctest-labels: slow
// Numbers are read and written with '.' whatever the process locale: a decimal comma locale
// changes nothing. When no such locale is installed, one is compiled with localedef.
#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "core/base_string.h"
#include "core/file_system.h"
#include "core/value_text.h"
#include "support/comma_locale.h"

namespace {

TEST(NumberTextLocale, DecimalCommaLocaleChangesNothing) {
    ScopedCommaLocale locale;
    if (!locale.Available()) GTEST_SKIP() << locale.Reason();
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");

    double value = 0;
    DigtalStringToValueA("2.5", -1, &value, kValueTypeDouble);
    EXPECT_EQ(value, 2.5);
    DigtalStringToValueA("1,5", -1, &value, kValueTypeDouble);
    EXPECT_EQ(value, 1.0);
    float single = 0;
    DigtalStringToValueW(u"-0.75", -1, &single, kValueTypeFloat);
    EXPECT_EQ(single, -0.75f);
    int32_t integer = 0;
    DigtalStringToValueA("1.234", -1, &integer, kValueTypeInt32);
    EXPECT_EQ(integer, 1);

    CBaseStringA text;
    FormatFileSizeA(1536, &text);
    EXPECT_STREQ(text.GetString(), "1.50 K");
    CBaseStringW wide;
    FormatFileSizeW(3u << 20, &wide);
    EXPECT_EQ(std::u16string(wide.GetString()), u"3.00 M");
}

}  // namespace
