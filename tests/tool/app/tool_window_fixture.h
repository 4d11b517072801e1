// The base of the main window's and the target page's gui tests: a private home folder
// (ORBO_HOME) with fresh settings loaded from it, English texts, recorders for every prompt, and
// small helpers for the window's controls and for recordings.
#pragma once

#include <QAbstractButton>
#include <QTest>
#include <QWidget>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "app/app_config.h"
#include "app/xml_parser.h"
#include "core/base_string.h"
#include "platform/dialog_items.h"
#include "resources/string_table.h"
#include "support/prompt_recorder.h"
#include "support/qt_test_app.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "tool/device/stream_test_support.h"

// Long enough for a loaded machine; only a hang reaches it.
constexpr auto kGuiHangDeadline = std::chrono::seconds(20);

class ToolWindowTest : public GuiTest {
protected:
    ToolWindowTest() {
        SetSelectedLanguage(UiLanguage::English);
        LoadAppConfig();
    }
    ~ToolWindowTest() override { SetSelectedLanguage(UiLanguage::English); }

    // Sets a root attribute of the settings before a window reads them.
    static void SetRootAttribute(const char* name, const std::string& value) {
        XMLNode root;
        gAppConfig.FindRootNode(kAppConfigRootName, root);
        root.SetAttributeText(name, value.c_str());
    }
    static std::string RootAttribute(const char* name) {
        XMLNode root;
        gAppConfig.FindRootNode(kAppConfigRootName, root);
        CBaseStringA text;
        root.GetAttributeText(name, text);
        return text.GetString();
    }

    static void Click(QWidget* dialog, int id) {
        auto* button = qobject_cast<QAbstractButton*>(GetDlgItem(dialog, id));
        ASSERT_NE(button, nullptr) << "no button " << id;
        ASSERT_TRUE(button->isEnabled()) << "button " << id << " is disabled";
        QTest::mouseClick(button, Qt::LeftButton);
    }

    static bool WaitForText(QWidget* dialog, int id, const QString& text) {
        return ProcessEventsUntil([&] { return GetDlgItemText(dialog, id) == text; },
                                  kGuiHangDeadline);
    }

    // A file of target report frames (state, distance in cm).
    std::string WriteReportFile(const std::string& name,
                                const std::vector<std::pair<int, int>>& reports) {
        stream_test::Bytes bytes;
        uint16_t seed = 1;
        for (const auto& [state, distance] : reports) {
            const auto frame = stream_test::ReportFrame(static_cast<uint8_t>(state),
                                                        static_cast<uint16_t>(distance), seed++);
            bytes.insert(bytes.end(), frame.begin(), frame.end());
        }
        const std::string path = m_home.File(name);
        WriteWholeFile(path, bytes);
        return path;
    }

    TempDir m_home;
    ScopedEnv m_homeEnv{"ORBO_HOME", m_home.Path().string()};
    MessageBoxRecorder m_messages;
    OpenFileRecorder m_openFiles;
    FolderRecorder m_folders;
};
