#include "command_line.h"

#include <charconv>
#include <cmath>

namespace {

const OptionSpec* FindOption(const std::vector<OptionSpec>* specs, const std::string& name) {
    if (specs == nullptr) return nullptr;
    for (const OptionSpec& spec : *specs) {
        if (name == spec.name) return &spec;
    }
    return nullptr;
}

}  // namespace

const std::string* CommandLine::Value(const std::string& name) const {
    const auto found = options.find(name);
    return found == options.end() ? nullptr : &found->second;
}

bool ParseCommandLine(const std::vector<std::string>& args,
                      const std::vector<OptionSpec>& commonOptions,
                      CommandOptionLookup commandOptions, CommandLine& out, std::string& error) {
    out = CommandLine{};
    const std::vector<OptionSpec>* ownOptions = nullptr;
    bool onlyWords = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool isOption = !onlyWords && arg.size() > 1 && arg[0] == '-';
        if (!isOption) {
            out.words.push_back(arg);
            if (out.words.size() == 1 && commandOptions != nullptr) {
                ownOptions = commandOptions(arg);
            }
            continue;
        }
        if (arg == "--") {
            onlyWords = true;
            continue;
        }
        std::string name;
        std::optional<std::string> value;
        if (arg == "-h") {
            name = "help";
        } else if (arg.rfind("--", 0) == 0) {
            const size_t equals = arg.find('=');
            name = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
            if (equals != std::string::npos) value = arg.substr(equals + 1);
        } else {
            error = "unknown option '" + arg + "'";
            return false;
        }
        // A command's own option of a common name ("flash --version") is the command's.
        const OptionSpec* spec = FindOption(ownOptions, name);
        if (spec == nullptr) spec = FindOption(&commonOptions, name);
        if (spec == nullptr) {
            error = "unknown option '--" + name + "'";
            if (out.words.empty()) error += " (command options follow the command)";
            return false;
        }
        switch (spec->arg) {
            case OptionArg::None:
                if (value) {
                    error = "option '--" + name + "' takes no value";
                    return false;
                }
                value = std::string();
                break;
            case OptionArg::Required:
                if (!value) {
                    if (i + 1 >= args.size()) {
                        error = "option '--" + name + "' needs a value (" + spec->valueName + ")";
                        return false;
                    }
                    value = args[++i];
                }
                break;
            case OptionArg::Optional:
                if (!value) {
                    value = std::string();
                    if (i + 1 < args.size() && !args[i + 1].empty() && args[i + 1][0] != '-') {
                        value = args[++i];
                    }
                }
                break;
        }
        out.options[name] = *value;
    }
    return true;
}

std::optional<uint64_t> ParseUnsigned(const std::string& text, uint64_t maximum) {
    if (text.empty() || text[0] < '0' || text[0] > '9') return std::nullopt;
    uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, 10);
    if (ec != std::errc() || ptr != end || value > maximum) return std::nullopt;
    return value;
}

std::optional<double> ParseDecimal(const std::string& text) {
    if (text.empty()) return std::nullopt;
    // from_chars takes no '+'; a leading '-' is the only sign accepted.
    const char first = text[0] == '-' && text.size() > 1 ? text[1] : text[0];
    if ((first < '0' || first > '9') && first != '.') return std::nullopt;
    double value = 0.0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, std::chars_format::general);
    if (ec != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
    return value;
}
