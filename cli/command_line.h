// Conventional command-line parsing for zorvan-cli: long options ("--name VALUE" or
// "--name=VALUE", "-h" for "--help"), positional words, and "--" after which every word is
// positional. Options may stand before or after the command word; the program's common options
// are known everywhere, a command's own options once its word has been seen (and then before a
// common option of the same name). A repeated option keeps its last value.
//
// Also the strict number readers the commands use for option values: whole words only, decimal,
// no locale (a decimal point, never a comma).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

enum class OptionArg {
    None,      // a flag
    Required,  // "--name VALUE" or "--name=VALUE"
    Optional,  // "--name=VALUE", or "--name VALUE" when VALUE does not begin with '-'
};

struct OptionSpec {
    const char* name;  // without the leading "--"
    OptionArg arg;
    const char* valueName;  // for the help text ("PATH|NUMBER"); null for flags
    const char* help;
};

struct CommandLine {
    std::vector<std::string> words;              // positional words, the command first
    std::map<std::string, std::string> options;  // name -> value ("" for a flag)

    bool Has(const std::string& name) const { return options.count(name) != 0; }
    // The value, or null when the option was not given.
    const std::string* Value(const std::string& name) const;
};

// Looks up the options of the command named by the first positional word; null when the word
// names no command (only the common options are known then).
using CommandOptionLookup = const std::vector<OptionSpec>* (*)(const std::string& command);

// Parses `args` (the program's arguments without its name). False with `error` set for an unknown
// option, a missing value or a value given to a flag.
bool ParseCommandLine(const std::vector<std::string>& args,
                      const std::vector<OptionSpec>& commonOptions,
                      CommandOptionLookup commandOptions, CommandLine& out, std::string& error);

// Strict readers: the whole text must be the number. Nothing for anything else (empty text,
// signs where none belong, trailing characters, overflow, a non-finite decimal).
std::optional<uint64_t> ParseUnsigned(const std::string& text, uint64_t maximum);
std::optional<double> ParseDecimal(const std::string& text);
