// The main window's texts and field conversions, Qt-free: the caption with the program's version,
// the version label, the baud field's number and the port list's entries (enumerated ports plus
// a port named on the command line). Any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// "<caption>(v<version>)"; the caption alone when the version is empty.
std::string CaptionWithVersion(const std::string& caption, const std::string& version);

// "Ver: <version>\r\nSN: <serial number>".
std::string VersionLabelText(const std::string& version, const std::string& serialNumber);

// The baud field's text read as a signed decimal integer as the platform's conversion reads it:
// leading blanks, an optional sign, then digits up to the first other character; 0 when no digit
// comes ("abc" gives 0), the 32-bit limit when the number is larger.
int32_t BaudRateFromText(const std::string& text);

// One entry of the port list: the port's name and its number in the process's port table.
struct PortEntry {
    std::string name;
    int number = 0;
};

// The port number when no port is listed: connecting then reports "No Device Detected".
constexpr int kNoPortNumber = -1;

// The entries for the enumerated names, in their order, followed by `extraPort` (a path given on
// the command line) when it is not empty and not among them. Every entry gets its table number.
std::vector<PortEntry> MakePortEntries(const std::vector<std::string>& enumerated,
                                       const std::string& extraPort);
