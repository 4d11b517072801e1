#include "cli_app.h"

#include "cli_context.h"
#include "cli_output.h"
#include "command_table.h"
#include "exit_codes.h"

namespace {

const std::vector<OptionSpec>* OptionsOf(const std::string& name) {
    const CommandSpec* command = FindCommand(name);
    return command == nullptr ? nullptr : &command->options;
}

// Help texts end with a line end of their own.
void PrintHelp(const std::string& text) {
    PrintOut(text.empty() || text.back() != '\n' ? text : text.substr(0, text.size() - 1));
}

int ShowHelp(const std::vector<std::string>& topic) {
    if (topic.empty()) {
        PrintHelp(ProgramHelp());
        return kExitSuccess;
    }
    const CommandSpec* command = FindCommand(topic.front());
    if (command == nullptr) return UsageError("no command '" + topic.front() + "'");
    PrintHelp(CommandHelp(*command));
    return kExitSuccess;
}

bool OwnsOption(const CommandSpec& command, const std::string& name) {
    for (const OptionSpec& option : command.options) {
        if (name == option.name) return true;
    }
    return false;
}

}  // namespace

int RunCli(const std::vector<std::string>& args) {
    CommandLine line;
    std::string error;
    if (!ParseCommandLine(args, CommonOptions(), OptionsOf, line, error)) {
        return UsageError(error);
    }
    const CommandSpec* named = line.words.empty() ? nullptr : FindCommand(line.words.front());
    if (line.Has("version") && !(named != nullptr && OwnsOption(*named, "version"))) {
        PrintOut(std::string(kProgramName) + " " + ORBO_CLI_VERSION);
        return kExitSuccess;
    }
    if (!line.words.empty() && line.words.front() == "help") {
        return ShowHelp({line.words.begin() + 1, line.words.end()});
    }
    if (line.Has("help")) return ShowHelp(line.words);
    if (line.words.empty()) return UsageError("no command given");

    const CommandSpec* command = FindCommand(line.words.front());
    if (command == nullptr) return UsageError("no command '" + line.words.front() + "'");
    CliContext context;
    const int setup = context.Setup(line);
    if (setup != kExitSuccess) return setup;
    return command->run(context, line);
}
