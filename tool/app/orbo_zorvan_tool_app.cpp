#include "app/orbo_zorvan_tool_app.h"

#include <QApplication>
#include <QDialog>

#include <cctype>

#include "app/app_config.h"
#include "app/main_window_placeholder.h"
#include "core/base_string.h"
#include "core/dbg_output.h"
#include "platform/close_on_signal.h"
#include "platform/font_substitution.h"
#include "platform/window_message.h"
#include "resources/string_table.h"

namespace {

constexpr const char* kLanguageAttribute = "Language";

bool EqualsIgnoringCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return i == a.size() && b[i] == '\0';
}

// Cuts a UTF-8 text after `maxChars` characters, never inside one.
std::string CutCharacters(const std::string& text, int maxChars) {
    int chars = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool starts = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
        if (starts && chars++ == maxChars) return text.substr(0, i);
    }
    return text;
}

}  // namespace

std::string PreferredLanguageName(const std::string& attribute) {
    if (attribute.empty()) return std::string();
    if (EqualsIgnoringCase(attribute, "ENG")) return "en-US";
    if (EqualsIgnoringCase(attribute, "CHS")) return "zh-cn";
    if (EqualsIgnoringCase(attribute, "CHT")) return "zh-tw";
    return CutCharacters(attribute, kMaxLanguageNameChars);
}

COrbo_Zorvan_ToolApp::COrbo_Zorvan_ToolApp() : m_factory(&CreateMainWindow) {}

void COrbo_Zorvan_ToolApp::SetMainWindowFactory(MainWindowFactory factory) {
    m_factory = factory ? std::move(factory) : MainWindowFactory(&CreateMainWindow);
}

int COrbo_Zorvan_ToolApp::InitInstance(int& argc, char** argv) {
    LoadAppConfig();

    XMLNode root;
    gAppConfig.FindRootNode(kAppConfigRootName, root);
    CBaseStringA attribute;
    root.GetAttributeText(kLanguageAttribute, attribute);
    const std::string locale = GetProcessLocaleName();
    const UiLanguage language = SelectLanguage(attribute.GetString(), locale.c_str());
    DbgOutputA(2, "interface language: %s (Language \"%s\", locale \"%s\")\r\n",
               language == UiLanguage::Chinese ? "Chinese" : "English",
               PreferredLanguageName(attribute.GetString()).c_str(), locale.c_str());

    {
        std::unique_ptr<QApplication> ownApplication;
        if (QApplication::instance() == nullptr) {
            ownApplication = std::make_unique<QApplication>(argc, argv);
        }
        QApplication::setApplicationName(QStringLiteral("Orbo_Zorvan_Tool"));
        InstallFontSubstitutions();
        InstallWindowMessageHooks();

        std::unique_ptr<QDialog> window = m_factory();
        {
            CloseOnSignals closeOnSignals(window.get());
            window->exec();
        }
        window.reset();
    }

    if (SaveAppConfig() == 0) return kToolExitSaveFailed;
    return kToolExitOk;
}

std::unique_ptr<QDialog> CreateMainWindow() {
    return CreateMainWindowPlaceholder();
}
