#include "zip_reader.h"

#include <unzip.h>

#include <cstring>
#include <vector>

#include "core/dbg_output.h"
#include "core/limits.h"

namespace {

constexpr size_t kReadBlockBytes = 64 * 1024;
constexpr uint32_t kFlagEncrypted = 0x1;
constexpr uint32_t kMethodStored = 0;
constexpr uint32_t kMethodDeflate = Z_DEFLATED;

// The bytes of an archive held in memory, read through minizip's file functions. minizip opens
// its stream once per archive, so the one cursor is the stream.
struct MemoryStream {
    const uint8_t* data = nullptr;
    uint64_t size = 0;
    uint64_t position = 0;
};

voidpf MemoryOpen(voidpf opaque, const void* /*name*/, int mode) {
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) return nullptr;
    auto* stream = static_cast<MemoryStream*>(opaque);
    stream->position = 0;
    return stream;
}

uLong MemoryRead(voidpf /*opaque*/, voidpf handle, void* buffer, uLong size) {
    auto* stream = static_cast<MemoryStream*>(handle);
    const uint64_t left = stream->size - stream->position;
    const uint64_t count = size < left ? size : left;
    if (count > 0) std::memcpy(buffer, stream->data + stream->position, count);
    stream->position += count;
    return static_cast<uLong>(count);
}

uLong MemoryWrite(voidpf, voidpf, const void*, uLong) {
    return 0;
}

ZPOS64_T MemoryTell(voidpf /*opaque*/, voidpf handle) {
    return static_cast<MemoryStream*>(handle)->position;
}

long MemorySeek(voidpf /*opaque*/, voidpf handle, ZPOS64_T offset, int origin) {
    auto* stream = static_cast<MemoryStream*>(handle);
    uint64_t base = 0;
    switch (origin) {
        case ZLIB_FILEFUNC_SEEK_SET:
            base = 0;
            break;
        case ZLIB_FILEFUNC_SEEK_CUR:
            base = stream->position;
            break;
        case ZLIB_FILEFUNC_SEEK_END:
            base = stream->size;
            break;
        default:
            return -1;
    }
    if (offset > stream->size || base > stream->size - offset) return -1;
    stream->position = base + offset;
    return 0;
}

int MemoryClose(voidpf, voidpf) {
    return 0;
}

int MemoryError(voidpf, voidpf) {
    return 0;
}

}  // namespace

struct ZipReader::Impl {
    unzFile file = nullptr;
    std::string label;
    uint64_t entryCount = 0;
    int64_t index = -1;
    MemoryStream memory;
    std::vector<uint8_t> block;

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
    return m_impl->Opened(unzOpen64(path.c_str()));
}

bool ZipReader::OpenMemory(const void* data, size_t size) {
    Close();
    m_impl->label = "(memory)";
    m_impl->memory = MemoryStream{static_cast<const uint8_t*>(data), data == nullptr ? 0 : size, 0};
    zlib_filefunc64_def functions{};
    functions.zopen64_file = MemoryOpen;
    functions.zread_file = MemoryRead;
    functions.zwrite_file = MemoryWrite;
    functions.ztell64_file = MemoryTell;
    functions.zseek64_file = MemorySeek;
    functions.zclose_file = MemoryClose;
    functions.zerror_file = MemoryError;
    functions.opaque = &m_impl->memory;
    return m_impl->Opened(unzOpen2_64("(memory)", &functions));
}

bool ZipReader::Close() {
    if (m_impl->file == nullptr) return false;
    unzCloseCurrentFile(m_impl->file);
    unzClose(m_impl->file);
    m_impl->file = nullptr;
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
