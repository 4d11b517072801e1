// The commands of zorvan-cli, their options and help texts, and the program's common options.
// Each command group lives in a file of its own (ports_command.cpp, info_command.cpp,
// params_command.cpp, monitor_command.cpp, threshold_command.cpp, firmware_command.cpp) and hands
// its entry here.
#pragma once

#include <string>
#include <vector>

#include "command_line.h"

class CliContext;

struct CommandSpec {
    const char* name;     // the command word
    const char* usage;    // what follows the program name, for the help text
    const char* summary;  // one line for the program's help
    const char* details;  // the command's own help text after the usage line
    std::vector<OptionSpec> options;
    // Runs the command; words[0] is the command word. Returns the exit code.
    int (*run)(CliContext& context, const CommandLine& line);
};

// Entries of the command groups.
CommandSpec PortsCommand();
CommandSpec InfoCommand();
CommandSpec ParamsCommand();
CommandSpec MonitorCommand();
CommandSpec ReplayCommand();
CommandSpec GenThresholdCommand();
CommandSpec FirmwareCommand();
CommandSpec FlashCommand();

// All commands, in the order the help lists them.
const std::vector<CommandSpec>& CommandTable();
// The command of that word; null when there is none.
const CommandSpec* FindCommand(const std::string& name);
// The options every command takes.
const std::vector<OptionSpec>& CommonOptions();

std::string ProgramHelp();
std::string CommandHelp(const CommandSpec& command);
// The options' lines of a help text.
std::string OptionsHelp(const std::vector<OptionSpec>& options);

// Prints the usage error and the hint to the help on standard error; returns kExitUsage.
int UsageError(const std::string& text);
// kExitSuccess when the command has between `minimum` and `maximum` words after its own (and
// subcommand) word(s) - `skip` words are the command's -, else the usage error.
int CheckWordCount(const CommandLine& line, size_t skip, size_t minimum, size_t maximum);
