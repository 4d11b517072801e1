#include "file_version.h"

#include <elf.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "byte_order.h"
#include "path_text.h"
#include "unique_fd.h"
#include "utf_convert.h"
#include "version_note.h"

#ifndef ORBO_VERSION_TEXT
#error "ORBO_VERSION_TEXT must come from the build (project version in CMake)"
#endif

ORBO_VERSION_NOTE(ORBO_VERSION_TEXT);

namespace {

// Notes are small; a segment beyond this is not ours to read whole.
constexpr uint64_t kMaxNoteSegmentBytes = 1 << 20;
constexpr size_t kMaxProgramHeaders = 4096;

bool ReadAt(int fd, uint64_t offset, size_t size, std::vector<uint8_t>& out) {
    out.resize(size);
    size_t done = 0;
    while (done < size) {
        const ssize_t n =
            pread(fd, out.data() + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

uint64_t AlignUp(uint64_t value, uint64_t alignment) {
    return (value + alignment - 1) & ~(alignment - 1);
}

// Looks for our note among the notes of one PT_NOTE segment.
bool FindVersionNote(const std::vector<uint8_t>& notes, uint64_t alignment, std::string& version) {
    constexpr uint64_t kNoteHeader = 12;
    const size_t ownerSize = std::strlen(kOrboVersionNoteOwner) + 1;
    uint64_t at = 0;
    while (at + kNoteHeader <= notes.size()) {
        const uint64_t nameSize = ReadLe32(&notes[at]);
        const uint64_t descSize = ReadLe32(&notes[at + 4]);
        const uint32_t type = ReadLe32(&notes[at + 8]);
        const uint64_t name = at + kNoteHeader;
        const uint64_t desc = name + AlignUp(nameSize, alignment);
        if (desc > notes.size() || descSize > notes.size() - desc) return false;
        if (type == kOrboVersionNoteType && nameSize == ownerSize &&
            std::memcmp(&notes[name], kOrboVersionNoteOwner, ownerSize) == 0) {
            const char* text = reinterpret_cast<const char*>(&notes[desc]);
            version.assign(text, strnlen(text, descSize));
            return true;
        }
        at = desc + AlignUp(descSize, alignment);
    }
    return false;
}

bool ReadVersion(const std::string& path, std::string& version) {
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    std::vector<uint8_t> header;
    if (!fd.Valid() || !ReadAt(fd.Get(), 0, sizeof(Elf64_Ehdr), header)) return false;
    if (std::memcmp(header.data(), ELFMAG, SELFMAG) != 0 || header[EI_CLASS] != ELFCLASS64 ||
        header[EI_DATA] != ELFDATA2LSB) {
        return false;
    }
    const uint64_t tableOffset = ReadLe64(&header[offsetof(Elf64_Ehdr, e_phoff)]);
    const uint16_t entrySize = ReadLe16(&header[offsetof(Elf64_Ehdr, e_phentsize)]);
    const uint16_t count = ReadLe16(&header[offsetof(Elf64_Ehdr, e_phnum)]);
    if (entrySize < sizeof(Elf64_Phdr) || count == 0 || count > kMaxProgramHeaders) return false;
    std::vector<uint8_t> table;
    if (!ReadAt(fd.Get(), tableOffset, static_cast<size_t>(entrySize) * count, table)) return false;
    for (uint16_t i = 0; i < count; ++i) {
        const uint8_t* entry = &table[static_cast<size_t>(i) * entrySize];
        if (ReadLe32(entry + offsetof(Elf64_Phdr, p_type)) != PT_NOTE) continue;
        const uint64_t offset = ReadLe64(entry + offsetof(Elf64_Phdr, p_offset));
        const uint64_t size = ReadLe64(entry + offsetof(Elf64_Phdr, p_filesz));
        const uint64_t alignment = ReadLe64(entry + offsetof(Elf64_Phdr, p_align)) == 8 ? 8 : 4;
        std::vector<uint8_t> notes;
        if (size > kMaxNoteSegmentBytes || !ReadAt(fd.Get(), offset, size, notes)) continue;
        if (FindVersionNote(notes, alignment, version)) return true;
    }
    return false;
}

template <class C>
int GetFileVersionT(const C* path, C* out, int outLength) {
    if (out == nullptr || outLength < 1) return 0;
    out[0] = C(0);
    std::string systemPath, version;
    if (!ToSystemPath(path, systemPath, "GetFileVersion") || !ReadVersion(systemPath, version)) {
        return 0;
    }
    std::basic_string<C> text;
    if constexpr (sizeof(C) == 1) {
        text = version;
    } else {
        text = Utf8ToUtf16Lossy(version);
    }
    const size_t length = std::min(text.size(), static_cast<size_t>(outLength - 1));
    std::memcpy(out, text.data(), length * sizeof(C));
    out[length] = C(0);
    return 1;
}

}  // namespace

int GetFileVersionA(const char* path, char* out, int outLength) {
    return GetFileVersionT(path, out, outLength);
}
int GetFileVersionW(const WCHAR* path, WCHAR* out, int outLength) {
    return GetFileVersionT(path, out, outLength);
}

const char* GetOrboVersionText() {
    return ORBO_VERSION_TEXT;
}
