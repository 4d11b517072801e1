// The command-line options of the desktop program, for scripts, tests and `make run`:
//   --port PATH       select that port at start (listed even when it is outside the enumeration)
//   --connect         connect at start
//   --page NAME       the page shown first: params, target or firmware
//   --lang en|zh      the interface language of this run (the settings' "Language" untouched)
//   --help, --version print and exit
// "--name=value" is accepted as well as "--name value". Without options the program behaves as
// it always does. Qt-free; Qt's own options (-platform, -style ...) are left for QApplication.
#pragma once

#include <string>
#include <vector>

enum class ToolPage { Params = 0, Target = 1, Firmware = 2 };
enum class ToolLanguageChoice { Settings, English, Chinese };

struct ToolOptions {
    std::string port;  // empty: none given
    bool connect = false;
    bool pageGiven = false;
    ToolPage page = ToolPage::Params;
    ToolLanguageChoice language = ToolLanguageChoice::Settings;
    bool help = false;
    bool version = false;
};

enum class ToolOptionsStatus { Run, PrintHelp, PrintVersion, Error };

struct ToolOptionsResult {
    ToolOptionsStatus status = ToolOptionsStatus::Run;
    ToolOptions options;
    std::string error;  // for Error: what was wrong, one line without a newline
    // The arguments that are not ours (argv[0] first), for QApplication.
    std::vector<std::string> remaining;
};

// Exit codes of the option handling.
constexpr int kToolOptionsExitOk = 0;
constexpr int kToolOptionsExitUsage = 2;

ToolOptionsResult ParseToolOptions(const std::vector<std::string>& args);

// The --help text (ends with a newline).
std::string ToolOptionsHelpText(const std::string& programName);
// The --version line: "Orbo_Zorvan_Tool <version>\n".
std::string ToolVersionLine(const std::string& versionText);

// The running program's version: the version note of its own file (the one place the build sets
// it, project() in CMake), read with GetFileVersionA; the common library's own text if the file
// cannot be read.
std::string ProgramVersionText();
