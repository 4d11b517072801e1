#include "core/date_file_name.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

#include "core/size_limits.h"
#include "core/utf_convert.h"

namespace {

constexpr int kPathBuffer = kMaxPathChars + 1;

LocalDateTime Example() {
    LocalDateTime when;
    when.year = 2026;
    when.month = 1;
    when.day = 31;
    when.hour = 9;
    when.minute = 5;
    when.second = 7;
    when.milliseconds = 42;
    return when;
}

TEST(FileNameByDate, ComposesPrefixDateTimeSuffixAndExtension) {
    const struct {
        const char* extension;
        const char* prefix;
        const char* suffix;
        int withDate;
        int withMs;
        const char* expected;
    } cases[] = {
        {"log", "Zorvan_TOOL_", "", 1, 0, "Zorvan_TOOL_2026_01_31_09_05_07.log"},
        {".log", "Zorvan_TOOL_", "", 1, 0, "Zorvan_TOOL_2026_01_31_09_05_07.log"},
        {".dat", "RadarData_", nullptr, 1, 0, "RadarData_2026_01_31_09_05_07.dat"},
        {"", "p_", "_s", 1, 1, "p_2026_01_31_09_05_07_042_s"},
        {nullptr, nullptr, nullptr, 0, 0, "09_05_07"},
        {"jpg", "Temp_", "", 0, 1, "Temp_09_05_07_042.jpg"},
    };
    for (const auto& c : cases) {
        char narrow[kPathBuffer] = "garbage";
        EXPECT_EQ(FormatFileNameByDateA(narrow, c.extension, c.prefix, c.suffix, c.withDate,
                                        c.withMs, Example()),
                  1);
        EXPECT_STREQ(narrow, c.expected);
    }
    WCHAR wide[kPathBuffer];
    EXPECT_EQ(FormatFileNameByDateW(wide, u"log", u"Zorvan_TOOL_", u"", 1, 0, Example()), 1);
    EXPECT_EQ(std::u16string(wide), u"Zorvan_TOOL_2026_01_31_09_05_07.log");
}

TEST(FileNameByDate, UsesLocalTimeNow) {
    WCHAR wide[kPathBuffer];
    ASSERT_EQ(GetFileNameByDateW(wide, u".log", u"Zorvan_TOOL_", u"", 0, 1, 0), 1);
    EXPECT_TRUE(std::regex_match(Utf16ToUtf8Lossy(wide),
                                 std::regex(R"(Zorvan_TOOL_\d{4}_\d\d_\d\d_\d\d_\d\d_\d\d\.log)")));
    char narrow[kPathBuffer];
    ASSERT_EQ(GetFileNameByDateA(narrow, "dat", "R_", "", 0, 0, 1), 1);
    EXPECT_TRUE(std::regex_match(narrow, std::regex(R"(R_\d\d_\d\d_\d\d_\d{3}\.dat)")));
}

TEST(FileNameByDate, RefusesNameBeyondLimit) {
    const std::string prefix(kMaxPathChars - 10, 'p');
    char out[kPathBuffer] = "garbage";
    EXPECT_EQ(FormatFileNameByDateA(out, "", prefix.c_str(), "", 0, 0, Example()), 1);  // +8
    EXPECT_EQ(FormatFileNameByDateA(out, "log", prefix.c_str(), "", 0, 0, Example()), 0);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(GetFileNameByDateA(nullptr, "log", "", "", 0, 1, 0), 0);
}

TEST(FileNameByNumber, AppendsNumberAndExtension) {
    const struct {
        const char* extension;
        const char* prefix;
        uint32_t number;
        const char* expected;
    } cases[] = {
        {"bin", "APP", 3, "APP3.bin"}, {".bin", "APP", 3, "APP3.bin"},
        {"", "APP", 3, "APP3."},       {nullptr, "APP", 3, "APP3"},
        {"x", nullptr, 0, "0.x"},      {"bin", "n", 0xFFFFFFFFu, "n4294967295.bin"},
    };
    for (const auto& c : cases) {
        char out[kPathBuffer];
        EXPECT_EQ(GetFileNameByNumberA(out, c.extension, c.prefix, c.number), 1);
        EXPECT_STREQ(out, c.expected);
    }
    WCHAR wide[kPathBuffer];
    EXPECT_EQ(GetFileNameByNumberW(wide, u".bin", u"APP", 12), 1);
    EXPECT_EQ(std::u16string(wide), u"APP12.bin");
}

TEST(FileNameByRandom, DrawsLettersAndDigits) {
    std::set<std::string> names;
    int lower = 0, upper = 0, digits = 0;
    for (int i = 0; i < 200; ++i) {
        char out[kPathBuffer];
        ASSERT_EQ(GetFileNameByRandomA(out, ".tmp", "FileCopy_", 10), 1);
        const std::string name(out);
        ASSERT_TRUE(std::regex_match(name, std::regex(R"(FileCopy_[A-Za-z0-9]{10}\.tmp)"))) << name;
        names.insert(name);
        for (const char c : name.substr(9, 10)) {
            lower += c >= 'a' && c <= 'z';
            upper += c >= 'A' && c <= 'Z';
            digits += c >= '0' && c <= '9';
        }
    }
    EXPECT_EQ(names.size(), 200u);
    // 2000 characters: three sevenths lower case, three upper case, one digits (loose bounds).
    EXPECT_GT(lower, 600);
    EXPECT_GT(upper, 600);
    EXPECT_GT(digits, 150);
    EXPECT_LT(digits, 450);

    WCHAR wide[kPathBuffer];
    ASSERT_EQ(GetFileNameByRandomW(wide, u"", u"r", 4), 1);
    EXPECT_TRUE(std::regex_match(Utf16ToUtf8Lossy(wide), std::regex(R"(r[A-Za-z0-9]{4}\.)")));
    char out[kPathBuffer];
    EXPECT_EQ(GetFileNameByRandomA(out, nullptr, "only", 0), 1);
    EXPECT_STREQ(out, "only");
    EXPECT_EQ(GetFileNameByRandomA(out, nullptr, "", kMaxPathChars + 1), 0);
}

}  // namespace
