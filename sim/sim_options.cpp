#include "sim_options.h"

#include <charconv>
#include <functional>
#include <set>
#include <vector>

namespace {

constexpr const char* kDefaultVersionText = "v1.5.2";
constexpr const char* kDefaultSerialNumber = "ZV2403150001";
constexpr uint32_t kDefaultDeviceId = 0x5A560001;

// Decimal or 0x-hexadecimal, the whole text, at most `max`.
bool ParseNumber(const std::string& text, uint64_t max, uint64_t& value) {
    const char* begin = text.c_str();
    const char* end = begin + text.size();
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        begin += 2;
        base = 16;
    }
    const auto [ptr, ec] = std::from_chars(begin, end, value, base);
    return ec == std::errc() && ptr == end && begin != end && value <= max;
}

using Handler = std::function<bool(const std::string& value, SimOptions& options)>;

struct OptionSpec {
    const char* name;
    const char* argument;  // nullptr for a flag
    const char* help;
    Handler apply;
};

template <typename T>
Handler Number(T SimOptions::*field, uint64_t max) {
    return [field, max](const std::string& value, SimOptions& options) {
        uint64_t number = 0;
        if (!ParseNumber(value, max, number)) return false;
        options.*field = static_cast<T>(number);
        return true;
    };
}

// "WORD" lists (command words).
Handler WordSet(std::set<uint16_t> OutputFaults::*field) {
    return [field](const std::string& value, SimOptions& options) {
        uint64_t word = 0;
        if (!ParseNumber(value, 0xFFFF, word)) return false;
        (options.output.*field).insert(static_cast<uint16_t>(word));
        return true;
    };
}

// "A:B" pairs of numbers; B optional when `defaultSecond` is given.
bool ParsePair(const std::string& value, uint64_t maxFirst, uint64_t maxSecond,
               std::optional<uint64_t> defaultSecond, uint64_t& first, uint64_t& second) {
    const size_t colon = value.find(':');
    if (colon == std::string::npos) {
        if (!defaultSecond) return false;
        second = *defaultSecond;
        return ParseNumber(value, maxFirst, first);
    }
    return ParseNumber(value.substr(0, colon), maxFirst, first) &&
           ParseNumber(value.substr(colon + 1), maxSecond, second);
}

bool Text(const std::string& value, std::string& field) {
    if (value.size() > kMaxIdentityTextBytes) return false;
    field = value;
    return true;
}

const std::vector<OptionSpec>& Specs() {
    static const std::vector<OptionSpec> specs = {
        // The link.
        {"--name", "NAME",
         "name of the port's link in the virtual port folder ($XDG_RUNTIME_DIR/orbo-serial/, "
         "or /tmp/orbo-serial-<uid>/); default zorvan-sim-<pid>",
         [](const std::string& v, SimOptions& o) {
             if (v.empty() || v.find('/') != std::string::npos || v == "." || v == "..") {
                 return false;
             }
             o.name = v;
             return true;
         }},
        {"--flash-dir", "DIR",
         "keep flashed images as DIR/APP<n>.bin and read them back at start (created when "
         "missing); default: images in memory only",
         [](const std::string& v, SimOptions& o) {
             o.flashDir = v;
             return !v.empty();
         }},
        {"--baud", "N", "line rate used by --pace, bits per second; default 256000",
         [](const std::string& v, SimOptions& o) {
             uint64_t n = 0;
             if (!ParseNumber(v, 4000000, n) || n == 0) return false;
             o.baud = static_cast<uint32_t>(n);
             return true;
         }},
        {"--pace", nullptr,
         "pace both directions at --baud (ten bit times a byte): what is sent and what is "
         "taken from the host; a pseudo-terminal itself ignores line rates",
         [](const std::string&, SimOptions& o) {
             o.pace = true;
             return true;
         }},
        {"--time-scale", "X",
         "run sensor time X times faster (0.01 to 1000): report periods, scenario, scan "
         "seconds, erase and restart times; default 1",
         [](const std::string& v, SimOptions& o) {
             double x = 0;
             const auto [ptr, ec] = std::from_chars(v.data(), v.data() + v.size(), x);
             if (ec != std::errc() || ptr != v.data() + v.size()) return false;
             if (!(x >= kMinTimeScale && x <= kMaxTimeScale)) return false;
             o.timeScale = x;
             return true;
         }},
        {"--scenario", "KIND",
         "room: a target walks in, stands still and leaves, every 30 s of sensor time; "
         "empty: nobody ever comes; default room",
         [](const std::string& v, SimOptions& o) {
             if (v == "room")
                 o.scenario = ScenarioKind::Room;
             else if (v == "empty")
                 o.scenario = ScenarioKind::Empty;
             else
                 return false;
             return true;
         }},
        {"--seed", "N", "seed of the scenario's noise and of --garbage bytes; default 1",
         Number(&SimOptions::seed, UINT64_MAX)},
        {"--verbose", nullptr, "write information lines (commands, mode changes) to stderr",
         [](const std::string&, SimOptions& o) {
             o.verbose = true;
             return true;
         }},
        // The device.
        {"--version-text", "TEXT", "firmware version the sensor reports; default v1.5.2",
         [](const std::string& v, SimOptions& o) {
             return Text(v, o.sensor.identity.versionText);
         }},
        {"--serial-number", "TEXT", "serial number the sensor reports; default ZV2403150001",
         [](const std::string& v, SimOptions& o) {
             return Text(v, o.sensor.identity.serialNumber);
         }},
        {"--device-id", "N", "device identifier (command 0x0065); default 0x5A560001",
         [](const std::string& v, SimOptions& o) {
             uint64_t n = 0;
             if (!ParseNumber(v, UINT32_MAX, n)) return false;
             o.sensor.identity.deviceId = static_cast<uint32_t>(n);
             return true;
         }},
        {"--partitions", "MASK",
         "bit mask of the application partitions (bit n: partition n); default 0x3 (App0, App1)",
         [](const std::string& v, SimOptions& o) {
             uint64_t n = 0;
             if (!ParseNumber(v, UINT32_MAX, n) || n == 0) return false;
             o.partitionMask = static_cast<uint32_t>(n);
             return true;
         }},
        {"--partition-size", "BYTES", "bytes each partition holds (at most 16 MiB); default 262144",
         [](const std::string& v, SimOptions& o) {
             uint64_t n = 0;
             if (!ParseNumber(v, kMaxPartitionBytes, n) || n == 0) return false;
             o.partitionBytes = static_cast<uint32_t>(n);
             return true;
         }},
        {"--app-partition", "N",
         "the partition whose application runs at power-on; default: the image flashed last "
         "(files in --flash-dir count by time), else the lowest partition",
         [](const std::string& v, SimOptions& o) {
             uint64_t n = 0;
             if (!ParseNumber(v, kMaxPartitions - 1, n)) return false;
             o.applicationPartition = static_cast<int>(n);
             return true;
         }},
        {"--start-in-bootloader", nullptr, "power on into the boot loader",
         [](const std::string&, SimOptions& o) {
             o.sensor.startInBootLoader = true;
             return true;
         }},
        {"--erase-ms", "MS",
         "sensor time a partition erase takes before 0x0062 is answered; default 1500",
         [](const std::string& v, SimOptions& o) {
             uint64_t n = 0;
             if (!ParseNumber(v, 600000, n)) return false;
             o.sensor.bootLoader.eraseMs = n;
             return true;
         }},
        // Faults.
        {"--packet-size", "P",
         "packet size P the boot loader answers (0 to 65535; hosts need 21 to 4096); "
         "default 1044",
         [](const std::string& v, SimOptions& o) {
             uint64_t n = 0;
             if (!ParseNumber(v, 0xFFFF, n)) return false;
             o.sensor.bootLoader.packetSize = static_cast<uint32_t>(n);
             return true;
         }},
        {"--running-mode", "N",
         "answer N to every running-mode question (0x0060) instead of the true mode",
         [](const std::string& v, SimOptions& o) {
             uint64_t n = 0;
             if (!ParseNumber(v, UINT32_MAX, n)) return false;
             o.sensor.identity.runningModeAnswer = static_cast<uint32_t>(n);
             return true;
         }},
        {"--no-ack", "WORD", "ignore command WORD: neither carry it out nor answer it (repeatable)",
         [](const std::string& v, SimOptions& o) {
             uint64_t n = 0;
             if (!ParseNumber(v, 0xFFFF, n)) return false;
             o.sensor.faults.ignored.insert(static_cast<uint16_t>(n));
             return true;
         }},
        {"--fail-status", "WORD:STATUS",
         "answer command WORD with STATUS without carrying it out (repeatable)",
         [](const std::string& v, SimOptions& o) {
             uint64_t word = 0, status = 0;
             if (!ParsePair(v, 0xFFFF, 0xFFFF, std::nullopt, word, status)) return false;
             o.sensor.faults.failStatus[static_cast<uint16_t>(word)] =
                 static_cast<uint16_t>(status);
             return true;
         }},
        {"--refuse-packet", "SEQ[:STATUS]",
         "refuse boot loader packet SEQ every time it comes, with STATUS (default 0xA002) "
         "(repeatable)",
         [](const std::string& v, SimOptions& o) {
             uint64_t sequence = 0, status = 0;
             if (!ParsePair(v, UINT32_MAX, 0xFFFF, 0xA002, sequence, status)) return false;
             o.sensor.bootLoader.refusedPackets[static_cast<uint32_t>(sequence)] =
                 static_cast<uint16_t>(status);
             return true;
         }},
        {"--short-ack", "WORD",
         "answer command WORD with a body of 3 bytes, too short to be an acknowledgement "
         "(repeatable)",
         WordSet(&OutputFaults::shortAck)},
        {"--broken-ack-tail", "WORD",
         "send the acknowledgement of WORD with a wrong tail (repeatable)",
         WordSet(&OutputFaults::brokenAckTail)},
        {"--ack-delay", "MS", "send every acknowledgement MS wall-clock milliseconds late",
         [](const std::string& v, SimOptions& o) {
             uint64_t n = 0;
             if (!ParseNumber(v, 600000, n)) return false;
             o.output.ackDelayMs = n;
             return true;
         }},
        {"--garbage", "N", "send N random bytes (never a header's first byte) before every frame",
         [](const std::string& v, SimOptions& o) {
             uint64_t n = 0;
             if (!ParseNumber(v, 4096, n)) return false;
             o.output.garbageBytes = static_cast<uint32_t>(n);
             return true;
         }},
        {"--broken-tail", "N", "send every N-th stream frame with a wrong tail",
         [](const std::string& v, SimOptions& o) {
             uint64_t n = 0;
             if (!ParseNumber(v, UINT32_MAX, n) || n == 0) return false;
             o.output.brokenTailEvery = static_cast<uint32_t>(n);
             return true;
         }},
        {"--drop-link-after", "MS",
         "after MS wall-clock milliseconds the link disappears: the pseudo-terminal is closed, "
         "the link removed, and the simulator exits",
         [](const std::string& v, SimOptions& o) {
             uint64_t n = 0;
             if (!ParseNumber(v, UINT32_MAX, n)) return false;
             o.dropLinkAfterMs = n;
             return true;
         }},
        {"--help", nullptr, "show this text and exit",
         [](const std::string&, SimOptions&) { return true; }},
    };
    return specs;
}

// Help text broken at spaces into lines of at most kHelpColumns, each after `indent`.
std::string Wrapped(const std::string& text, const std::string& indent) {
    constexpr size_t kHelpColumns = 79;
    std::string out, line;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find(' ', at);
        if (end == std::string::npos) end = text.size();
        const std::string word = text.substr(at, end - at);
        if (!line.empty() && indent.size() + line.size() + 1 + word.size() > kHelpColumns) {
            out += indent + line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
        at = end + 1;
    }
    if (!line.empty()) out += indent + line + "\n";
    return out;
}

}  // namespace

std::string SimUsage() {
    std::string text =
        "Usage: zorvan-sim [OPTION]...\n"
        "A simulated Zorvan radar sensor with its boot loader on a pseudo-terminal. The port's\n"
        "path (a link in the virtual port folder) is the first line written to standard output;\n"
        "the link is removed when the simulator ends (also on SIGINT, SIGTERM, SIGHUP).\n"
        "Numbers may be decimal or 0x-hexadecimal. Options (also as --option=VALUE):\n";
    for (const OptionSpec& spec : Specs()) {
        std::string head = std::string("  ") + spec.name;
        if (spec.argument) head += std::string(" ") + spec.argument;
        text += head + "\n" + Wrapped(spec.help, "      ");
    }
    return text;
}

SimOptionsResult ParseSimOptions(int argc, char** argv, SimOptions& options, std::string& error) {
    options.sensor.identity.versionText = kDefaultVersionText;
    options.sensor.identity.serialNumber = kDefaultSerialNumber;
    options.sensor.identity.deviceId = kDefaultDeviceId;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::optional<std::string> inlineValue;
        if (const size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = arg.substr(eq + 1);
            arg.resize(eq);
        }
        const OptionSpec* spec = nullptr;
        for (const OptionSpec& candidate : Specs()) {
            if (arg == candidate.name) spec = &candidate;
        }
        if (spec == nullptr) {
            error = "unknown option " + arg;
            return SimOptionsResult::Error;
        }
        if (arg == "--help") return SimOptionsResult::Help;
        std::string value;
        if (spec->argument != nullptr) {
            if (inlineValue) {
                value = *inlineValue;
            } else if (i + 1 < argc) {
                value = argv[++i];
            } else {
                error = arg + " needs " + spec->argument;
                return SimOptionsResult::Error;
            }
        } else if (inlineValue) {
            error = arg + " takes no value";
            return SimOptionsResult::Error;
        }
        if (!spec->apply(value, options)) {
            error = "bad value for " + arg + ": \"" + value + "\"";
            return SimOptionsResult::Error;
        }
    }
    if (options.applicationPartition &&
        ((options.partitionMask >> *options.applicationPartition) & 1u) == 0) {
        error = "--app-partition " + std::to_string(*options.applicationPartition) +
                " is not one of --partitions";
        return SimOptionsResult::Error;
    }
    return SimOptionsResult::Run;
}
