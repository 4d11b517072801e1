#include "zip_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unzip.h>

#include <cerrno>

#include <cstring>
#include <vector>

#include "core/dbg_output.h"
#include "core/size_limits.h"
#include "core/unique_fd.h"

namespace {

constexpr size_t kReadBlockBytes = 64 * 1024;
constexpr uint32_t kFlagEncrypted = 0x1;
constexpr uint32_t kMethodStored = 0;
constexpr uint32_t kMethodDeflate = Z_DEFLATED;

// Where minizip reads an archive from: bytes in memory or a file descriptor. minizip opens its
// stream once per archive, so the source is the stream. Its own stdio functions report a read past
// the end as a plain end, which minizip then takes as a zero value; a short read is reported as an
// error here, so a truncated archive is refused instead of being read with zeros.
struct ArchiveSource {
    const uint8_t* data = nullptr;  // memory, or null for the descriptor
    int fd = -1;
    uint64_t size = 0;
    uint64_t position = 0;
    bool lastReadShort = false;
};

voidpf SourceOpen(voidpf opaque, const void* /*name*/, int mode) {
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) return nullptr;
    auto* source = static_cast<ArchiveSource*>(opaque);
    source->position = 0;
    source->lastReadShort = false;
    return source;
}

uLong SourceRead(voidpf /*opaque*/, voidpf handle, void* buffer, uLong size) {
    auto* source = static_cast<ArchiveSource*>(handle);
    const uint64_t left = source->position < source->size ? source->size - source->position : 0;
    const uint64_t wanted = size < left ? size : left;
    uint64_t count = 0;
    if (source->data != nullptr) {
        if (wanted > 0) std::memcpy(buffer, source->data + source->position, wanted);
        count = wanted;
    } else {
        while (count < wanted) {
            const ssize_t n = pread(source->fd, static_cast<uint8_t*>(buffer) + count,
                                    wanted - count, static_cast<off_t>(source->position + count));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            count += static_cast<uint64_t>(n);
        }
    }
    source->position += count;
    source->lastReadShort = count < size;
    return static_cast<uLong>(count);
}

uLong SourceWrite(voidpf, voidpf, const void*, uLong) {
    return 0;
}

ZPOS64_T SourceTell(voidpf /*opaque*/, voidpf handle) {
    return static_cast<ArchiveSource*>(handle)->position;
}

long SourceSeek(voidpf /*opaque*/, voidpf handle, ZPOS64_T offset, int origin) {
    auto* source = static_cast<ArchiveSource*>(handle);
    uint64_t base = 0;
    switch (origin) {
        case ZLIB_FILEFUNC_SEEK_SET:
            base = 0;
            break;
        case ZLIB_FILEFUNC_SEEK_CUR:
            base = source->position;
            break;
        case ZLIB_FILEFUNC_SEEK_END:
            base = source->size;
            break;
        default:
            return -1;
    }
    if (offset > source->size || base > source->size - offset) return -1;
    source->position = base + offset;
    return 0;
}

int SourceClose(voidpf, voidpf) {
    return 0;
}

int SourceError(voidpf /*opaque*/, voidpf handle) {
    return static_cast<ArchiveSource*>(handle)->lastReadShort ? 1 : 0;
}

}  // namespace

struct ZipReader::Impl {
    unzFile file = nullptr;
    std::string label;
    uint64_t entryCount = 0;
    int64_t index = -1;
    ArchiveSource source;
    UniqueFd fd;
    std::vector<uint8_t> block;

    bool OpenSource() {
        zlib_filefunc64_def functions{};
        functions.zopen64_file = SourceOpen;
        functions.zread_file = SourceRead;
        functions.zwrite_file = SourceWrite;
        functions.ztell64_file = SourceTell;
        functions.zseek64_file = SourceSeek;
        functions.zclose_file = SourceClose;
        functions.zerror_file = SourceError;
        functions.opaque = &source;
        return Opened(unzOpen2_64(label.c_str(), &functions));
    }

    bool Opened(unzFile opened) {
        if (opened == nullptr) {
            DbgOutputA(kDbgLevelWarning, "ZipReader: %s is not a readable zip archive\r\n",
                       label.c_str());
            return false;
        }
        unz_global_info64 global{};
        if (unzGetGlobalInfo64(opened, &global) != UNZ_OK) {
            unzClose(opened);
            DbgOutputA(kDbgLevelWarning, "ZipReader: %s has no readable central directory\r\n",
                       label.c_str());
            return false;
        }
        file = opened;
        entryCount = global.number_entry;
        index = -1;
        return true;
    }

    ZipStep Moved(int result, int64_t newIndex) {
        if (result == UNZ_OK) {
            index = newIndex;
            return ZipStep::kEntry;
        }
        index = -1;
        if (result == UNZ_END_OF_LIST_OF_FILE) return ZipStep::kEnd;
        DbgOutputA(kDbgLevelWarning,
                   "ZipReader: %s: central directory entry %lld is damaged (error %d)\r\n",
                   label.c_str(), static_cast<long long>(newIndex), result);
        return ZipStep::kFailed;
    }
};

ZipReader::ZipReader() : m_impl(std::make_unique<Impl>()) {}

ZipReader::~ZipReader() {
    Close();
}

bool ZipReader::OpenFile(const std::string& path) {
    Close();
    m_impl->label = path;
    m_impl->fd = UniqueFd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (!m_impl->fd.Valid() || fstat(m_impl->fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        DbgOutputA(kDbgLevelWarning, "ZipReader: cannot read %s: %s\r\n", path.c_str(),
                   m_impl->fd.Valid() ? "it is not a file" : std::strerror(errno));
        m_impl->fd.Close();
        return false;
    }
    m_impl->source = ArchiveSource{nullptr, m_impl->fd.Get(), static_cast<uint64_t>(info.st_size)};
    if (m_impl->OpenSource()) return true;
    m_impl->fd.Close();
    return false;
}

bool ZipReader::OpenMemory(const void* data, size_t size) {
    Close();
    m_impl->label = "(memory)";
    if (data == nullptr) size = 0;
    m_impl->source = ArchiveSource{static_cast<const uint8_t*>(data), -1, size};
    return m_impl->OpenSource();
}

bool ZipReader::Close() {
    if (m_impl->file == nullptr) return false;
    unzCloseCurrentFile(m_impl->file);
    unzClose(m_impl->file);
    m_impl->file = nullptr;
    m_impl->fd.Close();
    m_impl->entryCount = 0;
    m_impl->index = -1;
    return true;
}

bool ZipReader::IsOpen() const {
    return m_impl->file != nullptr;
}

const std::string& ZipReader::Label() const {
    return m_impl->label;
}

uint64_t ZipReader::EntryCount() const {
    return m_impl->file == nullptr ? 0 : m_impl->entryCount;
}

ZipStep ZipReader::First() {
    if (m_impl->file == nullptr) return ZipStep::kFailed;
    if (m_impl->entryCount == 0) {
        m_impl->index = -1;
        return ZipStep::kEnd;
    }
    return m_impl->Moved(unzGoToFirstFile(m_impl->file), 0);
}

ZipStep ZipReader::Next() {
    if (m_impl->file == nullptr) return ZipStep::kFailed;
    if (m_impl->index < 0) return ZipStep::kEnd;
    return m_impl->Moved(unzGoToNextFile(m_impl->file), m_impl->index + 1);
}

bool ZipReader::Seek(uint64_t index) {
    if (m_impl->file == nullptr || index >= m_impl->entryCount) return false;
    ZipStep step = ZipStep::kEntry;
    if (m_impl->index < 0 || static_cast<uint64_t>(m_impl->index) > index) step = First();
    while (step == ZipStep::kEntry && static_cast<uint64_t>(m_impl->index) < index) step = Next();
    return step == ZipStep::kEntry;
}

int64_t ZipReader::CurrentIndex() const {
    return m_impl->index;
}

bool ZipReader::Info(ZipEntryInfo& out) {
    out = ZipEntryInfo{};
    if (m_impl->file == nullptr || m_impl->index < 0) return false;
    unz_file_info64 info{};
    // minizip terminates a name only when it is shorter than the buffer; a name that fills it
    // arrives cut and unterminated, so the stored length decides.
    char name[kMaxPathChars + 1];
    char comment[kMaxZipEntryCommentBytes + 1];
    const int result = unzGetCurrentFileInfo64(m_impl->file, &info, name, sizeof(name), nullptr, 0,
                                               comment, sizeof(comment));
    if (result != UNZ_OK) {
        DbgOutputA(kDbgLevelWarning, "ZipReader: %s: entry %lld cannot be read (error %d)\r\n",
                   m_impl->label.c_str(), static_cast<long long>(m_impl->index), result);
        return false;
    }
    if (info.size_filename > static_cast<uLong>(kMaxPathChars)) {
        DbgOutputA(
            kDbgLevelWarning,
            "ZipReader: %s: entry %lld has a name of %lu bytes (at most %d are accepted)\r\n",
            m_impl->label.c_str(), static_cast<long long>(m_impl->index),
            static_cast<unsigned long>(info.size_filename), kMaxPathChars);
        return false;
    }
    if (std::memchr(name, 0, info.size_filename) != nullptr) {
        DbgOutputA(kDbgLevelWarning, "ZipReader: %s: entry %lld has a zero byte in its name\r\n",
                   m_impl->label.c_str(), static_cast<long long>(m_impl->index));
        return false;
    }
    out.name.assign(name, info.size_filename);
    const size_t commentBytes = info.size_file_comment < kMaxZipEntryCommentBytes
                                    ? info.size_file_comment
                                    : kMaxZipEntryCommentBytes;
    out.comment.assign(comment, strnlen(comment, commentBytes));
    out.version = static_cast<uint32_t>(info.version);
    out.versionNeeded = static_cast<uint32_t>(info.version_needed);
    out.flags = static_cast<uint32_t>(info.flag);
    out.method = static_cast<uint32_t>(info.compression_method);
    out.dosDate = static_cast<uint32_t>(info.dosDate);
    out.crc = static_cast<uint32_t>(info.crc);
    out.compressedSize = info.compressed_size;
    out.uncompressedSize = info.uncompressed_size;
    out.internalAttributes = static_cast<uint32_t>(info.internal_fa);
    out.externalAttributes = static_cast<uint32_t>(info.external_fa);
    return true;
}

std::string ZipReader::Unreadable(const ZipEntryInfo& info) {
    if ((info.flags & kFlagEncrypted) != 0) return "it is encrypted";
    if (info.method != kMethodStored && info.method != kMethodDeflate) {
        return "its compression method " + std::to_string(info.method) + " is not supported";
    }
    if (info.uncompressedSize > kMaxZipEntryBytes) {
        return "it declares " + std::to_string(info.uncompressedSize) + " bytes (at most " +
               std::to_string(kMaxZipEntryBytes) + " are accepted)";
    }
    return std::string();
}

bool ZipReader::Read(const std::function<bool(const uint8_t*, size_t)>& sink) {
    ZipEntryInfo info;
    if (!Info(info)) return false;
    const char* archive = m_impl->label.c_str();
    const std::string why = Unreadable(info);
    if (!why.empty()) {
        DbgOutputA(kDbgLevelWarning, "ZipReader: %s: entry %s is refused: %s\r\n", archive,
                   info.name.c_str(), why.c_str());
        return false;
    }
    int result = unzOpenCurrentFile(m_impl->file);
    if (result != UNZ_OK) {
        DbgOutputA(kDbgLevelWarning, "ZipReader: %s: entry %s cannot be opened (error %d)\r\n",
                   archive, info.name.c_str(), result);
        return false;
    }
    m_impl->block.resize(kReadBlockBytes);
    uint64_t total = 0;
    bool ok = true;
    for (;;) {
        result = unzReadCurrentFile(m_impl->file, m_impl->block.data(),
                                    static_cast<unsigned>(m_impl->block.size()));
        if (result < 0) {
            DbgOutputA(kDbgLevelWarning,
                       "ZipReader: %s: entry %s is damaged after %llu bytes (error %d)\r\n",
                       archive, info.name.c_str(), static_cast<unsigned long long>(total), result);
            ok = false;
            break;
        }
        if (result == 0) break;
        total += static_cast<uint64_t>(result);
        // minizip never inflates beyond the declared size; this keeps it so whatever it does.
        if (total > info.uncompressedSize) {
            DbgOutputA(kDbgLevelWarning,
                       "ZipReader: %s: entry %s inflates beyond its %llu bytes\r\n", archive,
                       info.name.c_str(), static_cast<unsigned long long>(info.uncompressedSize));
            ok = false;
            break;
        }
        if (!sink(m_impl->block.data(), static_cast<size_t>(result))) {
            ok = false;
            break;
        }
    }
    if (ok && total != info.uncompressedSize) {
        DbgOutputA(kDbgLevelWarning, "ZipReader: %s: entry %s holds %llu bytes, declared %llu\r\n",
                   archive, info.name.c_str(), static_cast<unsigned long long>(total),
                   static_cast<unsigned long long>(info.uncompressedSize));
        ok = false;
    }
    // The CRC is compared only here, and only when the whole declared size was read.
    result = unzCloseCurrentFile(m_impl->file);
    if (ok && result != UNZ_OK) {
        if (result == UNZ_CRCERROR) {
            DbgOutputA(kDbgLevelWarning, "ZipReader: %s: entry %s fails its CRC check\r\n", archive,
                       info.name.c_str());
        } else {
            DbgOutputA(kDbgLevelWarning, "ZipReader: %s: entry %s cannot be closed (error %d)\r\n",
                       archive, info.name.c_str(), result);
        }
        ok = false;
    }
    return ok;
}
