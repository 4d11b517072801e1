// Feeds arbitrary bytes to the zip reader as an archive: every entry's information, the checks of
// its name and header, and the read of every entry small enough to inflate quickly.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "archive/zip_entry_name_internal.h"
#include "archive/zip_reader.h"

namespace {

constexpr size_t kMaxFuzzInputBytes = 1u << 20;
constexpr uint64_t kMaxFuzzEntries = 4096;
constexpr uint64_t kMaxFuzzEntryBytes = 16u << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kMaxFuzzInputBytes) return 0;
    ZipReader reader;
    if (!reader.OpenMemory(data, size)) return 0;
    uint64_t visited = 0;
    std::vector<std::string> parts;
    for (ZipStep step = reader.First(); step == ZipStep::kEntry && visited < kMaxFuzzEntries;
         step = reader.Next(), ++visited) {
        ZipEntryInfo info;
        if (!reader.Info(info)) continue;
        EntryPathParts(info.name, false, parts);
        EntryPathParts(info.name, true, parts);
        if (!ZipReader::Unreadable(info).empty() || info.uncompressedSize > kMaxFuzzEntryBytes) {
            continue;
        }
        uint64_t total = 0;
        const bool ok = reader.Read([&total](const uint8_t*, size_t count) {
            total += count;
            return true;
        });
        // A read that succeeded delivered exactly the declared size.
        if (ok && total != info.uncompressedSize) __builtin_trap();
    }
    if (reader.EntryCount() > 0) reader.Seek(reader.EntryCount() - 1);
    return 0;
}
