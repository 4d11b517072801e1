#include "app/tool_options.h"

#include <unistd.h>

#include <array>
#include <cstdint>
#include <string_view>

#include "core/file_version.h"
#include "core/program_path.h"

namespace {

struct PageName {
    const char* name;
    ToolPage page;
};
constexpr std::array<PageName, 3> kPageNames{{
    {"params", ToolPage::Params},
    {"target", ToolPage::Target},
    {"firmware", ToolPage::Firmware},
}};

struct LanguageName {
    const char* name;
    ToolLanguageChoice language;
};
constexpr std::array<LanguageName, 2> kLanguageNames{{
    {"en", ToolLanguageChoice::English},
    {"zh", ToolLanguageChoice::Chinese},
}};

enum class Option { Port, Connect, Page, Lang, Help, Version };
struct OptionName {
    const char* name;
    Option option;
    bool takesValue;
};
constexpr std::array<OptionName, 6> kOptionNames{{
    {"port", Option::Port, true},
    {"connect", Option::Connect, false},
    {"page", Option::Page, true},
    {"lang", Option::Lang, true},
    {"help", Option::Help, false},
    {"version", Option::Version, false},
}};

const OptionName* FindOption(std::string_view name) {
    for (const OptionName& option : kOptionNames) {
        if (name == option.name) return &option;
    }
    return nullptr;
}

ToolOptionsResult Failed(std::string error) {
    ToolOptionsResult result;
    result.status = ToolOptionsStatus::Error;
    result.error = std::move(error);
    return result;
}

}  // namespace

ToolOptionsResult ParseToolOptions(const std::vector<std::string>& args) {
    ToolOptionsResult result;
    if (!args.empty()) result.remaining.push_back(args[0]);
    ToolOptions& options = result.options;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        // Single-dash arguments belong to Qt (-platform offscreen, -style ...).
        if (arg.size() < 3 || arg.compare(0, 2, "--") != 0) {
            if (arg == "--") return Failed("unexpected argument \"--\"");
            result.remaining.push_back(arg);
            continue;
        }
        const size_t equals = arg.find('=');
        const std::string name =
            arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
        const OptionName* option = FindOption(name);
        if (option == nullptr) return Failed("unknown option \"--" + name + "\"");
        std::string value;
        if (option->takesValue) {
            if (equals != std::string::npos) {
                value = arg.substr(equals + 1);
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                return Failed("option \"--" + name + "\" needs a value");
            }
            if (value.empty()) return Failed("option \"--" + name + "\" needs a value");
        } else if (equals != std::string::npos) {
            return Failed("option \"--" + name + "\" takes no value");
        }
        switch (option->option) {
            case Option::Port:
                options.port = value;
                break;
            case Option::Connect:
                options.connect = true;
                break;
            case Option::Page: {
                bool found = false;
                for (const PageName& page : kPageNames) {
                    if (value == page.name) {
                        options.page = page.page;
                        options.pageGiven = found = true;
                    }
                }
                if (!found) {
                    return Failed("unknown page \"" + value +
                                  "\" (expected params, target or firmware)");
                }
                break;
            }
            case Option::Lang: {
                bool found = false;
                for (const LanguageName& language : kLanguageNames) {
                    if (value == language.name) {
                        options.language = language.language;
                        found = true;
                    }
                }
                if (!found) return Failed("unknown language \"" + value + "\" (expected en or zh)");
                break;
            }
            case Option::Help:
                options.help = true;
                break;
            case Option::Version:
                options.version = true;
                break;
        }
    }
    if (options.help) {
        result.status = ToolOptionsStatus::PrintHelp;
    } else if (options.version) {
        result.status = ToolOptionsStatus::PrintVersion;
    }
    return result;
}

std::string ToolOptionsHelpText(const std::string& programName) {
    return "Usage: " + programName +
           " [--port PATH] [--connect] [--page params|target|firmware] [--lang en|zh]\n"
           "Configure and watch the Zorvan presence sensor.\n"
           "\n"
           "  --port PATH     select this serial port at start (listed even when the\n"
           "                  port enumeration does not name it, e.g. a pseudo-terminal)\n"
           "  --connect       connect to the selected port at start\n"
           "  --page NAME     the page shown first: params, target or firmware\n"
           "  --lang en|zh    the interface language of this run; the settings'\n"
           "                  \"Language\" stays as it is\n"
           "  --help          show this help and exit\n"
           "  --version       show the program's version and exit\n";
}

std::string ToolVersionLine(const std::string& versionText) {
    return "Orbo_Zorvan_Tool " + versionText + "\n";
}

std::string ProgramVersionText() {
    constexpr int kMaxVersionChars = 64;
    std::string self;
    char version[kMaxVersionChars] = {};
    if (ReadProgramFile(static_cast<uint32_t>(getpid()), self) &&
        GetFileVersionA(self.c_str(), version, kMaxVersionChars) == 1) {
        return version;
    }
    return GetOrboVersionText();
}
