#include "resources/string_table.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "core/dbg_output.h"
#include "support/log_capture.h"

namespace {

// Every id the windows, the firmware procedures and zorvan-cli look up.
constexpr int kUsedIds[] = {
    102,   10000, 10001, 10002, 10003, 10005, 10006, 10100, 10101, 10102, 10103, 10104, 10150,
    10151, 10152, 10153, 10154, 10300, 10301, 10302, 10303, 10310, 10311, 10312, 10313, 10314,
    10315, 10316, 10317, 10318, 10330, 10331, 10332, 10333, 10350, 10351, 10352, 10502, 10503,
    10504, 10505, 10506, 10507, 10508, 10509, 10510, 10511, 10512, 10513, 10514, 10515, 10516,
    10517, 10518, 10519, 10520, 10521, 10522, 10523, 10531, 10532, 10533, 10534,
};

// Restores the selection a test changed.
class StringTableTest : public ::testing::Test {
protected:
    void SetUp() override { m_saved = GetSelectedLanguage(); }
    void TearDown() override { SetSelectedLanguage(m_saved); }

private:
    UiLanguage m_saved = UiLanguage::English;
};

// The printf conversions of a text, in order ("%3d", "%.2f", ...); "%%" is no conversion.
std::vector<std::string> Conversions(const std::string& text) {
    std::vector<std::string> found;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') continue;
        if (i + 1 < text.size() && text[i + 1] == '%') {
            ++i;
            continue;
        }
        size_t end = i + 1;
        while (end < text.size() &&
               std::string("0123456789.-+ #l").find(text[end]) != std::string::npos) {
            ++end;
        }
        found.push_back(text.substr(i, end - i + 1));
        i = end;
    }
    return found;
}

const char* Name(UiLanguage language) {
    return language == UiLanguage::Chinese ? "Chinese" : "English";
}

TEST_F(StringTableTest, LanguageFollowsTheAttributeThenTheLocale) {
    struct Case {
        const char* attribute;
        const char* locale;
        UiLanguage expected;
    } cases[] = {
        {"ENG", "zh_CN.UTF-8", UiLanguage::English},
        {"eng", "zh_CN.UTF-8", UiLanguage::English},
        {"CHS", "en_US.UTF-8", UiLanguage::Chinese},
        {"chs", "C", UiLanguage::Chinese},
        {"CHT", "en_GB", UiLanguage::Chinese},
        {"Cht", nullptr, UiLanguage::Chinese},
        {"zh-cn", "en_US", UiLanguage::Chinese},
        {"zh-TW", "C", UiLanguage::Chinese},
        {"ZH_HK", "", UiLanguage::Chinese},
        {"zh", "de_DE", UiLanguage::Chinese},
        {"fr-FR", "zh_CN.UTF-8", UiLanguage::English},  // another name: English
        {"en-US", "zh_CN", UiLanguage::English},
        {"CHSX", "zh_CN", UiLanguage::English},
        {" CHS", "zh_CN", UiLanguage::English},
        {"", "zh_CN.UTF-8", UiLanguage::Chinese},  // empty: the locale decides
        {nullptr, "zh_TW.Big5", UiLanguage::Chinese},
        {"", "zh", UiLanguage::Chinese},
        {"", "zh-CN", UiLanguage::Chinese},
        {"", "zh@pinyin", UiLanguage::Chinese},
        {"", "ZH_cn", UiLanguage::Chinese},
        {"", "en_US.UTF-8", UiLanguage::English},
        {"", "C", UiLanguage::English},
        {"", "POSIX", UiLanguage::English},
        {"", "zhx_CN", UiLanguage::English},  // not the zh language
        {"", "", UiLanguage::English},
        {nullptr, nullptr, UiLanguage::English},
    };
    for (const Case& c : cases) {
        const std::string what = std::string("attribute '") + (c.attribute ? c.attribute : "null") +
                                 "', locale '" + (c.locale ? c.locale : "null") + "'";
        EXPECT_EQ(ChooseLanguage(c.attribute, c.locale), c.expected) << what;
        SetSelectedLanguage(c.expected == UiLanguage::English ? UiLanguage::Chinese
                                                              : UiLanguage::English);
        EXPECT_EQ(SelectLanguage(c.attribute, c.locale), c.expected) << what;
        EXPECT_EQ(GetSelectedLanguage(), c.expected) << what;
    }
}

TEST_F(StringTableTest, LookupAnswersInTheSelectedLanguage) {
    SelectLanguage("CHS", "");
    EXPECT_STREQ(LoadStringText(kStrDeviceNotConnected), "设备未连接");
    EXPECT_STREQ(LoadStringText(kStrError), "错误");
    SelectLanguage("ENG", "zh_CN.UTF-8");
    EXPECT_STREQ(LoadStringText(kStrDeviceNotConnected), "Device Not Connected");
    EXPECT_STREQ(LoadStringText(kStrError), "Error");
    SetSelectedLanguage(UiLanguage::Chinese);
    EXPECT_STREQ(LoadStringText(kStrSaveParamsSucceeded), "保存参数成功");
}

TEST_F(StringTableTest, TextsStandExactlyAsTheWindowsShowThem) {
    struct Case {
        int id;
        const char* english;
        const char* chinese;
    } cases[] = {
        {10000, "Error", "错误"},
        {10103, "Device Not Connected", "设备未连接"},
        {10150, "Succeed reading parameters", "读取参数成功"},
        {10153, "Failed to set parameters", "写入参数失败"},
        {10300,
         "Target Status: %s\r\nTarget Distance: %.2fm\r\nEstimated average operating current\r\n"
         "  (current configuration):%.5f mA\r\nData transmission will increase power "
         "consumption.",
         "目标状态: %s\r\n目标距离: %.2f米\r\n预估平均工作电流（当前配置）：%.5f mA\r\n"
         "MCU传输上位机数据会增加功耗"},
        {10303, "Presence(Motionless)", "有人(静止)"},
        {10311, "Fraction Power (dB)", "dB"},
        {10333, "No. %.1fs Range: %.1f m", "第%.1fs 距离: %.1f米"},
        {10352, "Generate progress: %3d%%", "生成进度: %3d%%"},
        {10514, "Failed to download, serial no.: %d, error code: %d\r\n",
         "下载失败, 包序号：%d，错误代码：%d\r\n"},
        {10515, "Downloading\u2026 \r\n", "下载中。。。。\r\n"},
        {10518, "Checksum: 0x%08x\r\n", "校验和：0x%08x\r\n"},
        {10523, "Device ID: Unknown", "设备ID: Unknown"},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(LoadStringText(c.id, UiLanguage::English), c.english) << c.id;
        EXPECT_STREQ(LoadStringText(c.id, UiLanguage::Chinese), c.chinese) << c.id;
    }
}

TEST_F(StringTableTest, EveryUsedIdHasBothLanguagesWithTheSameConversions) {
    for (int id : kUsedIds) {
        EXPECT_EQ(HasStringText(id), 1) << id;
        const std::string english = LoadStringText(id, UiLanguage::English);
        const std::string chinese = LoadStringText(id, UiLanguage::Chinese);
        EXPECT_FALSE(english.empty()) << id;
        EXPECT_FALSE(chinese.empty()) << id;
        EXPECT_EQ(Conversions(english), Conversions(chinese)) << id;
    }
}

TEST_F(StringTableTest, OnlineServiceTextsTakeTheirArguments) {
    EXPECT_EQ(Conversions(LoadStringText(kStrServiceProgress, UiLanguage::English)),
              (std::vector<std::string>{"%d", "%.2f"}));
    for (int id : {kStrServiceLogonFailed, kStrServiceVersionFailed, kStrServiceDownloadFailed}) {
        for (UiLanguage language : {UiLanguage::English, UiLanguage::Chinese}) {
            EXPECT_TRUE(Conversions(LoadStringText(id, language)).empty())
                << id << " " << Name(language);
        }
    }
}

TEST_F(StringTableTest, UnknownIdGivesEmptyTextAndAWarning) {
    LogCapture log({.level = kDbgLevelWarning});
    for (int id : {0, -1, 10004, 10535, 99999}) {
        EXPECT_EQ(HasStringText(id), 0) << id;
        EXPECT_STREQ(LoadStringText(id), "") << id;
    }
    const std::vector<std::string> warnings = log.Texts();
    ASSERT_EQ(warnings.size(), 5u);
    EXPECT_NE(warnings[2].find("10004"), std::string::npos) << warnings[2];
}

TEST_F(StringTableTest, ProcessLocaleIsTakenInTheCLibraryOrder) {
    struct Variable {
        const char* name;
        std::string old;
        bool had;
    } variables[] = {{"LC_ALL", "", false}, {"LC_MESSAGES", "", false}, {"LANG", "", false}};
    for (Variable& v : variables) {
        const char* value = std::getenv(v.name);
        v.had = value != nullptr;
        if (v.had) v.old = value;
    }
    struct Case {
        const char* all;
        const char* messages;
        const char* lang;
        const char* expected;
    } cases[] = {
        {"zh_CN.UTF-8", "en_US", "de_DE", "zh_CN.UTF-8"},
        {"", "en_US", "zh_CN", "en_US"},
        {nullptr, nullptr, "zh_TW", "zh_TW"},
        {nullptr, "", "", ""},
        {nullptr, nullptr, nullptr, ""},
    };
    for (const Case& c : cases) {
        const char* values[] = {c.all, c.messages, c.lang};
        for (int i = 0; i < 3; ++i) {
            if (values[i] == nullptr) {
                unsetenv(variables[i].name);
            } else {
                setenv(variables[i].name, values[i], 1);
            }
        }
        EXPECT_EQ(GetProcessLocaleName(), c.expected);
    }
    for (const Variable& v : variables) {
        if (v.had) {
            setenv(v.name, v.old.c_str(), 1);
        } else {
            unsetenv(v.name);
        }
    }
}

}  // namespace
