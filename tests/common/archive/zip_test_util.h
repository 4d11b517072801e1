// Helpers of the archive tests: archives crafted byte by byte (stored entries with any name,
// attributes, flags, CRC or declared size), folder trees as maps, and the outside programs
// (zip, unzip, python3) that make and check archives independently of our code.
#pragma once

#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/byte_order.h"
#include "support/whole_file.h"

namespace ziptest {

inline uint32_t Crc32(const std::string& data) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : data) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// One stored entry of a crafted archive.
struct RawEntry {
    std::string name{};  // the bytes stored as the name
    std::string data{};
    uint32_t externalAttributes = 0;
    uint16_t versionMadeBy = 20;  // host in the high byte (3 = Unix)
    uint16_t flags = 0;
    std::optional<uint32_t> crc{};           // instead of the data's CRC
    std::optional<uint32_t> declaredSize{};  // instead of the data's size, in both headers
    uint32_t dosDate = (44u << 25) | (3u << 21) | (15u << 16) | (10u << 11) | (30u << 5);
};

// A complete archive of stored entries, local headers first, then the central directory.
inline std::string BuildStoredZip(const std::vector<RawEntry>& entries) {
    std::string out;
    std::vector<uint32_t> offsets;
    for (const RawEntry& e : entries) {
        offsets.push_back(static_cast<uint32_t>(out.size()));
        const uint32_t crc = e.crc.value_or(Crc32(e.data));
        const uint32_t size = static_cast<uint32_t>(e.data.size());
        AppendLe32(out, 0x04034b50);
        AppendLe16(out, 20);
        AppendLe16(out, e.flags);
        AppendLe16(out, 0);
        AppendLe32(out, e.dosDate);
        AppendLe32(out, crc);
        AppendLe32(out, size);
        AppendLe32(out, e.declaredSize.value_or(size));
        AppendLe16(out, static_cast<uint16_t>(e.name.size()));
        AppendLe16(out, 0);
        out += e.name;
        out += e.data;
    }
    const uint32_t directory = static_cast<uint32_t>(out.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        const RawEntry& e = entries[i];
        const uint32_t size = static_cast<uint32_t>(e.data.size());
        AppendLe32(out, 0x02014b50);
        AppendLe16(out, e.versionMadeBy);
        AppendLe16(out, 20);
        AppendLe16(out, e.flags);
        AppendLe16(out, 0);
        AppendLe32(out, e.dosDate);
        AppendLe32(out, e.crc.value_or(Crc32(e.data)));
        AppendLe32(out, size);
        AppendLe32(out, e.declaredSize.value_or(size));
        AppendLe16(out, static_cast<uint16_t>(e.name.size()));
        AppendLe16(out, 0);
        AppendLe16(out, 0);
        AppendLe16(out, 0);
        AppendLe16(out, 0);
        AppendLe32(out, e.externalAttributes);
        AppendLe32(out, offsets[i]);
        out += e.name;
    }
    const uint32_t directorySize = static_cast<uint32_t>(out.size()) - directory;
    AppendLe32(out, 0x06054b50);
    AppendLe16(out, 0);
    AppendLe16(out, 0);
    AppendLe16(out, static_cast<uint32_t>(entries.size()));
    AppendLe16(out, static_cast<uint32_t>(entries.size()));
    AppendLe32(out, directorySize);
    AppendLe32(out, directory);
    AppendLe16(out, 0);
    return out;
}

// Text that compresses, but not to nothing: words chosen by a fixed generator.
inline std::string SampleText(size_t size, uint32_t seed) {
    static const char* const kWords[] = {"radar ", "gate ",     "energy ", "threshold ", "motion ",
                                         "0x3F ",  "distance ", "\r\n",    "frame ",     "17 "};
    std::string out;
    uint32_t state = seed * 2654435761u + 1;
    while (out.size() < size) {
        state = state * 1664525u + 1013904223u;
        out += kWords[(state >> 16) % 10];
        if ((state & 0xF) == 0) out += std::to_string(state % 100000);
    }
    out.resize(size);
    return out;
}

// Bytes that do not compress.
inline std::string SampleNoise(size_t size, uint32_t seed) {
    std::string out(size, '\0');
    uint64_t state = seed + 0x9E3779B97F4A7C15ull;
    for (char& c : out) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        c = static_cast<char>(state);
    }
    return out;
}

// A folder as a map: relative path ('/' separated) -> file content, or "<dir>" for a folder.
inline std::map<std::string, std::string> Snapshot(const std::filesystem::path& root) {
    std::map<std::string, std::string> out;
    if (!std::filesystem::exists(root)) return out;
    for (const auto& item : std::filesystem::recursive_directory_iterator(root)) {
        const std::string relative = std::filesystem::relative(item.path(), root).string();
        if (item.is_symlink()) {
            out[relative] = "<link>";
        } else if (item.is_directory()) {
            out[relative] = "<dir>";
        } else {
            out[relative] = ReadWholeFile(item.path());
        }
    }
    return out;
}

inline std::string Quote(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    return out + "'";
}

// Runs a shell command; its exit status (-1 when it did not end normally).
inline int Run(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs a Python script (written to `folder`) with the arguments; its exit status.
inline int RunPython(const std::filesystem::path& folder, const std::string& script,
                     const std::vector<std::string>& arguments) {
    const std::filesystem::path file = folder / "script.py";
    WriteWholeFile(file, script);
    std::string command = "python3 " + Quote(file.string());
    for (const std::string& a : arguments) command += " " + Quote(a);
    return Run(command);
}

// Python's own check of an archive: 0 when every entry reads back with its CRC.
inline int PythonTestZip(const std::filesystem::path& folder, const std::string& archive) {
    return RunPython(folder,
                     "import zipfile,sys; "
                     "sys.exit(zipfile.ZipFile(sys.argv[1]).testzip() is not None)\n",
                     {archive});
}

}  // namespace ziptest
