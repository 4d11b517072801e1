// COrbo_Zorvan_ToolApp: the desktop program's run, in this order: load the settings
// (appConfig.xml), choose the interface language from their "Language" attribute (empty: the
// locale's language), start Qt and the window layer (font substitution, message-target hooks),
// run the main window modally until a close request ends it, destroy it, stop Qt, and write the
// settings back once if anything changed them (the safe save of app_config.h).
//
// SIGINT and SIGTERM are turned into a close request of the main window, so a Ctrl-C or a
// `kill` ends the program as the close button does, settings saved.
//
// The command-line options (tool_options.h) come first: --help and --version print and end the run
// before anything else; a wrong option prints the error and the exit code is kToolExitUsage.
// --lang overrides "Language" for this run only (the attribute is not written).
//
// Window thread (the process's main thread) only.
#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <string>

#include "app/tool_options.h"

class QDialog;

// The process exit codes of a run.
constexpr int kToolExitOk = 0;
constexpr int kToolExitSaveFailed = 1;  // the settings were changed but could not be written
constexpr int kToolExitUsage = kToolOptionsExitUsage;  // a wrong command-line option

// The language name the "Language" attribute asks for: "ENG" gives "en-US", "CHS" "zh-cn",
// "CHT" "zh-tw" (letter case ignored); any other text is the name itself, at most
// kMaxLanguageNameChars characters; empty stays empty (the locale's language stays in force).
constexpr int kMaxLanguageNameChars = 31;
std::string PreferredLanguageName(const std::string& attribute);

class COrbo_Zorvan_ToolApp {
public:
    using MainWindowFactory = std::function<std::unique_ptr<QDialog>()>;

    COrbo_Zorvan_ToolApp();

    // The main window the run shows (default: CreateMainWindow with the run's options). Tests
    // give their own.
    void SetMainWindowFactory(MainWindowFactory factory);

    // The options of the run, as parsed by InitInstance (defaults before).
    const ToolOptions& Options() const { return m_options; }

    // The whole run. Uses the QApplication that exists, else makes one from argc/argv for the
    // run. Returns kToolExitOk, or kToolExitSaveFailed when changed settings could not be saved
    // (logged at level 4).
    int InitInstance(int& argc, char** argv);

private:
    MainWindowFactory m_factory;
    ToolOptions m_options;
};

// The main window of the program, set up as the options ask (port, connect, first page).
std::unique_ptr<QDialog> CreateMainWindow(const ToolOptions& options = ToolOptions());
