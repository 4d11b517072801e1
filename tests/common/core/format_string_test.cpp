#include "core/format_string.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(FormatString, FormatsIntoANewTextOfAnyLength) {
    int length = -1;
    char* text = FormatStringA(&length, "%s-%d-%.2f", "a", 42, 1.5);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "a-42-1.50");
    EXPECT_EQ(length, 9);
    FreeFormatStringA(text);

    const std::string big(5000, 'x');
    text = FormatStringA(&length, "[%s]", big.c_str());
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(length, 5002);
    EXPECT_EQ(std::string(text), "[" + big + "]");
    FreeFormatStringA(text);
}

TEST(FormatString, WideFormatTakesWideAndNarrowStrings) {
    int length = 0;
    char16_t* text = FormatStringW(&length, u"%s/%S/%d", u"\u9ED1", "ab", 7);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::u16string(text), u"\u9ED1/ab/7");
    EXPECT_EQ(length, 6);
    FreeFormatStringW(text);
}

TEST(FormatString, FaultyFormatGivesNull) {
    int length = 5;
    EXPECT_EQ(FormatStringA(&length, nullptr), nullptr);
    EXPECT_EQ(length, 0);
    int count = 0;
    length = 5;
    EXPECT_EQ(FormatStringA(&length, "%n", &count), nullptr);
    EXPECT_EQ(length, 0);
    FreeFormatStringA(nullptr);
    char* text = FormatStringA(nullptr, "no length wanted");
    EXPECT_NE(text, nullptr);
    FreeFormatStringA(text);
}

}  // namespace
