// The firmware service's index and the rules that go with it: reading index.xml from memory,
// resolving archive addresses against the service's base address, and comparing version texts.
//
// index.xml has the root element "FirmwareIndex" and one "Version" element per version, in the
// service's order, with the attributes
//   name     the version text ("1.6.0", "v1.6.0"); not empty, no ';', no control characters
//   archive  the archive's address: absolute (http://, https://, file://) or relative to the base
//   md5      hexadecimal MD5 digest of the archive (32 digits, either case)
//   size     the archive's size in bytes (decimal, 1 to kMaxFirmwareArchiveBytes)
//   date     free text
//   notes    free text
// A Version element that breaks these rules, repeats an earlier name, or (in an index read over
// http or https) names a file:// archive is left out with a level-3 line: what the service lists
// must be something a client can download and check.
//
// Everything here keeps no state; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// An index larger than this is refused before it is parsed.
constexpr uint32_t kMaxFirmwareIndexBytes = 4u << 20;
// An archive the index declares larger than this is left out.
constexpr uint64_t kMaxFirmwareArchiveBytes = 1ull << 30;
// The index file below the base address.
constexpr const char* kFirmwareIndexFileName = "index.xml";

enum class FirmwareAddressScheme { None, Http, Https, File };

// The scheme of an address ("http://", "https://", "file://", letters in any case); None for
// anything else.
FirmwareAddressScheme SchemeOfAddress(std::string_view address);

// The base address without its trailing '/' characters (the "/" of "file:///" stays).
std::string TrimBaseAddress(std::string_view base);

// <base>/index.xml.
std::string IndexAddressOf(std::string_view base);

// The absolute address of an archive: `archive` itself when it has a scheme, else the base and
// the archive joined by one '/'. Empty when the archive is empty, has a scheme other than
// http, https or file, or is a file:// address while the base is not.
std::string ResolveArchiveAddress(std::string_view base, std::string_view archive);

struct FirmwareVersionRecord {
    std::string name;
    std::string archiveAddress;  // absolute
    std::string md5;             // 32 lower-case hexadecimal digits
    uint64_t size = 0;
    std::string date;
    std::string notes;
};

struct FirmwareIndex {
    std::string base;  // the base address it was read from (trimmed)
    std::vector<FirmwareVersionRecord> versions;

    // The names joined by ";" in the service's order.
    std::string VersionList() const;
    // The version of that name: the exact name first, else the one whose name equals it once a
    // leading 'v'/'V' is dropped from both. Null when there is none.
    const FirmwareVersionRecord* FindVersion(std::string_view name) const;
    // The version whose archive is at that address; null when none.
    const FirmwareVersionRecord* FindArchive(std::string_view address) const;
};

// Parses the bytes of index.xml read from `base`. False (with a level-3 line saying why) for
// more than kMaxFirmwareIndexBytes, malformed XML or another root element; an index without
// versions is valid.
bool ParseFirmwareIndex(const void* data, size_t size, std::string_view base, FirmwareIndex& out);

// Compares version texts as dotted numbers: a leading 'v' or 'V' is ignored, the parts between
// dots compare numerically (any number of digits, leading zeros ignored), then by whatever
// follows a part's digits (byte order, nothing first); a missing part counts as 0, so "1.2" and
// "1.2.0" are equal. Any non-empty version is newer than an empty one. partCount > 0 compares
// only that many leading parts. 1 when a is newer, -1 when b is newer, 0 when equal. Null is
// empty.
int CompareFirmwareVersions(const char* a, const char* b, int partCount);
