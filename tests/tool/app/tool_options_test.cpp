// ctest-labels: unit
#include "app/tool_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/file_version.h"

namespace {

ToolOptionsResult Parse(std::vector<std::string> args) {
    args.insert(args.begin(), "Orbo_Zorvan_Tool");
    return ParseToolOptions(args);
}

TEST(ToolOptions, NoOptionsRunAsAlways) {
    const ToolOptionsResult result = Parse({});
    EXPECT_EQ(result.status, ToolOptionsStatus::Run);
    EXPECT_TRUE(result.options.port.empty());
    EXPECT_FALSE(result.options.connect);
    EXPECT_FALSE(result.options.pageGiven);
    EXPECT_EQ(result.options.language, ToolLanguageChoice::Settings);
    EXPECT_EQ(result.remaining, std::vector<std::string>{"Orbo_Zorvan_Tool"});
}

TEST(ToolOptions, ValuesInBothSpellings) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--port", "/dev/pts/7", "--connect", "--page", "target", "--lang", "zh"},
             {"--port=/dev/pts/7", "--page=target", "--connect", "--lang=zh"}}) {
        const ToolOptionsResult result = Parse(args);
        ASSERT_EQ(result.status, ToolOptionsStatus::Run) << result.error;
        EXPECT_EQ(result.options.port, "/dev/pts/7");
        EXPECT_TRUE(result.options.connect);
        EXPECT_TRUE(result.options.pageGiven);
        EXPECT_EQ(result.options.page, ToolPage::Target);
        EXPECT_EQ(result.options.language, ToolLanguageChoice::Chinese);
    }
}

TEST(ToolOptions, EveryPageAndLanguageName) {
    const struct {
        const char* name;
        ToolPage page;
    } pages[] = {{"params", ToolPage::Params},
                 {"target", ToolPage::Target},
                 {"firmware", ToolPage::Firmware}};
    for (const auto& page : pages) {
        const ToolOptionsResult result = Parse({"--page", page.name});
        ASSERT_EQ(result.status, ToolOptionsStatus::Run) << page.name;
        EXPECT_EQ(result.options.page, page.page) << page.name;
    }
    EXPECT_EQ(Parse({"--lang", "en"}).options.language, ToolLanguageChoice::English);
    EXPECT_EQ(Parse({"--lang", "zh"}).options.language, ToolLanguageChoice::Chinese);
}

TEST(ToolOptions, QtOptionsPassThrough) {
    const ToolOptionsResult result =
        Parse({"-platform", "offscreen", "--connect", "-style=fusion"});
    ASSERT_EQ(result.status, ToolOptionsStatus::Run);
    EXPECT_EQ(result.remaining, (std::vector<std::string>{"Orbo_Zorvan_Tool", "-platform",
                                                          "offscreen", "-style=fusion"}));
}

TEST(ToolOptions, HelpAndVersionWinOverARun) {
    EXPECT_EQ(Parse({"--connect", "--help"}).status, ToolOptionsStatus::PrintHelp);
    EXPECT_EQ(Parse({"--version", "--port", "x"}).status, ToolOptionsStatus::PrintVersion);
    EXPECT_EQ(Parse({"--version", "--help"}).status, ToolOptionsStatus::PrintHelp);
}

TEST(ToolOptions, WrongOptionsAreNamed) {
    const struct {
        std::vector<std::string> args;
        const char* errorPart;
    } cases[] = {
        {{"--bogus"}, "unknown option \"--bogus\""},
        {{"--port"}, "\"--port\" needs a value"},
        {{"--port="}, "\"--port\" needs a value"},
        {{"--page", "main"}, "unknown page \"main\""},
        {{"--lang", "de"}, "unknown language \"de\""},
        {{"--connect=yes"}, "\"--connect\" takes no value"},
        {{"--"}, "unexpected argument"},
    };
    for (const auto& c : cases) {
        const ToolOptionsResult result = Parse(c.args);
        EXPECT_EQ(result.status, ToolOptionsStatus::Error) << c.args[0];
        EXPECT_NE(result.error.find(c.errorPart), std::string::npos) << result.error;
        EXPECT_EQ(result.error.find('\n'), std::string::npos);
    }
}

TEST(ToolOptions, HelpNamesEveryOption) {
    const std::string help = ToolOptionsHelpText("Orbo_Zorvan_Tool");
    for (const char* option : {"--port", "--connect", "--page", "--lang", "--help", "--version"}) {
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }
    EXPECT_EQ(help.back(), '\n');
}

TEST(ToolOptions, VersionIsTheBuildsVersion) {
    EXPECT_EQ(ProgramVersionText(), GetOrboVersionText());
    EXPECT_EQ(ToolVersionLine("1.2.3"), "Orbo_Zorvan_Tool 1.2.3\n");
}

}  // namespace
