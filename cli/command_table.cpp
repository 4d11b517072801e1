#include "command_table.h"

#include "cli_output.h"
#include "exit_codes.h"

namespace {

constexpr size_t kOptionColumn = 26;
constexpr size_t kHelpWidth = 80;

// The words of `text` in lines that end before kHelpWidth, the later ones indented to
// kOptionColumn.
std::string WrapHelp(const std::string& text) {
    std::string out;
    size_t column = kOptionColumn;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(' ', start);
        if (end == std::string::npos) end = text.size();
        const std::string word = text.substr(start, end - start);
        if (column > kOptionColumn && column + 1 + word.size() >= kHelpWidth) {
            out += "\n" + std::string(kOptionColumn, ' ');
            column = kOptionColumn;
        } else if (column > kOptionColumn) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        start = end + 1;
    }
    return out;
}

const char* const kExitStatusHelp =
    "Exit status:\n"
    "  0  success\n"
    "  1  the sensor refused a command, or a command failed\n"
    "  2  usage error (unknown command or option, malformed value)\n"
    "  3  the port could not be opened or the sensor did not answer\n";

}  // namespace

const std::vector<CommandSpec>& CommandTable() {
    static const std::vector<CommandSpec> table{
        PortsCommand(),  InfoCommand(),         ParamsCommand(),   MonitorCommand(),
        ReplayCommand(), GenThresholdCommand(), FirmwareCommand(), FlashCommand(),
    };
    return table;
}

const CommandSpec* FindCommand(const std::string& name) {
    for (const CommandSpec& command : CommandTable()) {
        if (name == command.name) return &command;
    }
    return nullptr;
}

const std::vector<OptionSpec>& CommonOptions() {
    static const std::vector<OptionSpec> options{
        {"port", OptionArg::Required, "PATH|NUMBER",
         "the sensor's port: a path (recommended) or a number of 'ports'; default: the only "
         "port present"},
        {"baud", OptionArg::Required, "N",
         "line rate; default \"BaudRate\" of appConfig.xml, else 115200"},
        {"line", OptionArg::Required, "8N1",
         "data bits, parity (N O E M S) and stop bits (1 1.5 2); default from appConfig.xml, "
         "else 8N1"},
        {"lang", OptionArg::Required, "en|zh",
         "language of the sensor's texts; default \"Language\" of appConfig.xml, else the "
         "locale"},
        {"verbose", OptionArg::None, nullptr, "debug lines of the libraries on standard error"},
        {"json", OptionArg::None, nullptr, "data as JSON (one object, or one per line)"},
        {"help", OptionArg::None, nullptr, "show the help and exit"},
        {"version", OptionArg::None, nullptr, "show the version and exit"},
    };
    return options;
}

std::string OptionsHelp(const std::vector<OptionSpec>& options) {
    std::string text;
    for (const OptionSpec& option : options) {
        std::string head = std::string("  --") + option.name;
        if (option.valueName != nullptr) {
            head += option.arg == OptionArg::Optional ? std::string(" [") + option.valueName + "]"
                                                      : std::string(" ") + option.valueName;
        }
        if (head.size() + 1 < kOptionColumn) {
            head += std::string(kOptionColumn - head.size(), ' ');
        } else {
            head += "\n" + std::string(kOptionColumn, ' ');
        }
        text += head + WrapHelp(option.help) + "\n";
    }
    return text;
}

std::string ProgramHelp() {
    std::string text = std::string("Usage: ") + kProgramName +
                       " [OPTION]... COMMAND [ARG]...\n"
                       "Every operation of the Zorvan radar sensor from a shell: reports, "
                       "recordings,\ndetection parameters, threshold generation and "
                       "firmware.\n\n"
                       "Commands:\n";
    for (const CommandSpec& command : CommandTable()) {
        std::string head = std::string("  ") + command.name;
        head += std::string(head.size() + 1 < kOptionColumn ? kOptionColumn - head.size() : 1, ' ');
        text += head + command.summary + "\n";
    }
    text += "\nCommon options (before or after the command):\n" + OptionsHelp(CommonOptions());
    text +=
        "\nWithout --port the only port present is used; with several present, --port must\n"
        "choose. Port numbers are those 'ports' shows at the moment; paths are stable.\n"
        "appConfig.xml (in ORBO_HOME, else beside the program when that folder is\n"
        "writable, else in $XDG_CONFIG_HOME/Orbo_Zorvan_Tool as for an installed\n"
        "program) is only read, except by 'params save' without a file.\n\n";
    text += kExitStatusHelp;
    text += std::string("\n'") + kProgramName + " help COMMAND' or '" + kProgramName +
            " COMMAND --help' describes a command.\n";
    return text;
}

std::string CommandHelp(const CommandSpec& command) {
    std::string text =
        std::string("Usage: ") + kProgramName + " " + command.usage + "\n" + command.details;
    if (!command.options.empty()) text += "\nOptions:\n" + OptionsHelp(command.options);
    text += "\nCommon options: --port --baud --line --lang --verbose --json (see --help).\n";
    return text;
}

int UsageError(const std::string& text) {
    PrintError(text);
    PrintErr(std::string("Try '") + kProgramName + " --help'.\n");
    return kExitUsage;
}

int CheckWordCount(const CommandLine& line, size_t skip, size_t minimum, size_t maximum) {
    const size_t count = line.words.size() > skip ? line.words.size() - skip : 0;
    std::string command;
    for (size_t i = 0; i < skip && i < line.words.size(); ++i) {
        command += (i > 0 ? " " : "") + line.words[i];
    }
    if (count < minimum) return UsageError("'" + command + "' needs more arguments");
    if (count > maximum) {
        return UsageError("'" + command + "' does not take '" + line.words[skip + maximum] + "'");
    }
    return kExitSuccess;
}
