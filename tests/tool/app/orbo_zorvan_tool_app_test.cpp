// ctest-labels: gui
#include "app/orbo_zorvan_tool_app.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDialog>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/app_config.h"
#include "platform/dialog_items.h"
#include "resources/dialog_templates.h"
#include "resources/string_table.h"
#include "support/qt_test_app.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "support/whole_file.h"

namespace {

ino_t InodeOf(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

// What a run's main window showed.
struct Shown {
    QString title;
    QString firstPageButton;
    bool hasIcon = false;
};

class ToolAppTest : public GuiTest {
protected:
    std::string ConfigPath() const { return m_home.File("appConfig.xml"); }

    // Runs the application object; its main window (the real one) closes itself once shown,
    // after `whileShown` has run.
    int Run(const std::function<void(QDialog&)>& whileShown = {},
            std::vector<std::string> args = {}) {
        COrbo_Zorvan_ToolApp application;
        application.SetMainWindowFactory([&] {
            std::unique_ptr<QDialog> window = CreateMainWindow();
            QDialog* raw = window.get();
            QTimer::singleShot(0, raw, [this, raw, whileShown] {
                m_shown.title = raw->windowTitle();
                m_shown.firstPageButton = GetDlgItemText(raw, 1187);
                m_shown.hasIcon = !raw->windowIcon().isNull();
                if (whileShown) whileShown(*raw);
                raw->close();
            });
            return window;
        });
        args.insert(args.begin(), "Orbo_Zorvan_Tool");
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        int argc = static_cast<int>(args.size());
        return application.InitInstance(argc, argv.data());
    }

    TempDir m_home;
    ScopedEnv m_homeEnv{"ORBO_HOME", m_home.Path().string()};
    ScopedEnv m_lcAll{"LC_ALL", std::nullopt};
    ScopedEnv m_lcMessages{"LC_MESSAGES", std::nullopt};
    ScopedEnv m_lang{"LANG", std::nullopt};
    Shown m_shown;
};

TEST_F(ToolAppTest, CaptionsSwitchWithTheLanguageAttribute) {
    struct Case {
        std::optional<std::string> attribute;  // nullopt: no attribute at all
        std::string locale;
        UiLanguage expected;
    };
    const Case cases[] = {
        {"ENG", "zh_CN.UTF-8", UiLanguage::English},   {"CHS", "C", UiLanguage::Chinese},
        {"chs", "en_US.UTF-8", UiLanguage::Chinese},   {"CHT", "", UiLanguage::Chinese},
        {"fr-FR", "zh_CN.UTF-8", UiLanguage::English}, {"", "zh_CN.UTF-8", UiLanguage::Chinese},
        {"", "en_GB.UTF-8", UiLanguage::English},      {std::nullopt, "zh_TW", UiLanguage::Chinese},
        {std::nullopt, "", UiLanguage::English},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.attribute.value_or("(none)") + " / " + c.locale);
        const std::string attribute =
            c.attribute ? " Language=\"" + *c.attribute + "\"" : std::string();
        WriteWholeFile(ConfigPath(), "<AppConfig" + attribute + "/>");
        ScopedEnv locale("LANG", c.locale);
        m_shown = Shown{};
        ASSERT_EQ(Run(), kToolExitOk);
        EXPECT_EQ(GetSelectedLanguage(), c.expected);
        EXPECT_EQ(m_shown.firstPageButton,
                  QString::fromUtf8(c.expected == UiLanguage::Chinese ? "参数查看/设置"
                                                                      : "View/Set Param."));
        EXPECT_EQ(m_shown.title, QStringLiteral("Orbo_Zorvan_Tool(v%1)")
                                     .arg(QString::fromStdString(ProgramVersionText())));
        EXPECT_TRUE(m_shown.hasIcon);
    }
}

// --lang wins over "Language" for the run and leaves the attribute as it was.
TEST_F(ToolAppTest, TheLangOptionOverridesTheAttributeForThisRunOnly) {
    const struct {
        const char* attribute;
        const char* option;
        UiLanguage expected;
    } cases[] = {{"ENG", "zh", UiLanguage::Chinese}, {"CHS", "en", UiLanguage::English}};
    for (const auto& c : cases) {
        const std::string attribute = std::string("Language=\"") + c.attribute + "\"";
        WriteWholeFile(ConfigPath(), "<AppConfig " + attribute + "/>");
        ASSERT_EQ(Run({}, {"--lang", c.option}), kToolExitOk);
        EXPECT_EQ(GetSelectedLanguage(), c.expected) << c.option;
        EXPECT_NE(ReadWholeFile(ConfigPath()).find(attribute), std::string::npos);
    }
}

// A wrong option ends the run before any window or settings file.
TEST_F(ToolAppTest, AWrongOptionEndsWithTheUsageExitCode) {
    bool created = false;
    COrbo_Zorvan_ToolApp application;
    application.SetMainWindowFactory([&] {
        created = true;
        return CreateMainWindow();
    });
    std::string name = "Orbo_Zorvan_Tool", bad = "--page", value = "nowhere";
    char* argv[] = {name.data(), bad.data(), value.data(), nullptr};
    int argc = 3;
    EXPECT_EQ(application.InitInstance(argc, argv), kToolExitUsage);
    EXPECT_FALSE(created);
    EXPECT_FALSE(std::filesystem::exists(ConfigPath()));
}

TEST_F(ToolAppTest, WithoutAFileOneIsCreatedAtExit) {
    ASSERT_EQ(Run(), kToolExitOk);
    EXPECT_NE(ReadWholeFile(ConfigPath()).find("<AppConfig"), std::string::npos);
}

TEST_F(ToolAppTest, AnUnchangedFileIsNotRewritten) {
    // The first run completes the file with everything the windows keep; the second finds
    // nothing to change.
    WriteWholeFile(ConfigPath(), "<appconfig Language=\"ENG\" BaudRate=\"9600\"/>");
    ASSERT_EQ(Run(), kToolExitOk);
    const std::string text = ReadWholeFile(ConfigPath());
    EXPECT_NE(text.find("BaudRate=\"9600\""), std::string::npos) << text;
    const ino_t before = InodeOf(ConfigPath());
    ASSERT_EQ(Run(), kToolExitOk);
    EXPECT_EQ(ReadWholeFile(ConfigPath()), text);
    EXPECT_EQ(InodeOf(ConfigPath()), before);
}

TEST_F(ToolAppTest, AChangeMadeDuringTheRunIsSavedOnce) {
    WriteWholeFile(ConfigPath(), "<AppConfig Language=\"ENG\" Unknown=\"kept\"/>");
    ASSERT_EQ(Run([](QDialog&) {
                  XMLNode root;
                  gAppConfig.FindRootNode(kAppConfigRootName, root);
                  root.SetAttributeInt64("TestMark", 9600);
              }),
              kToolExitOk);
    const std::string saved = ReadWholeFile(ConfigPath());
    EXPECT_NE(saved.find("TestMark=\"9600\""), std::string::npos) << saved;
    EXPECT_NE(saved.find("Unknown=\"kept\""), std::string::npos) << saved;
    EXPECT_EQ(gAppConfig.IsModified(), 0);
}

TEST_F(ToolAppTest, ASaveThatFailsEndsWithItsOwnExitCode) {
    WriteWholeFile(m_home.File("not-a-folder"), "x");
    ScopedEnv home("ORBO_HOME", m_home.File("not-a-folder/home"));
    EXPECT_EQ(Run([](QDialog&) {
                  XMLNode root;
                  gAppConfig.FindRootNode(kAppConfigRootName, root);
                  root.SetAttributeInt64("BaudRate", 9600);
              }),
              kToolExitSaveFailed);
}

TEST_F(ToolAppTest, EnterAndEscapeDoNotCloseTheMainWindow) {
    bool stillOpen = false;
    ASSERT_EQ(Run([&](QDialog& window) {
                  QTest::keyClick(&window, Qt::Key_Escape);
                  QTest::keyClick(&window, Qt::Key_Return);
                  QTest::keyClick(&window, Qt::Key_Enter);
                  stillOpen = window.isVisible() && window.result() == 0;
              }),
              kToolExitOk);
    EXPECT_TRUE(stillOpen);
}

// SIGTERM (and SIGINT) is a close request: the run ends normally and saves.
TEST_F(ToolAppTest, ATerminationSignalClosesTheMainWindow) {
    COrbo_Zorvan_ToolApp application;
    bool signalled = false;
    application.SetMainWindowFactory([&] {
        std::unique_ptr<QDialog> window = CreateMainWindow();
        QTimer::singleShot(0, window.get(), [&] {
            signalled = true;
            XMLNode root;
            gAppConfig.FindRootNode(kAppConfigRootName, root);
            root.SetAttributeInt64("TestMark", 57600);
            std::raise(SIGTERM);
        });
        return window;
    });
    int argc = 1;
    char name[] = "Orbo_Zorvan_Tool";
    char* argv[] = {name, nullptr};
    EXPECT_EQ(application.InitInstance(argc, argv), kToolExitOk);
    EXPECT_TRUE(signalled);
    EXPECT_NE(ReadWholeFile(ConfigPath()).find("TestMark=\"57600\""), std::string::npos);
}

TEST(PreferredLanguageName, NamesAsTheAttributeGivesThem) {
    const std::pair<std::string, std::string> cases[] = {
        {"ENG", "en-US"},
        {"eng", "en-US"},
        {"CHS", "zh-cn"},
        {"chs", "zh-cn"},
        {"CHT", "zh-tw"},
        {"fr-FR", "fr-FR"},
        {"", ""},
        {"ENGLISH", "ENGLISH"},
        {std::string(40, 'x'), std::string(31, 'x')},
        {"中文中文中文中文中文中文中文中文中文中文中文中文中文中文中文中文",
         "中文中文中文中文中文中文中文中文中文中文中文中文中文中文中文中"},
    };
    for (const auto& [attribute, expected] : cases) {
        EXPECT_EQ(PreferredLanguageName(attribute), expected) << attribute;
    }
}

}  // namespace
