#include "app/main_window_texts.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <limits>

#include "serial/serial_port_table.h"

std::string CaptionWithVersion(const std::string& caption, const std::string& version) {
    if (version.empty()) return caption;
    return caption + "(v" + version + ")";
}

std::string VersionLabelText(const std::string& version, const std::string& serialNumber) {
    return "Ver: " + version + "\r\nSN: " + serialNumber;
}

int32_t BaudRateFromText(const std::string& text) {
    size_t at = 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
    int64_t value = 0;
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at) {
        value = std::min(value * 10 + (text[at] - '0'), kLimit);
    }
    if (negative) return static_cast<int32_t>(-value);
    return static_cast<int32_t>(std::min<int64_t>(value, std::numeric_limits<int32_t>::max()));
}

std::vector<PortEntry> MakePortEntries(const std::vector<std::string>& enumerated,
                                       const std::string& extraPort) {
    std::vector<PortEntry> entries;
    for (const std::string& name : enumerated) entries.push_back({name, SerialPortNumberOf(name)});
    const bool listed = std::any_of(entries.begin(), entries.end(), [&](const PortEntry& entry) {
        return entry.name == extraPort;
    });
    if (!extraPort.empty() && !listed) {
        entries.push_back({extraPort, SerialPortNumberOf(extraPort)});
    }
    return entries;
}
