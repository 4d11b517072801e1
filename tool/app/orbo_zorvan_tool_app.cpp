#include "app/orbo_zorvan_tool_app.h"

#include <QApplication>
#include <QDialog>

#include <cctype>
#include <cstdio>
#include <vector>

#include "app/app_config.h"
#include "app/orbo_zorvan_tool_dlg.h"
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

COrbo_Zorvan_ToolApp::COrbo_Zorvan_ToolApp() {
    SetMainWindowFactory(nullptr);
}

void COrbo_Zorvan_ToolApp::SetMainWindowFactory(MainWindowFactory factory) {
    m_factory = factory ? std::move(factory) : [this] { return CreateMainWindow(m_options); };
}

int COrbo_Zorvan_ToolApp::InitInstance(int& argc, char** argv) {
    const std::vector<std::string> args(argv, argv + argc);
    const ToolOptionsResult parsed = ParseToolOptions(args);
    const std::string programName = argc > 0 ? argv[0] : "Orbo_Zorvan_Tool";
    switch (parsed.status) {
        case ToolOptionsStatus::PrintHelp:
            std::fputs(ToolOptionsHelpText(programName).c_str(), stdout);
            return kToolExitOk;
        case ToolOptionsStatus::PrintVersion:
            std::fputs(ToolVersionLine(ProgramVersionText()).c_str(), stdout);
            return kToolExitOk;
        case ToolOptionsStatus::Error:
            std::fprintf(stderr, "%s: %s\nTry \"%s --help\".\n", programName.c_str(),
                         parsed.error.c_str(), programName.c_str());
            return kToolExitUsage;
        case ToolOptionsStatus::Run:
            break;
    }
    m_options = parsed.options;

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
    if (m_options.language != ToolLanguageChoice::Settings) {
        SetSelectedLanguage(m_options.language == ToolLanguageChoice::Chinese
                                ? UiLanguage::Chinese
                                : UiLanguage::English);
        DbgOutputA(2, "interface language for this run: %s (--lang)\r\n",
                   m_options.language == ToolLanguageChoice::Chinese ? "Chinese" : "English");
    }

    {
        // Qt sees the arguments that are not ours; they live as long as its application.
        std::vector<std::string> qtArgs = parsed.remaining;
        std::vector<char*> qtArgv;
        for (std::string& arg : qtArgs) qtArgv.push_back(arg.data());
        qtArgv.push_back(nullptr);
        int qtArgc = static_cast<int>(qtArgs.size());
        std::unique_ptr<QApplication> ownApplication;
        if (QApplication::instance() == nullptr) {
            ownApplication = std::make_unique<QApplication>(qtArgc, qtArgv.data());
        }
        QApplication::setApplicationName(QStringLiteral("Orbo_Zorvan_Tool"));
        // The desktop matches the windows with the installed launcher and its icon by this id.
        QGuiApplication::setDesktopFileName(QStringLiteral(ORBO_DESKTOP_ID));
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

std::unique_ptr<QDialog> CreateMainWindow(const ToolOptions& options) {
    return std::make_unique<COrbo_Zorvan_ToolDlg>(options);
}
