// ctest-labels: unit
#include "controls/edit_char_filter.h"

#include <gtest/gtest.h>

#include "controls/digital_value.h"

namespace {

TEST(EditCharFilter, NumberRules) {
    struct Case {
        int type;
        bool hex;
        const char16_t* text;
        size_t position;
        char32_t ch;
        bool valid;
        const char16_t* message;
    } cases[] = {
        {UInt32, false, u"", 0, U'-', false, u"Invalid character '-'"},
        {UInt64, false, u"", 0, U'-', false, u"Invalid character '-'"},
        {UInt32, false, u"", 0, U'a', false, u"Invalid character 'a'"},
        {UInt32, false, u"", 0, U'5', true, u""},
        {Int32, false, u"12", 2, U'-', false, u"'-' can only the first character"},
        {Int32, false, u"12", 0, U'-', true, u""},
        {Int64, false, u"-12", 0, U'-', false, u"Invalid character '-'"},
        {Double, false, u"1.5", 3, U'.', false, u"Invalid character '.'"},
        {Double, false, u"15", 1, U'.', true, u""},
        {Float, false, u"", 0, U'.', true, u""},
        {Int32, false, u"15", 1, U'.', false, u"Invalid character '.'"},
        {Double, false, u"1", 1, U'\u3002', false, u""},  // ideographic full stop: silent
        {Double, false, u"1", 1, U' ', false, u"Invalid character ' '"},
        {Double, false, u"1", 1, U'+', false, u"Invalid character '+'"},
        {Int32, false, u"1", 1, U'\u4e2d', false, u"Invalid character '\u4e2d'"},
        {Int32, true, u"1", 1, U'f', true, u""},
        {Int32, true, u"1", 1, U'g', false, u"Invalid character 'g'"},
        {Int32, false, u"1", 1, U'\b', true, u""},
        {Int32, false, u"1", 1, U'\U0001F600', false, u"Invalid character '\U0001F600'"},
    };
    for (const Case& c : cases) {
        CharVerdict v = CheckDigitalChar(c.type, c.hex, c.text, c.position, c.ch);
        EXPECT_EQ(v.valid, c.valid) << "type " << c.type << " char " << uint32_t(c.ch);
        EXPECT_EQ(v.message, c.message) << "type " << c.type << " char " << uint32_t(c.ch);
    }
}

TEST(EditCharFilter, AllowedAndDeniedLists) {
    CharLists lists;
    lists.allowed = u"abc";
    lists.denied = u"b";
    EXPECT_TRUE(CheckCharLists(lists, U'a').valid);
    EXPECT_TRUE(CheckCharLists(lists, U'\t').valid);  // control characters pass
    EXPECT_TRUE(CheckCharLists(lists, 127).valid);
    CharVerdict outside = CheckCharLists(lists, U'z');
    EXPECT_FALSE(outside.valid);
    EXPECT_EQ(outside.message, u"Invalid character 'z'");
    CharVerdict denied = CheckCharLists(lists, U'b');
    EXPECT_FALSE(denied.valid);
    EXPECT_EQ(denied.message, u"Invalid character 'b'");

    lists.notAllowedMessage = u"letters a to c only";
    lists.deniedMessage = u"no b";
    EXPECT_EQ(CheckCharLists(lists, U'z').message, u"letters a to c only");
    EXPECT_EQ(CheckCharLists(lists, U'b').message, u"no b");
    EXPECT_TRUE(CheckCharLists(CharLists{}, U'z').valid);
}

}  // namespace
