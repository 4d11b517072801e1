#include "firmware_index.h"

#include <pugixml.hpp>

#include <algorithm>
#include <charconv>

#include "core/dbg_output.h"

namespace {

constexpr int kMd5HexDigits = 32;

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

bool HasControlCharacter(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

std::string_view WithoutLeadingV(std::string_view text) {
    if (!text.empty() && (text.front() == 'v' || text.front() == 'V')) text.remove_prefix(1);
    return text;
}

// 32 hexadecimal digits in lower case; empty when the text is not an MD5 digest.
std::string NormalizedMd5(std::string_view text) {
    if (text.size() != kMd5HexDigits) return {};
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return {};
    }
    return out;
}

bool ParseArchiveSize(std::string_view text, uint64_t& size) {
    if (text.empty() || text.front() < '0' || text.front() > '9') return false;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, size, 10);
    return ec == std::errc() && ptr == end && size > 0 && size <= kMaxFirmwareArchiveBytes;
}

// One Version element as a record; an empty text says why it is left out.
std::string ReadVersion(const pugi::xml_node& node, std::string_view base,
                        FirmwareVersionRecord& record) {
    record.name = node.attribute("name").value();
    if (record.name.empty()) return "it has no name";
    if (record.name.find(';') != std::string::npos || HasControlCharacter(record.name)) {
        return "its name holds ';' or a control character";
    }
    const std::string archive = node.attribute("archive").value();
    record.archiveAddress = ResolveArchiveAddress(base, archive);
    if (record.archiveAddress.empty()) {
        return "its archive address \"" + archive + "\" is missing or not allowed";
    }
    record.md5 = NormalizedMd5(node.attribute("md5").value());
    if (record.md5.empty()) return "its md5 is not 32 hexadecimal digits";
    if (!ParseArchiveSize(node.attribute("size").value(), record.size)) {
        return "its size is not a number of bytes from 1 to " +
               std::to_string(kMaxFirmwareArchiveBytes);
    }
    record.date = node.attribute("date").value();
    record.notes = node.attribute("notes").value();
    return {};
}

// The parts of a version text: the number of leading digits (without leading zeros) and what
// follows them up to the next dot.
struct VersionPart {
    std::string_view digits;
    std::string_view rest;
};

VersionPart NextPart(std::string_view& text) {
    const size_t dot = text.find('.');
    std::string_view part = text.substr(0, dot);
    text = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
    size_t digitCount = 0;
    while (digitCount < part.size() && part[digitCount] >= '0' && part[digitCount] <= '9') {
        ++digitCount;
    }
    std::string_view digits = part.substr(0, digitCount);
    while (!digits.empty() && digits.front() == '0') digits.remove_prefix(1);
    return {digits, part.substr(digitCount)};
}

int Sign(int value) {
    return value > 0 ? 1 : (value < 0 ? -1 : 0);
}

int ComparePart(const VersionPart& a, const VersionPart& b) {
    // Numbers of any length: the longer digit run (no leading zeros) is the larger number.
    if (a.digits.size() != b.digits.size()) return a.digits.size() > b.digits.size() ? 1 : -1;
    if (const int digits = Sign(a.digits.compare(b.digits)); digits != 0) return digits;
    return Sign(a.rest.compare(b.rest));
}

}  // namespace

FirmwareAddressScheme SchemeOfAddress(std::string_view address) {
    if (StartsWithIgnoringCase(address, "http://")) return FirmwareAddressScheme::Http;
    if (StartsWithIgnoringCase(address, "https://")) return FirmwareAddressScheme::Https;
    if (StartsWithIgnoringCase(address, "file://")) return FirmwareAddressScheme::File;
    return FirmwareAddressScheme::None;
}

std::string TrimBaseAddress(std::string_view base) {
    const size_t schemeEnd = base.find("://");
    const size_t keep = schemeEnd == std::string_view::npos ? 0 : schemeEnd + 3;
    while (base.size() > keep && base.back() == '/') base.remove_suffix(1);
    // "file:///" keeps the root folder.
    if (base.size() == keep && SchemeOfAddress(base) == FirmwareAddressScheme::File)
        return "file:///";
    return std::string(base);
}

std::string IndexAddressOf(std::string_view base) {
    std::string address = TrimBaseAddress(base);
    if (address.empty() || address.back() != '/') address += '/';
    return address + kFirmwareIndexFileName;
}

std::string ResolveArchiveAddress(std::string_view base, std::string_view archive) {
    if (archive.empty()) return {};
    const bool fileBase = SchemeOfAddress(base) == FirmwareAddressScheme::File;
    if (archive.find("://") != std::string_view::npos) {
        const FirmwareAddressScheme scheme = SchemeOfAddress(archive);
        if (scheme == FirmwareAddressScheme::None) return {};
        // A remote index must not make the client copy files of its own machine.
        if (scheme == FirmwareAddressScheme::File && !fileBase) return {};
        return std::string(archive);
    }
    std::string address = TrimBaseAddress(base);
    if (address.empty()) return {};
    while (!archive.empty() && archive.front() == '/') archive.remove_prefix(1);
    if (archive.empty()) return {};
    if (address.back() != '/') address += '/';
    return address + std::string(archive);
}

std::string FirmwareIndex::VersionList() const {
    std::string list;
    for (const FirmwareVersionRecord& version : versions) {
        if (!list.empty()) list += ';';
        list += version.name;
    }
    return list;
}

const FirmwareVersionRecord* FirmwareIndex::FindVersion(std::string_view name) const {
    for (const FirmwareVersionRecord& version : versions) {
        if (version.name == name) return &version;
    }
    if (name.empty()) return nullptr;
    for (const FirmwareVersionRecord& version : versions) {
        if (WithoutLeadingV(version.name) == WithoutLeadingV(name)) return &version;
    }
    return nullptr;
}

const FirmwareVersionRecord* FirmwareIndex::FindArchive(std::string_view address) const {
    for (const FirmwareVersionRecord& version : versions) {
        if (version.archiveAddress == address) return &version;
    }
    return nullptr;
}

bool ParseFirmwareIndex(const void* data, size_t size, std::string_view base, FirmwareIndex& out) {
    out = FirmwareIndex{};
    out.base = TrimBaseAddress(base);
    const std::string address = IndexAddressOf(base);
    if (size > kMaxFirmwareIndexBytes) {
        DbgOutputA(kDbgLevelWarning, "firmware index %s: %zu bytes, more than the %u allowed\r\n",
                   address.c_str(), size, kMaxFirmwareIndexBytes);
        return false;
    }
    pugi::xml_document document;
    const pugi::xml_parse_result parsed =
        data == nullptr || size == 0
            ? document.load_string("")
            : document.load_buffer(data, size, pugi::parse_default, pugi::encoding_utf8);
    if (!parsed) {
        DbgOutputA(kDbgLevelWarning, "firmware index %s: not XML (%s at offset %lld)\r\n",
                   address.c_str(), parsed.description(), static_cast<long long>(parsed.offset));
        return false;
    }
    const pugi::xml_node root = document.document_element();
    if (std::string_view(root.name()) != "FirmwareIndex") {
        DbgOutputA(kDbgLevelWarning,
                   "firmware index %s: root element is \"%s\", not FirmwareIndex\r\n",
                   address.c_str(), root.name());
        return false;
    }
    for (const pugi::xml_node& node : root.children("Version")) {
        FirmwareVersionRecord record;
        std::string reason = ReadVersion(node, out.base, record);
        if (reason.empty() && out.FindVersion(record.name) != nullptr &&
            out.FindVersion(record.name)->name == record.name) {
            reason = "an earlier version has the same name";
        }
        if (!reason.empty()) {
            DbgOutputA(kDbgLevelWarning, "firmware index %s: version \"%s\" left out: %s\r\n",
                       address.c_str(), node.attribute("name").value(), reason.c_str());
            continue;
        }
        out.versions.push_back(std::move(record));
    }
    return true;
}

int CompareFirmwareVersions(const char* a, const char* b, int partCount) {
    std::string_view left = WithoutLeadingV(a != nullptr ? a : "");
    std::string_view right = WithoutLeadingV(b != nullptr ? b : "");
    if (left.empty() || right.empty()) {
        return left.empty() == right.empty() ? 0 : (left.empty() ? -1 : 1);
    }
    for (int part = 0; !left.empty() || !right.empty(); ++part) {
        if (partCount > 0 && part >= partCount) break;
        const int result = ComparePart(NextPart(left), NextPart(right));
        if (result != 0) return result;
    }
    return 0;
}
